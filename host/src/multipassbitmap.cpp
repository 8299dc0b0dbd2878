// Images in memory.
#include "c4d_multipassbitmap.h"

#include <algorithm>
#include <new>

MultipassBitmap::MultipassBitmap(LONG bx, LONG by)
    : width_(bx), height_(by), rgb_(static_cast<size_t>(bx) * static_cast<size_t>(by) * 3, 0) {}

MultipassBitmap* MultipassBitmap::Alloc(LONG bx, LONG by) {
  constexpr LONG kMaxSide = 32768;
  if (bx < 1 || by < 1 || bx > kMaxSide || by > kMaxSide) return nullptr;
  try {
    return new MultipassBitmap(bx, by);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

void MultipassBitmap::Free(MultipassBitmap*& bm) {
  delete bm;
  bm = nullptr;
}

Bool MultipassBitmap::SetPixel(LONG x, LONG y, LONG r, LONG g, LONG b) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return false;
  unsigned char* p = &rgb_[(static_cast<size_t>(y) * width_ + x) * 3];
  p[0] = static_cast<unsigned char>(std::clamp<LONG>(r, 0, 255));
  p[1] = static_cast<unsigned char>(std::clamp<LONG>(g, 0, 255));
  p[2] = static_cast<unsigned char>(std::clamp<LONG>(b, 0, 255));
  return true;
}

void MultipassBitmap::GetPixel(LONG x, LONG y, LONG* r, LONG* g, LONG* b) const {
  LONG c[3] = {0, 0, 0};
  if (x >= 0 && y >= 0 && x < width_ && y < height_) {
    const unsigned char* p = &rgb_[(static_cast<size_t>(y) * width_ + x) * 3];
    c[0] = p[0];
    c[1] = p[1];
    c[2] = p[2];
  }
  if (r) *r = c[0];
  if (g) *g = c[1];
  if (b) *b = c[2];
}
