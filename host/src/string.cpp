// Text and file names of the host.
#include "c4d_string.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ostream>

#include "host_state.h"
#include "text_codec.h"

String::String(const char* utf8) : text_(host::DecodeUtf8(utf8 ? utf8 : "")) {}

String::String(const std::string& utf8) : text_(host::DecodeUtf8(utf8)) {}

String::String(LONG count, UWORD ch) : text_(count > 0 ? count : 0, static_cast<char32_t>(ch)) {}

UWORD String::operator[](LONG pos) const {
  if (pos < 0 || pos >= GetLength()) return 0;
  return static_cast<UWORD>(text_[pos]);
}

String String::operator+(const String& o) const { return String(text_ + o.text_); }

String& String::operator+=(const String& o) {
  text_ += o.text_;
  return *this;
}

String String::SubStr(LONG start, LONG count) const {
  LONG len = GetLength();
  if (start < 0) {
    count += start;
    start = 0;
  }
  if (count <= 0 || start >= len) return String();
  return String(text_.substr(start, std::min(count, len - start)));
}

String String::Mid(LONG start, LONG count) const {
  if (count < 0) return SubStr(std::max<LONG>(start, 0), GetLength());
  return SubStr(start, count);
}

Bool String::FindFirst(const String& s, LONG* pos, LONG start) const {
  if (start < 0) start = 0;
  if (start > GetLength()) return false;
  size_t p = text_.find(s.text_, start);
  if (p == std::u32string::npos) return false;
  if (pos) *pos = static_cast<LONG>(p);
  return true;
}

Bool String::FindFirst(UWORD ch, LONG* pos, LONG start) const { return FindFirst(String(1, ch), pos, start); }

Bool String::FindLast(const String& s, LONG* pos, LONG start) const {
  size_t from = start < 0 ? std::u32string::npos : static_cast<size_t>(start);
  size_t p = text_.rfind(s.text_, from);
  if (p == std::u32string::npos) return false;
  if (pos) *pos = static_cast<LONG>(p);
  return true;
}

Bool String::FindLast(UWORD ch, LONG* pos, LONG start) const { return FindLast(String(1, ch), pos, start); }

void String::Delete(LONG pos, LONG count) {
  if (pos < 0 || pos >= GetLength() || count <= 0) return;
  text_.erase(pos, count);
}

void String::Insert(LONG pos, const String& s) {
  pos = std::clamp<LONG>(pos, 0, GetLength());
  text_.insert(pos, s.text_);
}

String String::ToUpper() const {
  std::u32string t = text_;
  for (auto& c : t)
    if (c >= U'a' && c <= U'z') c = c - U'a' + U'A';
  return String(t);
}

String String::ToLower() const {
  std::u32string t = text_;
  for (auto& c : t)
    if (c >= U'A' && c <= U'Z') c = c - U'A' + U'a';
  return String(t);
}

LONG String::ToLong(Bool* error) const {
  std::string s = host::EncodeUtf8(text_);
  const char* b = s.c_str();
  char* end = nullptr;
  long v = std::strtol(b, &end, 10);
  bool bad = end == b || v > INT32_MAX || v < INT32_MIN;
  if (error) *error = bad;
  return bad ? 0 : static_cast<LONG>(v);
}

Real String::ToReal(Bool* error) const {
  Real v = 0.0;
  bool ok = host::ParseReal(host::EncodeUtf8(text_), &v);
  if (error) *error = !ok;
  return ok ? v : 0.0;
}

String String::LongToString(LONG v) { return String(std::to_string(v)); }

String String::RealToString(Real v, LONG /*digits*/, LONG decimals) {
  return String(host::FormatReal(v, decimals));
}

LONG String::GetCStringLen(STRINGENCODING enc) const {
  return static_cast<LONG>(host::Encode(text_, enc).size());
}

void String::GetCString(CHAR* buf, LONG max, STRINGENCODING enc) const {
  if (!buf || max <= 0) return;
  std::string s = host::Encode(text_, enc);
  size_t n = std::min(s.size(), static_cast<size_t>(max - 1));
  // Never cut a UTF-8 character in two: step back over its continuation bytes.
  if (enc == STRINGENCODING_UTF8 && n < s.size())
    while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
  std::memcpy(buf, s.data(), n);
  buf[n] = 0;
}

CHAR* String::GetCStringCopy(STRINGENCODING enc) const {
  std::string s = host::Encode(text_, enc);
  CHAR* out = static_cast<CHAR*>(std::malloc(s.size() + 1));
  if (!out) return nullptr;
  std::memcpy(out, s.c_str(), s.size() + 1);
  return out;
}

void String::SetCString(const CHAR* cstr, LONG count, STRINGENCODING enc) {
  if (!cstr) {
    text_.clear();
    return;
  }
  size_t n = count < 0 ? std::strlen(cstr) : static_cast<size_t>(count);
  text_ = host::Decode(std::string(cstr, n), enc);
}

void GeFree(void* p) {
  if (!host::ReleaseLarge(p)) std::free(p);
}

std::ostream& operator<<(std::ostream& os, const String& s) { return os << host::EncodeUtf8(s.Data()); }

// --- Filename ---------------------------------------------------------------

namespace {
// Position of the last separator, or -1.
LONG LastSeparator(const String& p) {
  LONG pos = -1;
  if (p.FindLast(String("/"), &pos)) return pos;
  return -1;
}
}  // namespace

Filename Filename::GetDirectory() const {
  LONG pos = LastSeparator(path_);
  if (pos < 0) return Filename();
  if (pos == 0) return Filename("/");
  return Filename(path_.Left(pos));
}

Filename Filename::GetFile() const {
  LONG pos = LastSeparator(path_);
  return Filename(path_.Mid(pos + 1));
}

void Filename::SetFile(const Filename& file) {
  LONG pos = LastSeparator(path_);
  path_ = pos < 0 ? file.path_ : path_.Left(pos + 1) + file.path_;
}

String Filename::GetSuffix() const {
  String file = GetFile().GetString();
  LONG dot = -1;
  if (!file.FindLast(String("."), &dot) || dot == 0) return String();
  return file.Mid(dot + 1);
}

void Filename::SetSuffix(const String& suffix) {
  LONG sep = LastSeparator(path_);
  LONG dot = -1;
  if (path_.FindLast(String("."), &dot) && dot > sep + 1) path_ = path_.Left(dot);
  if (suffix.Content() && path_.GetLength() > sep + 1) path_ += String(".") + suffix;
}

Bool Filename::CheckSuffix(const String& suffix) const { return GetSuffix().ToLower() == suffix.ToLower(); }

Filename Filename::operator+(const Filename& component) const {
  Filename r(*this);
  r += component;
  return r;
}

Filename& Filename::operator+=(const Filename& component) {
  String c = component.path_;
  if (!path_.Content()) {
    path_ = c;
    return *this;
  }
  if (!c.Content()) return *this;
  bool endSep = path_[path_.GetLength() - 1] == '/';
  bool startSep = c[0] == '/';
  if (endSep && startSep)
    path_ += c.Mid(1);
  else if (endSep || startSep)
    path_ += c;
  else
    path_ += String("/") + c;
  return *this;
}
