// Bitmaps.
#include "c4d_bitmap.h"

#include <cstdint>
#include <fstream>

#include "c4d_general.h"
#include "host_control.h"

namespace {

// Reads the first bytes of a file; empty when it cannot be read.
std::string Head(const Filename& name, size_t count) {
  std::ifstream in(host::ToUtf8(name.GetString()), std::ios::binary);
  std::string bytes(count, '\0');
  in.read(&bytes[0], static_cast<std::streamsize>(count));
  bytes.resize(static_cast<size_t>(in.gcount()));
  return bytes;
}

uint32_t BigEndian32(const std::string& b, size_t at) {
  return (uint32_t(uint8_t(b[at])) << 24) | (uint32_t(uint8_t(b[at + 1])) << 16) |
         (uint32_t(uint8_t(b[at + 2])) << 8) | uint32_t(uint8_t(b[at + 3]));
}

}  // namespace

LONG BaseBitmap::Init(const Filename& name) {
  file_ = name;
  width_ = height_ = 0;
  if (!GeFExist(name)) return IMAGERESULT_NOTEXISTING;
  // The image kinds the host reads, by their signatures; a PNG also tells its size in its header.
  const std::string b = Head(name, 24);
  static const char kPng[] = "\x89PNG\r\n\x1a\n";
  if (b.size() >= 24 && b.compare(0, 8, kPng, 8) == 0 && b.compare(12, 4, "IHDR") == 0) {
    uint32_t w = BigEndian32(b, 16), h = BigEndian32(b, 20);
    if (w == 0 || h == 0 || w > 0x7fffffff || h > 0x7fffffff) return IMAGERESULT_WRONGTYPE;
    width_ = static_cast<LONG>(w);
    height_ = static_cast<LONG>(h);
    return IMAGERESULT_OK;
  }
  bool jpeg = b.size() >= 3 && b.compare(0, 3, "\xff\xd8\xff", 3) == 0;
  bool tiff = b.size() >= 4 && (b.compare(0, 4, "II*\0", 4) == 0 || b.compare(0, 4, "MM\0*", 4) == 0);
  return jpeg || tiff ? IMAGERESULT_OK : IMAGERESULT_WRONGTYPE;
}

AutoBitmap::AutoBitmap(const String& name) : bitmap_(BaseBitmap::Alloc()) {
  // The bitmap keeps its name even when the file is missing, so that the host can report it.
  bitmap_->Init(GeGetPluginPath() + Filename("res") + Filename(name));
}

AutoBitmap::~AutoBitmap() { BaseBitmap::Free(bitmap_); }
