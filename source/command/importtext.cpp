#include "command/importtext.h"

bool IsValidUtf8(const std::string& bytes) {
  static const unsigned long kMin[] = {0, 0x80, 0x800, 0x10000};
  const size_t n = bytes.size();
  for (size_t i = 0; i < n;) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    const int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
    if (extra < 0 || i + extra >= n) return false;
    unsigned long cp = extra == 0 ? c : extra == 1 ? (c & 0x1F) : extra == 2 ? (c & 0x0F) : (c & 0x07);
    for (int k = 1; k <= extra; ++k) {
      const unsigned char cc = static_cast<unsigned char>(bytes[i + k]);
      if ((cc >> 6) != 2) return false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    if (extra > 0 && (cp < kMin[extra] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)) return false;
    i += extra + 1;
  }
  return true;
}

String ImportText(const std::string& bytes) {
  const std::string text = bytes.substr(0, bytes.find('\0'));
  if (IsValidUtf8(text)) return String(text);
  String s;
  s.SetCString(text.c_str(), static_cast<LONG>(text.size()), STRINGENCODING_XBIT);
  return s;
}

String ImportText(const char* bytes) { return ImportText(std::string(bytes ? bytes : "")); }
