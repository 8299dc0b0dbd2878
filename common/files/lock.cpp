#include "files/lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "files/folder.h"

namespace files {

FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    Release();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

void FileLock::Release() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

Result Folder::Lock(const std::string& name, FileLock* lock) const {
  const std::string path = PathOf(name);
  // Made when missing, opened without following a link and never waited on at the open.
  const int fd =
      ::openat(Descriptor(), name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
  if (fd < 0) {
    const int error = errno;
    struct stat st;
    // Another user's file that this user may not open is named with its owner.
    if ((error == EACCES || error == EPERM) &&
        ::fstatat(Descriptor(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
        st.st_uid != ::geteuid())
      return Result::Foreign(Reason::kForeignFile, path, st.st_uid);
    return Result::System(error == ELOOP ? EACCES : error, path);
  }
  struct stat st;
  Result r;
  if (::fstat(fd, &st) != 0)
    r = Result::System(errno, path);
  else if (!S_ISREG(st.st_mode))
    r = Result::NotRegularFile(path);
  else if (!MayUse(st.st_uid))
    r = Result::Foreign(Reason::kForeignFile, path, st.st_uid);  // planted: its owner could hold it
  else if (st.st_uid == ::geteuid() && (st.st_mode & 07777) != 0600 && ::fchmod(fd, 0600) != 0)
    r = Result::System(errno, path);  // others could open it and hold the lock
  if (!r.ok()) {
    ::close(fd);
    return r;
  }
  while (::flock(fd, LOCK_EX) != 0) {
    if (errno != EINTR) {
      const int error = errno;
      ::close(fd);
      return Result::System(error, path);
    }
  }
  lock->Release();
  lock->fd_ = fd;
  return r;
}

}  // namespace files
