#include "files/folder.h"

#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>
#include <vector>

#include "files/sweep.h"

namespace files {

/// How many links a walk may pass through before it counts as a loop, as the kernel counts.
constexpr int kMaxLinks = 40;

/// How many folders a walk keeps open to go back to with `..`.
constexpr size_t kOpenFolders = 16;

struct Folder::State {
  int fd = -1;
  std::string path;
  struct stat status = {};
  ~State() {
    if (fd >= 0) ::close(fd);
  }
};

Folder Folder::Adopt(int fd, std::string path, const struct stat& st) {
  auto state = std::make_shared<State>();
  state->fd = fd;
  state->path = std::move(path);
  state->status = st;
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
  const int fd = ::openat(Descriptor(), name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ELOOP) errno = ENOTDIR;
    return Folder();
  }
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    const int error = errno;
    ::close(fd);
    errno = error;
    return Folder();
  }
  return Adopt(fd, PathOf(name), st);
}

int Folder::ReadLink(const std::string& name, std::string* target) const {
  std::vector<char> buffer(PATH_MAX + 1);
  const ssize_t n = ::readlinkat(Descriptor(), name.c_str(), buffer.data(), buffer.size());
  if (n < 0) return errno;
  if (static_cast<size_t>(n) >= buffer.size()) return ENAMETOOLONG;
  if (n == 0) return ENOENT;
  target->assign(buffer.data(), static_cast<size_t>(n));
  return 0;
}

/// One walk of a path: the folders opened so far, and the names still to go.
class Walker {
 public:
  Walker(Folder::Make make, bool linkLast) : make_(make), linkLast_(linkLast) {}

  /// Walks `path` from `start` (or from the root for an absolute path) to `*result`.
  Result Run(const Folder& start, const std::string& path, Folder* result) {
    if (path.empty()) return Result::System(ENOENT, path);
    if (path.size() >= PATH_MAX) return Result::System(ENAMETOOLONG, path);
    if (!path.empty() && path[0] == '/') {
      if (Result r = Restart(); !r.ok()) return r;
    } else {
      Push(start);
    }
    Push(path, true);
    while (!rest_.empty()) {
      const Name next = rest_.back();
      rest_.pop_back();
      if (next.own) --ownLeft_;
      if (Result r = Step(next.text, next.own, next.own && ownLeft_ == 0); !r.ok()) return r;
    }
    *result = stack_.back();
    return Result();
  }

  /// The working directory, open with the path "" so that messages keep relative names as given.
  /// In a shared folder it is used only when the rule allows, and so is each folder above it, as a
  /// walk from the root would find; a folder above that cannot be searched ends the check, as it
  /// does not stop the kernel either.
  static Result WorkingDirectory(Folder* cwd) {
    if (Result r = OpenStart(".", "", cwd); !r.ok()) return r;
    Folder at = *cwd;
    for (size_t levels = 0;; ++levels) {
      Folder up = at.Enter("..");
      if (!up.IsOpen()) return Result();
      if (up.Status().st_dev == at.Status().st_dev && up.Status().st_ino == at.Status().st_ino)
        return Result();
      if (!up.MayUse(at.Status().st_uid)) {
        // Its path, for the message only: the working directory's, less a name for each level up.
        std::string path;
        if (char* text = ::getcwd(nullptr, 0)) {
          path = text;
          std::free(text);
        }
        for (size_t i = 0; i < levels && path.size() > 1; ++i) {
          const size_t slash = path.rfind('/');
          path = slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
        }
        return Result::Foreign(Reason::kForeignFolder, path.empty() ? std::string(".") : path,
                               at.Status().st_uid);
      }
      at = std::move(up);
    }
  }

 private:
  struct Name {
    std::string text;
    bool own;  ///< a name of the path itself (which may be made), not one a link gave
  };

  /// Queues the names of `path`, the first one to be walked next.
  void Push(const std::string& path, bool own) {
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

  /// Starts again from the root, for an absolute path or link.
  Result Restart() {
    Folder root;
    if (Result r = OpenStart("/", "/", &root); !r.ok()) return r;
    stack_.clear();
    seen_.clear();
    Push(std::move(root));
    return Result();
  }

  /// Opens `path` ("." or "/"), where a walk starts, as `*folder` with the path `shown`.
  static Result OpenStart(const char* path, const char* shown, Folder* folder) {
    const int fd = ::open(path, O_PATH | O_DIRECTORY | O_CLOEXEC);
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0) {
      const int error = errno;
      if (fd >= 0) ::close(fd);
      return Result::System(error, path);
    }
    *folder = Folder::Adopt(fd, shown, st);
    return Result();
  }

  /// Walks one name from the folder on top.
  Result Step(const std::string& name, bool own, bool last) {
    const Folder& at = stack_.back();
    if (name == "." || name == "..") {
      // The kernel asks for the right to search the folder for these names too.
      Folder same = at.Enter(".");
      if (!same.IsOpen()) return Result::System(errno, at.Path());
      if (name == ".") return Result();
      if (stack_.size() > 1) {
        // Back to the folder this walk came from; one closed on the way is its parent again.
        Folder from = std::move(stack_.back());
        stack_.pop_back();
        seen_.pop_back();
        if (!stack_.back().IsOpen()) {
          // Only while it is still the folder the walk came through: one moved meanwhile leads
          // elsewhere, where no rule was applied.
          Folder up = from.Enter("..");
          const struct stat& was = seen_.back();
          if (!up.IsOpen()) return Result::System(errno, from.PathOf(".."));
          if (up.Status().st_dev != was.st_dev || up.Status().st_ino != was.st_ino)
            return Result::System(ENOENT, from.PathOf(".."));
          stack_.back() = std::move(up);
        }
      } else {
        Folder up = at.Enter("..");
        if (!up.IsOpen()) return Result::System(errno, at.PathOf(".."));
        // The root is its own parent.
        if (up.Status().st_dev != at.Status().st_dev || up.Status().st_ino != at.Status().st_ino) {
          seen_.back() = up.Status();
          stack_.back() = std::move(up);
        }
      }
      return Result();
    }
    // A name too long is the kernel's to refuse, after its check that `at` may be searched.
    bool made = false;
    Folder next = at.Enter(name);
    if (!next.IsOpen() && errno == ENOENT && own &&
        (make_ == Folder::Make::kMissing || (last && make_ == Folder::Make::kLast))) {
      if (::mkdirat(at.Descriptor(), name.c_str(), 0777) != 0 && errno != EEXIST)
        return Result::System(errno, at.PathOf(name));
      next = at.Enter(name);
      made = next.IsOpen();
      if (made) next.SkipSweep();  // new: nothing there to sweep
    }
    if (next.IsOpen()) {
      // In a shared folder, a folder found there is used only when this user or the shared folder's
      // owner owns it, and one made there (or by another meanwhile) only when it is this user's.
      const uid_t owner = next.Status().st_uid;
      if (!at.MayUse(owner) || (made && at.IsShared() && owner != ::geteuid()))
        return Result::Foreign(Reason::kForeignFolder, next.Path(), owner);
      Push(std::move(next));
      // A deep path holds only the last few folders open, as the kernel holds none.
      if (stack_.size() > kOpenFolders) stack_[stack_.size() - 1 - kOpenFolders] = Folder();
      return Result();
    }
    if (errno != ENOTDIR) return Result::System(errno, at.PathOf(name));
    // A link, or something that is not a folder.
    struct stat st;
    if (::fstatat(at.Descriptor(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
      return Result::System(errno, at.PathOf(name));
    if (!S_ISLNK(st.st_mode) || (last && !linkLast_)) return Result::System(ENOTDIR, at.PathOf(name));
    if (++links_ > kMaxLinks) return Result::System(ELOOP, at.PathOf(name));
    if (!at.MayUse(st.st_uid)) return Result::System(EACCES, at.PathOf(name));
    std::string target;
    if (const int unread = at.ReadLink(name, &target)) return Result::System(unread, at.PathOf(name));
    if (target[0] == '/') {
      if (Result r = Restart(); !r.ok()) return r;
    }
    Push(target, false);  // the names a link gives are never made
    return Result();
  }

  Folder::Make make_;
  bool linkLast_;
  /// Adds `folder` on top of the walk.
  void Push(Folder folder) {
    seen_.push_back(folder.Status());
    stack_.push_back(std::move(folder));
  }

  std::vector<Folder> stack_;      ///< the folders opened so far: `..` goes back to the one before
  std::vector<struct stat> seen_;  ///< each one's status, kept when its descriptor is closed
  std::vector<Name> rest_;         ///< the names still to walk, the next one last
  size_t ownLeft_ = 0;             ///< names of the path itself still to walk
  int links_ = 0;
};

Result Folder::Open(const std::string& path, Folder* folder, Make make, bool linkLast) {
  // What the kernel refuses before it looks at any folder.
  if (path.empty()) return Result::System(ENOENT, path);
  if (path.size() >= PATH_MAX) return Result::System(ENAMETOOLONG, path);
  Folder start;
  if (path[0] != '/') {
    if (Result r = Walker::WorkingDirectory(&start); !r.ok()) return r;
  }
  return Walker(make, linkLast).Run(start, path, folder);
}

Result Folder::Walk(const std::string& relative, Folder* folder, Make make, bool linkLast) const {
  return Walker(make, linkLast).Run(*this, relative, folder);
}

Result Locate(const std::string& path, Place* place, Folder::Make make) {
  if (path.empty()) return Result::System(ENOENT, path);
  if (path.size() >= PATH_MAX) return Result::System(ENAMETOOLONG, path);
  const size_t slash = path.rfind('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.empty() || name == "." || name == "..") return Result::System(EISDIR, path);
  Folder folder;
  Result r;
  if (slash == std::string::npos) {
    r = Walker::WorkingDirectory(&folder);
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
  Folder at = *this;
  std::string entry = name;
  for (int links = 0; links <= kMaxLinks; ++links) {
    if (entry.empty() || entry == "." || entry == "..") return Result::System(EISDIR, at.PathOf(entry));
    target->folder = at;
    target->name = entry;
    target->exists = false;
    struct stat& st = target->status;
    if (::fstatat(at.Descriptor(), entry.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno != ENOENT) return Result::System(errno, at.PathOf(entry));
      return Result();
    }
    if (S_ISLNK(st.st_mode)) {
      if (!followLink) return Result();
      if (!at.MayUse(st.st_uid)) return Result::System(EACCES, at.PathOf(entry));
      std::string link;
      if (const int unread = at.ReadLink(entry, &link)) return Result::System(unread, at.PathOf(entry));
      const size_t slash = link.rfind('/');
      if (slash != std::string::npos) {
        Folder next;
        const std::string dir = slash == 0 ? std::string("/") : link.substr(0, slash);
        if (Result r = at.Walk(dir, &next); !r.ok()) return r;
        at = std::move(next);
        entry = link.substr(slash + 1);
      } else {
        entry = link;
      }
      continue;
    }
    if (S_ISDIR(st.st_mode)) return Result::System(EISDIR, at.PathOf(entry));
    if (!S_ISREG(st.st_mode)) return Result::NotRegularFile(at.PathOf(entry));
    target->exists = true;
    return Result();
  }
  return Result::System(ELOOP, PathOf(name));
}

Result Folder::OpenFile(const std::string& name, int* fd, Owner owner) const {
  Target target;
  if (Result r = Follow(name, &target); !r.ok()) return r;
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
  if (!r.ok()) {
    ::close(opened);
    return r;
  }
  *fd = opened;
  return r;
}

Result Folder::ReadFile(const std::string& name, std::string* bytes, size_t limit, Owner owner) const {
  int fd = -1;
  if (Result r = OpenFile(name, &fd, owner); !r.ok()) return r;
  Result r;
  bytes->clear();
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) r = Result::System(errno, PathOf(name));
    if (n <= 0) break;
    if (bytes->size() + static_cast<size_t>(n) > limit) {
      r = Result::System(EFBIG, PathOf(name));
      break;
    }
    bytes->append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  return r;
}

}  // namespace files
