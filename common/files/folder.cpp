#include "files/folder.h"

#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <utility>

namespace files {

constexpr int kMaxLinks = 40;        ///< links a path may pass, as the kernel counts
constexpr size_t kOpenFolders = 16;  ///< folders a trail keeps open

struct Folder::State {
  int fd = -1;
  std::string path;
  struct stat status = {};
  Result refused;  ///< `Folder::Refusal`
  int links = 0;   ///< the links the walk that opened it passed
  ~State() {
    if (fd >= 0) ::close(fd);
  }
};

namespace {

/// What the kernel refuses of a path before it looks at any folder.
Result CheckPath(const std::string& path) {
  if (path.empty()) return Result::System(ENOENT, path);
  if (path.size() >= PATH_MAX) return Result::System(ENAMETOOLONG, path);
  return Result();
}

}  // namespace

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
  if (like) state->refused = like->refused, state->links = like->links;
  Folder folder;
  folder.state_ = std::move(state);
  return folder;
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

bool Folder::IsShared() const {
  const mode_t mode = Status().st_mode;
  return (mode & S_IWOTH) || ((mode & S_ISVTX) && (mode & S_IWGRP));
}

bool Folder::MayUse(uid_t owner) const {
  return !IsShared() || owner == Status().st_uid || owner == ::geteuid();
}

Folder Folder::Enter(const std::string& name) const {
  return OpenAt(Descriptor(), name.c_str(), PathOf(name), state_.get());
}

Result Folder::Refusal() const { return state_ ? state_->refused : Result(); }

void Trail::Push(Folder folder) {
  folders_.push_back(std::move(folder));
  if (folders_.size() > kOpenFolders) {
    Folder& far = folders_[folders_.size() - 1 - kOpenFolders];
    if (far.IsOpen()) {
      auto closed = std::make_shared<Folder::State>(*far.state_);
      closed->fd = -1;
      far.state_ = std::move(closed);
    }
  }
}

Result Trail::Pop() {
  Folder from = std::move(folders_.back());
  folders_.pop_back();
  if (folders_.empty() || folders_.back().IsOpen()) return Result();
  // Only while it is still the folder the walk came through: one moved meanwhile leads elsewhere.
  Folder& back = folders_.back();
  Folder up = Folder::OpenAt(from.Descriptor(), "..", back.Path(), back.state_.get());
  if (!up.IsOpen()) return Result::System(errno, from.PathOf(".."));
  if (!SameFile(up.Status(), back.Status())) return Result::Moved(from.Path());
  back = std::move(up);
  return Result();
}

/// One walk of a path: the folders opened so far and the names still to go. With a `target`
/// (`Follow`) it ends at the entry the last name stands for.
class Walker {
 public:
  Walker(Folder::Make make, bool linkLast, Target* target = nullptr, bool followLink = true)
      : make_(make), linkLast_(linkLast), target_(target), followLink_(followLink) {}

  /// Walks `path` from `start` (the working directory when not open) to `*result`.
  Result Run(const Folder& start, const std::string& path, Folder* result) {
    if (target_ && path.empty()) return Result::System(EISDIR, start.PathOf(path));
    if (Result r = CheckPath(path); !r.ok()) return r;
    if (path[0] == '/') {
      if (Result r = Restart(Folder()); !r.ok()) return r;
    } else if (start.IsOpen()) {
      links_ = target_ ? start.state_->links : 0;
      if (Result r = Push(start); !r.ok()) return r;
    } else {
      Folder cwd;
      if (Result r = WorkingDirectory(make_, &cwd); !r.ok()) return r;
      Push(std::move(cwd));
    }
    Push(path, true);
    while (!rest_.empty()) {
      const Name next = rest_.back();
      rest_.pop_back();
      if (next.own) --ownLeft_;
      if (Result r = Step(next.text, next.own, next.own && ownLeft_ == 0); !r.ok()) return r;
      if (done_) break;
    }
    if (result) *result = Refused(trail_.Back());
    if (target_) target_->folder = Refused(target_->folder);
    return Result();
  }

  /// The working directory, with the path "" so that messages keep relative names as given, and
  /// the refusal a walk from the root would find above it (up to a folder it cannot search).
  static Result WorkingDirectory(Folder::Make make, Folder* cwd) {
    *cwd = Folder::OpenAt(AT_FDCWD, ".", "", nullptr);
    if (!cwd->IsOpen()) return Result::System(errno, ".");
    Folder at = *cwd;
    for (size_t levels = 0;; ++levels) {
      Folder up = at.Enter("..");
      if (!up.IsOpen() || SameFile(up.Status(), at.Status())) return Result();
      if (up.MayUse(at.Status().st_uid)) {
        at = std::move(up);
        continue;
      }
      // Its path, for the message: the working directory's, less a name for each level up.
      char* text = ::getcwd(nullptr, 0);
      std::string path = text ? text : ".";
      std::free(text);
      for (size_t i = 0; i < levels; ++i) path = path.substr(0, std::max<size_t>(path.rfind('/'), 1));
      cwd->state_->refused = Result::Foreign(Reason::kForeignFolder, path, at.Status().st_uid);
      return make == Folder::Make::kNothing ? Result() : cwd->Refusal();
    }
  }

 private:
  struct Name {
    std::string text;
    bool own;  ///< a name of the path itself (which may be made), not one a link gave
  };

  /// Queues the names of `path`, the first one to be walked next (following, a last "/" as ".").
  void Push(const std::string& path, bool own) {
    if (target_ && path.back() == '/') rest_.push_back({".", own}), ownLeft_ += own;
    for (size_t end = path.size(); end > 0;) {
      const size_t slash = path.rfind('/', end - 1);
      const size_t start = slash == std::string::npos ? 0 : slash + 1;
      if (end > start) {
        rest_.push_back({path.substr(start, end - start), own});
        if (own) ++ownLeft_;
      }
      if (slash == std::string::npos) break;
      end = slash;
    }
  }

  /// Adds `folder` on top of the walk; a walk that makes folders gives its refusal at once.
  Result Push(Folder folder) {
    if (refused_.ok()) refused_ = folder.Refusal();
    trail_.Push(std::move(folder));
    return make_ == Folder::Make::kNothing ? Result() : refused_;
  }

  /// `folder`, with the first refusal this walk met on the way to it: a folder reached through
  /// another user's folder (by `..` or a link back out of it) takes no write either.
  Folder Refused(const Folder& folder) const {
    if (refused_.ok() || !folder.Refusal().ok() || !folder.IsOpen()) return folder;
    Folder copy = Folder::OpenAt(folder.Descriptor(), ".", folder.Path(), folder.state_.get());
    if (copy.IsOpen()) copy.state_->refused = refused_;
    return copy;
  }

  /// Starts again from the root, for an absolute path or link met in `from`, keeping its refusal.
  Result Restart(const Folder& from) {
    Folder root = Folder::OpenAt(AT_FDCWD, "/", "/", from.state_.get());
    if (!root.IsOpen()) return Result::System(errno, "/");
    root.state_->links = links_;
    trail_.Clear();
    return Push(std::move(root));
  }

  /// Walks one name from the folder on top.
  Result Step(const std::string& name, bool own, bool last) {
    const Folder at = trail_.Back();
    if (target_ && rest_.empty()) return Last(at, name);
    if (name == "." || name == "..") {
      // The kernel asks for the right to search the folder for these names too.
      if (!at.Enter(".").IsOpen()) return Result::System(errno, at.Path());
      if (name == ".") return Result();
      if (trail_.Size() > 1) return trail_.Pop();  // back to the folder this walk came from
      Folder up = at.Enter("..");
      if (!up.IsOpen()) return Result::System(errno, at.PathOf(".."));
      trail_.Clear();
      trail_.Push(SameFile(up.Status(), at.Status()) ? at : up);  // the root is its own parent
      return Result();
    }
    // A name too long is the kernel's to refuse, after its check that `at` may be searched.
    Folder next = at.Enter(name);
    if (!next.IsOpen() && errno == ENOENT && own &&
        (make_ == Folder::Make::kMissing || (last && make_ == Folder::Make::kLast))) {
      if (const int error = MakeDirectory(at.Descriptor(), name); error != 0 && error != EEXIST)
        return Result::System(error, at.PathOf(name));
      next = at.Enter(name);
      if (next.IsOpen()) next.SkipSweep();  // new: nothing there to sweep
    }
    if (next.IsOpen()) {
      // In a shared folder, another user's folder (one made there by another meanwhile too) takes
      // no write below it; a walk that makes folders refuses it at once.
      const uid_t owner = next.Status().st_uid;
      if (!at.MayUse(owner) && next.Refusal().ok())
        next.state_->refused = Result::Foreign(Reason::kForeignFolder, next.Path(), owner);
      next.state_->links = links_;
      return Push(std::move(next));
    }
    if (errno != ENOTDIR) return Result::System(errno, at.PathOf(name));
    // A link, or something that is not a folder.
    struct stat st;
    if (::fstatat(at.Descriptor(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
      return Result::System(errno, at.PathOf(name));
    if (!S_ISLNK(st.st_mode) || (last && !linkLast_)) return Result::System(ENOTDIR, at.PathOf(name));
    return Link(at, name, st);
  }

  /// Queues what the link `name` in `at` leads to.
  Result Link(const Folder& at, const std::string& name, const struct stat& st) {
    if (++links_ > kMaxLinks) return Result::System(ELOOP, at.PathOf(name));
    if (!at.MayUse(st.st_uid)) return Result::Foreign(Reason::kForeignLink, at.PathOf(name), st.st_uid);
    char target[PATH_MAX + 1];
    const ssize_t n = ::readlinkat(at.Descriptor(), name.c_str(), target, sizeof target);
    if (n <= 0 || n >= static_cast<ssize_t>(sizeof target))
      return Result::System(n < 0 ? errno : n == 0 ? ENOENT : ENAMETOOLONG, at.PathOf(name));
    if (target[0] == '/') {
      if (Result r = Restart(at); !r.ok()) return r;
    }
    Push(std::string(target, static_cast<size_t>(n)), false);  // the names a link gives are never made
    return Result();
  }

  /// Following, the last name: the entry a write there replaces.
  Result Last(const Folder& at, const std::string& name) {
    if (name == "." || name == "..") return Result::System(EISDIR, at.PathOf(name));
    Target& t = *target_;
    t.folder = at;
    t.name = name;
    t.exists = false;
    if (::fstatat(at.Descriptor(), name.c_str(), &t.status, AT_SYMLINK_NOFOLLOW) != 0) {
      done_ = true;
      return errno == ENOENT ? Result() : Result::System(errno, at.PathOf(name));
    }
    if (S_ISLNK(t.status.st_mode) && followLink_) return Link(at, name, t.status);
    done_ = true;
    if (S_ISDIR(t.status.st_mode)) return Result::System(EISDIR, at.PathOf(name));
    if (!S_ISLNK(t.status.st_mode) && !S_ISREG(t.status.st_mode))
      return Result::NotRegularFile(at.PathOf(name));
    t.exists = S_ISREG(t.status.st_mode);
    return Result();
  }

  Folder::Make make_;
  bool linkLast_;
  Target* target_;  ///< following: where the last name's entry goes
  bool followLink_;
  bool done_ = false;  ///< following: the entry was found
  Trail trail_;
  std::vector<Name> rest_;  ///< the names still to walk, the next one last
  size_t ownLeft_ = 0;      ///< names of the path itself still to walk
  int links_ = 0;
  Result refused_;  ///< the first refusal met on the way
};

Result Folder::Open(const std::string& path, Folder* folder, Make make, bool linkLast) {
  return Walker(make, linkLast).Run(Folder(), path, folder);
}

Result Folder::Walk(const std::string& relative, Folder* folder, Make make, bool linkLast) const {
  return Walker(make, linkLast).Run(*this, relative, folder);
}

Result Locate(const std::string& path, Place* place, Folder::Make make) {
  if (Result r = CheckPath(path); !r.ok()) return r;
  const size_t slash = path.rfind('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.empty() || name == "." || name == "..") return Result::System(EISDIR, path);
  Folder folder;
  Result r;
  if (slash == std::string::npos) {
    r = Walker::WorkingDirectory(make, &folder);
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

Result Folder::Follow(const std::string& name, Target* target, bool followLink) const {
  if (Result r = Refusal(); !r.ok()) return r;
  const Result r = Walker(Make::kNothing, true, target, followLink).Run(*this, name, nullptr);
  return r.ok() ? target->folder.Refusal() : r;
}

Result Folder::OpenFile(const std::string& name, int* fd, Owner owner) const {
  Target target;
  if (Result r = owner == Owner::kTrusted ? Follow(name, &target)
                                          : Walker(Make::kNothing, true, &target).Run(*this, name, nullptr);
      !r.ok())
    return r;
  const std::string path = target.folder.PathOf(target.name);
  if (!target.exists) return Result::System(ENOENT, path);
  // Opened without following and never waited on; what was opened is what is checked.
  const int opened = ::openat(target.folder.Descriptor(), target.name.c_str(),
                              O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (opened < 0) return Result::System(errno == ELOOP ? EACCES : errno, path);
  struct stat st;
  Result r;
  if (::fstat(opened, &st) != 0)
    r = Result::System(errno, path);
  else if (S_ISDIR(st.st_mode))
    r = Result::System(EISDIR, path);
  else if (!S_ISREG(st.st_mode))
    r = Result::NotRegularFile(path);
  else if (owner == Owner::kTrusted && !target.folder.MayUse(st.st_uid))
    r = Result::Foreign(Reason::kForeignFile, path, st.st_uid);
  else if (::fcntl(opened, F_SETFL, ::fcntl(opened, F_GETFL) & ~O_NONBLOCK) != 0)
    r = Result::System(errno, path);
  if (r.ok())
    *fd = opened;
  else
    ::close(opened);
  return r;
}

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

std::string Resolve(const std::string& path) {
  bool up = false;
  for (size_t start = 0, end = 0; start <= path.size() && !up; start = end + 1) {
    end = std::min(path.find('/', start), path.size());
    up = path.compare(start, end - start, "..") == 0;
  }
  Folder folder;
  Place place;
  if (!up) return path;
  if (Folder::Open(path, &folder).ok()) return folder.Path();
  return Locate(path, &place).ok() ? place.Path() : path;
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

Result Folder::ReadFile(const std::string& name, std::string* bytes, size_t limit, Owner owner) const {
  int fd = -1;
  if (Result r = OpenFile(name, &fd, owner); !r.ok()) return r;
  bytes->clear();
  const Result r = ReadAll(fd, bytes, limit, PathOf(name));
  ::close(fd);
  return r;
}

}  // namespace files
