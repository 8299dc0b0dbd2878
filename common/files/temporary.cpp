#include "files/temporary.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <utility>
#include <vector>

#include "files/internal.h"
#include "files/registry.h"

namespace files {

int RenameNoReplace(int fd, const std::string& from, const std::string& to, int toFd) {
  if (toFd < 0) toFd = fd;
  if (::renameat2(fd, from.c_str(), toFd, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  struct stat there;
  if (::fstatat(toFd, to.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0) return EEXIST;
  if (errno != ENOENT) return errno;
  // A rename replaces no folder that holds anything, nor a file or link.
  if (::renameat(fd, from.c_str(), toFd, to.c_str()) == 0) return 0;
  return errno == ENOTEMPTY || errno == ENOTDIR ? EEXIST : errno;
}

Result WithTemporaryName(const std::string& name, const std::string& path,
                         const std::function<Result(const std::string&)>& make) {
  for (int attempt = 0; attempt < 100; ++attempt)  // 100 at most
    if (Result r = make(TemporaryName(name)); r.error() != EEXIST) return r;
  return Result::System(EEXIST, path);
}

bool IsEntryName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

// ---- TemporaryFile

TemporaryFile::TemporaryFile(TemporaryFile&& other) noexcept { *this = std::move(other); }

TemporaryFile& TemporaryFile::operator=(TemporaryFile&& other) noexcept {
  if (this != &other) {
    Discard();
    id_ = std::exchange(other.id_, 0);
    fd_ = std::exchange(other.fd_, -1);
    folder_ = std::move(other.folder_);
    name_ = std::move(other.name_);
    final_ = std::move(other.final_);
  }
  return *this;
}

TemporaryFile::~TemporaryFile() { Discard(); }

int WriteAll(int fd, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n == 0 ? ENOSPC : errno;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return 0;
}

Result TemporaryFile::Write(const void* data, size_t size) {
  const int error = WriteAll(fd_, data, size);
  if (error == 0) return Result();
  Discard();
  return Result::System(error, FinalPath());
}

Result TemporaryFile::Commit(std::initializer_list<NewFolder*> keep) {
  if (id_ == 0) return Result::System(EBADF, FinalPath());
  if (Result closed = Close(); !closed.ok()) return closed;
  std::vector<uint64_t> kept;
  for (const NewFolder* folder : keep)
    if (folder) kept.push_back(folder->id_);
  const int at = folder_.Descriptor();
  const auto replace = [&] {
    if (::renameat(at, name_.c_str(), at, final_.c_str()) != 0) return Result::System(errno, FinalPath());
    return Result();
  };
  const Result done = registry::Settle(id_, replace, kept.data(), kept.size());
  if (!done.ok()) {
    Discard();  // removed, unless an interruption did already
    return done;
  }
  id_ = 0;
  for (NewFolder* folder : keep)
    if (folder) folder->id_ = 0;
  return done;
}

Result TemporaryFile::Close() {
  if (fd_ < 0 || ::close(std::exchange(fd_, -1)) == 0) return Result();
  const int error = errno;
  Discard();
  return Result::System(error, FinalPath());
}

void TemporaryFile::Discard() {
  if (fd_ >= 0) ::close(std::exchange(fd_, -1));
  registry::Remove(std::exchange(id_, 0));
}

// ---- NewFolder

NewFolder::NewFolder(NewFolder&& other) noexcept { *this = std::move(other); }

NewFolder& NewFolder::operator=(NewFolder&& other) noexcept {
  if (this != &other) {
    Remove();
    id_ = std::exchange(other.id_, 0);
    parent_ = std::move(other.parent_);
    name_ = std::move(other.name_);
    folder_ = std::move(other.folder_);
  }
  return *this;
}

NewFolder::~NewFolder() { Remove(); }

Result NewFolder::Commit(const std::string& name) {
  if (id_ == 0) return Result::System(ENOENT, Path());
  if (!IsEntryName(name)) return Result::System(EINVAL, parent_.PathOf(name));
  const int at = parent_.Descriptor();
  const Result done = registry::Settle(
      id_, [&] { return FromError(RenameNoReplace(at, name_, name), parent_.PathOf(name)); });
  if (done.ok() || done.error() == ENOENT) id_ = 0;  // committed, or removed by an interruption
  if (!done.ok()) return done;
  name_ = name;
  Folder renamed = parent_.Enter(name);
  if (renamed.IsOpen() && SameFile(renamed.Status(), folder_.Status())) folder_ = std::move(renamed);
  return done;
}

void NewFolder::Keep() { registry::Forget(std::exchange(id_, 0)); }

void NewFolder::Remove() { registry::Remove(std::exchange(id_, 0)); }

}  // namespace files
