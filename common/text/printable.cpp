#include "text/printable.h"

namespace text {
namespace {

// The length of the well-formed UTF-8 sequence of at least two bytes at `s[i]`, or 0.
size_t SequenceAt(const std::string& s, size_t i) {
  const auto at = [&](size_t k) { return k < s.size() ? static_cast<unsigned char>(s[k]) : 0u; };
  const unsigned lead = at(i), next = at(i + 1);
  size_t length = 0;
  unsigned low = 0x80, high = 0xbf;  // the second byte's range
  if (lead >= 0xc2 && lead <= 0xdf) {
    length = 2;
  } else if (lead >= 0xe0 && lead <= 0xef) {
    length = 3;
    if (lead == 0xe0) low = 0xa0;
    if (lead == 0xed) high = 0x9f;  // no surrogates
  } else if (lead >= 0xf0 && lead <= 0xf4) {
    length = 4;
    if (lead == 0xf0) low = 0x90;
    if (lead == 0xf4) high = 0x8f;
  } else {
    return 0;
  }
  if (next < low || next > high) return 0;
  for (size_t k = 2; k < length; ++k)
    if ((at(i + k) & 0xc0) != 0x80) return 0;
  return length;
}

void Escape(unsigned char byte, std::string* out) {
  *out += '\\';
  *out += static_cast<char>('0' + (byte >> 6));
  *out += static_cast<char>('0' + ((byte >> 3) & 7));
  *out += static_cast<char>('0' + (byte & 7));
}

}  // namespace

std::string Printable(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size();) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    const size_t length = byte < 0x80 ? 1 : SequenceAt(bytes, i);
    // C1 controls: U+0080 to U+009F in UTF-8, and the bytes 0x80 to 0x9F outside UTF-8 (as a
    // terminal that reads Latin-1 takes them).
    const bool control = byte < 0x20 || byte == 0x7f || (length == 0 && byte < 0xa0) ||
                         (length == 2 && byte == 0xc2 && static_cast<unsigned char>(bytes[i + 1]) < 0xa0);
    const size_t taken = length == 0 ? 1 : length;
    for (size_t k = i; k < i + taken; ++k) {
      if (control)
        Escape(static_cast<unsigned char>(bytes[k]), &out);
      else
        out += bytes[k];
    }
    i += taken;
  }
  return out;
}

void WriteLine(std::ostream& to, const std::string& line) { to << Printable(line) << "\n"; }

}  // namespace text
