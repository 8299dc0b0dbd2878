// Names read from a user's files (texture paths, archive entries, material and object names) as a
// line shown to a person may hold them.
#pragma once

#include <string>

namespace text {

/// `bytes` with each control character (a byte below 0x20, and 0x7f) as a backslash and three octal
/// digits ("\033" for ESC, "\012" for a line feed), so that a name cannot clear the screen, move the
/// cursor, set a terminal's title or break a line apart; every other byte, UTF-8 included, stays as
/// it is. A backslash stays too: a path written on DOS systems reads as it was written, and shown
/// text escaped twice is the same as once. For what is shown only, never for what is written to a file.
std::string Printable(const std::string& bytes);

}  // namespace text
