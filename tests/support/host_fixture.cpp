#include "support/host_fixture.h"

#include <poll.h>

#include <sys/inotify.h>

#include <sys/stat.h>

#include <unistd.h>

#include <limits.h>

#include <fcntl.h>

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

namespace {
const std::string kLongName(200, 'd');
}  // namespace

TooLongFolder::TooLongFolder(const std::string& dir) {
  folders_.push_back(::open(dir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  for (size_t length = dir.size(); length <= PATH_MAX; length += kLongName.size() + 1) {
    ::mkdirat(folders_.back(), kLongName.c_str(), 0755);
    folders_.push_back(::openat(folders_.back(), kLongName.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  }
}

TooLongFolder::~TooLongFolder() {
  for (const std::string& name : files_) ::unlinkat(Descriptor(), name.c_str(), 0);
  for (size_t i = folders_.size() - 1; i > 0; --i) {
    ::close(folders_[i]);
    ::unlinkat(folders_[i - 1], kLongName.c_str(), AT_REMOVEDIR);
  }
  ::close(folders_[0]);
}

bool TooLongFolder::Write(const std::string& name, const std::string& text, mode_t mode) {
  const int fd = ::openat(Descriptor(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fd < 0) return false;
  files_.push_back(name);
  const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  ::close(fd);
  return written && ::fchmodat(Descriptor(), name.c_str(), mode, 0) == 0;
}

bool TooLongFolder::Link(const std::string& name, const std::string& target) {
  if (::symlinkat(target.c_str(), Descriptor(), name.c_str()) != 0) return false;
  files_.push_back(name);
  return true;
}

bool WaitForName(const std::string& dir, const std::string& name) {
  const int fd = ::inotify_init1(IN_CLOEXEC);
  bool found = false, watched = ::inotify_add_watch(fd, dir.c_str(), IN_CREATE | IN_MOVED_TO) >= 0;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  for (pollfd p = {fd, POLLIN, 0}; watched && !(found = fs::exists(fs::path(dir) / name));) {
    char events[4096];
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0 ||
        ::read(fd, events, sizeof events) <= 0)
      break;
  }
  ::close(fd);
  return found;
}
