#pragma once

// The temporary files through which the plug-in writes its files. Each is created beside its
// target, exclusively, under a hidden name that carries the writing process's ID:
// ".<name of target>.tmp-<pid>-<n>". A write renames it over the target when it is complete; a
// process that is killed before can leave one behind, and the next process that writes into that
// folder removes it.

#include <sys/types.h>

#include <string>

namespace TemporaryFile {

/// The ID of this process, asked of the system once (and again in a forked child).
pid_t ProcessId();

/// A temporary name beside `target` (a UTF-8 byte path): ".<name>.tmp-<pid>-<n>" in the target's
/// folder, where n counts the names this process has made.
std::string NameBeside(const std::string& target);

/// True when `name` (a name within a folder, without a folder) has the form of a temporary name;
/// `*pid` then receives the process ID it carries.
bool IsTemporaryName(const std::string& name, pid_t* pid);

/// Creates a new temporary file for `target` in its folder with O_WRONLY | O_CREAT | O_EXCL |
/// O_NOFOLLOW | O_CLOEXEC and mode 0666 (less the umask), or the mode of the file it will replace,
/// taking the next name while one is taken.
/// The first time this process makes a temporary file in a folder, the temporary files there whose
/// process no longer runs are removed first. Answers the open descriptor and sets `*temporary` to
/// its name; -1 with `errno` set when no file could be created.
int CreateBeside(const std::string& target, std::string* temporary);

/// Removes from `folder` (empty for the working directory) the regular files with a temporary
/// name whose process no longer runs; those of running processes stay. Answers how many were
/// removed. `errno` is kept.
int RemoveStale(const std::string& folder);

/// `RemoveStale` for `folder` and every folder below it, `depth` levels deep at most; links are not
/// followed. Answers how many were removed. `errno` is kept.
int RemoveStaleBelow(const std::string& folder, int depth);

}  // namespace TemporaryFile
