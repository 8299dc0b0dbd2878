#include "orvane_utils/OrvaneXMLWriteUtils.h"

#include <locale>

#include "orvane_utils/OrvaneXMLText.h"

namespace Orvane {
namespace XMLWriteUtils {

std::string indent(unsigned int depth) { return std::string(depth, '\t'); }

std::string escapeText(const std::string& raw) {
  const std::string text = XMLText::allowedText(raw);
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default: out += c; break;
    }
  }
  return out;
}

std::string cdataSection(const std::string& raw) {
  const std::string text = XMLText::allowedText(raw);
  static const std::string terminator = "]]>";
  std::string out = "<![CDATA[";
  std::string::size_type start = 0;
  for (;;) {
    const std::string::size_type hit = text.find(terminator, start);
    if (hit == std::string::npos) break;
    // Close the section after "]]" and open a new one for the ">".
    out.append(text, start, hit + 2 - start);
    out += "]]><![CDATA[";
    start = hit + 2;
  }
  out.append(text, start, std::string::npos);
  out += "]]>";
  return out;
}

std::ostringstream numberStream(const std::ostream& os) {
  std::ostringstream number;
  number.imbue(std::locale::classic());
  number.flags(os.flags());
  number.precision(os.precision());
  number.fill(os.fill());
  return number;
}

void writeOpenTag(std::ostream& os, unsigned int depth, const char* name) {
  os << indent(depth) << "<" << name << ">\n";
}

void writeCloseTag(std::ostream& os, unsigned int depth, const char* name) {
  os << indent(depth) << "</" << name << ">\n";
}

void writeTextElement(std::ostream& os, unsigned int depth, const char* name, const std::string& text) {
  os << indent(depth) << "<" << name << ">" << escapeText(text) << "</" << name << ">\n";
}

void writeBoolElement(std::ostream& os, unsigned int depth, const char* name, bool value) {
  os << indent(depth) << "<" << name << ">" << (value ? "true" : "false") << "</" << name << ">\n";
}

void writeValuesLine(std::ostream& os, unsigned int depth, const std::vector<double>& values) {
  std::ostringstream line = numberStream(os);
  for (const double v : values) line << v << " ";
  os << indent(depth) << "<values>" << line.str() << "</values>\n";
}

}  // namespace XMLWriteUtils
}  // namespace Orvane
