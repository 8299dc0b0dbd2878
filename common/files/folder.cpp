#include "files/folder.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <utility>

#include "files/internal.h"
#include "files/registry.h"
#include "files/temporary.h"

namespace files {

Folder::State::~State() {
  if (fd >= 0) ::close(fd);
}

Folder Folder::OpenAt(int at, const char* name, std::string path, const State* like) {
  const int fd = ::openat(at, name, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ELOOP) errno = ENOTDIR;
    return Folder();
  }
  auto state = std::make_shared<State>();
  state->fd = fd;
  state->path = std::move(path);
  if (::fstat(fd, &state->status) != 0) return Folder();  // closed with `state`, errno kept
  if (like) {
    state->refused = like->refused;
    state->links = like->links;
    state->steady = like->steady;
  }
  Folder folder;
  folder.state_ = std::move(state);
  return folder;
}

Result Folder::Open(const std::string& path, Folder* folder, Make make, bool linkLast) {
  return WalkPath(Folder(), path, make, linkLast, folder);
}

Result Folder::Walk(const std::string& relative, Folder* folder, Make make, bool linkLast) const {
  return WalkPath(*this, relative, make, linkLast, folder);
}

int Folder::Descriptor() const { return state_ ? state_->fd : -1; }

const std::string& Folder::Path() const {
  static const std::string none;
  return state_ ? state_->path : none;
}

std::string Folder::PathOf(const std::string& name) const {
  const std::string& path = Path();
  if (path.empty()) return name;
  return path.back() == '/' ? path + name : path + "/" + name;
}

const struct stat& Folder::Status() const {
  static const struct stat none = {};
  return state_ ? state_->status : none;
}

Result Folder::MayWrite() const { return state_ ? state_->refused : Result(); }

bool Folder::IsShared() const {
  const mode_t mode = Status().st_mode;
  return (mode & S_IWOTH) || ((mode & S_ISVTX) && (mode & S_IWGRP));
}

bool Folder::Trusts(uid_t owner) const {
  return !IsShared() || owner == Status().st_uid || owner == ::geteuid();
}

Folder Folder::Enter(const std::string& name) const {
  return OpenAt(Descriptor(), name.c_str(), PathOf(name), state_.get());
}

void Folder::MarkSwept() const { FirstSweep(*this); }

// ---- Reads

Result Folder::WriteTarget(const std::string& name, Target* target, bool followLink) const {
  if (Result r = MayWrite(); !r.ok()) return r;
  const Result r = WalkPath(*this, name, Make::kNothing, true, nullptr, target, followLink);
  return r.ok() ? target->folder.MayWrite() : r;
}

Result Folder::OpenFile(const std::string& name, int* fd, ReadPolicy policy, bool* steady) const {
  const bool program = policy == ReadPolicy::kProgram;
  Target target;
  if (Result r = policy != ReadPolicy::kAnyone
                     ? WriteTarget(name, &target)
                     : WalkPath(*this, name, Make::kNothing, true, nullptr, &target);
      !r.ok())
    return r;
  const std::string path = target.folder.PathOf(target.name);
  if (!target.isFile) return Result::System(ENOENT, path);
  // Opened without following and never waited on; what was opened is what is checked (a link put
  // there since the walk is no regular file either).
  const int opened = ::openat(target.folder.Descriptor(), target.name.c_str(),
                              (program ? O_PATH : O_RDONLY | O_NONBLOCK) | O_NOFOLLOW | O_CLOEXEC);
  if (opened < 0) return Result::System(errno == ELOOP ? EACCES : errno, path);
  struct stat st;
  Result r;
  if (::fstat(opened, &st) != 0)
    r = Result::System(errno, path);
  else if (S_ISDIR(st.st_mode))
    r = Result::System(EISDIR, path);
  else if (!S_ISREG(st.st_mode))
    r = Result::NotRegularFile(path);
  else if (policy != ReadPolicy::kAnyone && !target.folder.Trusts(st.st_uid))
    r = Result::Foreign(path, st);
  else if (!program && ::fcntl(opened, F_SETFL, ::fcntl(opened, F_GETFL) & ~O_NONBLOCK) != 0)
    r = Result::System(errno, path);
  if (r.ok())
    *fd = opened;
  else
    ::close(opened);
  if (steady) *steady = r.ok() && target.steady;
  return r;
}

Result Folder::ReadFile(const std::string& name, std::string* bytes, size_t limit, ReadPolicy policy) const {
  int fd = -1;
  if (Result r = OpenFile(name, &fd, policy); !r.ok()) return r;
  bytes->clear();
  const Result r = ReadAll(fd, bytes, limit, PathOf(name));
  ::close(fd);
  return r;
}

Result ReadAll(int fd, std::string* bytes, size_t limit, const std::string& path) {
  struct stat st;
  if (::fstat(fd, &st) == 0 && st.st_size > 0 && static_cast<unsigned long long>(st.st_size) > limit)
    return Result::System(EFBIG, path);
  char buffer[65536];
  for (size_t read = 0;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n < 0 ? Result::System(errno, path) : Result();
    if ((read += static_cast<size_t>(n)) > limit) return Result::System(EFBIG, path);
    bytes->append(buffer, static_cast<size_t>(n));
  }
}

// ---- Writes

Result Folder::CreateTemporary(const std::string& name, TemporaryFile* file, bool followLink) const {
  Target target;
  if (Result r = WriteTarget(name, &target, followLink); !r.ok()) return r;
  const Folder& dir = target.folder;
  TemporaryFile created;
  created.folder_ = dir;
  created.final_ = target.name;
  const Result made = WithTemporaryName(target.name, created.FinalPath(), [&](const std::string& candidate) {
    created.name_ = candidate;
    const auto create = [&] {
      created.fd_ = ::openat(dir.Descriptor(), candidate.c_str(),
                             O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
      return created.fd_ >= 0 ? Result() : Result::System(errno, created.FinalPath());
    };
    return registry::Add(dir, candidate, registry::Kind::kFile, create, &created.id_);
  });
  if (!made.ok()) return made;
  SweepOnce(dir, [&created] {
    struct stat mine;
    return ::fstat(created.fd_, &mine) == 0 ? mine.st_uid : ::geteuid();
  });
  // The file replaced gives its mode, and its owner and group where this user may give them;
  // not one another user could have planted in a shared folder. The temporary is the run's own.
  const struct stat& st = target.status;
  if (target.isFile && dir.Trusts(st.st_uid)) {
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

// ---- Folders

int MakeDirectory(int at, const std::string& name) {
  if (::mkdirat(at, name.c_str(), 0777) != 0) return errno;
  // Under a umask such as 0277 the folder would refuse this user what the run puts into it.
  const int fd = ::openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  struct stat st;
  if (fd >= 0 && ::fstat(fd, &st) == 0 && st.st_uid == ::geteuid() && (st.st_mode & 0700) != 0700)
    (void)::fchmod(fd, (st.st_mode & 07777) | 0700);
  if (fd >= 0) ::close(fd);
  return 0;
}

Result Folder::MakeFolder(const std::string& name, NewFolder* made) const {
  if (Result r = MayWrite(); !r.ok()) return r;
  if (!IsEntryName(name)) return Result::System(EINVAL, PathOf(name));
  uint64_t id = 0;
  const Result r = registry::Add(
      *this, name, registry::Kind::kFolder,
      [&] { return FromError(MakeDirectory(Descriptor(), name), PathOf(name)); }, &id);
  if (!r.ok()) return r;
  NewFolder folder;
  folder.id_ = id;
  folder.parent_ = *this;
  folder.name_ = name;
  folder.folder_ = Enter(name);
  if (!folder.folder_.IsOpen()) return Result::System(errno, PathOf(name));
  const struct stat& st = folder.folder_.Status();
  if (!Trusts(st.st_uid)) {
    // Another user's folder, not the one made here, and not this process's to remove. (A file
    // system that shows one owner for all shows the shared folder's for the one made here.)
    registry::Forget(std::exchange(folder.id_, 0));
    return Result::Foreign(PathOf(name), st);
  }
  folder.folder_.MarkSwept();  // new: nothing to sweep there
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
  if (Result r = MayWrite(); !r.ok()) return r;
  if (made) {
    const Result r = MakeFolder(name, made);
    if (r.ok()) {
      *folder = made->Opened();
      return r;
    }
    if (r.error() != EEXIST) return r;  // a folder is there already: opened as a walk finds it
  }
  const Result r = Walk(name, folder, made ? Make::kNothing : Make::kLast);
  return r.ok() ? folder->MayWrite() : r;
}

Result Folder::RenewFolder(const std::string& name, Folder* folder, NewFolder* made) const {
  if (Result r = MayWrite(); !r.ok()) return r;
  if (!IsEntryName(name)) return Result::System(EINVAL, PathOf(name));
  const int fd = Descriptor();
  struct stat st;
  if (::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
    if (!Trusts(st.st_uid)) return Result::Foreign(PathOf(name), st);
    if (S_ISLNK(st.st_mode)) {
      // A link is removed itself, and only when it leads to a folder; a file is left where it is.
      Folder led;
      if (Result r = Walk(name, &led); !r.ok()) return r;
      if (::unlinkat(fd, name.c_str(), 0) != 0 && errno != ENOENT) return Result::System(errno, PathOf(name));
    } else if (S_ISDIR(st.st_mode)) {
      // Set aside first, under a temporary's name: an interruption finds all of it in place, or
      // none of it at its name.
      uint64_t id = 0;
      std::string aside;
      const Result moved = WithTemporaryName(name, PathOf(name), [&](const std::string& temporary) {
        aside = temporary;
        return registry::Add(
            *this, aside, registry::Kind::kEmptied,
            [&] { return FromError(RenameNoReplace(fd, name, aside), PathOf(name)); }, &id);
      });
      if (moved.ok()) {
        // Emptied outside the registry's lock, which a signal's step takes: what an interruption
        // leaves of it stays under its temporary's name, for a later sweep (`LeftBehind`).
        RemoveTree(*this, aside, &st, true);
        registry::Forget(id);
      } else if (moved.error() != ENOENT) {  // gone meanwhile: nothing to empty
        return moved;
      }
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
  if (Result r = into.MayWrite(); !r.ok()) return r;
  if (!IsEntryName(to)) return Result::System(EINVAL, into.PathOf(to));
  return WhileRunning(
      [&] { return FromError(RenameNoReplace(Descriptor(), name, to, into.Descriptor()), into.PathOf(to)); });
}

Result Folder::RemoveFolder(const std::string& name, const struct stat& expected) const {
  if (Result r = MayWrite(); !r.ok()) return r;
  if (!Trusts(expected.st_uid)) return Result::Foreign(PathOf(name), expected);
  RemoveTree(*this, name, &expected);
  return Result();
}

// ---- Paths

Result Locate(const std::string& path, Place* place, Folder::Make make) {
  if (Result r = CheckPath(path); !r.ok()) return r;
  const size_t slash = path.rfind('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.empty() || name == "." || name == "..") return Result::System(EISDIR, path);
  Folder folder;
  Result r;
  if (slash == std::string::npos) {
    r = WorkingDirectory(make, &folder);
  } else {
    // "/x" is in the root; "a//x" in "a".
    size_t end = slash;
    while (end > 0 && path[end - 1] == '/') --end;
    r = Folder::Open(end == 0 ? std::string("/") : path.substr(0, end), &folder, make);
  }
  if (!r.ok()) return r;
  place->folder = std::move(folder);
  place->name = std::move(name);
  return Result();
}

namespace {

/// Walks to the folder of `path` and does `then` there with its last name.
Result AtPath(const std::string& path, const std::function<Result(const Folder&, const std::string&)>& then) {
  Place place;
  const Result r = Locate(path, &place);
  return r.ok() ? then(place.folder, place.name) : r;
}

}  // namespace

Result OpenFile(const std::string& path, int* fd, ReadPolicy policy, bool* steady) {
  return AtPath(
      path, [&](const Folder& f, const std::string& name) { return f.OpenFile(name, fd, policy, steady); });
}

std::string ProcDescriptorPath(int fd) {
  // /proc of another PID namespace numbers this process otherwise than getpid() does; /proc/self
  // says how it numbers it.
  char self[32];
  const ssize_t n = ::readlink("/proc/self", self, sizeof self);
  const std::string pid = n > 0 && n < static_cast<ssize_t>(sizeof self) ? std::string(self, n) : "self";
  return "/proc/" + pid + "/fd/" + std::to_string(fd);
}

std::string InheritedDescriptorPath(int fd) { return "/dev/fd/" + std::to_string(fd); }

bool Reaches(const std::string& path, int fd) {
  struct stat at, opened;
  return ::stat(path.c_str(), &at) == 0 && ::fstat(fd, &opened) == 0 && SameFile(at, opened);
}

Result ReadFile(const std::string& path, std::string* bytes, size_t limit, ReadPolicy policy) {
  return AtPath(
      path, [&](const Folder& f, const std::string& name) { return f.ReadFile(name, bytes, limit, policy); });
}

Result CreateTemporary(const std::string& path, TemporaryFile* file) {
  return AtPath(path,
                [&](const Folder& f, const std::string& name) { return f.CreateTemporary(name, file); });
}

Result WriteFile(const std::string& path, const void* data, size_t size) {
  return AtPath(path,
                [&](const Folder& f, const std::string& name) { return f.WriteFile(name, data, size); });
}

std::vector<std::string> PathNames(const std::string& path, bool dots) {
  std::vector<std::string> names;
  for (size_t start = 0, end; start < path.size(); start = end + 1) {
    end = std::min(path.find('/', start), path.size());
    if (end > start && (dots || path.compare(start, end - start, ".") != 0))
      names.push_back(path.substr(start, end - start));
  }
  return names;
}

std::string Resolve(const std::string& path) {
  const std::vector<std::string> names = PathNames(path);
  if (std::find(names.begin(), names.end(), "..") == names.end()) return path;
  Folder folder;
  Place place;
  if (Folder::Open(path, &folder).ok()) return folder.Path();
  return Locate(path, &place).ok() ? place.Path() : path;
}

}  // namespace files
