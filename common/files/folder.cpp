#include "files/folder.h"

#include <fcntl.h>
#include <limits.h>
#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "files/temporaryfile.h"

namespace TemporaryFile {

/// How many links a walk may pass through before it counts as a loop.
constexpr int kMaxLinks = 40;

struct Folder::State {
  int fd = -1;
  std::string path;
  struct stat status = {};
  ~State() {
    if (fd >= 0) ::close(fd);
  }
};

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

bool Folder::MayUse(uid_t owner) const {
  const struct stat& st = Status();
  // Shared: anyone may write there, or its group may and the sticky bit says it is shared.
  if (!(st.st_mode & S_IWOTH) && !((st.st_mode & S_ISVTX) && (st.st_mode & S_IWGRP))) return true;
  return owner == st.st_uid || owner == ::geteuid();
}

Folder Folder::Adopt(int fd, const std::string& path, const struct stat& st) {
  auto state = std::make_shared<State>();
  state->fd = fd;
  state->path = path;
  state->status = st;
  Folder folder;
  folder.state_ = std::move(state);
  return folder;
}

Folder Folder::Open(const std::string& name) const {
  const int fd = ::openat(Descriptor(), name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  struct stat st;
  if (fd < 0) {
    if (errno == ELOOP) errno = ENOTDIR;
    return Folder();
  }
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

std::string UserName(uid_t uid) {
  struct passwd entry, *found = nullptr;
  std::vector<char> buffer(16384);
  if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found) return found->pw_name;
  return "user " + std::to_string(uid);
}

namespace {

/// Opens `path` ("." or "/") as the start of a walk.
Folder OpenStart(const char* path) {
  const int fd = ::open(path, O_PATH | O_DIRECTORY | O_CLOEXEC);
  struct stat st;
  if (fd < 0) return Folder();
  if (::fstat(fd, &st) != 0) {
    ::close(fd);
    return Folder();
  }
  return Folder::Adopt(fd, path[0] == '/' ? "/" : "", st);
}

/// Splits `path` into its names, pushed so that the first is last (the next one to walk).
void PushNames(const std::string& path, std::vector<std::pair<std::string, bool>>* rest, bool own) {
  for (size_t end = path.size(); end > 0;) {
    const size_t slash = path.rfind('/', end - 1);
    const size_t start = slash == std::string::npos ? 0 : slash + 1;
    if (end > start) rest->emplace_back(path.substr(start, end - start), own);
    if (slash == std::string::npos) break;
    end = slash;
  }
}

int Walk(const Folder* from, const std::string& path, unsigned flags, Folder* result, std::string* why,
         const std::string& key) {
  const auto refuse = [why](int error, const std::string& reason = "") {
    if (why) *why = reason.empty() ? ErrorText(error) : reason;
    errno = error;
    return error;
  };
  if (path.size() >= PATH_MAX) return refuse(ENAMETOOLONG);
  // The folders opened so far: `..` goes back to the one before. A path relative to the working
  // directory is walked from the root through the working directory's own path, so that the rules
  // hold for the folders above it too.
  std::vector<Folder> stack;
  const bool absolute = !path.empty() && path[0] == '/';
  std::string rooted;
  if (!absolute && !from) {
    char* cwd = ::getcwd(nullptr, 0);
    if (!cwd) return refuse(errno);
    rooted = cwd;
    std::free(cwd);
  }
  // A working directory out of the root's reach (another mount namespace's) is started from as it is.
  const bool fromCwd = !absolute && !from && (rooted.empty() || rooted[0] != '/');
  if (fromCwd) rooted.clear();
  stack.push_back(fromCwd ? OpenStart(".") : absolute || !from ? OpenStart("/") : *from);
  if (!stack.back().IsOpen()) return refuse(errno);
  // The names still to walk, the next one last; the flag tells a name of `path` itself (which may
  // be made) from one a link named.
  std::vector<std::pair<std::string, bool>> rest;
  PushNames(path, &rest, true);
  size_t ownLeft = rest.size();  // names of `path` itself still to walk
  // The working directory's names come first; none of them is made.
  PushNames(rooted, &rest, false);
  for (int links = 0; !rest.empty();) {
    const std::string name = rest.back().first;
    const bool own = rest.back().second;
    rest.pop_back();
    if (own) --ownLeft;
    const bool lastOfPath = own && ownLeft == 0;
    if (name == ".") continue;
    if (name == "..") {
      if (stack.size() > 1) {
        stack.pop_back();
      } else if (stack.back().Path() != "/") {
        Folder up = stack.back().Open("..");
        if (!up.IsOpen()) return refuse(errno);
        stack.back() = up;
      }
      continue;
    }
    if (name.size() > NAME_MAX) return refuse(ENAMETOOLONG);
    const Folder& at = stack.back();
    bool made = false;
    Folder next = at.Open(name);
    if (!next.IsOpen() && errno == ENOENT && own &&
        ((flags & kMakeMissing) || (lastOfPath && (flags & kMakeLast)))) {
      // Made here, then opened without following and checked: it must be this user's.
      const bool registered = lastOfPath && (flags & kRegisterLast);
      if (registered ? !MakeFolderIn(at, name, &next, key)
                     : ::mkdirat(at.Descriptor(), name.c_str(), 0777) != 0 && errno != EEXIST)
        return refuse(errno);
      if (!registered) next = at.Open(name);
      made = next.IsOpen();
      if (made) SkipSweep(next);  // new: nothing there to sweep
    }
    if (next.IsOpen()) {
      // In a shared sticky folder, a folder found there (or made there by another meanwhile) is
      // used only when this user or that folder's owner owns it.
      if ((made && next.Status().st_uid != ::geteuid()) || !at.MayUse(next.Status().st_uid))
        return refuse(kForeignFolder, "the folder " + next.Path() + " belongs to another user (" +
                                          UserName(next.Status().st_uid) + ")");
      stack.push_back(std::move(next));
      continue;
    }
    if (errno != ENOTDIR) return refuse(errno);
    // A link, or something that is not a folder.
    struct stat st;
    if (::fstatat(at.Descriptor(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return refuse(errno);
    if (!S_ISLNK(st.st_mode) || (lastOfPath && (flags & kNoLinkLast))) return refuse(ENOTDIR);
    if (++links > kMaxLinks) return refuse(ELOOP);
    if (!at.MayUse(st.st_uid)) return refuse(EACCES);
    std::string target;
    if (const int unread = at.ReadLink(name, &target)) return refuse(unread);
    if (target[0] == '/') {
      stack.clear();
      stack.push_back(OpenStart("/"));
      if (!stack.back().IsOpen()) return refuse(errno);
    }
    // The names a link gives are never made.
    PushNames(target, &rest, false);
  }
  *result = stack.back();
  return 0;
}

}  // namespace

int OpenFolder(const std::string& path, unsigned flags, Folder* folder, std::string* why,
               const std::string& key) {
  return Walk(nullptr, path, flags, folder, why, key);
}

int OpenFolderAt(const Folder& from, const std::string& relative, unsigned flags, Folder* folder,
                 std::string* why, const std::string& key) {
  return Walk(&from, relative, flags, folder, why, key);
}

}  // namespace TemporaryFile
