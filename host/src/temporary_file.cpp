// Exclusive temporary files.
#include "temporary_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace host {

int CreateTemporaryBeside(const std::string& target, std::string* temporary) {
  const size_t slash = target.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  const std::string file = slash == std::string::npos ? target : target.substr(slash + 1);
  std::string name = dir + "." + file + ".XXXXXX";
  const int fd = ::mkstemp(name.data());
  if (fd < 0) return -1;
  // mkstemp makes the file private; give it the mode the target has, or an ordinary one.
  struct stat st;
  ::fchmod(fd, ::stat(target.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644);
  *temporary = name;
  return fd;
}

bool WriteFileReplacing(const std::string& path, const void* data, size_t size) {
  std::string temporary;
  const int fd = CreateTemporaryBeside(path, &temporary);
  if (fd < 0) return false;
  const char* p = static_cast<const char*>(data);
  bool ok = true;
  for (size_t done = 0; ok && done < size;) {
    const ssize_t n = ::write(fd, p + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      ok = false;
    else
      done += static_cast<size_t>(n);
  }
  if (::close(fd) != 0) ok = false;
  ok = ok && std::rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok) ::unlink(temporary.c_str());
  return ok;
}

}  // namespace host
