#include "utils/temporaryfile.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <mutex>
#include <set>
#include <vector>

namespace TemporaryFile {

namespace {

std::atomic<pid_t> g_pid{0};

constexpr char kMark[] = ".tmp-";
constexpr size_t kMarkLength = sizeof kMark - 1;

// How many taken names a creation passes over before it gives up.
constexpr int kAttempts = 100;

// Splits `target` into its folder (with its final '/', or empty) and its name.
void Split(const std::string& target, std::string* folder, std::string* name) {
  const size_t slash = target.rfind('/');
  *folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  *name = slash == std::string::npos ? target : target.substr(slash + 1);
}

// True the first time a folder is asked for in this process.
bool FirstUseOf(const std::string& folder) {
  static std::mutex mutex;
  static std::set<std::string> seen;
  std::lock_guard<std::mutex> lock(mutex);
  return seen.insert(folder).second;
}

// Moves `end` back over the decimal digits before it; false when there are none.
bool BackOverDigits(const std::string& s, size_t* end) {
  const size_t last = *end;
  while (*end > 0 && s[*end - 1] >= '0' && s[*end - 1] <= '9') --*end;
  return *end < last;
}

}  // namespace

pid_t ProcessId() {
  pid_t pid = g_pid.load(std::memory_order_relaxed);
  if (pid == 0) {
    static const int registered = pthread_atfork(nullptr, nullptr, [] { g_pid.store(0); });
    (void)registered;
    pid = getpid();
    g_pid.store(pid, std::memory_order_relaxed);
  }
  return pid;
}

std::string NameBeside(const std::string& target) {
  static std::atomic<unsigned> counter{0};
  std::string folder, name;
  Split(target, &folder, &name);
  return folder + "." + name + kMark + std::to_string(ProcessId()) + "-" +
         std::to_string(counter.fetch_add(1));
}

bool IsTemporaryName(const std::string& name, pid_t* pid) {
  size_t end = name.size();
  if (!BackOverDigits(name, &end) || end == 0 || name[end - 1] != '-') return false;
  const size_t pidEnd = --end;
  if (!BackOverDigits(name, &end)) return false;
  const size_t pidStart = end;
  // A dot, at least one character of the target's name, then the mark.
  if (end < kMarkLength + 2 || name.compare(end - kMarkLength, kMarkLength, kMark) != 0 || name[0] != '.')
    return false;
  long value = 0;
  for (size_t i = pidStart; i < pidEnd; ++i) {
    value = value * 10 + (name[i] - '0');
    if (value > INT_MAX) return false;
  }
  if (value <= 0) return false;
  *pid = static_cast<pid_t>(value);
  return true;
}

int RemoveStale(const std::string& folder) {
  const int saved = errno;
  int removed = 0;
  DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
  if (dir) {
    const int fd = dirfd(dir);
    const pid_t own = ProcessId();
    while (const dirent* entry = readdir(dir)) {
      pid_t pid = 0;
      if (!IsTemporaryName(entry->d_name, &pid) || pid == own) continue;
      // A process that runs, or runs under another user (EPERM), keeps its file.
      if (kill(pid, 0) == 0 || errno != ESRCH) continue;
      struct stat st;
      if (fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) continue;
      if (unlinkat(fd, entry->d_name, 0) == 0) ++removed;
    }
    closedir(dir);
  }
  errno = saved;
  return removed;
}

int RemoveStaleBelow(const std::string& folder, int depth) {
  int removed = RemoveStale(folder);
  if (depth <= 0) return removed;
  const int saved = errno;
  std::vector<std::string> below;
  if (DIR* dir = opendir(folder.empty() ? "." : folder.c_str())) {
    const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    while (const dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      struct stat st;
      if (name == "." || name == ".." || fstatat(dirfd(dir), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
          !S_ISDIR(st.st_mode))
        continue;
      below.push_back(prefix + name);
    }
    closedir(dir);
  }
  for (const std::string& sub : below) removed += RemoveStaleBelow(sub, depth - 1);
  errno = saved;
  return removed;
}

int CreateBeside(const std::string& target, std::string* temporary) {
  std::string folder, name;
  Split(target, &folder, &name);
  if (name.empty()) {
    errno = ENOENT;
    return -1;
  }
  if (FirstUseOf(folder)) RemoveStale(folder);
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const std::string candidate = NameBeside(target);
    const int fd = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0) {
      // A file that is replaced keeps its own mode; a new one has what the umask allows.
      struct stat st;
      if (stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) fchmod(fd, st.st_mode & 07777);
      *temporary = candidate;
      return fd;
    }
    if (errno != EEXIST) return -1;
  }
  return -1;
}

}  // namespace TemporaryFile
