#pragma once

// Whole files written through an exclusive temporary file beside them and a rename, for the host,
// the runner and the plug-in alike: one library, so that a process keeps one list of the
// temporaries it has made and not yet renamed, and an interrupted run can remove them all.
//
// A temporary is named ".<name of target>.tmp-<origin>-<pid>-<random>" in the target's folder.
// The origin (12 hex digits) tells this machine and PID namespace from others sharing the folder,
// the pid is the writing process, and the last part (letters and digits, as `mkstemp` chooses them)
// cannot be foreseen by another user. Folders being filled carry such names too. A writer that is
// killed can leave one behind; the next process that writes into that folder removes it once its
// writer is certainly gone.
//
// In a sticky folder that others may write to (/tmp), another user could plant a link or a folder
// where this process writes. There a link is followed only when the sticky folder's owner or this
// user owns it, along every folder of a path as at its last name; and a folder the system names
// itself (see `UseFolder`) is used only when one of them owns it.

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <vector>

namespace TemporaryFile {

/// The `errno` value for "the target exists and is not a regular file" (a FIFO, a device, a
/// socket): no system call gives it, so it stays apart from EINVAL.
constexpr int kNotRegularFile = 0x10000;

/// The `errno` value of a creation refused because the run is being interrupted.
constexpr int kInterrupted = 0x10001;

/// The `errno` value for a folder that another user made in a sticky folder others may write to.
constexpr int kForeignFolder = 0x10002;

/// The reason text of an `errno` value: the system's words, "not a regular file" for
/// `kNotRegularFile`, "interrupted" for `kInterrupted` and "the folder belongs to another user"
/// for `kForeignFolder`.
std::string ErrorText(int error);

/// The 12 hex digits that tell this machine and PID namespace apart from others.
const std::string& Origin();

/// What a file name (without a folder) says of the temporary it may be.
struct NameInfo {
  bool temporary = false;  ///< it has the form of a temporary's name
  bool local = false;      ///< written on this machine in this PID namespace
  pid_t pid = 0;           ///< the writing process (meaningful when `local`)
};

/// Reads a file name (no folder). Names of the earlier form ".<name>.tmp-<pid>-<n>", which carry
/// no origin, count as temporaries of unknown origin; a last part of digits (the form before the
/// random one) is read too.
NameInfo ReadName(const std::string& name);

/// Creates a new, empty temporary file for `target`, registered from before it exists. A link at
/// `target` is followed (relative links from the link's folder, 40 at most) to the file it
/// names, so that the rename replaces that file and keeps the link; in a sticky folder that
/// others may write to, only a link owned by the folder's owner or by this user is followed (else
/// EACCES), at the target and at every folder of its path. With `followLink` false a link at
/// `target` is replaced itself. A target that exists and is not a regular file is refused (EISDIR
/// for a folder, `kNotRegularFile` otherwise). The new file has the permission bits of the file it
/// will replace (never set-user-ID, set-group-ID or sticky), and its owner and group where this
/// user may give them (root: always; others: a group they belong to); or this user's and 0666 less
/// the umask. A long target name is shortened in the temporary's name.
/// The first temporary this process makes in a folder first removes the stale temporaries there
/// (`RemoveStale`). Answers the open descriptor, with `*temporary` its path and `*final` the path
/// to rename it to; -1 with `errno` set when no file could be made (`kInterrupted` once the run
/// is being interrupted).
int CreateBeside(const std::string& target, std::string* temporary, std::string* final,
                 bool followLink = true);

/// Renames `temporary` over `final` and forgets it; false with `errno` kept from the rename (the
/// temporary then is removed). Fails with `kInterrupted` once the run is being interrupted. The
/// registered folders `keep` (what the file refers to, such as a scene's new mesh folder) are kept
/// in the same step: an interruption either comes first and removes them with the temporary, or
/// finds both the file and its folders in place.
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

/// False, with the reason in `*why`, when `path` names a target that `CreateBeside` refuses (a
/// folder, a special file, a link it does not follow); true for a regular file or a free name.
/// For refusing a save before any work is done.
bool IsReplaceableTarget(const std::string& path, std::string* why);

/// True when `path` names a regular file, after following links as `CreateBeside` does: what a
/// writer may take as already written (a FIFO, a device or a folder of that name is not).
bool IsRegularFile(const std::string& path);

/// Removes from `folder` (empty for the working directory) the regular files and folders with a
/// temporary's name that this user owns and whose writer is certainly gone: one of this machine
/// and PID namespace whose process no longer runs, or one of any other origin untouched for a day.
/// A folder goes with all it holds; links in it are removed, never followed. Answers how many were
/// removed; `errno` is kept.
int RemoveStale(const std::string& folder);

/// `RemoveStale` for `folder` and every folder below it, `depth` levels deep at most; links are
/// not followed.
int RemoveStaleBelow(const std::string& folder, int depth);

/// Makes the new folder `path` (mode 0777 less the umask) and registers it, so that an
/// interrupted run removes it with all it holds. False with `errno` set (`kInterrupted` once the
/// run is being interrupted).
bool MakeFolder(const std::string& path);

/// Makes a new folder with a temporary's name beside `target` (in its folder, ".<name>.tmp-...")
/// and registers it as `MakeFolder` does; the first such folder or file this process makes in a
/// folder first sweeps it. For a folder that is filled before it gets its name (`CommitFolder`).
/// Its path, or "" with `errno` set.
std::string MakeTemporaryFolder(const std::string& target);

/// Renames the registered folder `temporary` to `final`, where nothing may be yet, and keeps it in
/// the same step. False with `errno` set (EEXIST when `final` is taken, `kInterrupted` once the run
/// is being interrupted); the folder then stays registered.
bool CommitFolder(const std::string& temporary, const std::string& final);

/// Makes ready a folder that the system names itself and writes into (a write path's
/// "quickrender" and "materials", a scene's "models.*" and "textures.*"). With `make`, the folder
/// is made when missing (registered, as `MakeFolder` does, with `registerNew`), and what is there
/// is looked at after that attempt, never before. In a sticky folder that others may write to, it
/// is used only when it is a folder that this user or the sticky folder's owner owns; a link
/// there (or along its path) only under the rule of `CreateBeside`. Outside such folders any
/// folder is used and links are followed. 0 when it may be used; else the `errno` value, with the
/// reason in `*why`: "Permission denied" for a link, "Not a directory", or "the folder P belongs to
/// another user (NAME)" (`kForeignFolder`).
int UseFolder(const std::string& path, bool make, bool registerNew, std::string* why);

/// Empties the folder `path` as `UseFolder` would use it: what is there (a folder with all it holds,
/// or a file or link itself, never what a link leads to) is first renamed to a temporary's name,
/// so that an interruption leaves either all of it or none, and then removed; then a new folder is
/// made there as `UseFolder` with `make` does. Something another user owns in a sticky folder is
/// refused and left. 0, or the `errno` value with the reason in `*why`.
int RenewFolder(const std::string& path, bool registerNew, std::string* why);

/// Keeps the registered folder `path`: an interruption no longer removes it.
void KeepFolder(const std::string& path);

/// Removes the registered folder `path` with all it holds (links in it are removed, never followed)
/// and forgets it; `errno` is kept.
void RemoveFolder(const std::string& path);

/// Begins the handling of an interruption: from now on no temporary or registered folder is made
/// and none is committed, and every registered temporary and folder is removed. Waits for a
/// creation or commit under way. True the first time. Callable from a thread that waits for
/// signals, not from a signal handler.
bool Interrupt();

/// True once `Interrupt` has been called in this process.
bool Interrupted();

}  // namespace TemporaryFile
