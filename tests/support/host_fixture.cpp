#include "support/host_fixture.h"

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <fstream>

namespace fs = std::filesystem;

void HostTest::SetUp() {
  host::ResetAll();
  host::SetPluginPath(CORVANE_SOURCE_DIR);
  ASSERT_TRUE(resource.Init(Filename(CORVANE_SOURCE_DIR "/res")));
}

void HostTest::TearDown() { host::ResetAll(); }

std::string SystemTemporaryFolder() {
  const char* tmp = std::getenv("TMPDIR");
  return tmp && *tmp ? tmp : "/tmp";
}

TempDir::TempDir() {
  std::string tmpl = SystemTemporaryFolder() + "/corvane-test-XXXXXX";
  char* made = mkdtemp(tmpl.data());
  path_ = made ? made : "";
}

TempDir::~TempDir() {
  std::error_code ec;
  if (!path_.empty()) fs::remove_all(path_, ec);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::set<std::string> FolderNames(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename());
  return names;
}

int RunCommand(const std::string& command, std::string* output) {
  output->clear();
  // A group, so that the redirection covers the whole command and the status is the command's, also
  // for one that ends in a newline, ";" or a comment.
  FILE* pipe = popen(("{ " + command + "\n} 2>&1").c_str(), "r");
  if (!pipe) return -1;
  std::array<char, 4096> buf;
  size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), pipe)) > 0) output->append(buf.data(), n);
  int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
