#pragma once

// Folders reached by one walk of their path, and everything done in them.
//
// A path is walked once, one name at a time through folders already open, as the kernel resolves
// it: `..` after a link goes to the parent of where the link led, a relative path starts at the
// working directory itself. Every operation is then a method of the open folder and a name, so
// that whatever happens to the names meanwhile, every file read, made, renamed or removed is in
// the folder that was checked. Path strings enter this module only at the walk.
//
// The rule for shared folders guards what a run writes, removes and starts. In a folder that anyone
// may write to, or a sticky one that its group may write to (/tmp), another user can plant a link,
// a folder or a file where this process goes. A link there is used only when the shared folder's
// owner or this user owns it, for a read too (as the kernel's protected_symlinks does). A folder of
// another user there is walked into, as the kernel does, but nothing is written, made, removed,
// locked or taken as a trusted file below it (through every folder walked from it): the walk keeps
// the refusal in the folders it opens, and those methods give it. A walk that makes folders
// refuses it at once. Elsewhere the owner of what is found is no reason to refuse it.

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "files/result.h"

namespace files {

class TemporaryFile;
class NewFolder;
class FileLock;
struct Target;

/// An open folder that a walk reached; copies share one descriptor, closed with the last.
class Folder {
 public:
  /// What a walk may make of the folders it does not find.
  enum class Make {
    kNothing,  ///< make none
    kMissing,  ///< make every missing name of the path itself (never one a link names)
    kLast,     ///< make the last name of the path when it is missing, and no other
  };

  Folder() = default;

  /// Walks `path` (absolute, or relative to the working directory) to the folder it names; `*folder`
  /// is it, open. Folders made have mode 0777 less the umask. With `linkLast` false the last name
  /// must be a folder itself, not a link (ENOTDIR). A walk that makes folders refuses a folder of
  /// another user in a shared folder; one that makes none keeps that refusal in `*folder`.
  static Result Open(const std::string& path, Folder* folder, Make make = Make::kNothing,
                     bool linkLast = true);
  /// Walks `relative` from this folder (an absolute path starts at the root) as `Open` does. With
  /// `linkLast` false the last name must be a folder itself, not a link (ENOTDIR).
  Result Walk(const std::string& relative, Folder* folder, Make make = Make::kNothing,
              bool linkLast = true) const;

  /// True when the folder is open.
  bool IsOpen() const { return Descriptor() >= 0; }
  /// The open descriptor (`O_PATH`), for the `*at` calls; -1 when not open.
  int Descriptor() const;
  /// The path the walk took, links replaced by their targets: "" for the working directory, "/"
  /// for the root. For messages only; never opened again.
  const std::string& Path() const;
  /// The path of `name` in this folder, for messages.
  std::string PathOf(const std::string& name) const;
  /// The folder's status, read from the open descriptor when it was opened.
  const struct stat& Status() const;
  /// Why nothing may be written, made, removed or locked here: a folder of another user in a shared
  /// folder on the way here ("the folder P belongs to another user (NAME)"); success when nothing.
  Result Refusal() const;

  /// Follows the links at `name` (when `followLink`) to the entry that a write there replaces, as
  /// the rest of the walk that opened this folder: relative links from the link's folder, 40 in
  /// all with those the walk passed, and in a shared folder only links of its owner or this user
  /// (else `kForeignLink`). Refuses a folder (EISDIR), a special file (`kNotRegularFile`), and
  /// gives this folder's `Refusal` first.
  Result Follow(const std::string& name, Target* target, bool followLink = true) const;
  /// Whose regular file a read takes in a shared folder.
  enum class Owner {
    kAnyone,   ///< anyone's: reading what another user wrote exposes nothing of this user's
    kTrusted,  ///< only this user's or the shared folder's owner's (a file that says what to run)
  };
  /// Opens the regular file `name` (links followed as `Follow` does, without its `Refusal` unless
  /// `owner` is `kTrusted`) for reading: what is opened is checked, never waited on (a FIFO is
  /// refused), and in a shared folder must be `owner`'s. `*fd` is the open descriptor, blocking,
  /// which the caller closes.
  Result OpenFile(const std::string& name, int* fd, Owner owner = Owner::kAnyone) const;
  /// Reads the whole regular file `name`, opened as `OpenFile` does, into `*bytes` (`ReadAll`); more
  /// than `limit` bytes is EFBIG.
  Result ReadFile(const std::string& name, std::string* bytes, size_t limit = size_t(1) << 30,
                  Owner owner = Owner::kAnyone) const;

  /// Makes a new temporary file for a write of `name` here (links followed as `Follow` does, or
  /// with `followLink` false a link at `name` is replaced itself). It has the permission bits of the
  /// file it will replace (never set-user-ID, set-group-ID or sticky) and its owner and group where
  /// this user may give them, except for a file that another user could have planted in a shared
  /// folder; else it is this user's, 0666 less the umask. The first temporary this process makes in
  /// a folder first sweeps it.
  Result CreateTemporary(const std::string& name, TemporaryFile* file, bool followLink = true) const;
  /// Writes `size` bytes of `data` as the whole of `name` through a temporary and a rename; on
  /// failure nothing is left and the target is untouched.
  Result WriteFile(const std::string& name, const void* data, size_t size) const;
  /// Makes the new folder `name` here (EEXIST when the name is taken); `*made` owns it.
  Result MakeFolder(const std::string& name, NewFolder* made) const;
  /// Makes a new folder with a temporary's name for `name` here, to be filled and then given its
  /// name (`NewFolder::Commit`). The first one this process makes in a folder first sweeps it.
  Result MakeTemporaryFolder(const std::string& name, NewFolder* made) const;
  /// Opens the folder `name` here (a link followed under the rule for shared folders), making it
  /// when it is missing, to be written into (its `Refusal` is returned); `*folder` is it. When `made` is
  /// given and the folder was made, `*made` owns it, so that it is removed unless kept.
  Result UseFolder(const std::string& name, Folder* folder, NewFolder* made = nullptr) const;
  /// Empties the folder `name` here and opens it as `UseFolder` does: what is there (a folder with
  /// all it holds, or a link to a folder itself, never what it leads to) is first renamed to a
  /// temporary's name, so that an interruption leaves all of it or none, then removed. Another
  /// user's entry in a shared folder is refused and left, and so is a file.
  Result RenewFolder(const std::string& name, Folder* folder, NewFolder* made = nullptr) const;
  /// Removes the temporaries here whose writer is certainly gone (see sweep.h); how many. None
  /// where there is a `Refusal`.
  int Sweep() const;
  /// Removes the folder `name` here with all it holds while it is still the folder `expected` (links
  /// in it are removed, never followed): not where there is a `Refusal`, nor another user's folder
  /// in a shared folder.
  Result RemoveFolder(const std::string& name, const struct stat& expected) const;
  /// Nothing this process makes here from now on sweeps this folder: a folder that is new, or one
  /// being filled with names that are not this system's.
  void SkipSweep() const;
  /// Waits for and takes an exclusive lock on the lock file `name` here, made (0600) when missing.
  /// The file is opened without following a link and must be a regular file; this user's own that
  /// others may open (group or other bits) is replaced once by a new one, so that no other user
  /// can hold the lock; a new one is taken whatever mode the file system shows for it. In a shared
  /// folder another user's is refused (`kForeignFile`), never skipped. When another holds the lock,
  /// `waiting` (if any) is called once before the wait.
  Result Lock(const std::string& name, FileLock* lock, const std::function<void()>& waiting = {}) const;

 private:
  /// True when others may plant entries here: anyone may write to it, or it is sticky and its group
  /// may write to it.
  bool IsShared() const;
  /// True when an entry that `owner` owns may be used here: anywhere but in a shared folder, where
  /// only its owner's entries and this user's are.
  bool MayUse(uid_t owner) const;
  /// The folder `name` in this one, opened without following a link; not open, with `errno` set
  /// (ENOTDIR for a link or a file), when it cannot be. No rule is applied: for the walks. It keeps
  /// this folder's refusal (`Refusal`).
  Folder Enter(const std::string& name) const;
  /// The target of the link `name` here: 0, or the `errno` value (ENOENT for an empty target).
  int ReadLink(const std::string& name, std::string* target) const;
  friend class Walker;
  friend class Trail;
  friend class NewFolder;
  friend void RemoveTree(const Folder& at, const std::string& name, const struct stat* expected);
  struct State;
  /// Opens the folder `name` in the folder open as `at` as `path`, with the refusal and the count
  /// of links of `like` (none when null).
  static Folder OpenAt(int at, const char* name, std::string path, const State* like);
  /// A copy of this folder's state without its descriptor, to be opened again (`Trail`).
  Folder Closed() const;
  /// The walk of `name` that `Follow` makes, without the `Refusal`.
  Result Resolve(const std::string& name, Target* target, bool followLink) const;
  std::shared_ptr<State> state_;
};

/// Reads what is left of the file open as `fd` to its end into `*bytes`: more than `limit` bytes
/// in all (its size is looked at first) is EFBIG. `path` names the file in a failure.
Result ReadAll(int fd, std::string* bytes, size_t limit, const std::string& path);

/// The folders of a walk down a tree, of which only the last 16 are held open: going back up
/// opens a closed one again through `..`, and only while it is still the folder the walk came
/// through (else `Reason::kMoved`).
class Trail {
 public:
  /// Adds `folder` as the last.
  void Push(Folder folder);
  /// Goes back to the folder before the last one, opening it again when it was closed.
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

/// The entry a write of a name replaces (`Folder::Follow`).
struct Target {
  Folder folder;          ///< the folder that holds it, after the links
  std::string name;       ///< its name there
  bool exists = false;    ///< a regular file is there (else the name is free, or a link is replaced)
  struct stat status {};  ///< its status, when it exists
};

/// A path as the open folder of its last name and that name.
struct Place {
  Folder folder;     ///< the folder the path's last name is in, walked
  std::string name;  ///< the last name
  /// The path, for messages.
  std::string Path() const { return folder.PathOf(name); }
};

/// Walks the folder part of `path` (as `Folder::Open`, making what `make` says) and splits off its
/// last name. A path that ends in "/", "." or ".." names no file: EISDIR; "" is ENOENT.
Result Locate(const std::string& path, Place* place, Folder::Make make = Folder::Make::kNothing);

}  // namespace files
