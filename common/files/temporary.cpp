#include "files/temporary.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <utility>
#include <vector>

#include "files/registry.h"
#include "files/sweep.h"

namespace files {

namespace {

/// Renames the folder `from` in the folder open as `fd` to `to` there (or in the one open as
/// `toFd`), where nothing may be yet: where the file system refuses `renameat2`'s flag (FUSE, NFS),
/// after a look that `to` is free (a rename replaces no folder that holds anything, nor a file or
/// link). 0 or the `errno` value.
int RenameNoReplace(int fd, const std::string& from, const std::string& to, int toFd = -1) {
  if (toFd < 0) toFd = fd;
  if (::renameat2(fd, from.c_str(), toFd, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  struct stat there;
  if (::fstatat(toFd, to.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0) return EEXIST;
  if (errno != ENOENT) return errno;
  if (::renameat(fd, from.c_str(), toFd, to.c_str()) == 0) return 0;
  return errno == ENOTEMPTY || errno == ENOTDIR ? EEXIST : errno;
}

/// Runs `make` with new temporary names for `name` until one was free (not EEXIST), 100 at most.
Result WithTemporaryName(const std::string& name, const std::string& path,
                         const std::function<Result(const std::string&)>& make) {
  for (int attempt = 0; attempt < 100; ++attempt)
    if (Result r = make(TemporaryName(name)); r.error() != EEXIST) return r;
  return Result::System(EEXIST, path);
}

/// True for a name that stands for one entry of a folder.
bool IsEntryName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

}  // namespace

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
  const Result done = registry::Settle(
      id_,
      [&] {
        return ::renameat(at, name_.c_str(), at, final_.c_str()) == 0 ? Result()
                                                                      : Result::System(errno, FinalPath());
      },
      kept.data(), kept.size());
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

Result Folder::CreateTemporary(const std::string& name, TemporaryFile* file, bool followLink) const {
  Target target;
  if (Result r = Follow(name, &target, followLink); !r.ok()) return r;
  const Folder& dir = target.folder;
  TemporaryFile created;
  created.folder_ = dir;
  created.final_ = target.name;
  const Result made = WithTemporaryName(target.name, created.FinalPath(), [&](const std::string& candidate) {
    created.name_ = candidate;
    return registry::Add(
        dir, candidate, registry::Kind::kFile,
        [&] {
          created.fd_ = ::openat(dir.Descriptor(), candidate.c_str(),
                                 O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
          return created.fd_ >= 0 ? Result() : Result::System(errno, created.FinalPath());
        },
        &created.id_);
  });
  if (!made.ok()) return made;
  SweepOnce(dir, [&created] {
    struct stat mine;
    return ::fstat(created.fd_, &mine) == 0 ? mine.st_uid : ::geteuid();
  });
  // The file replaced gives its mode, and its owner and group where this user may give them;
  // not one another user could have planted in a shared folder.
  const struct stat& st = target.status;
  if (target.exists && dir.MayUse(st.st_uid)) {
    const int fd = created.fd_;
    if ((st.st_uid != ::geteuid() || st.st_gid != ::getegid()) && ::fchown(fd, st.st_uid, st.st_gid) != 0)
      (void)::fchown(fd, static_cast<uid_t>(-1), st.st_gid);
    // A file system that shows another owner for all (vfat or CIFS mounted for all) lets no mode be
    // set, and one that keeps no modes may not know the call (FUSE): the new file keeps the one it
    // shows.
    if (::fchmod(fd, st.st_mode & 0777) != 0 && errno != EPERM && errno != ENOSYS && errno != EOPNOTSUPP)
      return Result::System(errno, created.FinalPath());
  }
  *file = std::move(created);
  return Result();
}

Result Folder::WriteFile(const std::string& name, const void* data, size_t size) const {
  TemporaryFile file;
  Result r = CreateTemporary(name, &file);
  if (r.ok()) r = file.Write(data, size);
  if (r.ok()) r = file.Commit();
  return r;
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
  const Result done = registry::Settle(id_, [&] {
    const int error = RenameNoReplace(at, name_, name);
    return error == 0 ? Result() : Result::System(error, parent_.PathOf(name));
  });
  if (done.ok() || done.error() == ENOENT) id_ = 0;  // committed, or removed by an interruption
  if (!done.ok()) return done;
  name_ = name;
  Folder renamed = parent_.Enter(name);
  if (renamed.IsOpen() && SameFile(renamed.Status(), folder_.Status())) folder_ = std::move(renamed);
  return done;
}

void NewFolder::Keep() { registry::Forget(std::exchange(id_, 0)); }

void NewFolder::Remove() { registry::Remove(std::exchange(id_, 0)); }

Result Folder::MakeFolder(const std::string& name, NewFolder* made) const {
  if (Result r = Refusal(); !r.ok()) return r;
  if (!IsEntryName(name)) return Result::System(EINVAL, PathOf(name));
  uint64_t id = 0;
  const Result r = registry::Add(
      *this, name, registry::Kind::kFolder,
      [&] {
        const int error = MakeDirectory(Descriptor(), name);
        return error == 0 ? Result() : Result::System(error, PathOf(name));
      },
      &id);
  if (!r.ok()) return r;
  NewFolder folder;
  folder.id_ = id;
  folder.parent_ = *this;
  folder.name_ = name;
  folder.folder_ = Enter(name);
  if (!folder.folder_.IsOpen()) return Result::System(errno, PathOf(name));
  const uid_t owner = folder.folder_.Status().st_uid;
  if (!MayUse(owner)) {
    // Another user's folder, not the one made here, and not this process's to remove. (A file
    // system that shows one owner for all shows the shared folder's for the one made here.)
    registry::Forget(std::exchange(folder.id_, 0));
    return Result::Foreign(Reason::kForeignFolder, PathOf(name), owner);
  }
  folder.folder_.SkipSweep();  // new: nothing to sweep there
  *made = std::move(folder);
  return Result();
}

Result Folder::MakeTemporaryFolder(const std::string& name, NewFolder* made) const {
  if (!IsEntryName(name)) return Result::System(EISDIR, PathOf(name));
  const Result r = WithTemporaryName(
      name, PathOf(name), [&](const std::string& candidate) { return MakeFolder(candidate, made); });
  if (r.ok()) SweepOnce(*this, [made] { return made->Opened().Status().st_uid; });
  return r;
}

Result Folder::UseFolder(const std::string& name, Folder* folder, NewFolder* made) const {
  if (Result r = Refusal(); !r.ok()) return r;
  if (made) {
    const Result r = MakeFolder(name, made);
    if (r.ok()) *folder = made->Opened();
    if (r.error() != EEXIST) return r;
  }
  const Result r = Walk(name, folder, made ? Make::kNothing : Make::kLast);
  return r.ok() ? folder->Refusal() : r;
}

Result Folder::RenewFolder(const std::string& name, Folder* folder, NewFolder* made) const {
  if (Result r = Refusal(); !r.ok()) return r;
  if (!IsEntryName(name)) return Result::System(EINVAL, PathOf(name));
  const int fd = Descriptor();
  struct stat st;
  if (::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
    if (!MayUse(st.st_uid))
      return Result::Foreign(S_ISDIR(st.st_mode)   ? Reason::kForeignFolder
                             : S_ISLNK(st.st_mode) ? Reason::kForeignLink
                                                   : Reason::kForeignFile,
                             PathOf(name), st.st_uid);
    if (S_ISLNK(st.st_mode)) {
      // A link is removed itself, and only when it leads to a folder; a file is left where it is.
      Folder led;
      if (Result r = Walk(name, &led); !r.ok()) return r;
      if (::unlinkat(fd, name.c_str(), 0) != 0 && errno != ENOENT) return Result::System(errno, PathOf(name));
    } else if (S_ISDIR(st.st_mode)) {
      // Set aside first: an interruption finds all of it in place or all of it to remove.
      uint64_t id = 0;
      const Result moved = WithTemporaryName(name, PathOf(name), [&](const std::string& aside) {
        return registry::Add(
            *this, aside, registry::Kind::kFolder,
            [&] {
              const int error = RenameNoReplace(fd, name, aside);
              return error == 0 ? Result() : Result::System(error, PathOf(name));
            },
            &id);
      });
      if (moved.ok())
        registry::Remove(id);
      else if (moved.error() != ENOENT)  // gone meanwhile: nothing to empty
        return moved;
    } else {
      return Result::System(ENOTDIR, PathOf(name));
    }
  } else if (errno != ENOENT) {
    return Result::System(errno, PathOf(name));
  }
  const Result r = UseFolder(name, folder, made);
  // What a killed run set aside here goes too.
  if (r.ok()) SweepOnce(*this, [folder] { return folder->Status().st_uid; });
  return r;
}

Result Folder::MoveFolder(const std::string& name, const Folder& into, const std::string& to) const {
  if (Result r = into.Refusal(); !r.ok()) return r;
  if (!IsEntryName(to)) return Result::System(EINVAL, into.PathOf(to));
  return WhileRunning([&] {
    const int error = RenameNoReplace(Descriptor(), name, to, into.Descriptor());
    return error == 0 ? Result() : Result::System(error, into.PathOf(to));
  });
}

}  // namespace files
