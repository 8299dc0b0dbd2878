#include "text_codec.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <sstream>
#include <locale>

namespace host {

std::u32string DecodeUtf8(const std::string& s) {
  std::u32string out;
  out.reserve(s.size());
  size_t i = 0;
  const size_t n = s.size();
  while (i < n) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
    char32_t cp = extra <= 0 ? c : extra == 1 ? (c & 0x1F) : extra == 2 ? (c & 0x0F) : (c & 0x07);
    bool ok = extra >= 0 && i + extra < n;
    for (int k = 1; ok && k <= extra; ++k) {
      unsigned char cc = static_cast<unsigned char>(s[i + k]);
      ok = (cc >> 6) == 2;
      cp = (cp << 6) | (cc & 0x3F);
    }
    // Overlong forms, UTF-16 surrogates and values past U+10FFFF are not UTF-8 either.
    static const char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (ok && extra > 0 && (cp < kMin[extra] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)) ok = false;
    if (!ok) {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    out.push_back(cp);
    i += extra + 1;
  }
  return out;
}

std::string EncodeUtf8(const std::u32string& s) {
  std::string out;
  out.reserve(s.size());
  for (char32_t c : s) {
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

std::string Encode(const std::u32string& s, STRINGENCODING enc) {
  if (enc == STRINGENCODING_UTF8) return EncodeUtf8(s);
  char32_t limit = enc == STRINGENCODING_7BIT ? 0x80 : 0x100;
  std::string out;
  out.reserve(s.size());
  for (char32_t c : s) out.push_back(c < limit ? static_cast<char>(c) : '?');
  return out;
}

std::u32string Decode(const std::string& s, STRINGENCODING enc) {
  if (enc == STRINGENCODING_UTF8) return DecodeUtf8(s);
  std::u32string out;
  out.reserve(s.size());
  for (char c : s) {
    unsigned char u = static_cast<unsigned char>(c);
    out.push_back(enc == STRINGENCODING_7BIT && u >= 0x80 ? U'?' : static_cast<char32_t>(u));
  }
  return out;
}

bool ParseReal(const std::string& s, double* out) {
  size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  if (b == e) return false;
  std::istringstream in(s.substr(b, e - b));
  in.imbue(std::locale::classic());
  double v = 0.0;
  in >> v;
  if (in.fail()) return false;
  in.peek();
  if (!in.eof()) return false;
  *out = v;
  return true;
}

std::string FormatReal(double v, int decimals) {
  if (decimals < 0) {
    // The shortest text that reads back as exactly `v`; to_chars ignores the locale.
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, res.ptr);
  }
  std::ostringstream os;
  os.imbue(std::locale::classic());
  os.setf(std::ios::fixed);
  os.precision(decimals);
  os << v;
  return os.str();
}

}  // namespace host
