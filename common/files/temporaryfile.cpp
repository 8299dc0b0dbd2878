#include "files/temporaryfile.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <signal.h>
#include <sys/file.h>
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
#include <map>
#include <mutex>
#include <set>
#include <utility>
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

/// How many letters and digits end a temporary's name.
constexpr size_t kRandomLength = 10;

/// Something this process made and may still have to remove: the entry `name` of `folder`.
struct Entry {
  Folder folder;
  std::string name;
  std::string finalName;  ///< for a temporary file: the name it takes on `Commit`
};

/// What this process has made and not yet renamed or removed, keyed by the path the caller knows
/// it by, and the folders it swept already.
struct Registry {
  std::mutex mutex;
  std::map<std::string, Entry> live;
  std::map<std::string, Entry> folders;
  std::set<std::string> swept;
  bool interrupted = false;
};

Registry& TheRegistry() {
  static Registry* registry = new Registry;  // never destroyed: an exiting thread may still use it
  return *registry;
}

std::atomic<bool> g_interrupted{false};

/// Random bytes from the system, fetched a block at a time for each thread: one call serves many
/// names, and no thread waits for another.
class RandomPool {
 public:
  unsigned char Next() {
    if (used_ == sizeof bytes_) Refill();
    return bytes_[used_++];
  }

 private:
  void Refill() {
    size_t got = 0;
    while (got < sizeof bytes_) {
      const ssize_t n = ::getrandom(bytes_ + got, sizeof bytes_ - got, 0);
      if (n > 0) {
        got += static_cast<size_t>(n);
      } else if (n < 0 && errno != EINTR) {
        break;
      }
    }
    if (got < sizeof bytes_) {
      // No random source: the time and a count still differ from one name to the next.
      uint64_t mix = static_cast<uint64_t>(std::time(nullptr)) * 0x9e3779b97f4a7c15ull ^ ++fallback_;
      for (size_t i = got; i < sizeof bytes_; ++i)
        bytes_[i] = static_cast<unsigned char>((mix = mix * 6364136223846793005ull + 1) >> 56);
    }
    used_ = 0;
  }

  unsigned char bytes_[1024];
  size_t used_ = sizeof bytes_;
  uint64_t fallback_ = 0;
};

/// This process's ID, asked of the system once (and again in a child after `fork`).
pid_t ThisProcess() {
  static std::atomic<pid_t> cached{0};
  static const bool watched = ::pthread_atfork(nullptr, nullptr, [] { cached = 0; }) == 0;
  pid_t pid = watched ? cached.load() : 0;
  if (pid == 0) {
    pid = ::getpid();
    cached = pid;
  }
  return pid;
}

/// `kRandomLength` letters and digits that another user cannot foresee, as `mkstemp` chooses them.
std::string RandomPart() {
  static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  thread_local RandomPool pool;
  std::string part(kRandomLength, 'a');
  for (char& c : part) {
    unsigned char byte;
    do byte = pool.Next();
    while (byte >= 248);  // 248 = 4 x 62: every letter equally likely
    c = kLetters[byte % 62];
  }
  return part;
}

/// The name of a temporary for `name` in this process, shortened so that it fits in a folder.
std::string TemporaryName(const std::string& name) {
  const std::string suffix = kMark + Origin() + "-" + std::to_string(ThisProcess()) + "-" + RandomPart();
  return "." + name.substr(0, NAME_MAX - 1 - suffix.size()) + suffix;
}

/// The folder part of `path` ("" for a bare name; "/" stays) and the name in it.
void SplitPath(const std::string& path, std::string* dir, std::string* name) {
  const size_t slash = path.rfind('/');
  *dir = slash == std::string::npos ? std::string() : path.substr(0, slash == 0 ? 1 : slash);
  *name = slash == std::string::npos ? path : path.substr(slash + 1);
}

/// `path` without the slashes that end it ("/" stays).
std::string TrimSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

/// The names in the folder open as `fd` (read through a descriptor of its own), "." and ".." left
/// out; false when it cannot be read.
bool ReadNames(int fd, std::vector<std::string>* names) {
  const int own = ::openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (own < 0) return false;
  DIR* dir = ::fdopendir(own);
  if (!dir) {
    ::close(own);
    return false;
  }
  while (const dirent* entry = ::readdir(dir))
    if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
      names->push_back(entry->d_name);
  ::closedir(dir);
  return true;
}

/// Removes the entry `name` of the folder open as `at` with all it holds, however deep; a link is
/// removed, never followed. The folders are gone down one by one with at most `kOpen` of them
/// open at a time; one closed on the way is opened again from below through "..", and the removal
/// stops if that is no longer the folder it was. With `expected`, a folder is removed only while
/// it is still that file (another may have taken its name since it was looked at).
void RemoveTreeAt(int at, const std::string& name, const struct stat* expected = nullptr) {
  if (expected && !S_ISDIR(expected->st_mode)) {
    ::unlinkat(at, name.c_str(), 0);
    return;
  }
  if (!expected && (::unlinkat(at, name.c_str(), 0) == 0 || (errno != EISDIR && errno != EPERM))) return;
  constexpr size_t kOpen = 16;
  struct Level {
    int fd;
    dev_t dev;
    ino_t ino;
    std::string name;
    std::vector<std::string> names;
    size_t next;
  };
  std::vector<Level> levels;
  const auto enter = [&levels](int parent, const std::string& entry, const struct stat* expected) {
    const int fd = ::openat(parent, entry.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat st;
    if (fd < 0) return;
    if (::fstat(fd, &st) != 0 ||
        (expected && (st.st_dev != expected->st_dev || st.st_ino != expected->st_ino))) {
      ::close(fd);
      return;
    }
    Level level{fd, st.st_dev, st.st_ino, entry, {}, 0};
    ReadNames(fd, &level.names);
    levels.push_back(std::move(level));
    if (levels.size() > kOpen) {
      Level& far = levels[levels.size() - 1 - kOpen];
      ::close(far.fd);
      far.fd = -1;
    }
  };
  const auto closeAll = [&levels] {
    for (const Level& level : levels)
      if (level.fd >= 0) ::close(level.fd);
    levels.clear();
  };
  enter(at, name, expected);
  while (!levels.empty()) {
    Level& top = levels.back();
    if (top.next < top.names.size()) {
      const std::string entry = top.names[top.next++];
      const int fd = top.fd;
      if (::unlinkat(fd, entry.c_str(), 0) != 0 && (errno == EISDIR || errno == EPERM))
        enter(fd, entry, nullptr);
      continue;
    }
    Level done = std::move(levels.back());
    levels.pop_back();
    int parent = at;
    if (!levels.empty()) {
      Level& up = levels.back();
      if (up.fd < 0) {
        up.fd = ::openat(done.fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        struct stat st;
        if (up.fd < 0 || ::fstat(up.fd, &st) != 0 || st.st_dev != up.dev || st.st_ino != up.ino) {
          ::close(done.fd);
          closeAll();
          return;
        }
      }
      parent = up.fd;
    }
    ::close(done.fd);
    ::unlinkat(parent, done.name.c_str(), AT_REMOVEDIR);
  }
}

/// Follows the links at `name` in `folder` (when `follow`) to the entry a write replaces: 0 with
/// `*dir` and `*leaf` that entry and `*st` its status (`*exists` false when nothing is there yet:
/// the link is dangling, the name is free, or a link that is not followed is replaced), or the
/// `errno` value of the refusal.
int ResolveIn(const Folder& folder, const std::string& name, bool follow, Folder* dir, std::string* leaf,
              struct stat* st, bool* exists) {
  Folder at = folder;
  std::string entry = name;
  for (int depth = 0; depth <= kMaxLinkDepth; ++depth) {
    if (entry.empty() || entry == "." || entry == "..") return EISDIR;
    if (entry.size() > NAME_MAX) return ENAMETOOLONG;
    *dir = at;
    *leaf = entry;
    if (::fstatat(at.Descriptor(), entry.c_str(), st, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno != ENOENT) return errno;
      *exists = false;
      return 0;
    }
    if (S_ISLNK(st->st_mode)) {
      if (!follow) {
        *exists = false;
        return 0;
      }
      if (!at.MayUse(st->st_uid)) return EACCES;
      std::string target, targetDir;
      if (const int unread = at.ReadLink(entry, &target)) return unread;
      SplitPath(target, &targetDir, &entry);
      if (!targetDir.empty()) {
        Folder next;
        if (const int refused = OpenFolderAt(at, targetDir, 0, &next)) return refused;
        at = next;
      }
      continue;
    }
    if (S_ISDIR(st->st_mode)) return EISDIR;
    if (!S_ISREG(st->st_mode)) return kNotRegularFile;
    *exists = true;
    return 0;
  }
  return ELOOP;
}

/// `ResolveIn` for the path `target`, its folder walked first.
int ResolvePath(const std::string& target, bool follow, Folder* dir, std::string* leaf, struct stat* st,
                bool* exists) {
  std::string folderPath, name;
  SplitPath(target, &folderPath, &name);
  if (name.empty()) return target.empty() ? ENOENT : EISDIR;
  Folder folder;
  if (const int refused = OpenFolder(folderPath, 0, &folder)) return refused;
  return ResolveIn(folder, name, follow, dir, leaf, st, exists);
}

/// Moves `*end` back over the characters of `set` before it; how many it passed.
size_t BackOver(const std::string& s, const char* set, size_t* end) {
  const size_t last = *end;
  while (*end > 0 && s[*end - 1] != '\0' && std::strchr(set, s[*end - 1])) --*end;
  return last - *end;
}

/// The 64-bit FNV-1a hash of `text`, continued from `hash`.
uint64_t Hash(const std::string& text, uint64_t hash) {
  for (unsigned char c : text) hash = (hash ^ c) * 0x100000001b3ull;
  return hash;
}

/// True when `name` in the folder open as `fd` is a temporary file or folder of this user whose
/// writer is certainly gone; `*st` is its status.
bool IsStale(int fd, const char* name, time_t now, struct stat* found) {
  const NameInfo info = ReadName(name);
  if (!info.temporary) return false;
  struct stat& st = *found;
  if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !(S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)) ||
      st.st_uid != ::geteuid())
    return false;
  if (info.local) {
    if (info.pid == ThisProcess()) return false;
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

/// The key of a folder among those swept: its path and its file, since a folder made anew may take a
/// removed one's inode.
std::string KeyOf(const Folder& folder) {
  return std::to_string(folder.Status().st_dev) + ":" + std::to_string(folder.Status().st_ino) + ":" +
         folder.Path();
}

/// Sweeps `folder` the first time this process makes something there.
void SweepOnce(const Folder& folder) {
  Registry& registry = TheRegistry();
  bool first = false;
  {
    std::lock_guard<std::mutex> lock(registry.mutex);
    first = registry.swept.insert(KeyOf(folder)).second;
  }
  if (first) RemoveStale(folder);
}

/// Renames the entry `from` of the folder open as `fd` to `to` there, where nothing may be yet:
/// `renameat2` without replacing, or where the file system refuses that flag, `to` first taken by
/// a new entry of this user's that the rename then replaces (a folder for a folder; for a file,
/// a second link and the removal of the first). 0 or the `errno` value.
int RenameNoReplace(int fd, const std::string& from, const std::string& to) {
  if (::renameat2(fd, from.c_str(), fd, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  struct stat st;
  if (::fstatat(fd, from.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return errno;
  if (!S_ISDIR(st.st_mode)) {
    if (::linkat(fd, from.c_str(), fd, to.c_str(), 0) != 0) return errno;
    ::unlinkat(fd, from.c_str(), 0);
    return 0;
  }
  if (::mkdirat(fd, to.c_str(), 0700) != 0) return errno;
  if (::renameat(fd, from.c_str(), fd, to.c_str()) == 0) return 0;
  const int error = errno;
  ::unlinkat(fd, to.c_str(), AT_REMOVEDIR);
  return error;
}

/// Makes the folder `name` in `parent` under the registry's lock and registers it under `key`.
bool MakeRegisteredFolder(const Folder& parent, const std::string& name, const std::string& key,
                          Folder* made) {
  Folder opened;
  {
    Guard guard;
    if (!guard.ok || ::mkdirat(parent.Descriptor(), name.c_str(), 0777) != 0) return false;
    TheRegistry().folders[key] = Entry{parent, name, ""};
    opened = parent.Open(name);
    if (opened.IsOpen()) TheRegistry().swept.insert(KeyOf(opened));  // new: nothing to sweep there
  }
  if (!opened.IsOpen()) {
    errno = errno ? errno : ENOENT;
    return false;
  }
  if (opened.Status().st_uid != ::geteuid()) {
    // Not the folder this process made: another user's, which is not this process's to remove.
    std::lock_guard<std::mutex> lock(TheRegistry().mutex);
    TheRegistry().folders.erase(key);
    errno = kForeignFolder;
    return false;
  }
  if (made) *made = opened;
  return true;
}

}  // namespace

std::string ErrorText(int error) {
  if (error == kNotRegularFile) return "not a regular file";
  if (error == kInterrupted) return "interrupted";
  if (error == kForeignFolder) return "the folder belongs to another user";
  if (error == kForeignFile) return "the file belongs to another user";
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
  // ".<target name>.tmp-<12 hex digits>-<pid>-<10 letters and digits>", read from the end: the
  // target's name may hold anything.
  size_t end = name.size();
  if (BackOver(name, "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", &end) !=
          kRandomLength ||
      end == 0 || name[end - 1] != '-')
    return info;
  const size_t pidEnd = --end;
  const size_t digits = BackOver(name, "0123456789", &end);
  if (digits == 0 || digits > 10 || name[end] == '0') return info;
  const unsigned long long pid = std::stoull(name.substr(end, pidEnd - end));
  if (pid > static_cast<unsigned long long>(INT_MAX) || end == 0 || name[end - 1] != '-') return info;
  const size_t originEnd = --end;
  if (BackOver(name, "0123456789abcdef", &end) < kOriginLength) return info;
  end = originEnd - kOriginLength;
  const std::string origin = name.substr(end, kOriginLength);
  // A dot, at least one character of the target's name, then the mark.
  if (end < kMarkLength + 2 || name.compare(end - kMarkLength, kMarkLength, kMark) != 0 || name[0] != '.')
    return info;
  info.temporary = true;
  info.local = origin == Origin();
  info.pid = static_cast<pid_t>(pid);
  return info;
}

int RemoveStale(const Folder& folder) {
  const int saved = errno;
  int removed = 0;
  std::vector<std::string> names;
  if (ReadNames(folder.Descriptor(), &names)) {
    const time_t now = std::time(nullptr);
    for (const std::string& name : names) {
      struct stat st;
      if (!IsStale(folder.Descriptor(), name.c_str(), now, &st)) continue;
      RemoveTreeAt(folder.Descriptor(), name, &st);
      if (::fstatat(folder.Descriptor(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) ++removed;
    }
  }
  errno = saved;
  return removed;
}

void SkipSweep(const Folder& folder) {
  std::lock_guard<std::mutex> lock(TheRegistry().mutex);
  TheRegistry().swept.insert(KeyOf(folder));
}

int RemoveStale(const std::string& path) {
  const int saved = errno;
  Folder folder;
  const int removed = OpenFolder(path, 0, &folder) == 0 ? RemoveStale(folder) : 0;
  errno = saved;
  return removed;
}

int FollowLinks(const Folder& folder, const std::string& name, Folder* dir, std::string* leaf) {
  struct stat st;
  bool exists = false;
  return ResolveIn(folder, name, true, dir, leaf, &st, &exists);
}

int CreateBeside(const std::string& target, std::string* temporary, std::string* final, bool followLink) {
  std::string dir, name;
  SplitPath(target, &dir, &name);
  if (name.empty()) {
    errno = target.empty() ? ENOENT : EISDIR;
    return -1;
  }
  Folder folder;
  if (OpenFolder(dir, 0, &folder) != 0) return -1;
  return CreateIn(folder, name, temporary, final, followLink);
}

int CreateIn(const Folder& folder, const std::string& name, std::string* temporary, std::string* final,
             bool followLink) {
  Folder dir;
  std::string leaf;
  struct stat st;
  bool exists = false;
  if (const int refused = ResolveIn(folder, name, followLink, &dir, &leaf, &st, &exists)) {
    errno = refused;
    return -1;
  }
  SweepOnce(dir);
  Registry& registry = TheRegistry();
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const std::string candidate = TemporaryName(leaf);
    const std::string key = dir.PathOf(candidate);
    int fd = -1;
    {
      // Registered before it exists and made under the lock, so that an interruption either
      // comes first (and nothing is made) or finds it.
      Guard guard;
      if (!guard.ok) return -1;
      // The umask applies to a new file; a file this replaces gives its own mode below.
      fd = ::openat(dir.Descriptor(), candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                    0666);
      if (fd >= 0) registry.live[key] = Entry{dir, candidate, leaf};
    }
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return -1;
    }
    // In a shared sticky folder, a file another user could have planted there hands on neither its
    // owner nor its mode: the new file is this user's, as a new file is.
    if (exists && dir.MayUse(st.st_uid)) {
      // The file it replaces keeps its owner and group where this user may give them (as root, or
      // a group of this user's); elsewhere the new file is this user's.
      if ((st.st_uid != ::geteuid() || st.st_gid != ::getegid()) && ::fchown(fd, st.st_uid, st.st_gid) != 0)
        (void)::fchown(fd, static_cast<uid_t>(-1), st.st_gid);
      if (::fchmod(fd, st.st_mode & 0777) != 0) {
        const int error = errno;
        ::close(fd);
        Discard(key);
        errno = error;
        return -1;
      }
    }
    *temporary = key;
    *final = dir.PathOf(leaf);
    return fd;
  }
  errno = EEXIST;
  return -1;
}

bool Commit(const std::string& temporary, const std::string&, const std::vector<std::string>& keep) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  if (registry.interrupted) {
    errno = kInterrupted;
    return false;  // the interruption removed the temporary already
  }
  const auto found = registry.live.find(temporary);
  if (found == registry.live.end()) {
    errno = ENOENT;
    return false;
  }
  const Entry entry = found->second;
  registry.live.erase(found);
  const int fd = entry.folder.Descriptor();
  if (::renameat(fd, entry.name.c_str(), fd, entry.finalName.c_str()) == 0) {
    for (const std::string& folder : keep) registry.folders.erase(folder);
    return true;
  }
  const int error = errno;
  ::unlinkat(fd, entry.name.c_str(), 0);
  errno = error;
  return false;
}

void Discard(const std::string& temporary) {
  const int saved = errno;
  Registry& registry = TheRegistry();
  {
    std::lock_guard<std::mutex> lock(registry.mutex);
    const auto found = registry.live.find(temporary);
    if (found != registry.live.end()) {
      ::unlinkat(found->second.folder.Descriptor(), found->second.name.c_str(), 0);
      registry.live.erase(found);
    }
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

namespace {

/// Writes `data` through the temporary that `fd` (from `CreateIn` or `CreateBeside`) is, then
/// commits it; `fd < 0` is a failed creation with `errno` set.
bool WriteThrough(int fd, const std::string& temporary, const std::string& final, const void* data,
                  size_t size, std::string* why) {
  int error = 0;
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

}  // namespace

bool WriteFileReplacing(const std::string& path, const void* data, size_t size, std::string* why) {
  std::string temporary, final;
  const int fd = CreateBeside(path, &temporary, &final);
  return WriteThrough(fd, temporary, final, data, size, why);
}

bool WriteFileIn(const Folder& folder, const std::string& name, const void* data, size_t size,
                 std::string* why) {
  std::string temporary, final;
  const int fd = CreateIn(folder, name, &temporary, &final);
  return WriteThrough(fd, temporary, final, data, size, why);
}

int ReadFile(const std::string& path, std::string* bytes, std::string* why) {
  const auto refuse = [why](int error, const std::string& reason = "") {
    if (why) *why = reason.empty() ? ErrorText(error) : reason;
    errno = error;
    return error;
  };
  Folder dir;
  std::string leaf;
  struct stat st;
  bool exists = false;
  if (const int refused = ResolvePath(path, true, &dir, &leaf, &st, &exists)) return refuse(refused);
  if (!exists) return refuse(ENOENT);
  // Opened without following, and what was opened is what is checked and read.
  const int fd = ::openat(dir.Descriptor(), leaf.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return refuse(errno == ELOOP ? EACCES : errno);
  int error = 0;
  std::string reason;
  if (::fstat(fd, &st) != 0) {
    error = errno;
  } else if (!S_ISREG(st.st_mode)) {
    error = S_ISDIR(st.st_mode) ? EISDIR : kNotRegularFile;
  } else if (!dir.MayUse(st.st_uid)) {
    error = kForeignFile;
    reason = "the file " + dir.PathOf(leaf) + " belongs to another user (" + UserName(st.st_uid) + ")";
  } else {
    bytes->clear();
    char buffer[65536];
    for (;;) {
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) error = errno;
      if (n <= 0) break;
      bytes->append(buffer, static_cast<size_t>(n));
    }
  }
  ::close(fd);
  return error != 0 ? refuse(error, reason) : 0;
}

bool IsReplaceableTarget(const std::string& path, std::string* why) {
  Folder dir;
  std::string leaf;
  struct stat st;
  bool exists = false;
  const int refused = ResolvePath(path, true, &dir, &leaf, &st, &exists);
  if (refused != EISDIR && refused != kNotRegularFile && refused != ELOOP && refused != EACCES) return true;
  if (why) *why = ErrorText(refused);
  return false;
}

bool IsRegularFile(const std::string& path) {
  Folder dir;
  std::string leaf;
  struct stat st;
  bool exists = false;
  return ResolvePath(path, true, &dir, &leaf, &st, &exists) == 0 && exists;
}

bool MakeFolder(const std::string& path) {
  std::string dir, name;
  SplitPath(TrimSlashes(path), &dir, &name);
  Folder parent;
  if (name.empty() || OpenFolder(dir, 0, &parent) != 0) {
    if (name.empty()) errno = EEXIST;
    return false;
  }
  return MakeRegisteredFolder(parent, name, path, nullptr);
}

bool MakeFolderIn(const Folder& parent, const std::string& name, Folder* made, const std::string& key) {
  return MakeRegisteredFolder(parent, name, key.empty() ? parent.PathOf(name) : key, made);
}

namespace {

/// Makes a folder with a temporary's name for `name` in `parent`, registered under `dir` (the
/// caller's words for the parent) and its name; its path, or "" with `errno` set.
std::string MakeTemporaryFolderKeyed(const Folder& parent, const std::string& dir, const std::string& name,
                                     Folder* made) {
  SweepOnce(parent);
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const std::string candidate = TemporaryName(name);
    const std::string key = dir.empty()         ? candidate
                            : dir.back() == '/' ? dir + candidate
                                                : dir + "/" + candidate;
    if (MakeRegisteredFolder(parent, candidate, key, made)) return key;
    if (errno != EEXIST) return "";
  }
  errno = EEXIST;
  return "";
}

}  // namespace

std::string MakeTemporaryFolder(const std::string& target) {
  std::string dir, name;
  SplitPath(TrimSlashes(target), &dir, &name);
  Folder parent;
  if (name.empty()) {
    errno = EISDIR;
    return "";
  }
  if (OpenFolder(dir, 0, &parent) != 0) return "";
  return MakeTemporaryFolderKeyed(parent, dir, name, nullptr);
}

std::string MakeTemporaryFolderIn(const Folder& parent, const std::string& name, Folder* made) {
  return MakeTemporaryFolderKeyed(parent, parent.Path(), name, made);
}

bool CommitFolder(const std::string& temporary, const std::string& name) {
  Guard guard;
  if (!guard.ok) return false;
  Registry& registry = TheRegistry();
  const auto found = registry.folders.find(temporary);
  if (found == registry.folders.end()) {
    errno = ENOENT;
    return false;
  }
  if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") {
    errno = EINVAL;
    return false;
  }
  if (const int error = RenameNoReplace(found->second.folder.Descriptor(), found->second.name, name)) {
    errno = error;
    return false;
  }
  registry.folders.erase(found);
  return true;
}

int UseFolder(const std::string& path, bool make, bool registerNew, std::string* why, Folder* folder) {
  const std::string at = TrimSlashes(path);
  Folder opened;
  const unsigned flags = (make ? kMakeLast : 0u) | (registerNew ? kRegisterLast : 0u);
  if (const int refused = OpenFolder(at, flags, &opened, why, at)) return refused;
  if (folder) *folder = opened;
  return 0;
}

int UseFolderIn(const Folder& parent, const std::string& name, const std::string& key, bool make,
                bool registerNew, std::string* why, Folder* folder) {
  Folder opened;
  const unsigned flags = (make ? kMakeLast : 0u) | (registerNew ? kRegisterLast : 0u);
  if (const int refused = OpenFolderAt(parent, name, flags, &opened, why, key)) return refused;
  if (folder) *folder = opened;
  return 0;
}

int RenewFolder(const std::string& path, bool registerNew, std::string* why, Folder* folder) {
  const std::string at = TrimSlashes(path);
  std::string dir, name;
  SplitPath(at, &dir, &name);
  Folder parent;
  if (const int refused = OpenFolder(dir, 0, &parent, why)) return refused;
  return RenewFolderIn(parent, name, at, registerNew, why, folder);
}

int RenewFolderIn(const Folder& parent, const std::string& name, const std::string& key, bool registerNew,
                  std::string* why, Folder* folder) {
  const auto refuse = [why](int error, const std::string& reason = "") {
    if (why) *why = reason.empty() ? ErrorText(error) : reason;
    errno = error;
    return error;
  };
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
    return refuse(EINVAL);
  const int fd = parent.Descriptor();
  // What a killed run left there (an old folder set aside) goes first.
  SweepOnce(parent);
  struct stat st;
  if (::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
    if (!parent.MayUse(st.st_uid)) {
      if (!S_ISDIR(st.st_mode)) return refuse(EACCES);
      return refuse(kForeignFolder, "the folder " + parent.PathOf(name) + " belongs to another user (" +
                                        UserName(st.st_uid) + ")");
    }
    if (S_ISLNK(st.st_mode)) {
      // A link is removed itself, and only when it leads to a folder; a file is left where it is.
      Folder led;
      if (const int refused = OpenFolderAt(parent, name, 0, &led, why)) return refused;
      if (::unlinkat(fd, name.c_str(), 0) != 0 && errno != ENOENT) return refuse(errno);
    } else if (S_ISDIR(st.st_mode)) {
      // Out of the way first, under a temporary's name: an interruption then finds either all of
      // it in place or all of it to remove, and what a killed run left is swept.
      std::string aside;
      int error = 0;
      {
        Guard guard;
        if (!guard.ok) return refuse(kInterrupted);
        for (int attempt = 0; attempt < kAttempts && aside.empty(); ++attempt) {
          const std::string candidate = TemporaryName(name);
          error = RenameNoReplace(fd, name, candidate);
          if (error == 0)
            aside = candidate;
          else if (error != EEXIST)
            break;
        }
        if (!aside.empty()) TheRegistry().folders[parent.PathOf(aside)] = Entry{parent, aside, ""};
      }
      if (!aside.empty()) {
        RemoveTreeAt(fd, aside);
        KeepFolder(parent.PathOf(aside));  // removed: nothing left to remove
      } else if (error != ENOENT) {
        return refuse(error);  // gone meanwhile: nothing to empty
      }
    } else {
      return refuse(ENOTDIR);
    }
  } else if (errno != ENOENT) {
    return refuse(errno);
  }
  return UseFolderIn(parent, name, key, true, registerNew, why, folder);
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
    const auto found = registry.folders.find(path);
    if (found != registry.folders.end()) {
      RemoveTreeAt(found->second.folder.Descriptor(), found->second.name);
      registry.folders.erase(found);
    }
  }
  errno = saved;
}

int LockIn(const Folder& folder, const std::string& name) {
  const int fd = ::openat(folder.Descriptor(), name.c_str(),
                          O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
  struct stat st;
  if (fd < 0) return -1;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() || (st.st_mode & 077)) {
    ::close(fd);
    return -1;
  }
  while (::flock(fd, LOCK_EX) != 0) {
    if (errno != EINTR) {
      ::close(fd);
      return -1;
    }
  }
  return fd;
}

bool Interrupt() {
  const int saved = errno;
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  const bool first = !registry.interrupted;
  registry.interrupted = true;
  g_interrupted = true;
  for (const auto& temporary : registry.live)
    ::unlinkat(temporary.second.folder.Descriptor(), temporary.second.name.c_str(), 0);
  registry.live.clear();
  for (const auto& folder : registry.folders)
    RemoveTreeAt(folder.second.folder.Descriptor(), folder.second.name);
  registry.folders.clear();
  errno = saved;
  return first;
}

bool Interrupted() { return g_interrupted.load(); }

}  // namespace TemporaryFile
