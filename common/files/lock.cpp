#include "files/lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "files/folder.h"

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

Result Folder::Lock(const std::string& name, FileLock* lock, const std::function<void()>& waiting) const {
  if (Result r = Refusal(); !r.ok()) return r;
  const std::string path = PathOf(name);
  const int at = Descriptor();
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
      if (IsShared() && ::fstatat(at, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && !MayUse(st.st_uid))
        return Result::Foreign(S_ISLNK(st.st_mode) ? Reason::kForeignLink : Reason::kForeignFile, path,
                               st.st_uid);
      return Result::System(error == ELOOP ? EACCES : error, path);
    }
    const auto drop = [fd](Result r) {
      ::close(fd);
      return r;
    };
    if (::fstat(fd, &st) != 0) return drop(Result::System(errno, path));
    if (!S_ISREG(st.st_mode)) return drop(Result::NotRegularFile(path));
    // Planted: its owner could hold it.
    if (!MayUse(st.st_uid)) return drop(Result::Foreign(Reason::kForeignFile, path, st.st_uid));
    if (made) {
      (void)::fchmod(fd, 0600);  // where the file system keeps modes; a new file is taken whatever it shows
    } else if (st.st_uid == ::geteuid() && (st.st_mode & 077) != 0 && !replaced && ::fchmod(fd, 0600) == 0 &&
               ::fstat(fd, &there) == 0 && (there.st_mode & 077) == 0) {
      // Others could have opened it and could hold the lock: a new one takes its place, once. Where
      // the file system keeps no modes (the 0600 did not take), it is taken as it is.
      replaced = true;
      ::close(fd);
      if (::unlinkat(at, name.c_str(), 0) != 0 && errno != ENOENT) return Result::System(errno, path);
      continue;
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
    lock->Release();
    lock->fd_ = fd;
    return Result();
  }
  return Result::System(EAGAIN, path);
}

}  // namespace files
