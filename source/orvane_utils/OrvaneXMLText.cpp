#include "orvane_utils/OrvaneXMLText.h"

namespace Orvane {
namespace XMLText {

const char* const REPLACEMENT = "\xEF\xBF\xBD";

namespace {

inline bool continuation(unsigned char c, unsigned char low = 0x80, unsigned char high = 0xBF) {
  return c >= low && c <= high;
}

// The length of the allowed character at text[i], or 0 when what stands
// there must be replaced; *bad is then the length of the part to replace
// (the longest start of a well-formed sequence, at least one byte).
size_t allowedAt(const std::string& text, size_t i, size_t* bad) {
  const size_t n = text.size();
  const unsigned char c = static_cast<unsigned char>(text[i]);
  *bad = 1;
  if (c < 0x80) return (c >= 0x20 || c == '\t' || c == '\n' || c == '\r') ? 1 : 0;
  size_t length;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (c >= 0xC2 && c <= 0xDF)
    length = 2;
  else if (c >= 0xE0 && c <= 0xEF) {
    length = 3;
    if (c == 0xE0)
      low = 0xA0;  // no overlong forms
    else if (c == 0xED)
      high = 0x9F;  // no surrogates
  } else if (c >= 0xF0 && c <= 0xF4) {
    length = 4;
    if (c == 0xF0)
      low = 0x90;
    else if (c == 0xF4)
      high = 0x8F;  // nothing past U+10FFFF
  } else
    return 0;
  for (size_t k = 1; k < length; ++k) {
    if (i + k >= n ||
        !continuation(static_cast<unsigned char>(text[i + k]), k == 1 ? low : 0x80, k == 1 ? high : 0xBF)) {
      *bad = k;
      return 0;
    }
  }
  // U+FFFE and U+FFFF are no characters of XML.
  if (c == 0xEF && static_cast<unsigned char>(text[i + 1]) == 0xBF &&
      static_cast<unsigned char>(text[i + 2]) >= 0xBE) {
    *bad = 3;
    return 0;
  }
  return length;
}

}  // namespace

bool isAllowed(const std::string& text) {
  size_t bad;
  for (size_t i = 0; i < text.size();) {
    const size_t length = allowedAt(text, i, &bad);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

std::string allowedText(const std::string& text) {
  if (isAllowed(text)) return text;
  std::string out;
  out.reserve(text.size() + 8);
  size_t bad;
  for (size_t i = 0; i < text.size();) {
    const size_t length = allowedAt(text, i, &bad);
    if (length == 0) {
      out += REPLACEMENT;
      i += bad;
    } else {
      out.append(text, i, length);
      i += length;
    }
  }
  return out;
}

std::string commentText(const std::string& text) {
  const std::string allowed = allowedText(text);
  std::string out;
  out.reserve(allowed.size() + 4);
  for (const char c : allowed) {
    if (c == '-' && !out.empty() && out.back() == '-') out += ' ';
    out += c;
  }
  if (!out.empty() && out.back() == '-') out += ' ';
  return out;
}

}  // namespace XMLText
}  // namespace Orvane
