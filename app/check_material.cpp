#include "check_material.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <sstream>

#include "c4d.h"
#include "host_control.h"
#include "archive/nestedmaterial.h"
#include "archive/unpackfailure.h"
#include "orvane_utils/OrvaneMaterialCheck.h"
#include "orvane_utils/OrvaneXMLLoader.h"
#include "files/temporaryfile.h"

namespace {

// The folder for scratch folders: $TMPDIR, read as unset when it is empty (as mktemp reads it),
// else /tmp.
std::string ScratchParent() {
  const char* tmp = std::getenv("TMPDIR");
  return tmp && *tmp ? tmp : "/tmp";
}

// Checks the ".ovm" file at `path`; every line names `shown`, as compilers do, so that several
// reports can be told apart.
int CheckOvm(const std::string& path, const std::string& shown, std::ostream& out) {
  // Read as the import reads a material file: a folder, a FIFO or a device is refused before it
  // is opened, so the check never waits for a writer.
  std::string text;
  std::string error;
  if (!Orvane::OrvaneXMLLoader::readFile(path, text, error)) {
    out << shown << ": " << error << "\n";
    return 2;
  }
  if (text.empty()) {
    out << shown << ": the file is empty: not a material file\n";
    return 1;
  }
  std::ostringstream report;
  const int failures = Orvane::OrvaneMaterialCheck::checkText(text, report);
  std::istringstream lines(report.str());
  for (std::string line; std::getline(lines, line);) out << shown << ": " << line << "\n";
  return failures == 0 ? 0 : 1;
}

// Unpacks the archive at `path` into `dir` with the host's extraction, as the import does, and
// checks the first ".ovm" found at its top level in the host's order. One in a folder of the
// archive is named, not checked: the renderer reads only the top level.
int CheckArchive(const std::string& path, const std::string& dir, std::ostream& out) {
  ZipFile* zip = ZipFile::Alloc();
  const bool extracted = zip && zip->ExtractToDirectory(Filename(path), Filename(dir),
                                                        ZIP_EXTRACT_CREATE_SUBDIR, nullptr, nullptr, nullptr);
  const long failure = zip ? zip->GetError() : ZIPERROR_READ;
  const int systemError = zip ? zip->GetSystemError() : 0;
  ZipFile::Free(zip);
  if (!extracted) {
    out << path << ": Could not unpack the archive: " << Helpers::UnpackFailureText(failure, systemError)
        << "\n";
    return 2;
  }
  std::string ovm;
  BrowseFiles* browser = BrowseFiles::Alloc();
  browser->Init(Filename(dir), 0);
  while (ovm.empty() && browser->GetNext()) {
    if (!browser->IsDir() && browser->GetFilename().CheckSuffix("ovm"))
      ovm = dir + "/" + host::ToUtf8(browser->GetFilename().GetString());
  }
  BrowseFiles::Free(browser);
  if (ovm.empty()) {
    const String nested = Helpers::NestedMaterialFile(Filename(dir));
    if (nested.Content())
      out << path << ": " << host::ToUtf8(Helpers::NotAtTopLevelText(nested)) << "\n";
    else
      out << path << ": the archive holds no .ovm file: not a material file\n";
    return 1;
  }
  return CheckOvm(ovm, path, out);
}

}  // namespace

int CheckMaterialFile(const std::string& path, std::ostream& out) {
  if (!Filename(path).CheckSuffix("povm")) return CheckOvm(path, path, out);
  // Only a regular file is opened, so the check never waits for a writer.
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) {
    out << path << ": Cannot open the file: " << std::strerror(errno) << ".\n";
    return 2;
  }
  if (!S_ISREG(st.st_mode)) {
    out << path << ": Not a regular file.\n";
    return 2;
  }
  // A scratch folder of its own, removed again whatever happens (an interruption too); one that a
  // killed check left is swept when the next one is made.
  const std::string scratch = TemporaryFile::MakeTemporaryFolder(ScratchParent() + "/corvane-check");
  if (scratch.empty()) {
    out << path << ": Could not unpack the archive: " << Helpers::UnpackFailureText(ZIPERROR_WRITE, errno)
        << "\n";
    return 2;
  }
  struct Remove {
    const std::string& folder;
    ~Remove() { TemporaryFile::RemoveFolder(folder); }
  } remove{scratch};
  return CheckArchive(path, scratch, out);
}
