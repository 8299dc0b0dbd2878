// Images in memory.
#include "c4d_multipassbitmap.h"

#include <new>

MultipassBitmap* MultipassBitmap::Alloc(LONG bx, LONG by, LONG mode) {
  constexpr LONG kMaxSide = 32768;
  if (mode != COLORMODE_RGB || bx < 1 || by < 1 || bx > kMaxSide || by > kMaxSide) return nullptr;
  MultipassBitmap* bm = new (std::nothrow) MultipassBitmap;
  if (bm && !bm->Resize(bx, by)) {
    delete bm;
    return nullptr;
  }
  return bm;
}

void MultipassBitmap::Free(MultipassBitmap*& bm) {
  delete bm;
  bm = nullptr;
}
