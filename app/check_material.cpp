#include "check_material.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include "orvane_utils/OrvaneMaterialCheck.h"

int CheckMaterialFile(const std::string& path, std::ostream& out) {
  // Only a regular file is opened: a FIFO would block the open for ever.
  struct stat st;
  if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
    out << path << ": cannot open the file: not a regular file\n";
    return 2;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    out << path << ": cannot open the file: " << std::strerror(errno) << "\n";
    return 2;
  }
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (in.bad()) {
    out << path << ": cannot read the file\n";
    return 2;
  }
  const std::string text = bytes.str();
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
