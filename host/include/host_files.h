// The host's own file writing, for the embedding program (the runner, a test): whole files
// written through an exclusive temporary name and a rename, and the temporary files of this
// process removed when it is interrupted. The plug-in never includes this header.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

namespace host {

/// Writes `size` bytes of `data` as the whole of `path`, through an exclusive temporary file
/// beside it and a rename. A target that exists and is not a regular file (a device, a FIFO, a
/// socket, a folder) is refused before anything is written; a symbolic link is followed to its
/// file, which is replaced (the link stays). A new file gets the mode the umask allows (0666 &
/// ~umask); a replaced file keeps its own. False on failure, with nothing left behind, the target
/// untouched and the system's reason in `*why` (e.g. "Permission denied", "not a regular file").
bool WriteFileReplacing(const std::string& path, const void* data, size_t size, std::string* why = nullptr);

/// False, with the reason in `*why`, when `path` names a target that `WriteFileReplacing` refuses
/// (a folder, a device, a FIFO, a socket, after following links); true for a regular file or a
/// free name. For refusing a save before any work is done.
bool IsReplaceableTarget(const std::string& path, std::string* why);

/// Removes every temporary file this process has made and not yet renamed or removed: those the
/// host made, and any file this process holds open whose name is a temporary's name carrying this
/// process's ID (the plug-in's own writers name theirs the same way). For an interrupted run;
/// callable from a thread that waits for signals, not from a signal handler.
void RemoveTemporaryFiles();

/// Removes from folder `dir` the temporary files of processes that no longer run (their names
/// carry the process ID, see `TemporaryFileProcess`). Files of running processes stay.
void RemoveStaleTemporaries(const std::string& dir);

/// The process ID that the file name `name` (no folder) carries when it is a temporary file's
/// name, ".<target name>.tmp-<pid>-<n>"; 0 when it is not such a name.
pid_t TemporaryFileProcess(const std::string& name);

}  // namespace host
