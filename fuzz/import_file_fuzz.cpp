// Fuzz target of the material import from a file on disk: arbitrary bytes are written to a ".ovm"
// file and imported as the import command imports a chosen file (loader, frame, readers,
// importers, warnings, document update), into an empty document of the host stand-in. Beyond the
// sanitizers it checks two promises of the import:
// - a failed import has said why: the console's last line names the file and the reason (or that
//   it holds no material), or a dialog says the import stopped or that the file was not read whole;
// - whatever was imported, the document can be saved (every number in it is finite).
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "c4d.h"
#include "command/importovm.h"
#include "host_control.h"
#include "host_document_file.h"
#include "host_user.h"
#include "material/customorvanematerial.h"
#include "shader/ovlshader.h"

namespace {

std::string folder;
std::string path;

void RemoveFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
}

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "import_file_fuzz: %s\n", what.c_str());
  std::abort();
}

bool Starts(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char name[] = "/tmp/corvane-import-file-fuzz-XXXXXX";
  if (!::mkdtemp(name)) std::abort();
  folder = name;
  path = folder + "/fuzz.ovm";
  std::atexit(RemoveFolder);
  host::ResetAll();
  host::SetStartupWritePath(folder);
  host::OverrideString(10025, "Orvane Material");
  host::OverrideString(10019, "OVL");
  if (!RegisterCustomOrvaneMaterial() || !RegisterOVL()) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) Fail("cannot write " + path);
  for (size_t done = 0; done < size;) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n <= 0) Fail("cannot write " + path);
    done += static_cast<size_t>(n);
  }
  ::close(fd);

  BaseDocument* doc = BaseDocument::Alloc();
  bool imported = false;
  {
    ImportOVM import;
    imported = import.ImportFile(doc, Filename(String(path)));
  }
  if (!imported) {
    const std::vector<std::string> console = host::ConsoleLines();
    bool said = !console.empty() && (Starts(console.back(), "Could not read material file " + path + ": ") ||
                                     console.back() == "Imported no material: " + path + " holds none.");
    for (const host::Shown& shown : host::user::History())
      said = said || (shown.prompt == host::Prompt::Message &&
                      (Starts(shown.text, "The import stopped: ") ||
                       Starts(shown.text, "The material file was not read whole: ")));
    if (!said) Fail("the import failed without saying why");
  }
  std::string error;
  if (host::SaveDocumentText(doc, &error).empty()) Fail("the imported document cannot be saved: " + error);
  BaseDocument::Free(doc);
  host::user::Reset();
  host::ClearConsole();
  return 0;
}
