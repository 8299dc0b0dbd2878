// Files written whole through an exclusive temporary name beside them and a rename.
#pragma once

#include <string>

#include "host_files.h"

namespace host {

/// Creates a new, empty file of a name no file had, ".<name of target>.tmp-<pid>-<n>" in the
/// folder of the file that `target` names (a link at `target` is followed, so that the rename
/// replaces the link's file and keeps the link; the rename stays on one disk). Refuses a target
/// that exists and is not a regular file. The new file has the mode of the file it will replace,
/// or 0666 & ~umask. A link planted at a predictable name is never followed. The first temporary
/// made in a folder removes the stale temporaries there (`RemoveStaleTemporaries`). The file is
/// registered until `CommitTemporary` or `DiscardTemporary`. The open descriptor, with
/// `*temporary` its path and `*final` the path to rename it to; -1 with `errno` set (EISDIR,
/// EINVAL for another special file) when no such file could be made. With `followLink` false a
/// link at `target` is not followed: the rename replaces the link itself (as unpacking does, which
/// never writes out of its folder).
int CreateTemporaryBeside(const std::string& target, std::string* temporary, std::string* final,
                          bool followLink = true);

/// Renames `temporary` over `final` and forgets it; false with `errno` kept from the rename
/// (the temporary then is removed).
bool CommitTemporary(const std::string& temporary, const std::string& final);

/// Removes `temporary` and forgets it; `errno` is left as it was.
void DiscardTemporary(const std::string& temporary);

/// Writes all `size` bytes of `data` to `fd`, again after an interruption; false with `errno`
/// kept from the failing write (ENOSPC for a write that made no progress).
bool WriteAll(int fd, const void* data, size_t size);

/// The reason text of an `errno` value; "not a regular file" for the refusal of a special file.
std::string ErrorText(int error);

}  // namespace host
