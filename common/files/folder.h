#pragma once

// Folders reached by one walk of their path, one name at a time through folders already open, and
// then used through the open descriptor: whatever happens to the names afterwards, every file made,
// renamed or removed there lands in the folder that was checked.
//
// In a sticky folder that others may write to (/tmp, or one its group may write to), another user
// can plant a link or a folder where this process goes. There a link or a folder is used only when
// the sticky folder's owner or this user owns it, at every name of a path; and a folder the walk
// makes is opened without following and must be this user's.

#include <sys/stat.h>
#include <sys/types.h>

#include <memory>
#include <string>

namespace TemporaryFile {

/// The `errno` value for a folder that another user made in a sticky folder others may write to.
constexpr int kForeignFolder = 0x10002;

/// An open folder that `OpenFolder` reached; copies share one descriptor, closed with the last.
class Folder {
 public:
  Folder() = default;

  /// True when the folder is open.
  bool IsOpen() const { return state_ != nullptr; }
  /// The open descriptor (`O_PATH`), for the `*at` calls; -1 when not open.
  int Descriptor() const;
  /// The path the walk took to the folder, links replaced by their targets: "" for the working
  /// directory, "/" for the root. For messages and for keys; never opened again.
  const std::string& Path() const;
  /// The path of `name` in the folder.
  std::string PathOf(const std::string& name) const;
  /// The folder's status, read from the open descriptor when it was opened.
  const struct stat& Status() const;
  /// True when what `owner` owns in this folder may be used: anywhere but in a sticky folder that
  /// others (or its group) may write to, where only this folder's owner's entries and this user's
  /// are.
  bool MayUse(uid_t owner) const;

  /// The folder `name` in this one, opened without following a link; not open, with `errno` set
  /// (ENOTDIR for a link or a file), when it cannot be.
  Folder Open(const std::string& name) const;
  /// The target of the link `name` in this folder: 0, or the `errno` value (ENOENT for an empty
  /// target, ENAMETOOLONG for one longer than a path may be).
  int ReadLink(const std::string& name, std::string* target) const;

  /// The folder open as `fd` (taken over) with the path `path` and status `st`.
  static Folder Adopt(int fd, const std::string& path, const struct stat& st);

 private:
  struct State;
  std::shared_ptr<const State> state_;
};

/// How `OpenFolder` walks.
enum FolderFlags : unsigned {
  kMakeMissing = 1u,   ///< make the folders of the path that are missing (0777 less the umask)
  kRegisterLast = 4u,  ///< register the last folder when this walk made it (`MakeFolder`)
  kMakeLast = 8u,      ///< make the last folder of the path when it is missing, and no other
  kNoLinkLast = 16u,   ///< the last name of the path must be a folder itself, not a link (ENOTDIR)
};

/// Walks `path` ("" or "." for the working directory) one name at a time through open folders:
/// `..` goes back to the folder opened before, a link's target is walked from the folder that holds
/// it (40 links at most, then ELOOP), and in a sticky folder that others may write to a link is
/// followed only when that folder's owner or this user owns it (else EACCES), and so is a folder
/// entered (else `kForeignFolder`). With `kMakeMissing`
/// the missing names of `path` itself are made (never one that a link names). 0 with `*folder`
/// open; else the `errno` value, with the reason in `*why`: the system's words, or "the folder P
/// belongs to another user (NAME)" (`kForeignFolder`). A folder made with `kRegisterLast` is
/// registered under `key`, by default the path it was reached by.
int OpenFolder(const std::string& path, unsigned flags, Folder* folder, std::string* why = nullptr,
               const std::string& key = "");

/// `OpenFolder` for `relative` walked from the open folder `from` (an absolute path starts at the
/// root as usual).
int OpenFolderAt(const Folder& from, const std::string& relative, unsigned flags, Folder* folder,
                 std::string* why = nullptr, const std::string& key = "");

/// The name of the user `uid`, or "user N".
std::string UserName(uid_t uid);

}  // namespace TemporaryFile
