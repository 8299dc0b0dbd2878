#include "check_material.h"

#include <sstream>

#include "orvane_utils/OrvaneMaterialCheck.h"
#include "orvane_utils/OrvaneXMLLoader.h"

int CheckMaterialFile(const std::string& path, std::ostream& out) {
  // Read as the import reads a material file: a folder, a FIFO or a device is refused before it
  // is opened, so the check never waits for a writer.
  std::string text;
  std::string error;
  if (!Orvane::OrvaneXMLLoader::readFile(path, text, error)) {
    out << path << ": " << error << "\n";
    return 2;
  }
  if (text.empty()) {
    out << path << ": the file is empty: not a material file\n";
    return 1;
  }
  std::ostringstream report;
  const int failures = Orvane::OrvaneMaterialCheck::checkText(text, report);
  // Each line names the file, as compilers do, so that several reports can
  // be told apart.
  std::istringstream lines(report.str());
  for (std::string line; std::getline(lines, line);) out << path << ": " << line << "\n";
  return failures == 0 ? 0 : 1;
}
