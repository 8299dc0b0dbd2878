#include "utils/stringutils.h"

#include <cerrno>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <istream>
#include <limits>
#include <locale.h>
#include <ostream>
#if defined(__APPLE__)
#include <xlocale.h>
#endif

#include "utils/corvane_assert.h"

namespace {

inline bool isWhitespace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The "C" locale, created once and never released. Number text is always
// written and read under it, whatever locale the process has set.
locale_t classicLocale() {
  static const locale_t loc = newlocale(LC_ALL_MASK, "C", (locale_t)0);
  return loc;
}

// printf-style formatting under the "C" locale, of any length. The thread's
// locale is switched only around the C library calls, so an allocation failure
// cannot leave it switched.
std::string vformatClassic(const char* format, va_list args) {
  char small[256];
  va_list first;
  va_copy(first, args);
  locale_t previous = uselocale(classicLocale());
  const int needed = std::vsnprintf(small, sizeof(small), format, first);
  uselocale(previous);
  va_end(first);

  if (needed < 0) return std::string();
  if ((size_t)needed < sizeof(small)) return std::string(small, (size_t)needed);

  std::string result((size_t)needed, '\0');
  previous = uselocale(classicLocale());
  std::vsnprintf(&result[0], (size_t)needed + 1, format, args);
  uselocale(previous);
  return result;
}

std::string formatClassic(const char* format, ...) CORVANE_PRINTF_FORMAT(1, 2);

std::string formatClassic(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string result = vformatClassic(format, args);
  va_end(args);
  return result;
}

int hexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads "0x" and 1 to max_digits hexadecimal digits; 0 for any other text.
template <class UInt>
UInt hexStringToValue(const std::string& s, size_t max_digits) {
  if (s.size() < 3 || s.size() > max_digits + 2 || s[0] != '0' || s[1] != 'x') return 0;
  UInt value = 0;
  for (size_t i = 2; i < s.size(); ++i) {
    const int digit = hexDigitValue(s[i]);
    if (digit < 0) return 0;
    value = value * 16 + (UInt)digit;
  }
  return value;
}

// strtod under the "C" locale; throws with `what` ("a double", "a float")
// when no character could be converted.
double convertToDouble(const std::string& s, const char* what) {
  const char* start = s.c_str();
  char* end = nullptr;
  const locale_t previous = uselocale(classicLocale());
  const double value = std::strtod(start, &end);
  uselocale(previous);
  if (end == start) throw StringUtilsExcep("Failed to convert '" + s + "' to " + what + ".");
  return value;
}

}  // namespace

// ---------------------------------------------------------------------------
// Tests

bool hasPrefix(const std::string& s, const std::string& prefix) {
  return prefix.size() <= s.size() && s.compare(0, prefix.size(), prefix) == 0;
}

bool hasSuffix(const std::string& s, const std::string& suffix) {
  return suffix.size() <= s.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool containsString(const std::string& s, const std::string& sub) { return s.find(sub) != std::string::npos; }

bool hasExtension(const std::string& path, const std::string& ext) {
  if (path.size() < ext.size() + 1) return false;
  return toUpperCase(path.substr(path.size() - ext.size() - 1)) == "." + toUpperCase(ext);
}

// ---------------------------------------------------------------------------
// Characters and case

char toLowerCase(char c) { return (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c; }

char toUpperCase(char c) { return (c >= 'a' && c <= 'z') ? (char)(c - 'a' + 'A') : c; }

std::string toLowerCase(const std::string& s) {
  std::string result = s;
  for (char& c : result) c = toLowerCase(c);
  return result;
}

std::string toUpperCase(const std::string& s) {
  std::string result = s;
  for (char& c : result) c = toUpperCase(c);
  return result;
}

unsigned int getNumMatches(const std::string& s, char c) {
  unsigned int count = 0;
  for (char x : s)
    if (x == c) ++count;
  return count;
}

void replaceChar(std::string& s, char from, char to) {
  for (char& c : s)
    if (c == from) c = to;
}

std::string forceCopyString(const std::string& s) {
  std::string result(s.size(), '\0');
  for (size_t i = 0; i < s.size(); ++i) result[i] = s[i];
  return result;
}

// ---------------------------------------------------------------------------
// Trimming, cutting and widening

std::string eatPrefix(const std::string& s, const std::string& prefix) {
  return hasPrefix(s, prefix) ? s.substr(prefix.size()) : s;
}

std::string eatSuffix(const std::string& s, const std::string& suffix) {
  return hasSuffix(s, suffix) ? s.substr(0, s.size() - suffix.size()) : s;
}

std::string eatHeadWhitespace(const std::string& s) {
  for (size_t i = 0; i < s.size(); ++i)
    if (!isWhitespace(s[i])) return s.substr(i);
  return s;
}

std::string eatTailWhitespace(const std::string& s) {
  for (size_t i = s.size(); i > 0; --i)
    if (!isWhitespace(s[i - 1])) return s.substr(0, i);
  return std::string();
}

std::string getTailSubString(const std::string& s, int first_char_index) {
  CORVANE_ASSERT(first_char_index >= 0);
  if ((size_t)first_char_index >= s.size()) return std::string();
  return s.substr((size_t)first_char_index);
}

std::string getExtension(const std::string& path) {
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos) return std::string();
  return path.substr(dot + 1);
}

std::string eatExtension(const std::string& path) {
  return path.substr(0, path.size() - getExtension(path).size());
}

std::string getPrefixBeforeDelim(const std::string& s, char delim) { return s.substr(0, s.find(delim)); }

std::string rightPad(const std::string& s, char c, int minwidth) {
  if (minwidth <= 0 || (size_t)minwidth <= s.size()) return s;
  return s + std::string((size_t)minwidth - s.size(), c);
}

// ---------------------------------------------------------------------------
// Splitting

std::vector<std::string> split(const std::string& s, char delim) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t found = s.find(delim, start);
    if (found == std::string::npos) break;
    if (found > start) parts.push_back(s.substr(start, found - start));
    start = found + 1;
  }
  if (start < s.size()) parts.push_back(s.substr(start));
  return parts;
}

void tokenise(const std::string& s, std::vector<std::string>& tokens_out) {
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && isWhitespace(s[i])) ++i;
    const size_t start = i;
    while (i < s.size() && !isWhitespace(s[i])) ++i;
    if (i > start) tokens_out.push_back(s.substr(start, i - start));
  }
}

// ---------------------------------------------------------------------------
// Positions and lines

void StringUtils::getPosition(const std::string& str, unsigned int charindex, unsigned int& line_out,
                              unsigned int& col_out) {
  CORVANE_ASSERT(charindex < str.size());
  line_out = 0;
  col_out = 0;
  for (size_t i = 0; i < charindex; ++i) {
    if (str[i] == '\n') {
      ++line_out;
      col_out = 0;
    } else {
      ++col_out;
    }
  }
}

std::string getLineFromText(int linenum, const char* textbuffer, int textbufferlength) {
  CORVANE_ASSERT(linenum >= 1);
  CORVANE_ASSERT(textbuffer);
  CORVANE_ASSERT(textbufferlength >= 0);

  const size_t length = (size_t)textbufferlength;
  size_t start = 0;
  for (int feeds = 0; feeds < linenum - 1; ++feeds) {
    while (start < length && textbuffer[start] != '\n') ++start;
    if (start >= length) return "---no such line---";
    ++start;  // past the line feed
  }

  size_t end = start;
  while (end < length && textbuffer[end] != '\n') ++end;
  return std::string(textbuffer + start, end - start);
}

// ---------------------------------------------------------------------------
// Streams

void writeToQuote(std::ostream& out, const std::string& s) { out << '"' << s << '"'; }

void readInToken(std::istream& in, std::string& token_out) {
  token_out.clear();
  in >> token_out;
  if (token_out.empty() || token_out[0] != '"') return;
  if (token_out.size() > 1 && token_out.back() == '"') return;

  while (!in.fail()) {
    std::string word;
    if (!(in >> word)) break;
    token_out += ' ';
    token_out += word;
    if (word.find('"') != std::string::npos) break;
  }
}

void readQuote(std::istream& in, std::string& s_out) {
  s_out.clear();
  in >> s_out;
  if (s_out.empty() || s_out[0] != '"') return;

  s_out.erase(0, 1);
  if (!s_out.empty() && s_out.back() == '"') {
    s_out.pop_back();
    return;
  }

  char c;
  while (in.good() && in.get(c)) {
    if (c == '"') break;
    s_out += c;
  }
}

// ---------------------------------------------------------------------------
// Numbers to text

std::string intToString(int i) { return formatClassic("%i", i); }

std::string toString(unsigned int i) { return formatClassic("%u", i); }

std::string floatToString(float f) { return formatClassic("%f", (double)f); }

std::string floatToString(float f, int num_decimal_places) {
  CORVANE_ASSERT(num_decimal_places >= 0);
  if (num_decimal_places > 9) num_decimal_places = 9;
  return formatClassic("%1.*f", num_decimal_places, (double)f);
}

std::string doubleToString(double d, int num_decimal_places) {
  CORVANE_ASSERT(num_decimal_places >= 0 && num_decimal_places <= 100);
  return formatClassic("%1.*f", num_decimal_places, d);
}

std::string doubleToStringScientific(double d, int num_decimal_places) {
  CORVANE_ASSERT(num_decimal_places >= 0 && num_decimal_places <= 100);
  return formatClassic("%1.*E", num_decimal_places, d);
}

std::string boolToString(bool b) { return b ? "true" : "false"; }

std::string buildString(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string result = vformatClassic(format, args);
  va_end(args);
  return result;
}

std::string toHexString(unsigned long long i) {
  static const char digits[] = "0123456789abcdef";
  std::string reversed;
  do {
    reversed += digits[i & 0xF];
    i >>= 4;
  } while (i != 0);
  return "0x" + std::string(reversed.rbegin(), reversed.rend());
}

std::string getNiceByteSize(size_t numbytes) {
  if (numbytes < 1024) return toString((unsigned int)numbytes) + " B";
  const float count = (float)numbytes;
  if (numbytes < 1048576) return floatToString(count * 0x1p-10f, 3) + " KB";
  if (numbytes < 1073741824) return floatToString(count * 0x1p-20f, 3) + " MB";
  return floatToString(count * 0x1p-30f, 3) + " GB";
}

// ---------------------------------------------------------------------------
// Text to numbers

unsigned int hexStringToUInt(const std::string& s) { return hexStringToValue<unsigned int>(s, 8); }

unsigned long long hexStringTo64UInt(const std::string& s) {
  return hexStringToValue<unsigned long long>(s, 16);
}

int stringToInt(const std::string& s) {
  const char* start = s.c_str();
  char* end = nullptr;
  const locale_t previous = uselocale(classicLocale());
  errno = 0;
  const long value = std::strtol(start, &end, 10);
  const int error = errno;
  uselocale(previous);
  if (end == start || error == ERANGE || value < (long)INT_MIN || value > (long)INT_MAX)
    throw StringUtilsExcep("Failed to convert '" + s + "' to an int.");
  return (int)value;
}

double stringToDouble(const std::string& s) { return convertToDouble(s, "a double"); }

float stringToFloat(const std::string& s) {
  const double value = convertToDouble(s, "a float");
  // Out-of-range narrowing is undefined; saturate to infinity as IEEE would.
  if (std::isfinite(value) && std::fabs(value) > (double)FLT_MAX)
    return value < 0.0 ? -std::numeric_limits<float>::infinity() : std::numeric_limits<float>::infinity();
  return (float)value;
}

// ---------------------------------------------------------------------------
// Checksum

unsigned int stringChecksum(const std::string& s) {
  unsigned int value = 1;
  for (size_t i = 0; i < s.size(); ++i) {
    const int c = (signed char)s[i];
    value *= (unsigned int)c + (unsigned int)i + 1u;
  }
  return value;
}

// ---------------------------------------------------------------------------
// Self-test

void doStringUtilsUnitTests() {
  std::vector<std::string> parts = split("a:b:c", ':');
  CORVANE_ASSERT(parts.size() == 3);
  CORVANE_ASSERT(parts[0] == "a");
  CORVANE_ASSERT(parts[1] == "b");
  CORVANE_ASSERT(parts[2] == "c");

  parts = split("a:b:", ':');
  CORVANE_ASSERT(parts.size() == 2);
  CORVANE_ASSERT(parts[0] == "a");
  CORVANE_ASSERT(parts[1] == "b");

  parts = split(":a:b:", ':');
  CORVANE_ASSERT(parts.size() == 2);
  CORVANE_ASSERT(parts[0] == "a");
  CORVANE_ASSERT(parts[1] == "b");

  parts = split(":a:b", ':');
  CORVANE_ASSERT(parts.size() == 2);
  CORVANE_ASSERT(parts[0] == "a");
  CORVANE_ASSERT(parts[1] == "b");

  CORVANE_ASSERT(rightPad("123", 'a', 5) == "123aa");
  CORVANE_ASSERT(rightPad("12345", 'a', 3) == "12345");

  CORVANE_ASSERT(StringUtils::join(split("a:b:c", ':'), ":") == "a:b:c");
  CORVANE_ASSERT(StringUtils::join(split("a", ':'), ":") == "a");
  CORVANE_ASSERT(StringUtils::join(split("", ':'), ":") == "");

  CORVANE_ASSERT(epsEqual(stringToFloat("1.4"), 1.4f));

  try {
    stringToFloat("bleh");
    CORVANE_ASSERT(false);
  } catch (const StringUtilsExcep&) {}

  CORVANE_ASSERT(epsEqual(stringToDouble("-631.3543e52"), -631.3543e52));

  try {
    stringToFloat("-z631.3543");
    CORVANE_ASSERT(false);
  } catch (const StringUtilsExcep&) {}

  try {
    stringToFloat("");
    CORVANE_ASSERT(false);
  } catch (const StringUtilsExcep&) {}

  try {
    stringToFloat(" ");
    CORVANE_ASSERT(false);
  } catch (const StringUtilsExcep&) {}

  CORVANE_ASSERT(epsEqual((double)stringToInt("-631"), -631.0));

  try {
    stringToInt("dfgg");
    CORVANE_ASSERT(false);
  } catch (const StringUtilsExcep&) {}

  unsigned int line, col;
  StringUtils::getPosition("\n\t\t\tline1\n\t\t\tline2\n\t\t\tline3", 4, line, col);
  CORVANE_ASSERT(line == 1 && col == 3);
}
