#pragma once

// Whole files written through an exclusive temporary file beside them and a rename, for the host,
// the runner and the plug-in alike: one library, so that a process keeps one list of the
// temporaries it has made and not yet renamed, and an interrupted run can remove them all.
//
// A temporary is named ".<name of target>.tmp-<origin>-<pid>-<random>" in the target's folder.
// The origin (12 hex digits) tells this machine and PID namespace from others sharing the folder,
// the pid is the writing process, and the last part (10 letters and digits, as `mkstemp` chooses
// them) cannot be foreseen by another user. Folders being filled carry such names too. A writer
// that is killed can leave one behind; the next process that writes into that folder removes it
// once its writer is certainly gone. Only that exact form counts: a user's ".x.tmp-2024" stays.
//
// Every operation works through an open folder (`Folder`): a path is walked once, under the rules
// for shared folders that folder.h gives, and the file or folder is then made, renamed, removed or
// read relative to the open folder, never by its path again.

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <vector>

#include "files/folder.h"

namespace TemporaryFile {

/// The `errno` value for "the target exists and is not a regular file" (a FIFO, a device, a
/// socket): no system call gives it, so it stays apart from EINVAL.
constexpr int kNotRegularFile = 0x10000;

/// The `errno` value of a creation refused because the run is being interrupted.
constexpr int kInterrupted = 0x10001;

/// The `errno` value for a file that another user planted in a sticky folder others may write to.
constexpr int kForeignFile = 0x10003;

/// The reason text of an `errno` value: the system's words, "not a regular file" for
/// `kNotRegularFile`, "interrupted" for `kInterrupted`, "the folder belongs to another user" for
/// `kForeignFolder` and "the file belongs to another user" for `kForeignFile`.
std::string ErrorText(int error);

/// The 12 hex digits that tell this machine and PID namespace apart from others.
const std::string& Origin();

/// What a file name (without a folder) says of the temporary it may be.
struct NameInfo {
  bool temporary = false;  ///< it has the exact form of a temporary's name
  bool local = false;      ///< written on this machine in this PID namespace
  pid_t pid = 0;           ///< the writing process (meaningful when `local`)
};

/// Reads a file name (no folder): a temporary's only in the exact form
/// ".<name>.tmp-<12 hex digits>-<pid>-<10 letters and digits>".
NameInfo ReadName(const std::string& name);

/// Creates a new, empty temporary file for `target`, registered from before it exists: the folder
/// of `target` is walked (`OpenFolder`) and the rest is `CreateIn`.
int CreateBeside(const std::string& target, std::string* temporary, std::string* final,
                 bool followLink = true);

/// Creates a new, empty temporary file for the entry `name` of the open folder `folder`. A link at
/// `name` is followed (relative links from the link's folder, 40 at most) to the file it names, so
/// that the rename replaces that file and keeps the link; in a sticky folder that others may write
/// to, only a link owned by the folder's owner or by this user is followed (else EACCES). With
/// `followLink` false a link at `name` is replaced itself. A target that exists and is not a
/// regular file is refused (EISDIR for a folder, `kNotRegularFile` otherwise). The new file has
/// the permission bits of the file it will replace (never set-user-ID, set-group-ID or sticky) and
/// its owner and group where this user may give them; but in a sticky folder that others may write
/// to, only when that owner is this user or the folder's owner. Otherwise it is this user's, 0666
/// less the umask, as a new file is. A long name is shortened in the temporary's name. The first temporary
/// this process makes in a folder first removes the stale temporaries there (`RemoveStale`). Answers the open
/// descriptor, with `*temporary` its path and `*final` the path it will take (the keys for
/// `Commit` and `Discard`); -1 with `errno` set when no file could be made.
int CreateIn(const Folder& folder, const std::string& name, std::string* temporary, std::string* final,
             bool followLink = true);

/// Follows the links at `name` in the open folder `folder` as `CreateIn` does, to the entry a write
/// there replaces: 0 with `*dir` and `*leaf` that entry's folder and name (which may be free); else
/// the `errno` value of the refusal (EACCES, ELOOP, EISDIR, `kNotRegularFile`, ...).
int FollowLinks(const Folder& folder, const std::string& name, Folder* dir, std::string* leaf);

/// Renames `temporary` over `final` (in their open folder) and forgets it; false with `errno` kept
/// from the rename (the temporary then is removed). Fails with `kInterrupted` once the run is being
/// interrupted. The registered folders `keep` (what the file refers to, such as a scene's new mesh
/// folder) are kept in the same step: an interruption either comes first and removes them with the
/// temporary, or finds both the file and its folders in place.
bool Commit(const std::string& temporary, const std::string& final,
            const std::vector<std::string>& keep = {});

/// Removes `temporary` and forgets it; `errno` is left as it was.
void Discard(const std::string& temporary);

/// Writes all `size` bytes of `data` to `fd`, again after an interruption of the call; false with
/// `errno` kept from the failing write (ENOSPC for a write that made no progress).
bool WriteAll(int fd, const void* data, size_t size);

/// Writes `size` bytes of `data` as the whole of `path` through `CreateBeside`, `WriteAll` and
/// `Commit`. False on failure, with nothing left behind, the target untouched and the reason in
/// `*why` (`ErrorText`) and `errno`.
bool WriteFileReplacing(const std::string& path, const void* data, size_t size, std::string* why = nullptr);

/// `WriteFileReplacing` for the entry `name` of the open folder `folder`.
bool WriteFileIn(const Folder& folder, const std::string& name, const void* data, size_t size,
                 std::string* why = nullptr);

/// Reads the whole of the regular file `path` into `*bytes`, through its open folder: in a sticky
/// folder that others may write to, the file (and a link at it) must be this user's or the
/// folder's owner's. 0; ENOENT when there is none; else the `errno` value with the reason in
/// `*why`: "the file P belongs to another user (NAME)" (`kForeignFile`), "Permission denied" for a
/// link, "not a regular file" or the system's words.
int ReadFile(const std::string& path, std::string* bytes, std::string* why = nullptr);

/// False, with the reason in `*why`, when `path` names a target that `CreateBeside` refuses (a
/// folder, a special file, a link it does not follow); true for a regular file or a free name.
/// For refusing a save before any work is done.
bool IsReplaceableTarget(const std::string& path, std::string* why);

/// True when `path` names a regular file, after following links as `CreateBeside` does: what a
/// writer may take as already written (a FIFO, a device or a folder of that name is not).
bool IsRegularFile(const std::string& path);

/// Removes from `folder` the regular files and folders with a temporary's name that this user owns
/// and whose writer is certainly gone: one of this machine and PID namespace whose process no
/// longer runs, or one of any other origin untouched for a day. A folder goes with all it holds,
/// however deep; links are removed, never followed. Nothing below the folder itself is looked at.
/// Answers how many were removed; `errno` is kept.
int RemoveStale(const Folder& folder);

/// Nothing this process makes in `folder` from now on sweeps it: a folder that is new, or one
/// being filled with what an archive held, whose names are not this system's.
void SkipSweep(const Folder& folder);

/// `RemoveStale` for the folder `path`, walked as `OpenFolder` does; 0 when it cannot be opened.
int RemoveStale(const std::string& path);

/// Makes the new folder `path` (mode 0777 less the umask) and registers it under `path`, so that
/// an interrupted run removes it with all it holds. False with `errno` set (`kInterrupted` once
/// the run is being interrupted).
bool MakeFolder(const std::string& path);

/// Makes the new folder `name` in the open folder `parent` and registers it under `key` (by default
/// `parent.PathOf(name)`), as `MakeFolder` does; `*made` (when given) is it, open. Nothing made in
/// it is swept: it is new. False with `errno` set (`kForeignFolder` when what could be opened
/// there is not this user's).
bool MakeFolderIn(const Folder& parent, const std::string& name, Folder* made = nullptr,
                  const std::string& key = "");

/// Makes a new folder with a temporary's name beside `target` (in its folder, ".<name>.tmp-...")
/// and registers it as `MakeFolder` does; the first such folder or file this process makes in a
/// folder first sweeps it. For a folder that is filled before it gets its name (`CommitFolder`).
/// Its path, or "" with `errno` set.
std::string MakeTemporaryFolder(const std::string& target);

/// `MakeTemporaryFolder` for the entry `name` of the open folder `parent`; `*made` (when given) is
/// the new folder, open.
std::string MakeTemporaryFolderIn(const Folder& parent, const std::string& name, Folder* made = nullptr);

/// Renames the registered folder `temporary` to `name` in the same folder, where nothing may be
/// yet, and keeps it in the same step. Where the file system refuses to rename without replacing
/// (`renameat2`'s flag), the name is first taken by an empty folder of this user's that the rename
/// then replaces. False with `errno` set (EEXIST when `name` is taken, `kInterrupted` once the run
/// is being interrupted); the folder then stays registered.
bool CommitFolder(const std::string& temporary, const std::string& name);

/// Makes ready a folder that the system names itself and writes into (a write path's
/// "quickrender" and "materials", a scene's "models.*" and "textures.*"): `OpenFolder`, under the
/// rules for shared folders, with `make` `kMakeLast` (registered with `registerNew`).
/// 0 with `*folder` (when given) open; else the `errno` value, with the reason in `*why`.
int UseFolder(const std::string& path, bool make, bool registerNew, std::string* why,
              Folder* folder = nullptr);

/// `UseFolder` for the entry `name` of the open folder `parent`, registered (when made) under
/// `key`, the path the caller knows it by.
int UseFolderIn(const Folder& parent, const std::string& name, const std::string& key, bool make,
                bool registerNew, std::string* why, Folder* folder = nullptr);

/// Empties the folder `path` as `UseFolder` would use it: what is there (a folder with all it holds,
/// or a link to a folder itself, never what a link leads to) is first renamed to a temporary's name,
/// so that an interruption leaves either all of it or none, and then removed; then a new folder is
/// made there as `UseFolder` with `make` does. Something another user owns in a sticky folder is
/// refused and left, and so is a file. 0, or the `errno` value with the reason in `*why`.
int RenewFolder(const std::string& path, bool registerNew, std::string* why, Folder* folder = nullptr);

/// `RenewFolder` for the entry `name` of the open folder `parent`, registered under `key`.
int RenewFolderIn(const Folder& parent, const std::string& name, const std::string& key, bool registerNew,
                  std::string* why, Folder* folder = nullptr);

/// Keeps the registered folder `path`: an interruption no longer removes it.
void KeepFolder(const std::string& path);

/// Removes the registered folder `path` with all it holds (links in it are removed, never followed)
/// and forgets it; `errno` is kept.
void RemoveFolder(const std::string& path);

/// Waits for and takes an exclusive lock on the lock file `name` of the open folder `folder`, made
/// (0600) when missing. Only a regular file of this user's is locked, opened without following a
/// link, so that no other user can hold the lock or make this process wait. The descriptor that
/// holds the lock (closing it lets go), or -1 when there is no such file (nothing is locked then).
int LockIn(const Folder& folder, const std::string& name);

/// Begins the handling of an interruption: from now on no temporary or registered folder is made
/// and none is committed, and every registered temporary and folder is removed. Waits for a
/// creation or commit under way. True the first time. Callable from a thread that waits for
/// signals, not from a signal handler.
bool Interrupt();

/// True once `Interrupt` has been called in this process.
bool Interrupted();

}  // namespace TemporaryFile
