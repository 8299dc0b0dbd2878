#pragma once

// Temporary names, and the sweep of the temporaries that a writer killed on the way left behind.
//
// A temporary is named ".<name of target>.tmp-<origin>-<pid>-<random>" in the target's folder. The
// origin (12 hex digits) tells this machine and PID namespace from others sharing the folder, the
// pid is the writing process, and the last part (10 letters and digits, as `mkstemp` chooses them)
// cannot be foreseen by another user. Folders being filled carry such names too. The first time
// this process makes something in a folder it removes those of this user whose writer is certainly
// gone. Only that exact form counts: a user's ".x.tmp-2024" stays.

#include <sys/stat.h>
#include <sys/types.h>

#include <functional>
#include <string>

#include "files/folder.h"

namespace files {

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

/// A new temporary's name for `name` in this process, shortened so that it fits in a folder.
std::string TemporaryName(const std::string& name);

/// Sweeps `folder` (`Folder::Sweep`) the first time this process makes something there. `shown`
/// gives the owner the file system shows for what this process made there: a file system that shows
/// another owner (NFS with root squashed, `bindfs -u`) shows it for the temporaries this user left.
void SweepOnce(const Folder& folder, const std::function<uid_t()>& shown = {});

/// Removes the entry `name` of the folder `at` with all it holds, however deep; a link is removed,
/// never followed. With `expected`, a folder is removed only while it is still that file.
void RemoveTree(const Folder& at, const std::string& name, const struct stat* expected = nullptr);

}  // namespace files
