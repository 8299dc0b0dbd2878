// The walk: a path turned into an open folder one name at a time, as the kernel resolves it, with
// the rule for shared folders at every link met and every folder entered or made.
#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <utility>

#include "files/internal.h"

namespace files {

constexpr int kMaxLinks = 40;        ///< links a path may pass, as the kernel counts
constexpr size_t kOpenFolders = 16;  ///< folders a trail keeps open

/// True when only users the walk trusts may rename or replace the entry `st` of `folder`: it is not
/// shared (every writer is trusted), or it is sticky and the entry is a trusted user's.
static bool Holds(const Folder& folder, const struct stat& st) {
  return !folder.IsShared() || ((folder.Status().st_mode & S_ISVTX) && folder.Trusts(st.st_uid));
}

Result CheckPath(const std::string& path) {
  if (path.empty()) return Result::System(ENOENT, path);
  if (path.size() >= PATH_MAX) return Result::System(ENAMETOOLONG, path);
  return Result();
}

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
/// (`WriteTarget`) it ends at the entry the last name stands for.
class Walker {
 public:
  Walker(Folder::Make make, bool linkLast, Target* target, bool followLink)
      : make_(make), linkLast_(linkLast), target_(target), followLink_(followLink) {}

  /// Walks `path` from `start` (the working directory when not open) to `*result`.
  Result Run(const Folder& start, const std::string& path, Folder* result) {
    if (target_ && path.empty()) return Result::System(EISDIR, start.PathOf(path));
    if (Result r = CheckPath(path); !r.ok()) return r;
    if (path[0] == '/') {
      if (Result r = Restart(Folder()); !r.ok()) return r;
    } else if (start.IsOpen()) {
      links_ = target_ ? start.state_->links : 0;
      steady_ = start.state_->steady;
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
    // What it reached, with the first refusal met on the way: a folder reached through another
    // user's folder (by `..` or a link back out of it) takes no write either; and whether it is steady.
    const auto reached = [this](const Folder& folder) {
      if (!folder.IsOpen() ||
          ((refused_.ok() || !folder.MayWrite().ok()) && folder.state_->steady == steady_))
        return folder;
      Folder copy = Folder::OpenAt(folder.Descriptor(), ".", folder.Path(), folder.state_.get());
      if (copy.IsOpen() && copy.state_->refused.ok()) copy.state_->refused = refused_;
      if (copy.IsOpen()) copy.state_->steady = steady_;
      return copy;
    };
    if (result) *result = reached(trail_.Back());
    if (target_) target_->folder = reached(target_->folder);
    return Result();
  }

 private:
  struct Name {
    std::string text;
    bool own;  ///< a name of the path itself (which may be made), not one a link gave
  };

  /// Queues the names of `path`, the first one to be walked next (following, a last "/" as ".").
  void Push(const std::string& path, bool own) {
    std::vector<std::string> names = PathNames(path, true);
    if (target_ && path.back() == '/') names.push_back(".");
    ownLeft_ += own ? names.size() : 0;
    for (auto name = names.rbegin(); name != names.rend(); ++name) rest_.push_back({std::move(*name), own});
  }

  /// Adds `folder` on top of the walk; a walk that makes folders gives its refusal at once.
  Result Push(Folder folder) {
    if (refused_.ok()) refused_ = folder.MayWrite();
    trail_.Push(std::move(folder));
    return make_ == Folder::Make::kNothing ? Result() : refused_;
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
      steady_ = steady_ && Holds(up, at.Status());
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
      if (next.IsOpen()) next.MarkSwept();  // new: nothing there to sweep
    }
    if (next.IsOpen()) {
      // In a shared folder, another user's folder (one made there by another meanwhile too) takes
      // no write below it; a walk that makes folders refuses it at once.
      if (!at.Trusts(next.Status().st_uid) && next.MayWrite().ok())
        next.state_->refused = Result::Foreign(next.Path(), next.Status());
      next.state_->links = links_;
      steady_ = steady_ && Holds(at, next.Status());
      return Push(std::move(next));
    }
    if (errno != ENOTDIR) return Result::System(errno, at.PathOf(name));
    return Link(at, name, last && !linkLast_);  // a link, or something that is not a folder
  }

  /// Queues what the link `name` in `at` leads to (ENOTDIR for no link, or when `refuse`), its owner
  /// and body those of one open link: another put at its name meanwhile is never the one followed.
  Result Link(const Folder& at, const std::string& name, bool refuse) {
    const int fd = ::openat(at.Descriptor(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    struct stat st;
    char target[PATH_MAX + 1];
    ssize_t n = -1;
    int error = fd < 0 || ::fstat(fd, &st) != 0 ? errno : !S_ISLNK(st.st_mode) ? ENOTDIR : 0;
    const bool foreign = error == 0 && !at.Trusts(st.st_uid);  // named so, also where no link is taken
    if (error == 0 && !foreign && (refuse || (n = ::readlinkat(fd, "", target, sizeof target)) < 0))
      error = refuse ? ENOTDIR : errno;
    if (fd >= 0) ::close(fd);
    if (foreign) return Result::Foreign(at.PathOf(name), st);
    if (error != 0) return Result::System(error, at.PathOf(name));
    if (++links_ > kMaxLinks) return Result::System(ELOOP, at.PathOf(name));
    steady_ = steady_ && Holds(at, st);
    if (n == 0 || n >= static_cast<ssize_t>(sizeof target))
      return Result::System(n == 0 ? ENOENT : ENAMETOOLONG, at.PathOf(name));
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
    t.isFile = false;
    if (::fstatat(at.Descriptor(), name.c_str(), &t.status, AT_SYMLINK_NOFOLLOW) != 0) {
      done_ = true;
      return errno == ENOENT ? Result() : Result::System(errno, at.PathOf(name));
    }
    t.steady = steady_ = steady_ && Holds(at, t.status);
    if (S_ISLNK(t.status.st_mode) && followLink_) return Link(at, name, false);
    done_ = true;
    if (S_ISDIR(t.status.st_mode)) return Result::System(EISDIR, at.PathOf(name));
    if (!S_ISLNK(t.status.st_mode) && !S_ISREG(t.status.st_mode))
      return Result::NotRegularFile(at.PathOf(name));
    t.isFile = S_ISREG(t.status.st_mode);
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
  Result refused_;      ///< the first refusal met on the way
  bool steady_ = true;  ///< only trusted users may rename or replace what the walk took
};

Result WalkPath(const Folder& start, const std::string& path, Folder::Make make, bool linkLast,
                Folder* result, Target* target, bool followLink) {
  return Walker(make, linkLast, target, followLink).Run(start, path, result);
}

Result WorkingDirectory(Folder::Make make, Folder* cwd) {
  *cwd = Folder::OpenAt(AT_FDCWD, ".", "", nullptr);
  if (!cwd->IsOpen()) return Result::System(errno, ".");
  // The refusal a walk from the root would find above it, up to a folder it cannot search.
  Folder at = *cwd;
  for (size_t levels = 0;; ++levels) {
    Folder up = at.Enter("..");
    if (!up.IsOpen() || SameFile(up.Status(), at.Status())) return Result();
    if (up.Trusts(at.Status().st_uid)) {
      at = std::move(up);
      continue;
    }
    // Its path, for the message: the working directory's, less a name for each level up.
    char* text = ::getcwd(nullptr, 0);
    std::string path = text ? text : ".";
    std::free(text);
    for (size_t i = 0; i < levels; ++i) {
      const size_t slash = path.rfind('/');
      if (slash == std::string::npos) break;
      path.erase(std::max<size_t>(slash, 1));  // the root keeps its slash
    }
    cwd->state_->refused = Result::Foreign(path, at.Status());
    return make == Folder::Make::kNothing ? Result() : cwd->MayWrite();
  }
}

}  // namespace files
