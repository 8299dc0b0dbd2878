#include "scratch.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace scratch {

namespace {

/// Removes everything in the folder open as `fd`, however deep, each folder made searchable first
/// and every name taken from its open folder, so that no path grows too long.
void Empty(int fd) {
  const int listed = ::openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* dir = listed >= 0 ? ::fdopendir(listed) : nullptr;
  if (!dir) {
    if (listed >= 0) ::close(listed);
    return;
  }
  std::vector<std::string> names;
  while (const dirent* entry = ::readdir(dir))
    if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
      names.push_back(entry->d_name);
  ::closedir(dir);
  for (const std::string& name : names) {
    struct stat st;
    if (::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(st.st_mode)) {
      ::unlinkat(fd, name.c_str(), 0);
      continue;
    }
    ::fchmodat(fd, name.c_str(), 0700, 0);
    const int inner = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (inner >= 0) {
      Empty(inner);
      ::close(inner);
    }
    ::unlinkat(fd, name.c_str(), AT_REMOVEDIR);
  }
}

}  // namespace

Dir::Dir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "corvane-test-XXXXXX").string();
  const char* made = ::mkdtemp(pattern.data());
  path_ = made ? made : "";
}

Dir::~Dir() {
  if (path_.empty()) return;
  ::chmod(path_.c_str(), 0700);
  const int fd = ::open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd >= 0) {
    Empty(fd);
    ::close(fd);
  }
  ::rmdir(path_.c_str());
}

std::string ReadBack(const std::string& path) {
  std::ostringstream bytes;
  bytes << std::ifstream(path, std::ios::binary).rdbuf();
  return bytes.str();
}

std::set<std::string> Names(const std::string& folder) {
  std::set<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error))
    names.insert(entry.path().filename().string());
  return names;
}

std::string Said(const files::Result& result) {
  if (result.ok()) return "ok";
  static const char* const kReasons[] = {
      "", "", " not regular", " foreign folder", " foreign file", " interrupted", " foreign link", " moved"};
  const char* name = ::strerrorname_np(result.error());
  std::string text = result.Text();
  for (size_t at = text.find(".tmp-"); at != std::string::npos; at = text.find(".tmp-", at + 1)) {
    const size_t end =
        text.find_first_not_of("-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", at + 5);
    text.replace(at + 5, (end == std::string::npos ? text.size() : end) - at - 5, "*");
  }
  return (name ? name : std::to_string(result.error())) + kReasons[static_cast<int>(result.reason())] + ": " +
         text;
}

std::string InChild(const std::function<std::string()>& body) {
  int channel[2];
  if (::pipe(channel) != 0) return "no pipe";
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(channel[0]);
    const std::string answer = body();
    for (size_t done = 0; done < answer.size();) {
      const ssize_t n = ::write(channel[1], answer.data() + done, answer.size() - done);
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    ::_exit(0);  // nothing of the parent's (temporaries, test state) is cleaned up here
  }
  ::close(channel[1]);
  std::string answer;
  char buffer[4096];
  for (ssize_t n; (n = ::read(channel[0], buffer, sizeof buffer)) != 0;) {
    if (n < 0 && errno != EINTR) break;
    if (n > 0) answer.append(buffer, static_cast<size_t>(n));
  }
  ::close(channel[0]);
  int status = -1;
  if (child < 0 || ::waitpid(child, &status, 0) != child) return "no child";
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    answer += "(child ended with status " + std::to_string(status) + ")";
  return answer;
}

bool BecomeNobody() { return ::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0; }

}  // namespace scratch
