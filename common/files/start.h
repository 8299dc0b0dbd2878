#pragma once

// What is started or loaded is the file one walk of its path opened: a program is started, and a
// module loaded, from that descriptor (`DescriptorPath`), never by its path again, so that nothing
// swapped in at the path meanwhile runs.

#include <string>

#include "files/result.h"

namespace files {

/// Walks `path` once (absolute, or from the working directory; its last link followed) to the
/// regular file it names, under the rule for shared folders as for what a run writes: another
/// user's folder, link or file in a shared folder is refused. Opens that file itself (`O_PATH`,
/// close-on-exec, so that a program that may only be run opens too) into `*fd`, which the caller
/// starts or loads from and closes. Any failure of the walk refuses, with its reason (a path too
/// long, a missing file, a folder (EISDIR), a special file); `*fd` is then untouched.
Result OpenToStart(const std::string& path, int* fd);

/// The path that reaches the file open as `fd` in this process, or in a child that inherited it
/// under the same number: "/proc/self/fd/N".
std::string DescriptorPath(int fd);

}  // namespace files
