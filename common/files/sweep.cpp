#include "files/sweep.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <signal.h>
#include <sys/random.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <fstream>
#include <mutex>
#include <set>
#include <utility>
#include <vector>

#include "files/internal.h"
#include "files/registry.h"

namespace files {

namespace {

constexpr time_t kForeignAge = 24 * 60 * 60;  ///< untouched this long, another origin's temporary is left
constexpr char kMark[] = ".tmp-";
constexpr size_t kMarkLength = sizeof kMark - 1;
constexpr size_t kOriginLength = 12;
constexpr size_t kRandomLength = 10;
constexpr size_t kSweptRemembered = 1024;  ///< folders remembered as swept; one forgotten is swept again

/// Random bytes from the system, a block at a time for each thread: one call serves many names.
class RandomPool {
 public:
  unsigned char Next() {
    if (used_ == sizeof bytes_) {
      size_t got = 0;
      while (got < sizeof bytes_) {
        const ssize_t n = ::getrandom(bytes_ + got, sizeof bytes_ - got, 0);
        if (n < 0 && errno != EINTR) break;
        got += n > 0 ? static_cast<size_t>(n) : 0;
      }
      // No random source: the time and a count still differ from one name to the next.
      uint64_t mix = static_cast<uint64_t>(std::time(nullptr)) * 0x9e3779b97f4a7c15ull ^ ++fallback_;
      for (size_t i = got; i < sizeof bytes_; ++i)
        bytes_[i] = static_cast<unsigned char>((mix = mix * 6364136223846793005ull + 1) >> 56);
      used_ = 0;
    }
    return bytes_[used_++];
  }

 private:
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

/// True when `name` in the folder open as `fd` is a temporary file or folder of this user (or of
/// `mine`, the owner shown for what it makes there) whose writer is certainly gone; `*found` is its status.
bool IsStale(int fd, const char* name, time_t now, uid_t mine, struct stat* found) {
  const NameInfo info = ReadName(name);
  if (!info.temporary) return false;
  struct stat& st = *found;
  if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !(S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)) ||
      (st.st_uid != ::geteuid() && st.st_uid != mine))
    return false;
  if (info.local) {
    if (info.pid == ThisProcess()) return false;
    // A process that runs, or runs under another user (EPERM), keeps its file.
    return ::kill(info.pid, 0) != 0 && errno == ESRCH;
  }
  return now - st.st_mtime > kForeignAge;
}

/// Sweeps `folder`, taking `mine` for this user's as well.
void SweepAs(const Folder& folder, uid_t mine) {
  const int saved = errno;
  std::vector<std::string> names;
  const int fd = folder.Descriptor();
  if (ReadNames(fd, &names)) {
    const time_t now = std::time(nullptr);
    for (const std::string& name : names) {
      struct stat st;
      if (IsStale(fd, name.c_str(), now, mine, &st)) RemoveTree(folder, name, &st);
    }
  }
  errno = saved;
}

}  // namespace

// Its key is its file and its path, since a folder made anew may take a removed one's inode.
bool FirstSweep(const Folder& folder) {
  struct Swept {
    std::mutex mutex;
    std::set<std::string> keys;
    std::deque<std::string> order;  ///< the oldest first
  };
  static Swept* swept = new Swept;  // never destroyed: an exiting thread may still use it
  const std::string key = std::to_string(folder.Status().st_dev) + ":" +
                          std::to_string(folder.Status().st_ino) + ":" + folder.Path();
  std::lock_guard<std::mutex> lock(swept->mutex);
  if (!swept->keys.insert(key).second) return false;
  swept->order.push_back(key);
  if (swept->order.size() > kSweptRemembered) {
    swept->keys.erase(swept->order.front());
    swept->order.pop_front();
  }
  return true;
}

std::string TemporaryName(const std::string& name) {
  const std::string suffix = kMark + Origin() + "-" + std::to_string(ThisProcess()) + "-" + RandomPart();
  return "." + name.substr(0, NAME_MAX - 1 - suffix.size()) + suffix;
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

bool ReadNames(int fd, std::vector<std::string>* names) {
  const int own = ::openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* dir = own < 0 ? nullptr : ::fdopendir(own);
  if (!dir) {
    if (own >= 0) ::close(own);
    return false;
  }
  while (const dirent* entry = ::readdir(dir))
    if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
      names->push_back(entry->d_name);
  ::closedir(dir);
  return true;
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

void RemoveTree(const Folder& at, const std::string& name, const struct stat* expected, bool stoppable) {
  // When `stoppable`, each removal is made under the lock an interruption takes, unless the run is
  // being interrupted: then `stopped` is set, and nothing more is removed.
  bool stopped = false;
  const auto unlink = [&](int fd, const std::string& entry, int flags) {
    if (!stoppable) return ::unlinkat(fd, entry.c_str(), flags);
    int done = -1;
    const Result running = WhileRunning([&] {
      done = ::unlinkat(fd, entry.c_str(), flags);
      return Result();
    });
    stopped = !running.ok();
    return done;
  };
  if (!expected || !S_ISDIR(expected->st_mode)) {
    if (unlink(at.Descriptor(), name, 0) == 0 || expected || (errno != EISDIR && errno != EPERM)) return;
  }
  // Depth first, a folder's names read when it is entered; each emptied folder is removed from
  // the folder the trail came through.
  struct Level {
    std::string name;
    std::vector<std::string> names;
    size_t next = 0;
  };
  std::vector<Level> levels;
  Trail trail;
  trail.Push(at);
  const auto enter = [&](const std::string& entry, const struct stat* same) {
    const Folder folder = trail.Back().Enter(entry);
    if (!folder.IsOpen() || (same && !SameFile(folder.Status(), *same))) return;
    levels.push_back({entry, {}, 0});
    ReadNames(folder.Descriptor(), &levels.back().names);
    trail.Push(folder);
  };
  enter(name, expected);
  while (!levels.empty() && !stopped) {
    Level& top = levels.back();
    if (top.next < top.names.size()) {
      const std::string entry = top.names[top.next++];
      if (unlink(trail.Back().Descriptor(), entry, 0) != 0 && !stopped && (errno == EISDIR || errno == EPERM))
        enter(entry, nullptr);
      continue;
    }
    const std::string done = std::move(top.name);
    levels.pop_back();
    if (!trail.Pop().ok()) return;
    unlink(trail.Back().Descriptor(), done, AT_REMOVEDIR);
  }
}

void SweepOnce(const Folder& folder, const std::function<uid_t()>& shown) {
  if (FirstSweep(folder)) SweepAs(folder, shown ? shown() : ::geteuid());
}

}  // namespace files
