#include "terminal.h"

#include <iostream>

#include "text/printable.h"

void WriteLines(std::ostream& to, const std::string& head, const std::string& text, const std::string& tail) {
  std::string line = head;
  for (size_t start = 0;;) {
    const size_t end = text.find('\n', start);
    line += text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (end == std::string::npos) break;
    text::WriteLine(to, line);
    line = "  ";
    start = end + 1;
  }
  text::WriteLine(to, line + tail);
}

void WriteError(const std::string& message) { text::WriteLine(std::cerr, "corvane-host: " + message); }
