#include "files/lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "files/temporary.h"

namespace files {

FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    Release();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

void FileLock::Release() {
  if (fd_ >= 0) ::close(std::exchange(fd_, -1));
}

namespace {

/// Puts a new lock file, made 0600 by this run, at `name` in `folder` in place of the one there,
/// where the file system keeps modes (`*kept`): learned from the new file, whose 0600 shows. Where
/// it keeps none, the new file goes again and the one there is left as it is.
Result Replace(const Folder& folder, const std::string& name, bool* kept) {
  TemporaryFile made;
  const Result r = folder.CreateTemporary(name, &made, false);
  struct stat st;
  *kept = r.ok() && ::fchmod(made.Descriptor(), 0600) == 0 && ::fstat(made.Descriptor(), &st) == 0 &&
          (st.st_mode & 0777) == 0600;
  return *kept ? made.Commit() : r;
}

}  // namespace

Result FileLock::Take(const Folder& folder, const std::string& name, const std::function<void()>& waiting) {
  if (Result r = folder.MayWrite(); !r.ok()) return r;
  const std::string path = folder.PathOf(name);
  const int at = folder.Descriptor();
  bool replaced = false, told = false;
  for (int attempt = 0; attempt < 100; ++attempt) {
    // Opened without following a link and never waited on at the open; made when missing.
    constexpr int kFlags = O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    int fd = ::openat(at, name.c_str(), kFlags);
    const bool made =
        fd < 0 && errno == ENOENT && (fd = ::openat(at, name.c_str(), kFlags | O_CREAT | O_EXCL, 0600)) >= 0;
    if (fd < 0 && errno == EEXIST) continue;
    struct stat st, there;
    if (fd < 0) {
      const int error = errno;
      // In a shared folder, another user's file or link is named with its owner.
      if (folder.IsShared() && ::fstatat(at, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
          !folder.Trusts(st.st_uid))
        return Result::Foreign(path, st);
      return Result::System(error == ELOOP ? EACCES : error, path);
    }
    const auto drop = [fd](Result r) {
      ::close(fd);
      return r;
    };
    if (::fstat(fd, &st) != 0) return drop(Result::System(errno, path));
    if (!S_ISREG(st.st_mode)) return drop(Result::NotRegularFile(path));
    // Planted: its owner could hold it.
    if (!folder.Trusts(st.st_uid)) return drop(Result::Foreign(path, st));
    // This user's own that others could have opened and could hold, or that is another name of a
    // file that is not the lock's: nothing of it is changed, a new one takes its place, once. Where
    // the file system keeps no modes it is taken as it is, and waited for while it is held.
    const auto othersMayHold = [](const struct stat& s) { return (s.st_mode & 077) != 0; };
    const auto replaceable = [&](const struct stat& s) {
      return !made && !replaced && s.st_uid == ::geteuid() && (othersMayHold(s) || s.st_nlink > 1);
    };
    // Puts a new lock file in place of the one open, once; where it was (`kept`), the one open is
    // let go and the loop opens the new one.
    bool kept = false;
    const auto replace = [&] {
      replaced = true;
      const Result r = Replace(folder, name, &kept);
      kept = kept && r.ok();
      if (kept) ::close(fd);
      return r;
    };
    if (made) {
      (void)::fchmod(fd, 0600);  // the run's own, under any umask; taken whatever mode it shows
    } else if (replaceable(st) && othersMayHold(st)) {
      // Replaced at once: those who could have opened it are never waited for.
      if (Result r = replace(); !r.ok()) return drop(r);
      if (kept) continue;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      if (errno == EWOULDBLOCK && waiting && !std::exchange(told, true)) waiting();
      while (::flock(fd, LOCK_EX) != 0)
        if (errno != EINTR) return drop(Result::System(errno, path));
    }
    // Held only while the name is still that file: one removed or replaced meanwhile is tried anew.
    if (::fstatat(at, name.c_str(), &there, AT_SYMLINK_NOFOLLOW) != 0 || !SameFile(there, st)) {
      ::close(fd);
      continue;
    }
    if (replaceable(there)) {
      // Only this user can open it, so another render of this user may hold it: it is waited for,
      // and replaced only once it is held here, never beside a render that holds it.
      if (Result r = replace(); !r.ok()) return drop(r);
      if (kept) continue;
    }
    Release();
    fd_ = fd;
    return Result();
  }
  return Result::System(EAGAIN, path);
}

}  // namespace files
