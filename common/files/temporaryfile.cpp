#include "files/temporaryfile.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <pwd.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
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

/// How many letters and digits end a temporary's name.
constexpr size_t kRandomLength = 10;

/// `kRandomLength` letters and digits that another user cannot foresee, as `mkstemp` chooses them.
std::string RandomPart() {
  static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  unsigned char bytes[kRandomLength];
  if (::getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
    // No random source: the time and a count still differ from one name to the next.
    uint64_t mix = static_cast<uint64_t>(std::time(nullptr)) * 0x9e3779b97f4a7c15ull ^ g_counter.fetch_add(1);
    for (unsigned char& byte : bytes)
      byte = static_cast<unsigned char>((mix = mix * 6364136223846793005ull + 1) >> 56);
  }
  std::string part(kRandomLength, 'a');
  for (size_t i = 0; i < kRandomLength; ++i) part[i] = kLetters[bytes[i] % (sizeof kLetters - 1)];
  return part;
}

/// The name of a temporary for `name` in this process, shortened so that it fits in a folder.
std::string TemporaryName(const std::string& name) {
  const std::string suffix = kMark + Origin() + "-" + std::to_string(::getpid()) + "-" + RandomPart();
  return "." + name.substr(0, NAME_MAX - 1 - suffix.size()) + suffix;
}

/// The folder part of `path` with its slash ("" for a bare name) and the name in it.
void SplitPath(const std::string& path, std::string* dir, std::string* name) {
  const size_t slash = path.rfind('/');
  *dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  *name = slash == std::string::npos ? path : path.substr(slash + 1);
}

/// The target of the link `path`, whose status gave `size` (0 when unknown): 0, or the `errno`
/// value (ENOENT for an empty target, ENAMETOOLONG for one that grew meanwhile).
int ReadLink(const std::string& path, off_t size, std::string* target) {
  std::vector<char> buffer(static_cast<size_t>(size > 0 ? size : PATH_MAX) + 1);
  const ssize_t n = ::readlink(path.c_str(), buffer.data(), buffer.size());
  if (n < 0) return errno;
  if (static_cast<size_t>(n) >= buffer.size()) return ENAMETOOLONG;
  if (n == 0) return ENOENT;
  target->assign(buffer.data(), static_cast<size_t>(n));
  return 0;
}

/// True when what `owner` owns in the folder of status `folder` may be used: anywhere but in a
/// sticky folder that others may write to, where only the folder's owner's entries and this
/// user's are.
bool MayUseIn(const struct stat& folder, uid_t owner) {
  if (!(folder.st_mode & S_ISVTX) || !(folder.st_mode & S_IWOTH)) return true;
  return owner == folder.st_uid || owner == ::geteuid();
}

/// `MayUseIn` for the folder `dir` ("" for the working directory); false when it cannot be read.
bool MayUseIn(const std::string& dir, uid_t owner) {
  struct stat folder;
  return ::stat(dir.empty() ? "." : dir.c_str(), &folder) == 0 && MayUseIn(folder, owner);
}

/// Walks `folder` ("" for the working directory) one name at a time as the system does, following
/// its links, and refuses a link in a sticky folder that others may write to unless the folder's
/// owner or this user owns it (EACCES), whatever the kernel's own rule for links says. A missing
/// part ends the walk: the folder is still to be made. 0, or the `errno` value of the refusal.
int CheckLinksAlong(const std::string& folder) {
  if (folder.empty()) return 0;
  std::string done;  // walked so far: absolute, free of links, "" for the root
  if (folder[0] != '/') {
    char* cwd = ::getcwd(nullptr, 0);
    if (!cwd) return errno;
    done = std::strcmp(cwd, "/") == 0 ? "" : cwd;
    std::free(cwd);
  }
  std::vector<std::string> rest;  // the names still to walk, the next one last
  const auto push = [&rest](const std::string& path) {
    for (size_t end = path.size(); end > 0;) {
      const size_t slash = path.rfind('/', end - 1);
      const size_t start = slash == std::string::npos ? 0 : slash + 1;
      if (end > start) rest.push_back(path.substr(start, end - start));
      if (slash == std::string::npos) break;
      end = slash;
    }
  };
  push(folder);
  for (int links = 0; !rest.empty();) {
    const std::string name = rest.back();
    rest.pop_back();
    if (name == ".") continue;
    if (name == "..") {
      done.erase(std::min(done.size(), done.rfind('/')));
      continue;
    }
    const std::string next = done + "/" + name;
    struct stat st;
    if (::lstat(next.c_str(), &st) != 0) return errno == ENOENT || errno == ENOTDIR ? 0 : errno;
    if (!S_ISLNK(st.st_mode)) {
      done = next;
      continue;
    }
    if (++links > kMaxLinkDepth) return ELOOP;
    if (!MayUseIn(done.empty() ? "/" : done, st.st_uid)) return EACCES;
    std::string target;
    if (const int unread = ReadLink(next, st.st_size, &target)) return unread;
    if (target[0] == '/') done.clear();
    push(target);
  }
  return 0;
}

/// The name of the user `uid`, or its number.
std::string UserName(uid_t uid) {
  struct passwd entry, *found = nullptr;
  std::vector<char> buffer(16384);
  if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found) return found->pw_name;
  return "user " + std::to_string(uid);
}

/// Removes the entry `name` of the folder open as `at` with all it holds; a link is removed, never
/// followed. `depth` counts the folders above it in this removal.
void RemoveTreeAt(int at, const std::string& name, int depth) {
  if (::unlinkat(at, name.c_str(), 0) == 0 || (errno != EISDIR && errno != EPERM) || depth > 256) return;
  const int fd = ::openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return;
  std::vector<std::string> names;
  if (DIR* dir = ::fdopendir(fd)) {
    while (const dirent* entry = ::readdir(dir))
      if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
        names.push_back(entry->d_name);
    for (const std::string& inner : names) RemoveTreeAt(::dirfd(dir), inner, depth + 1);
    ::closedir(dir);
  } else {
    ::close(fd);
  }
  ::unlinkat(at, name.c_str(), AT_REMOVEDIR);
}

/// Removes `path` with all it holds (a link itself, never what it leads to); `errno` is kept.
void RemoveTree(const std::string& path) {
  const int saved = errno;
  std::string dir, name;
  SplitPath(path, &dir, &name);
  const int at = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (at >= 0) {
    if (!name.empty()) RemoveTreeAt(at, name, 0);
    ::close(at);
  }
  errno = saved;
}

/// Follows the links at `target` (when `follow`) to the file a write replaces: 0 with `*final` its
/// path and `*st` its status (`*exists` false when nothing is there yet: the link is dangling, the
/// name is free or a link that is not followed is replaced), or the `errno` value of the refusal.
int ResolveTarget(const std::string& target, bool follow, std::string* final, struct stat* st, bool* exists) {
  if (target.empty()) return ENOENT;
  std::string path = target;
  for (int depth = 0; depth <= kMaxLinkDepth; ++depth) {
    std::string dir, name;
    SplitPath(path, &dir, &name);
    if (const int refused = CheckLinksAlong(dir)) return refused;
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
      if (!MayUseIn(dir, st->st_uid)) return EACCES;
      std::string next;
      if (const int unread = ReadLink(path, st->st_size, &next)) return unread;
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

/// True when `name` in the folder open as `fd` is a temporary file or folder of this user whose
/// writer is certainly gone.
bool IsStale(int fd, const char* name, time_t now) {
  const NameInfo info = ReadName(name);
  if (!info.temporary) return false;
  struct stat st;
  if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !(S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)) ||
      st.st_uid != ::geteuid())
    return false;
  if (info.local) {
    if (info.pid == ::getpid()) return false;
    // A process that runs, or runs under another user (EPERM), keeps its file.
    return ::kill(info.pid, 0) != 0 && errno == ESRCH;
  }
  return now - st.st_mtime > kForeignAge;
}

/// Locks the registry unless the run is being interrupted (then `errno` is `kInterrupted`).
struct Guard {
  std::unique_lock<std::mutex> lock;
  bool ok;
  Guard() : lock(TheRegistry().mutex), ok(!TheRegistry().interrupted) {
    if (!ok) errno = kInterrupted;
  }
};

/// Sweeps `dir` ("" for the working directory) the first time this process makes something there.
void SweepOnce(const std::string& dir) {
  Registry& registry = TheRegistry();
  bool first = false;
  {
    std::lock_guard<std::mutex> lock(registry.mutex);
    first = registry.swept.insert(dir).second;
  }
  if (first) RemoveStale(dir);
}

}  // namespace

std::string ErrorText(int error) {
  if (error == kNotRegularFile) return "not a regular file";
  if (error == kInterrupted) return "interrupted";
  if (error == kForeignFolder) return "the folder belongs to another user";
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
  // ".<target name>.tmp-[<origin>-]<pid>-<letters and digits>", read from the end: the target's
  // name may hold anything.
  size_t end = name.size();
  if (!BackOver(name, "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", &end) ||
      name.size() - end > kRandomLength || end == 0 || name[end - 1] != '-')
    return info;
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
      if (!IsStale(::dirfd(dir), entry->d_name, now)) continue;
      RemoveTreeAt(::dirfd(dir), entry->d_name, 0);
      struct stat st;
      if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) ++removed;
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
  SweepOnce(dir);
  Registry& registry = TheRegistry();
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const std::string candidate = dir + TemporaryName(name);
    int fd = -1;
    {
      // Registered before it exists and made under the lock, so that an interruption either
      // comes first (and nothing is made) or finds it.
      Guard guard;
      if (!guard.ok) return -1;
      // The umask applies to a new file; a file this replaces gives its own mode below.
      fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
      if (fd >= 0) registry.live.insert(candidate);
    }
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return -1;
    }
    if (exists) {
      // The file it replaces keeps its owner and group where this user may give them (as root, or
      // a group of this user's); elsewhere the new file is this user's.
      if ((st.st_uid != ::geteuid() || st.st_gid != ::getegid()) && ::fchown(fd, st.st_uid, st.st_gid) != 0)
        (void)::fchown(fd, static_cast<uid_t>(-1), st.st_gid);
      if (::fchmod(fd, st.st_mode & 0777) != 0) {
        const int error = errno;
        ::close(fd);
        Discard(candidate);
        errno = error;
        return -1;
      }
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
  Guard guard;
  if (!guard.ok || ::mkdir(path.c_str(), 0777) != 0) return false;
  TheRegistry().folders.insert(path);
  return true;
}

std::string MakeTemporaryFolder(const std::string& target) {
  std::string dir, name;
  SplitPath(target, &dir, &name);
  if (const int refused = CheckLinksAlong(dir)) {
    errno = refused;
    return "";
  }
  SweepOnce(dir);
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const std::string candidate = dir + TemporaryName(name);
    if (MakeFolder(candidate)) return candidate;
    if (errno != EEXIST) return "";
  }
  errno = EEXIST;
  return "";
}

bool CommitFolder(const std::string& temporary, const std::string& final) {
  Guard guard;
  if (!guard.ok) return false;
  if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, final.c_str(), RENAME_NOREPLACE) != 0) return false;
  TheRegistry().folders.erase(temporary);
  return true;
}

int UseFolder(const std::string& path, bool make, bool registerNew, std::string* why) {
  const auto refuse = [why](int error, const std::string& reason = "") {
    if (why) *why = reason.empty() ? ErrorText(error) : reason;
    errno = error;
    return error;
  };
  std::string at = path;
  while (at.size() > 1 && at.back() == '/') at.pop_back();
  for (int depth = 0; depth <= kMaxLinkDepth; ++depth) {
    std::string dir, name;
    SplitPath(at, &dir, &name);
    if (const int refused = CheckLinksAlong(dir)) return refuse(refused);
    if (make && depth == 0) {
      Guard guard;
      if (!guard.ok) return refuse(kInterrupted);
      if (::mkdir(at.c_str(), 0777) == 0) {
        if (registerNew) TheRegistry().folders.insert(at);
        return 0;
      }
      if (errno != EEXIST) return refuse(errno);
    }
    // What is there, looked at after the attempt to make it.
    struct stat st, parent;
    if (::lstat(at.c_str(), &st) != 0 || ::stat(dir.empty() ? "." : dir.c_str(), &parent) != 0)
      return refuse(errno);
    if (S_ISLNK(st.st_mode)) {
      if (!MayUseIn(parent, st.st_uid)) return refuse(EACCES);
      std::string next;
      if (const int unread = ReadLink(at, st.st_size, &next)) return refuse(unread);
      at = next[0] == '/' ? next : dir + next;
      continue;
    }
    if (!S_ISDIR(st.st_mode)) return refuse(ENOTDIR);
    if (!MayUseIn(parent, st.st_uid))
      return refuse(kForeignFolder,
                    "the folder " + at + " belongs to another user (" + UserName(st.st_uid) + ")");
    return 0;
  }
  return refuse(ELOOP);
}

int RenewFolder(const std::string& path, bool registerNew, std::string* why) {
  std::string at = path, dir, name;
  while (at.size() > 1 && at.back() == '/') at.pop_back();
  SplitPath(at, &dir, &name);
  // Why what is there cannot be removed; 0 when it can, or when nothing is there.
  const auto refusal = [&]() -> int {
    if (const int refused = CheckLinksAlong(dir)) return refused;
    struct stat st, parent, led;
    if (::lstat(at.c_str(), &st) != 0) return errno == ENOENT ? 0 : errno;
    if (::stat(dir.empty() ? "." : dir.c_str(), &parent) != 0) return errno;
    if (!MayUseIn(parent, st.st_uid)) return S_ISDIR(st.st_mode) ? kForeignFolder : EACCES;
    // A file is left where it is; a link is removed itself, and only when it leads to a folder.
    if (S_ISDIR(st.st_mode)) return 0;
    if (!S_ISLNK(st.st_mode)) return ENOTDIR;
    if (::stat(at.c_str(), &led) != 0) return errno;
    return S_ISDIR(led.st_mode) ? 0 : ENOTDIR;
  };
  int refused = refusal();
  if (refused == kForeignFolder) return UseFolder(at, false, false, why);  // says whose folder it is
  if (refused == 0) {
    // Out of the way first, under a temporary's name: an interruption then finds either all of it in
    // place or all of it to remove, and what a killed run left is swept.
    SweepOnce(dir);
    std::string aside;
    {
      Guard guard;
      for (int attempt = 0; guard.ok && attempt < kAttempts && aside.empty(); ++attempt) {
        const std::string candidate = dir + TemporaryName(name);
        if (::renameat2(AT_FDCWD, at.c_str(), AT_FDCWD, candidate.c_str(), RENAME_NOREPLACE) == 0)
          aside = candidate;
        else if (errno != EEXIST)
          break;
      }
      if (!aside.empty())
        TheRegistry().folders.insert(aside);
      else if (errno != ENOENT)
        refused = errno;  // gone meanwhile: nothing to empty
    }
    if (!aside.empty()) {
      RemoveTree(aside);
      KeepFolder(aside);  // removed: nothing left to remove
    }
  }
  if (refused != 0) {
    if (why) *why = ErrorText(refused);
    errno = refused;
    return refused;
  }
  return UseFolder(at, true, registerNew, why);
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
    if (registry.folders.erase(path) > 0) RemoveTree(path);
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
  for (const std::string& folder : registry.folders) RemoveTree(folder);
  registry.folders.clear();
  errno = saved;
  return first;
}

bool Interrupted() { return g_interrupted.load(); }

}  // namespace TemporaryFile
