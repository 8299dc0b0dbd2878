#include "files/temporaryfile.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <vector>

namespace TemporaryFile {

namespace {

/// How many links a target may pass through before it counts as a loop.
constexpr int kMaxLinkDepth = 40;

/// How many taken names a creation passes over before it gives up.
constexpr int kAttempts = 100;

/// How long a temporary of another machine or PID namespace stays untouched before it counts as
/// left behind.
constexpr time_t kForeignAge = 24 * 60 * 60;

constexpr char kMark[] = ".tmp-";
constexpr size_t kMarkLength = sizeof kMark - 1;
constexpr size_t kOriginLength = 12;

/// What this process has made and not yet renamed or removed, and the folders it swept already.
struct Registry {
  std::mutex mutex;
  std::set<std::string> live;
  std::set<std::string> folders;
  std::set<std::string> swept;
  bool interrupted = false;
};

Registry& TheRegistry() {
  static Registry* registry = new Registry;  // never destroyed: an exiting thread may still use it
  return *registry;
}

std::atomic<bool> g_interrupted{false};
std::atomic<unsigned long> g_counter{0};

/// The folder part of `path` with its slash ("" for a bare name) and the name in it.
void SplitPath(const std::string& path, std::string* dir, std::string* name) {
  const size_t slash = path.rfind('/');
  *dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  *name = slash == std::string::npos ? path : path.substr(slash + 1);
}

/// True when a link in the folder `dir` ("" for the working directory) that `owner` owns may be
/// followed: anywhere but in a sticky folder that others may write to, where only the folder's
/// owner's links and this user's are.
bool MayFollowLinkIn(const std::string& dir, uid_t owner) {
  struct stat folder;
  if (::stat(dir.empty() ? "." : dir.c_str(), &folder) != 0) return false;
  if (!(folder.st_mode & S_ISVTX) || !(folder.st_mode & S_IWOTH)) return true;
  return owner == folder.st_uid || owner == ::geteuid();
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
      std::string dir, name;
      SplitPath(path, &dir, &name);
      if (!MayFollowLinkIn(dir, st->st_uid)) return EACCES;
      std::vector<char> buffer(static_cast<size_t>(st->st_size > 0 ? st->st_size : PATH_MAX) + 1);
      const ssize_t n = ::readlink(path.c_str(), buffer.data(), buffer.size());
      if (n < 0) return errno;
      if (static_cast<size_t>(n) >= buffer.size()) return ENAMETOOLONG;  // changed meanwhile
      std::string next(buffer.data(), static_cast<size_t>(n));
      if (next.empty()) return ENOENT;
      path = next[0] == '/' ? next : dir + next;
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

/// Moves `*end` back over the characters of `set` before it; false when there are none.
bool BackOver(const std::string& s, const char* set, size_t* end) {
  const size_t last = *end;
  while (*end > 0 && std::strchr(set, s[*end - 1]) && s[*end - 1] != '\0') --*end;
  return *end < last;
}

/// The 64-bit FNV-1a hash of `text`, continued from `hash`.
uint64_t Hash(const std::string& text, uint64_t hash) {
  for (unsigned char c : text) hash = (hash ^ c) * 0x100000001b3ull;
  return hash;
}

/// True when the regular file `name` in the folder open as `fd` is a temporary whose writer is
/// certainly gone.
bool IsStale(int fd, const char* name, time_t now) {
  const NameInfo info = ReadName(name);
  if (!info.temporary) return false;
  struct stat st;
  if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) return false;
  if (info.local) {
    if (info.pid == ::getpid()) return false;
    // A process that runs, or runs under another user (EPERM), keeps its file.
    return ::kill(info.pid, 0) != 0 && errno == ESRCH;
  }
  return now - st.st_mtime > kForeignAge;
}

}  // namespace

std::string ErrorText(int error) {
  if (error == kNotRegularFile) return "not a regular file";
  if (error == kInterrupted) return "interrupted";
  char buffer[256];
  return ::strerror_r(error, buffer, sizeof buffer);  // the GNU form: the text, maybe not in buffer
}

const std::string& Origin() {
  static const std::string origin = [] {
    uint64_t hash = 0xcbf29ce484222325ull;
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) == 0) hash = Hash(host, hash);
    std::ifstream machine("/etc/machine-id");
    std::string id;
    if (std::getline(machine, id)) hash = Hash(id, hash);
    struct stat ns;
    if (::stat("/proc/self/ns/pid", &ns) == 0)
      hash = Hash(std::to_string(ns.st_dev) + ":" + std::to_string(ns.st_ino), hash);
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return std::string(text + 16 - kOriginLength);
  }();
  return origin;
}

NameInfo ReadName(const std::string& name) {
  NameInfo info;
  // ".<target name>.tmp-[<origin>-]<pid>-<n>", read from the end: the target's name may hold
  // anything.
  size_t end = name.size();
  if (!BackOver(name, "0123456789", &end) || end == 0 || name[end - 1] != '-') return info;
  const size_t pidEnd = --end;
  if (!BackOver(name, "0123456789", &end) || pidEnd - end > 10) return info;
  const unsigned long long pid = std::stoull(name.substr(end, pidEnd - end));
  if (pid == 0 || pid > static_cast<unsigned long long>(INT_MAX)) return info;
  std::string origin;
  if (end > kOriginLength + 1 && name[end - 1] == '-') {
    size_t start = end - 1;
    if (BackOver(name, "0123456789abcdef", &start) && end - 1 - start == kOriginLength) {
      origin = name.substr(start, kOriginLength);
      end = start;
    }
  }
  // A dot, at least one character of the target's name, then the mark.
  if (end < kMarkLength + 2 || name.compare(end - kMarkLength, kMarkLength, kMark) != 0 || name[0] != '.')
    return info;
  info.temporary = true;
  info.local = origin == Origin();
  info.pid = static_cast<pid_t>(pid);
  return info;
}

int RemoveStale(const std::string& folder) {
  const int saved = errno;
  int removed = 0;
  if (DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str())) {
    const time_t now = std::time(nullptr);
    while (const dirent* entry = ::readdir(dir)) {
      if (IsStale(::dirfd(dir), entry->d_name, now) && ::unlinkat(::dirfd(dir), entry->d_name, 0) == 0)
        ++removed;
    }
    ::closedir(dir);
  }
  errno = saved;
  return removed;
}

int RemoveStaleBelow(const std::string& folder, int depth) {
  int removed = RemoveStale(folder);
  if (depth <= 0) return removed;
  const int saved = errno;
  std::vector<std::string> below;
  if (DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str())) {
    const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    while (const dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      struct stat st;
      if (name == "." || name == ".." ||
          ::fstatat(::dirfd(dir), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(st.st_mode))
        continue;
      below.push_back(prefix + name);
    }
    ::closedir(dir);
  }
  for (const std::string& sub : below) removed += RemoveStaleBelow(sub, depth - 1);
  errno = saved;
  return removed;
}

int CreateBeside(const std::string& target, std::string* temporary, std::string* final, bool followLink) {
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
  if (first) RemoveStale(dir);

  const std::string prefix = kMark + Origin() + "-" + std::to_string(::getpid()) + "-";
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const std::string suffix = prefix + std::to_string(g_counter.fetch_add(1));
    // A long target name is shortened so that the temporary's name still fits in the folder.
    const size_t room = NAME_MAX - 1 - suffix.size();
    const std::string candidate = dir + "." + name.substr(0, room) + suffix;
    int fd = -1;
    {
      // Registered before it exists and made under the lock, so that an interruption either
      // comes first (and nothing is made) or finds it.
      std::lock_guard<std::mutex> lock(registry.mutex);
      if (registry.interrupted) {
        errno = kInterrupted;
        return -1;
      }
      // The umask applies to a new file; a file this replaces gives its own mode below.
      fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
      if (fd >= 0) registry.live.insert(candidate);
    }
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return -1;
    }
    if (exists && ::fchmod(fd, st.st_mode & 0777) != 0) {
      const int error = errno;
      ::close(fd);
      Discard(candidate);
      errno = error;
      return -1;
    }
    *temporary = candidate;
    *final = path;
    return fd;
  }
  errno = EEXIST;
  return -1;
}

bool Commit(const std::string& temporary, const std::string& final, const std::vector<std::string>& keep) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  if (registry.interrupted) {
    errno = kInterrupted;
    return false;  // the interruption removed the temporary already
  }
  registry.live.erase(temporary);
  if (::rename(temporary.c_str(), final.c_str()) == 0) {
    for (const std::string& folder : keep) registry.folders.erase(folder);
    return true;
  }
  const int error = errno;
  ::unlink(temporary.c_str());
  errno = error;
  return false;
}

void Discard(const std::string& temporary) {
  const int saved = errno;
  Registry& registry = TheRegistry();
  {
    std::lock_guard<std::mutex> lock(registry.mutex);
    if (registry.live.erase(temporary) > 0) ::unlink(temporary.c_str());
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

bool WriteFileReplacing(const std::string& path, const void* data, size_t size, std::string* why) {
  std::string temporary, final;
  int error = 0;
  const int fd = CreateBeside(path, &temporary, &final);
  if (fd < 0) {
    error = errno;
  } else {
    if (!WriteAll(fd, data, size)) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error != 0)
      Discard(temporary);
    else if (!Commit(temporary, final))
      error = errno;
  }
  if (why) *why = error != 0 ? ErrorText(error) : std::string();
  if (error != 0) errno = error;
  return error == 0;
}

bool IsReplaceableTarget(const std::string& path, std::string* why) {
  std::string final;
  struct stat st;
  bool exists = false;
  const int refused = ResolveTarget(path, true, &final, &st, &exists);
  if (refused != EISDIR && refused != kNotRegularFile && refused != ELOOP && refused != EACCES) return true;
  if (why) *why = ErrorText(refused);
  return false;
}

bool IsRegularFile(const std::string& path) {
  std::string final;
  struct stat st;
  bool exists = false;
  return ResolveTarget(path, true, &final, &st, &exists) == 0 && exists;
}

bool MakeFolder(const std::string& path) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  if (registry.interrupted) {
    errno = kInterrupted;
    return false;
  }
  if (::mkdir(path.c_str(), 0777) != 0) return false;
  registry.folders.insert(path);
  return true;
}

std::string MakeUniqueFolder(const std::string& prefix) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  if (registry.interrupted) {
    errno = kInterrupted;
    return "";
  }
  std::string path = prefix + "XXXXXX";
  if (!::mkdtemp(path.data())) return "";
  registry.folders.insert(path);
  return path;
}

void KeepFolder(const std::string& path) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  registry.folders.erase(path);
}

void RemoveFolder(const std::string& path) {
  const int saved = errno;
  Registry& registry = TheRegistry();
  {
    std::lock_guard<std::mutex> lock(registry.mutex);
    if (registry.folders.erase(path) > 0) {
      std::error_code ignored;
      std::filesystem::remove_all(path, ignored);  // links inside are removed, not followed
    }
  }
  errno = saved;
}

bool Interrupt() {
  const int saved = errno;
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  const bool first = !registry.interrupted;
  registry.interrupted = true;
  g_interrupted = true;
  for (const std::string& temporary : registry.live) ::unlink(temporary.c_str());
  registry.live.clear();
  for (const std::string& folder : registry.folders) {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
  registry.folders.clear();
  errno = saved;
  return first;
}

bool Interrupted() { return g_interrupted.load(); }

}  // namespace TemporaryFile
