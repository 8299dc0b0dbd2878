#pragma once

// Temporary names, ".<name of target>.tmp-<origin>-<pid>-<random>" beside the target: the origin
// tells this machine and PID namespace from others, the random part cannot be foreseen. The first
// time this process makes something in a folder it removes this user's whose writer is certainly
// gone (the sweep). Only that exact form counts: a user's ".x.tmp-2024" stays.

#include <sys/types.h>

#include <string>
#include <vector>

namespace files {

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

}  // namespace files
