#pragma once

// Small operations on byte strings and text streams, and conversions between
// numbers and text. Character classes and case mapping are ASCII only; bytes
// from 0x80 upward are never letters or whitespace. Whitespace is space, tab,
// line feed and carriage return. Number text never depends on the locale.

#include <cstddef>
#include <iosfwd>
#include <string>
#include <vector>

#include "utils/stringutilsexcep.h"

#if defined(__GNUC__)
#define CORVANE_PRINTF_FORMAT(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define CORVANE_PRINTF_FORMAT(fmt, args)
#endif

// ---------------------------------------------------------------------------
// Tests

/// True when `s` begins with `prefix`; an empty prefix always matches.
bool hasPrefix(const std::string& s, const std::string& prefix);

/// True when `s` ends with `suffix`; an empty suffix always matches.
bool hasSuffix(const std::string& s, const std::string& suffix);

/// True when `sub` occurs anywhere in `s`; an empty `sub` occurs in every text.
bool containsString(const std::string& s, const std::string& sub);

/// True when `path` ends with "." followed by `ext` (given without the dot),
/// ignoring ASCII case.
bool hasExtension(const std::string& path, const std::string& ext);

// ---------------------------------------------------------------------------
// Characters and case

/// Maps 'A'-'Z' to 'a'-'z'; every other value is returned unchanged.
char toLowerCase(char c);

/// Maps 'a'-'z' to 'A'-'Z'; every other value is returned unchanged.
char toUpperCase(char c);

/// A copy of `s` with 'A'-'Z' mapped to lower case.
std::string toLowerCase(const std::string& s);

/// A copy of `s` with 'a'-'z' mapped to upper case.
std::string toUpperCase(const std::string& s);

/// The number of characters of `s` equal to `c`.
unsigned int getNumMatches(const std::string& s, char c);

/// Replaces every `from` in `s` by `to`, in place.
void replaceChar(std::string& s, char from, char to);

/// A character-by-character copy of `s` that shares no storage with it.
std::string forceCopyString(const std::string& s);

// ---------------------------------------------------------------------------
// Trimming, cutting and widening

/// `s` without `prefix` when it begins with it, else `s`.
std::string eatPrefix(const std::string& s, const std::string& prefix);

/// `s` without `suffix` when it ends with it, else `s`.
std::string eatSuffix(const std::string& s, const std::string& suffix);

/// `s` from its first non-whitespace character on; a text that is empty or
/// only whitespace comes back unchanged.
std::string eatHeadWhitespace(const std::string& s);

/// `s` up to its last non-whitespace character; empty when `s` holds only
/// whitespace.
std::string eatTailWhitespace(const std::string& s);

/// The characters of `s` from `first_char_index` on; empty when the index is
/// at or past the end. The index must not be negative.
std::string getTailSubString(const std::string& s, int first_char_index);

/// The characters after the last '.' of `path` (separators are not looked at);
/// empty when there is no '.' or it is the last character.
std::string getExtension(const std::string& path);

/// `path` without what getExtension() returns; the '.' itself stays.
std::string eatExtension(const std::string& path);

/// The characters of `s` before the first `delim`; all of `s` when `delim`
/// does not occur.
std::string getPrefixBeforeDelim(const std::string& s, char delim);

/// `s` followed by copies of `c` up to `minwidth` characters; `s` unchanged
/// when it is already at least that wide (or `minwidth` is negative).
std::string rightPad(const std::string& s, char c, int minwidth);

// ---------------------------------------------------------------------------
// Splitting

/// The non-empty fields of `s` between occurrences of `delim`, in order.
std::vector<std::string> split(const std::string& s, char delim);

/// Appends each maximal run of non-whitespace characters of `s` to
/// `tokens_out`, which is not cleared first.
void tokenise(const std::string& s, std::vector<std::string>& tokens_out);

// ---------------------------------------------------------------------------
// Lines

/// Line `linenum` (1-based) of the buffer, without its line feed; "" for an
/// existing empty line and "---no such line---" when the buffer has fewer
/// lines. Requires `linenum` >= 1, a buffer and a non-negative length.
std::string getLineFromText(int linenum, const char* textbuffer, int textbufferlength);

// ---------------------------------------------------------------------------
// Streams

/// Writes `s` between double quotes to `out`; inner quotes are not escaped.
void writeToQuote(std::ostream& out, const std::string& s);

/// Reads one whitespace-delimited word, or a whole double-quoted phrase with
/// its quotes kept and inner whitespace runs collapsed to single spaces.
void readInToken(std::istream& in, std::string& token_out);

/// Reads one word, or one double-quoted string with its quotes removed and
/// its inner spacing kept.
void readQuote(std::istream& in, std::string& s_out);

// ---------------------------------------------------------------------------
// Numbers to text (always with '.' as the decimal point)

/// The decimal text of `i` as "%i" prints it.
std::string intToString(int i);

/// The decimal text of `i` as "%u" prints it.
std::string toString(unsigned int i);

/// `f` with six decimals ("%f").
std::string floatToString(float f);

/// `f` with `num_decimal_places` decimals, at most 9. The count must not be
/// negative.
std::string floatToString(float f, int num_decimal_places);

/// `d` with `num_decimal_places` decimals (0 to 100).
std::string doubleToString(double d, int num_decimal_places);

/// `d` in scientific form with an upper-case exponent letter, such as
/// "1.23E+03", with `num_decimal_places` decimals (0 to 100).
std::string doubleToStringScientific(double d, int num_decimal_places);

/// "true" or "false".
std::string boolToString(bool b);

/// The printf-style formatting of the arguments by `format`, of any length.
std::string buildString(const char* format, ...) CORVANE_PRINTF_FORMAT(1, 2);

/// "0x" followed by the lower-case hexadecimal digits of `i`; "0x0" for zero.
std::string toHexString(unsigned long long i);

/// A byte count with a unit: "512 B", "1.500 KB", "3.250 MB", "1.000 GB"
/// (the multiples are powers of 1024).
std::string getNiceByteSize(size_t numbytes);

// ---------------------------------------------------------------------------
// Text to numbers

/// The value of "0x" followed by 1 to 8 hexadecimal digits; 0 for any other text.
unsigned int hexStringToUInt(const std::string& s);

/// The value of "0x" followed by 1 to 16 hexadecimal digits; 0 for any other text.
unsigned long long hexStringTo64UInt(const std::string& s);

/// The base-10 integer at the start of `s` (leading whitespace allowed, the
/// rest ignored). Throws StringUtilsExcep when no number can be read or the
/// value does not fit an int.
int stringToInt(const std::string& s);

/// The floating-point number at the start of `s` (leading whitespace allowed,
/// the rest ignored). Throws StringUtilsExcep when no number can be read.
double stringToDouble(const std::string& s);

/// As stringToDouble(), narrowed to the nearest float.
float stringToFloat(const std::string& s);

// ---------------------------------------------------------------------------
// Checksum

/// A multiplicative checksum: starting from 1, the value is multiplied by
/// (c + i + 1) for each signed character c at index i, modulo 2^32.
unsigned int stringChecksum(const std::string& s);

// ---------------------------------------------------------------------------
// Self-test

/// True when `a` and `b` differ by at most 1e-5.
inline bool epsEqual(float a, float b) {
  const float d = a - b;
  return (d < 0.0f ? -d : d) <= 1e-5f;
}

/// True when `a` and `b` differ by at most 1e-5 (the float constant, widened).
inline bool epsEqual(double a, double b) {
  const double d = a - b;
  return (d < 0.0 ? -d : d) <= (double)1e-5f;
}

/// Runs a fixed set of checks on the operations above and aborts through an
/// assertion, naming the failed condition, on the first that fails.
void doStringUtilsUnitTests();

namespace StringUtils {

/// The 0-based line and column of the character at `charindex` of `str`,
/// counting line feeds before it. `charindex` must lie inside `str`.
void getPosition(const std::string& str, unsigned int charindex, unsigned int& line_out,
                 unsigned int& col_out);

/// The elements of `parts` in iteration order with `separator` between each
/// two of them; empty for an empty container.
template <class Container>
std::string join(const Container& parts, std::string separator) {
  std::string result;
  std::string separator_to_use;
  for (const auto& part : parts) {
    result += separator_to_use;
    result += part;
    separator_to_use = separator;
  }
  return result;
}

}  // namespace StringUtils
