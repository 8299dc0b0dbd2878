// Text encodings and locale-free number text, for the host's own use.
#pragma once

#include <string>

#include "c4d_string.h"

namespace host {

/// UTF-8 to code points; invalid bytes become U+FFFD.
std::u32string DecodeUtf8(const std::string& s);
/// Code points to UTF-8.
std::string EncodeUtf8(const std::u32string& s);
/// Code points to 8-bit text in `enc` (unrepresentable characters become '?').
std::string Encode(const std::u32string& s, STRINGENCODING enc);
/// 8-bit text in `enc` to code points.
std::u32string Decode(const std::string& s, STRINGENCODING enc);
/// Parses a real with '.' as the point, whatever the process locale; the whole text must be used
/// apart from surrounding blanks.
bool ParseReal(const std::string& s, double* out);
/// Formats a real with '.' as the point; decimals < 0 gives the shortest exact form.
std::string FormatReal(double v, int decimals);

}  // namespace host
