// Files written whole through an exclusive temporary name beside them and a rename.
#pragma once

#include <string>

namespace host {

/// Creates a new, empty file of a name no file had, hidden in the folder of `target` (so that a
/// rename to `target` stays on one disk), with the mode `target` has or an ordinary one. A link
/// planted at a predictable name is never followed. The open descriptor, with `*temporary` its
/// path; -1 when no such file could be made.
int CreateTemporaryBeside(const std::string& target, std::string* temporary);

/// Writes `size` bytes of `data` as the whole of `path`: into a file of `CreateTemporaryBeside`,
/// which then replaces `path`. False, with nothing left behind and `path` untouched, on failure.
bool WriteFileReplacing(const std::string& path, const void* data, size_t size);

}  // namespace host
