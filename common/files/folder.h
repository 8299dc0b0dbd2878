#pragma once

// Folders reached by one walk of their path, as the kernel resolves it, and everything done in
// them: every operation is a method of an open folder and a name, so that whatever happens to the
// names meanwhile, what is read, made, renamed or removed is in the folder that was checked.
//
// The rule for shared folders (anyone may write there, or it is sticky and its group may) guards
// what a run writes, removes and starts. A link there is used only when the shared folder's owner
// or this user owns it, for a read too (as protected_symlinks). A folder of another user there is
// walked into, but nothing is written, made, removed, locked or trusted below it: the walk keeps
// that refusal in the folders it opens (`MayWrite`), and a walk that makes folders gives it at once.

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
struct Target;

/// Whose regular file a read takes in a shared folder.
enum class ReadPolicy {
  /// Anyone's: reading what another user wrote exposes nothing of this user's.
  kAnyone,
  /// Only this user's or the shared folder's owner's: a file that says what to run.
  kTrusted,
  /// As `kTrusted`, for a program to start or a module to load. It is opened only to be checked,
  /// never read (`O_PATH`), so that a program the user may run but not read opens too. It is then
  /// started or loaded by its path where that path is steady: the kernel resolves it to the same
  /// file, and a script's `$0`, debuggers and sanitizers name the program as on any system. Where a
  /// folder on the path lets users the walk does not trust rename its entries, it goes from its
  /// descriptor instead (`ProcDescriptorPath`, `InheritedDescriptorPath`), so that what runs is the
  /// file the walk checked and never one put at its path since.
  kProgram,
};

/// An open folder that a walk reached; copies share one descriptor, closed with the last.
class Folder {
 public:
  /// What a walk may make of the folders it does not find.
  enum class Make {
    kNothing,  ///< make none
    kMissing,  ///< make every missing name of the path itself (never one a link names)
    kLast,     ///< make the last name of the path when it is missing, and no other
  };

  /// Walks `path` (absolute, or from the working directory) to the folder `*folder`, making what
  /// `make` says (0777 less the umask). With `linkLast` false the last name may not be a link.
  static Result Open(const std::string& path, Folder* folder, Make make = Make::kNothing,
                     bool linkLast = true);
  /// Walks `relative` from this folder as `Open` does.
  Result Walk(const std::string& relative, Folder* folder, Make make = Make::kNothing,
              bool linkLast = true) const;

  /// True when the folder is open.
  bool IsOpen() const { return Descriptor() >= 0; }
  /// The open descriptor (`O_PATH`), for the `*at` calls; -1 when not open.
  int Descriptor() const;
  /// The path the walk took ("" for the working directory), for messages only.
  const std::string& Path() const;
  /// The path of `name` in this folder, for messages.
  std::string PathOf(const std::string& name) const;
  /// The folder's status when it was opened.
  const struct stat& Status() const;
  /// Success when this run may write, make, remove or lock here; else why not (a folder of
  /// another user in a shared folder on the way).
  Result MayWrite() const;
  /// True when others may plant entries here: anyone may write, or its group may and it is sticky.
  bool IsShared() const;
  /// True unless this is a shared folder and `owner` is neither its owner nor this user.
  bool Trusts(uid_t owner) const;

  /// Finds the entry a write of `name` replaces (its last link followed too when `followLink`), as
  /// the rest of the walk that opened this folder. Refuses a folder (EISDIR), a special file, and
  /// gives this folder's `MayWrite` first.
  Result WriteTarget(const std::string& name, Target* target, bool followLink = true) const;
  /// Opens the regular file `name` (followed as `WriteTarget` does; its `MayWrite` only for
  /// `kTrusted`) to read, never waiting on it. `*fd` is the descriptor, blocking; the caller closes it.
  /// `*steady` (when given): only users the walk trusts can change what the path names (`Target`).
  Result OpenFile(const std::string& name, int* fd, ReadPolicy policy = ReadPolicy::kAnyone,
                  bool* steady = nullptr) const;
  /// Reads the whole file `name`, opened as `OpenFile` does, into `*bytes` (`ReadAll`).
  Result ReadFile(const std::string& name, std::string* bytes, size_t limit = size_t(1) << 30,
                  ReadPolicy policy = ReadPolicy::kAnyone) const;

  /// Makes a temporary file to replace `name` here (found as `WriteTarget` does), with the mode,
  /// and where this user may give them the owner and group, of the file it replaces (not one
  /// another user could have planted); else 0666 less the umask. It first sweeps a folder new to it.
  Result CreateTemporary(const std::string& name, TemporaryFile* file, bool followLink = true) const;
  /// Writes `data` as the whole of `name` through a temporary; on failure nothing is left.
  Result WriteFile(const std::string& name, const void* data, size_t size) const;
  /// Makes the new folder `name` here (EEXIST when the name is taken); `*made` owns it.
  Result MakeFolder(const std::string& name, NewFolder* made) const;
  /// Makes a folder with a temporary's name for `name` here, to be filled and then committed.
  Result MakeTemporaryFolder(const std::string& name, NewFolder* made) const;
  /// Opens the folder `name` here to write into (its `MayWrite` is given), made when missing; when
  /// it was made and `made` is given, `*made` owns it.
  Result UseFolder(const std::string& name, Folder* folder, NewFolder* made = nullptr) const;
  /// Removes what is at `name` here (a folder, set aside first so that an interruption leaves all
  /// of it or none, or a link to one itself) and opens it anew as `UseFolder` does. A file, and
  /// another user's entry in a shared folder, are refused.
  Result RenewFolder(const std::string& name, Folder* folder, NewFolder* made = nullptr) const;
  /// Renames the folder `name` here to `to` in `into` (on the same file system), where nothing may
  /// be yet (EEXIST), unless the run is being interrupted (`WhileRunning`); `into`'s `MayWrite` first.
  Result MoveFolder(const std::string& name, const Folder& into, const std::string& to) const;
  /// Removes the folder `name` here with all it holds while it is still `expected`; not another
  /// user's in a shared folder.
  Result RemoveFolder(const std::string& name, const struct stat& expected) const;
  /// Marks this folder as swept: nothing this process makes here from now on sweeps it.
  void MarkSwept() const;

 private:
  friend class Trail;
  friend class Walker;
  friend Result WorkingDirectory(Make make, Folder* cwd);
  friend class NewFolder;
  friend void RemoveTree(const Folder& at, const std::string& name, const struct stat* expected,
                         bool stoppable);
  struct State;
  /// The folder `name` here, not through a link, with this one's refusal; not open (errno set,
  /// ENOTDIR for a link or a file) when it cannot be.
  Folder Enter(const std::string& name) const;
  /// Opens `name` in the folder open as `at` as `path`, with the refusal and link count of `like`.
  static Folder OpenAt(int at, const char* name, std::string path, const State* like);
  std::shared_ptr<State> state_;
};

/// True when `a` and `b` are the status of one file.
inline bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

/// Makes the folder `name` in the folder open as `at`, 0777 less the umask but always this user's
/// to read, write and search, as `mkdir -p` makes the folders it goes on into: 0 or the `errno` value.
int MakeDirectory(int at, const std::string& name);

/// Reads the rest of the file open as `fd` into `*bytes`; more than `limit` bytes is EFBIG.
Result ReadAll(int fd, std::string* bytes, size_t limit, const std::string& path);

/// The entry a write of a name replaces (`Folder::WriteTarget`).
struct Target {
  Folder folder;          ///< the folder that holds it, after the links
  std::string name;       ///< its name there
  bool isFile = false;    ///< a regular file is there (else the name is free, or a link is replaced)
  struct stat status {};  ///< its status, when it is a file
  /// Only users the walk trusts may rename or replace the entry taken, or a folder or link on the
  /// way to it (`..` too).
  bool steady = false;
};

/// A path as the open folder of its last name and that name.
struct Place {
  Folder folder;     ///< the folder the path's last name is in, walked
  std::string name;  ///< the last name
  /// The path, for messages.
  std::string Path() const { return folder.PathOf(name); }
};

/// Walks the folder part of `path` as `Folder::Open` does and splits off its last name (EISDIR
/// for a path that ends in "/", "." or "..").
Result Locate(const std::string& path, Place* place, Folder::Make make = Folder::Make::kNothing);

/// `Folder::OpenFile` of the file `path`, its folder walked first (`Locate`).
Result OpenFile(const std::string& path, int* fd, ReadPolicy policy = ReadPolicy::kAnyone,
                bool* steady = nullptr);
/// The path that reaches the file open as `fd` in this process, for this process and for others
/// while it stays open: "/proc/PID/fd/N", with this process's number as /proc gives it, since in
/// another PID namespace /proc numbers it otherwise than `getpid()` does; so only where /proc is
/// mounted (`Reaches` tells). A module loaded where its path is not steady is loaded by it, so that
/// it is the file the walk checked, and a debugger or a symbolizer, each in a process of its own,
/// then reads the module by the name the loader was given. Opening it also gives a description of
/// its own of a pipe or terminal that the process shares with others.
std::string ProcDescriptorPath(int fd);
/// The path by which a child that inherited `fd` under the same number reaches the file open as
/// it: "/dev/fd/N", the name the kernel gives a script's interpreter when the script is started
/// from its descriptor, and so the script's `$0`. It leads through /proc too, so only where /proc
/// is mounted does a script start that way.
std::string InheritedDescriptorPath(int fd);
/// True when `path` leads to the file open as `fd` (a descriptor's path, where /proc is mounted).
bool Reaches(const std::string& path, int fd);
/// `Folder::ReadFile` of the file `path`, its folder walked first.
Result ReadFile(const std::string& path, std::string* bytes, size_t limit = size_t(1) << 30,
                ReadPolicy policy = ReadPolicy::kAnyone);
/// `Folder::CreateTemporary` for the file `path`, its folder walked first.
Result CreateTemporary(const std::string& path, TemporaryFile* file);
/// `Folder::WriteFile` of the file `path`, its folder walked first.
Result WriteFile(const std::string& path, const void* data, size_t size);

/// The names of `path` between its slashes in order, empty ones left out, and "." ones too unless
/// `dots`; ".." is kept, for a walk to resolve as the kernel does.
std::vector<std::string> PathNames(const std::string& path, bool dots = false);

/// `path` as its walk reaches it where it holds a ".." (after a link or the working directory,
/// which may change, it names what the kernel finds now), so that it keeps naming that file; else,
/// or where it cannot be walked, `path` itself.
std::string Resolve(const std::string& path);

}  // namespace files
