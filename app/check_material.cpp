#include "check_material.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "c4d.h"
#include "host_control.h"
#include "archive/nestedmaterial.h"
#include "archive/unpackfailure.h"
#include "orvane_utils/OrvaneMaterialCheck.h"
#include "orvane_utils/OrvaneXMLLoader.h"
#include "files/folder.h"
#include "files/temporary.h"
#include "text/printable.h"

namespace {

// The folder TMPDIR names, or "" when it is unset or empty (read as unset, as mktemp reads it).
std::string Tmpdir() {
  const char* tmp = std::getenv("TMPDIR");
  return tmp ? tmp : "";
}

// Checks the ".ovm" file at `path`; every line names `shown`, as compilers do, so that several
// reports can be told apart.
int CheckOvm(const std::string& path, const std::string& shown, std::ostream& out) {
  // Read as the import reads a material file: a folder, a FIFO or a device is refused before it
  // is opened, so the check never waits for a writer.
  std::string text;
  std::string error;
  if (!Orvane::OrvaneXMLLoader::readFile(path, text, error)) {
    text::WriteLine(out, shown + ": " + error);
    return 2;
  }
  return Orvane::OrvaneMaterialCheck::checkText(text, out, shown + ": ") == 0 ? 0 : 1;
}

// Unpacks the archive at `path` into `dir` with the host's extraction, as the import does, and
// checks the first ".ovm" found at its top level in the host's order. One in a folder of the
// archive is named, not checked: the renderer reads only the top level.
int CheckArchive(const std::string& path, const std::string& dir, std::ostream& out) {
  ZipFile* zip = ZipFile::Alloc();
  const bool extracted = zip && zip->ExtractToDirectory(Filename(path), Filename(dir),
                                                        ZIP_EXTRACT_CREATE_SUBDIR, nullptr, nullptr, nullptr);
  const std::string why = zip ? Helpers::UnpackFailureText(*zip) : Helpers::UnpackFailureText(ZIPERROR_READ);
  const std::vector<ZipFile::LeftOut> leftOut = zip ? zip->GetLeftOut() : std::vector<ZipFile::LeftOut>();
  ZipFile::Free(zip);
  if (!extracted) {
    text::WriteLine(out, path + ": Could not unpack the archive: " + why);
    return 2;
  }
  for (const ZipFile::LeftOut& link : leftOut) text::WriteLine(out, path + ": " + Helpers::LeftOutText(link));
  std::vector<String> top;
  bool unpacked = false;  // anything at the top level
  BrowseFiles* browser = BrowseFiles::Alloc();
  browser->Init(Filename(dir), 0);
  while (browser->GetNext()) {
    unpacked = true;
    if (!browser->IsDir() && Helpers::IsMaterialFileName(browser->GetFilename()))
      top.push_back(browser->GetFilename().GetString());
  }
  BrowseFiles::Free(browser);
  const std::string ovm = top.empty() ? std::string() : dir + "/" + host::ToUtf8(top[0]);
  // The renderer takes one material file of an archive: which one, when it holds several.
  if (top.size() > 1)
    text::WriteLine(out,
                    path + ": the archive " + host::ToUtf8(Helpers::SeveralMaterialFilesText(top, top[0])));
  if (ovm.empty()) {
    const String nested = Helpers::NestedMaterialFile(Filename(dir));
    if (nested.Content())
      text::WriteLine(out, path + ": " + host::ToUtf8(Helpers::NotAtTopLevelText(nested)));
    else if (!unpacked && !leftOut.empty())  // its files were links, left out
      text::WriteLine(out,
                      path + ": the archive holds no material file, " + Helpers::OnlyLeftOutText(leftOut));
    else
      text::WriteLine(out, path + ": the archive holds no .ovm file: not a material file");
    return 1;
  }
  return CheckOvm(ovm, path, out);
}

}  // namespace

int CheckMaterialFile(const std::string& path, std::ostream& out) {
  if (!Filename(path).CheckSuffix("povm")) return CheckOvm(path, path, out);
  // Only a regular file is opened, so the check never waits for a writer.
  int fd = -1;
  const files::Result opened = files::OpenFile(path, &fd);
  if (opened.reason() == files::Reason::kNotRegularFile || opened.error() == EISDIR) {
    text::WriteLine(out, path + ": Not a regular file.");
    return 2;
  }
  if (!opened.ok()) {
    text::WriteLine(out, path + ": Cannot open the file: " + opened.Text() + ".");
    return 2;
  }
  ::close(fd);
  // A scratch folder of its own, removed again whatever happens (an interruption too); one that a
  // killed check left is swept when the next one is made.
  // The scratch folder goes where TMPDIR says, else into /tmp; a TMPDIR that cannot be used is named.
  const std::string tmpdir = Tmpdir();
  files::Folder parent;
  files::NewFolder scratch;
  files::Result made = files::Folder::Open(tmpdir.empty() ? "/tmp" : tmpdir, &parent);
  const std::string which = !made.ok() ? ", which cannot be opened" : ", in which no folder can be made";
  if (made.ok()) made = parent.MakeTemporaryFolder("corvane-check", &scratch);
  if (!made.ok()) {
    text::WriteLine(
        out, path + ": Could not unpack the archive: " + Helpers::UnpackFailureText(ZIPERROR_WRITE) + ": " +
                 (tmpdir.empty() ? "" : "TMPDIR names " + tmpdir + which + ": ") + made.Text());
    return 2;
  }
  return CheckArchive(path, scratch.Path(), out);
}
