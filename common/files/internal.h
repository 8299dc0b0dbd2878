#pragma once

// The file module's own parts, shared by its files and not meant for its users (the tests look at
// some): an open folder's state, the walk, the trail of folders a walk down a tree holds, and the
// temporaries' names and sweep.

#include <sys/stat.h>
#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include "files/folder.h"
#include "files/result.h"

namespace files {

/// What an open `Folder` holds; copies of the folder share it.
struct Folder::State {
  int fd = -1;
  std::string path;
  struct stat status = {};
  Result refused;      ///< `Folder::MayWrite`
  int links = 0;       ///< the links the walk that opened it passed
  bool steady = true;  ///< only trusted users may rename or replace what the walk took to it
  ~State();
};

/// Walks `path` from `start` (the working directory when not open) as `Folder::Open` does, to the
/// folder `*result`; with a `target` it ends at the entry its last name stands for, following
/// that last link too when `followLink` (`Folder::WriteTarget`).
Result WalkPath(const Folder& start, const std::string& path, Folder::Make make, bool linkLast,
                Folder* result, Target* target = nullptr, bool followLink = true);

/// The working directory, with the path "" so that messages keep relative names as given, and the
/// refusal a walk from the root would find above it; `make` other than `kNothing` gives it at once.
Result WorkingDirectory(Folder::Make make, Folder* cwd);

/// What the kernel refuses of a path before it looks at any folder.
Result CheckPath(const std::string& path);

/// The folders of a walk down a tree, only the last 16 held open: going back up opens a closed
/// one again through `..`, only while it is still the folder the walk came through (else moved).
class Trail {
 public:
  /// Adds `folder` as the last.
  void Push(Folder folder);
  /// Goes back to the folder before the last one.
  Result Pop();
  /// The last folder.
  const Folder& Back() const { return folders_.back(); }
  /// How many folders the trail holds.
  size_t Size() const { return folders_.size(); }
  /// Forgets every folder.
  void Clear() { folders_.clear(); }

 private:
  std::vector<Folder> folders_;
};

/// The 12 hex digits that tell this machine and PID namespace apart from others.
const std::string& Origin();

/// A new temporary's name for `name` in this process, shortened so that it fits in a folder.
std::string TemporaryName(const std::string& name);

/// Runs `make` with new temporary names for `name` (at `path`) until one was free (not EEXIST).
Result WithTemporaryName(const std::string& name, const std::string& path,
                         const std::function<Result(const std::string& candidate)>& make);

/// Success for 0, else the system's `errno` value `error` about `path`: the result of a call that
/// gives 0 or an `errno` value (`MakeDirectory`, `RenameNoReplace`).
inline Result FromError(int error, const std::string& path) {
  return error == 0 ? Result() : Result::System(error, path);
}

/// True for a name that stands for one entry of a folder.
bool IsEntryName(const std::string& name);

/// Renames the folder `from` in the folder open as `fd` to `to` there (or in the one open as
/// `toFd`), where nothing may be yet: where the file system refuses `renameat2`'s flag (FUSE, NFS),
/// after a look that `to` is free. 0 or the `errno` value.
int RenameNoReplace(int fd, const std::string& from, const std::string& to, int toFd = -1);

/// Remembers `folder` as swept; true the first time.
bool FirstSweep(const Folder& folder);

/// Sweeps `folder` the first time this process makes something there; `shown` gives the owner the
/// file system shows for what this process made (NFS with root squashed shows another).
void SweepOnce(const Folder& folder, const std::function<uid_t()>& shown = {});

/// Removes the entry `name` of `at` with all it holds (a link itself); with `expected`, only while
/// it is still that file; when `stoppable`, nothing more once the run is interrupted.
void RemoveTree(const Folder& at, const std::string& name, const struct stat* expected = nullptr,
                bool stoppable = false);

}  // namespace files
