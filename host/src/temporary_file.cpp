// Exclusive temporary files beside their targets, and their removal after an interruption.
#include "temporary_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>
#include <vector>

namespace host {

namespace {

/// The `errno` value that carries "the target exists and is not a regular file" (nothing the
/// calls made here give for a regular file on a disk).
constexpr int kNotRegularFile = EINVAL;

/// How many links a target may pass through before it counts as a loop.
constexpr int kMaxLinkDepth = 40;

/// The longest file name a folder holds.
constexpr size_t kMaxNameBytes = NAME_MAX;

const char kTemporaryMark[] = ".tmp-";

/// The temporaries this process has made and not yet renamed or removed, and the folders whose
/// stale temporaries were removed already.
struct Registry {
  std::mutex mutex;
  std::set<std::string> live;
  std::set<std::string> swept;
};

Registry& TheRegistry() {
  static Registry* registry = new Registry;  // never destroyed: an exiting thread may still use it
  return *registry;
}

std::atomic<unsigned long> counter{0};

/// The folder part of `path` with its slash ("" for a bare name) and the name in it.
void SplitPath(const std::string& path, std::string* dir, std::string* name) {
  const size_t slash = path.rfind('/');
  *dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  *name = slash == std::string::npos ? path : path.substr(slash + 1);
}

/// Follows the links at `target` (when `follow`) to the file a write replaces: 0 with `*final` its
/// path and `*st` its status (`*exists` false when nothing is there yet: the link is dangling, the
/// name is free or a link that is not followed is replaced), or the `errno` value of the refusal.
int ResolveTarget(const std::string& target, bool follow, std::string* final, struct stat* st, bool* exists) {
  if (target.empty()) return ENOENT;
  std::string path = target;
  for (int depth = 0; depth <= kMaxLinkDepth; ++depth) {
    if (::lstat(path.c_str(), st) != 0) {
      if (errno != ENOENT) return errno;
      *final = path;
      *exists = false;
      return 0;
    }
    if (S_ISLNK(st->st_mode) && !follow) {
      *final = path;
      *exists = false;
      return 0;
    }
    if (S_ISLNK(st->st_mode)) {
      std::vector<char> buffer(static_cast<size_t>(st->st_size > 0 ? st->st_size : PATH_MAX) + 1);
      const ssize_t n = ::readlink(path.c_str(), buffer.data(), buffer.size());
      if (n < 0) return errno;
      if (static_cast<size_t>(n) >= buffer.size()) return ENAMETOOLONG;  // changed meanwhile
      std::string next(buffer.data(), static_cast<size_t>(n));
      if (next.empty()) return ENOENT;
      if (next[0] != '/') {
        std::string dir, name;
        SplitPath(path, &dir, &name);
        next = dir + next;
      }
      path = next;
      continue;
    }
    if (S_ISDIR(st->st_mode)) return EISDIR;
    if (!S_ISREG(st->st_mode)) return kNotRegularFile;
    *final = path;
    *exists = true;
    return 0;
  }
  return ELOOP;
}

}  // namespace

pid_t TemporaryFileProcess(const std::string& name) {
  // ".<target name>.tmp-<pid>-<n>", read from the end: the target's name may hold anything.
  const size_t dash = name.rfind('-');
  if (dash == std::string::npos || dash + 1 == name.size()) return 0;
  if (name.find_first_not_of("0123456789", dash + 1) != std::string::npos) return 0;
  const size_t mark = name.rfind(kTemporaryMark, dash);
  if (mark == std::string::npos || mark < 2 || name[0] != '.') return 0;
  const size_t digits = mark + sizeof kTemporaryMark - 1;
  if (digits == dash || dash - digits > 10) return 0;
  if (name.find_first_not_of("0123456789", digits) != dash) return 0;
  const unsigned long long pid = std::stoull(name.substr(digits, dash - digits));
  return pid > 0 && pid <= static_cast<unsigned long long>(INT_MAX) ? static_cast<pid_t>(pid) : 0;
}

void RemoveStaleTemporaries(const std::string& dir) {
  const int saved = errno;
  DIR* folder = ::opendir(dir.empty() ? "." : dir.c_str());
  if (folder) {
    const pid_t self = ::getpid();
    while (const dirent* entry = ::readdir(folder)) {
      const pid_t pid = TemporaryFileProcess(entry->d_name);
      if (pid == 0 || pid == self || ::kill(pid, 0) == 0 || errno != ESRCH) continue;
      struct stat st;  // never a folder, even one of a temporary's name
      if (::fstatat(::dirfd(folder), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISDIR(st.st_mode))
        ::unlinkat(::dirfd(folder), entry->d_name, 0);
    }
    ::closedir(folder);
  }
  errno = saved;
}

int CreateTemporaryBeside(const std::string& target, std::string* temporary, std::string* final,
                          bool followLink) {
  std::string path;
  struct stat st;
  bool exists = false;
  if (const int refused = ResolveTarget(target, followLink, &path, &st, &exists)) {
    errno = refused;
    return -1;
  }
  std::string dir, name;
  SplitPath(path, &dir, &name);
  if (name.empty()) {
    errno = EISDIR;
    return -1;
  }
  Registry& registry = TheRegistry();
  bool first = false;
  {
    std::lock_guard<std::mutex> lock(registry.mutex);
    first = registry.swept.insert(dir).second;
  }
  if (first) RemoveStaleTemporaries(dir);

  const std::string pid = std::to_string(::getpid());
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string suffix = kTemporaryMark + pid + "-" + std::to_string(counter.fetch_add(1));
    // A long target name is shortened so that the temporary's name still fits in the folder.
    const size_t room = kMaxNameBytes - 1 - suffix.size();
    const std::string candidate = dir + "." + name.substr(0, room) + suffix;
    // The umask applies to a new file; a file this replaces gives its own mode below.
    const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return -1;
    }
    if (exists && ::fchmod(fd, st.st_mode & 07777) != 0) {
      const int error = errno;
      ::close(fd);
      ::unlink(candidate.c_str());
      errno = error;
      return -1;
    }
    {
      std::lock_guard<std::mutex> lock(registry.mutex);
      registry.live.insert(candidate);
    }
    *temporary = candidate;
    *final = path;
    return fd;
  }
  errno = EEXIST;
  return -1;
}

bool CommitTemporary(const std::string& temporary, const std::string& final) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  registry.live.erase(temporary);
  if (::rename(temporary.c_str(), final.c_str()) == 0) return true;
  const int error = errno;
  ::unlink(temporary.c_str());
  errno = error;
  return false;
}

void DiscardTemporary(const std::string& temporary) {
  const int saved = errno;
  Registry& registry = TheRegistry();
  {
    std::lock_guard<std::mutex> lock(registry.mutex);
    registry.live.erase(temporary);
    ::unlink(temporary.c_str());
  }
  errno = saved;
}

void RemoveTemporaryFiles() {
  const int saved = errno;
  Registry& registry = TheRegistry();
  {
    std::lock_guard<std::mutex> lock(registry.mutex);
    for (const std::string& temporary : registry.live) ::unlink(temporary.c_str());
    registry.live.clear();
  }
  // The files other writers of this process hold open under a temporary's name.
  const pid_t self = ::getpid();
  if (DIR* fds = ::opendir("/proc/self/fd")) {
    while (const dirent* entry = ::readdir(fds)) {
      if (entry->d_name[0] == '.') continue;
      char link[PATH_MAX + 1];
      const std::string fd = std::string("/proc/self/fd/") + entry->d_name;
      const ssize_t n = ::readlink(fd.c_str(), link, sizeof link - 1);
      if (n <= 0 || link[0] != '/') continue;  // pipes, sockets and the like
      const std::string path(link, static_cast<size_t>(n));
      std::string dir, name;
      SplitPath(path, &dir, &name);
      if (TemporaryFileProcess(name) == self) ::unlink(path.c_str());
    }
    ::closedir(fds);
  }
  errno = saved;
}

bool WriteAll(int fd, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      return false;
    }
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

std::string ErrorText(int error) {
  if (error == kNotRegularFile) return "not a regular file";
  char buffer[256];
  return ::strerror_r(error, buffer, sizeof buffer);  // the GNU form: the text, maybe not in buffer
}

bool IsReplaceableTarget(const std::string& path, std::string* why) {
  std::string final;
  struct stat st;
  bool exists = false;
  const int refused = ResolveTarget(path, true, &final, &st, &exists);
  if (refused != EISDIR && refused != kNotRegularFile) return true;
  if (why) *why = ErrorText(refused);
  return false;
}

bool WriteFileReplacing(const std::string& path, const void* data, size_t size, std::string* why) {
  std::string temporary, final;
  int error = 0;
  const int fd = CreateTemporaryBeside(path, &temporary, &final);
  if (fd < 0) {
    error = errno;
  } else {
    if (!WriteAll(fd, data, size)) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error != 0)
      DiscardTemporary(temporary);
    else if (!CommitTemporary(temporary, final))
      error = errno;
  }
  if (why) *why = error != 0 ? ErrorText(error) : std::string();
  errno = error != 0 ? error : errno;
  return error == 0;
}

}  // namespace host
