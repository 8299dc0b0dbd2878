// Texts of a material file as host strings: the file is UTF-8, as this system writes it; bytes
// that are not valid UTF-8 are read as 8-bit text instead, so that no character is lost.
#pragma once

#include <string>

#include "c4d.h"

/// `bytes` (null: empty text) as UTF-8, or as 8-bit text when they are not valid UTF-8.
String ImportText(const char* bytes);
/// As above, for a byte string (read up to its first zero byte).
String ImportText(const std::string& bytes);
/// True when `bytes` is valid UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool IsValidUtf8(const std::string& bytes);
