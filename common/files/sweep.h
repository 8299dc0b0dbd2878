#pragma once

// Temporary names, ".<name of target>.tmp-<origin>-<pid>-<random>" beside the target: the origin
// tells this machine and PID namespace from others, the random part cannot be foreseen. The first
// time this process makes something in a folder it removes this user's whose writer is certainly
// gone (the sweep). Only that exact form counts: a user's ".x.tmp-2024" stays.

#include <sys/stat.h>
#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

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

/// Reads a file name: a temporary's only in the form ".<name>.tmp-<12 hex>-<pid>-<10 letters and digits>".
NameInfo ReadName(const std::string& name);

/// Adds the names in the folder open as `fd` (read through a descriptor of its own), "." and ".."
/// left out, to `*names`; false when it cannot be read.
bool ReadNames(int fd, std::vector<std::string>* names);

/// A new temporary's name for `name` in this process, shortened so that it fits in a folder.
std::string TemporaryName(const std::string& name);

/// Sweeps `folder` the first time this process makes something there; `shown` gives the owner the
/// file system shows for what this process made (NFS with root squashed shows another).
void SweepOnce(const Folder& folder, const std::function<uid_t()>& shown = {});

/// Removes the entry `name` of `at` with all it holds (a link itself); with `expected`, only while
/// it is still that file.
void RemoveTree(const Folder& at, const std::string& name, const struct stat* expected = nullptr);

}  // namespace files
