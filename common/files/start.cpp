#include "files/start.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "files/folder.h"

namespace files {

Result OpenToStart(const std::string& path, int* fd) {
  Place place;
  Target target;
  Result r = Locate(path, &place);
  if (r.ok()) r = place.folder.Follow(place.name, &target);
  if (!r.ok()) return r;
  const std::string found = target.folder.PathOf(target.name);
  if (!target.exists) return Result::System(ENOENT, found);
  // The entry itself, never followed: what was opened is what is checked and started.
  const int opened =
      ::openat(target.folder.Descriptor(), target.name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
  if (opened < 0) return Result::System(errno, found);
  struct stat st;
  const struct stat& in = target.folder.Status();
  // Others may plant entries in a shared folder: only its owner's or this user's file is trusted.
  const bool shared = (in.st_mode & S_IWOTH) || ((in.st_mode & S_ISVTX) && (in.st_mode & S_IWGRP));
  if (::fstat(opened, &st) != 0)
    r = Result::System(errno, found);
  else if (S_ISDIR(st.st_mode))
    r = Result::System(EISDIR, found);
  else if (!S_ISREG(st.st_mode))  // a link put there since the walk is no regular file either
    r = Result::NotRegularFile(found);
  else if (shared && st.st_uid != in.st_uid && st.st_uid != ::geteuid())
    r = Result::Foreign(Reason::kForeignFile, found, st.st_uid);
  if (r.ok())
    *fd = opened;
  else
    ::close(opened);
  return r;
}

std::string DescriptorPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

}  // namespace files
