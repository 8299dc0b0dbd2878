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
  if (r.ok()) r = place.folder.WriteTarget(place.name, &target);
  if (!r.ok()) return r;
  const std::string found = target.folder.PathOf(target.name);
  if (!target.isFile) return Result::System(ENOENT, found);
  // The entry itself, never followed: what was opened is what is checked and started.
  const int opened =
      ::openat(target.folder.Descriptor(), target.name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
  if (opened < 0) return Result::System(errno, found);
  struct stat st;
  if (::fstat(opened, &st) != 0)
    r = Result::System(errno, found);
  else if (S_ISDIR(st.st_mode))
    r = Result::System(EISDIR, found);
  else if (!S_ISREG(st.st_mode))  // a link put there since the walk is no regular file either
    r = Result::NotRegularFile(found);
  else if (!target.folder.Trusts(st.st_uid))  // another user's file in a shared folder
    r = Result::Foreign(found, st);
  if (r.ok())
    *fd = opened;
  else
    ::close(opened);
  return r;
}

std::string DescriptorPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

}  // namespace files
