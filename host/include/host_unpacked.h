// The host's record of the folders its archive extraction unpacked into, for the runner. Nothing
// here is part of the plug-in interface.
#pragma once

#include <sys/types.h>

#include <utility>
#include <vector>

namespace host {

/// The folder each successful `ZipFile::ExtractToDirectory` of this process extracted into, as its
/// (device, inode) when it was opened, in the order extracted.
std::vector<std::pair<dev_t, ino_t>> UnpackedFolders();

}  // namespace host
