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
  for (int attempt = 0; attempt < 100; ++attempt) {
    // Made when missing, opened without following a link and never waited on at the open.
    const int fd =
        ::openat(Descriptor(), name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    struct stat st, there;
    if (fd < 0) {
      const int error = errno;
      // Another user's file that this user may not open is named with its owner.
      if ((error == EACCES || error == EPERM) &&
          ::fstatat(Descriptor(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
          st.st_uid != ::geteuid())
        return Result::Foreign(Reason::kForeignFile, path, st.st_uid);
      return Result::System(error == ELOOP ? EACCES : error, path);
    }
    Result r;
    bool again = false;
    if (::fstat(fd, &st) != 0)
      r = Result::System(errno, path);
    else if (!S_ISREG(st.st_mode))
      r = Result::NotRegularFile(path);
    else if (!MayUse(st.st_uid))
      r = Result::Foreign(Reason::kForeignFile, path, st.st_uid);  // planted: its owner could hold it
    else if (st.st_uid == ::geteuid() && (st.st_mode & 07777) != 0600)
      // Others could have opened it and could hold the lock: a new one of 0600 takes its place.
      again = ::unlinkat(Descriptor(), name.c_str(), 0) == 0 || errno == ENOENT
                  ? true
                  : (r = Result::System(errno, path), false);
    while (r.ok() && !again && ::flock(fd, LOCK_EX) != 0)
      if (errno != EINTR) r = Result::System(errno, path);
    // Held only while the name is still that file: one removed or replaced meanwhile is tried anew.
    if (r.ok() && !again)
      again = ::fstatat(Descriptor(), name.c_str(), &there, AT_SYMLINK_NOFOLLOW) != 0 ||
              there.st_dev != st.st_dev || there.st_ino != st.st_ino;
    if (!r.ok() || again) {
      ::close(fd);
      if (!r.ok()) return r;
      continue;
    }
    lock->Release();
    lock->fd_ = fd;
    return r;
  }
  return Result::System(EAGAIN, path);
}

}  // namespace files
