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
    // A lock file this user may only read (its mode changed by hand) is held as well through a read.
    if (fd < 0 && errno == EACCES) fd = ::openat(at, name.c_str(), (kFlags & ~O_RDWR) | O_RDONLY);
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
    if (made) (void)::fchmod(fd, 0600);  // the run's own, under any umask; taken whatever mode it shows
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
    // This user's own that others could have opened, or that is another name of a file that is not
    // the lock's: held here and still at the name, it is replaced once by a new one, nothing of it
    // changed, so that a render never replaces it beside one that holds it. Where the file system
    // keeps no modes it is taken as it is.
    if (!made && !replaced && there.st_uid == ::geteuid() &&
        ((there.st_mode & 077) != 0 || there.st_nlink > 1)) {
      bool kept = false;
      replaced = true;
      if (Result r = Replace(folder, name, &kept); !r.ok()) return drop(r);
      if (kept) {
        ::close(fd);  // the loop opens the new one
        continue;
      }
    }
    Release();
    fd_ = fd;
    return Result();
  }
  return Result::System(EAGAIN, path);
}

}  // namespace files
