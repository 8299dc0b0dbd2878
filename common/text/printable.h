// Names read from a user's files (texture paths, archive entries, material and object names) as a
// line shown to a person may hold them.
#pragma once

#include <ostream>
#include <string>

namespace text {

/// `bytes` with each control character as a backslash and three octal digits a byte ("\033" for
/// ESC, "\012" for a line feed, "\302\233" for the C1 control U+009B), so that a name cannot clear
/// the screen, move the cursor, set a terminal's title or break a line apart: bytes below 0x20 and
/// 0x7f, U+0080 to U+009F in UTF-8, and the bytes 0x80 to 0x9F outside UTF-8. Every other byte,
/// UTF-8 and Latin-1 letters included, stays as it is. A backslash stays too: a path written on DOS systems
/// reads as it was written, and shown text escaped twice is the same as once. For what is shown only, never
/// for what is written to a file.
std::string Printable(const std::string& bytes);

/// Writes `line` to `to` as one line shown to a person: `Printable(line)`, then a line feed. Every
/// line the runner and check-material print goes through here, so that no name reaches the terminal
/// raw.
void WriteLine(std::ostream& to, const std::string& line);

}  // namespace text
