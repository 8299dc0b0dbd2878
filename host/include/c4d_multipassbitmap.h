// An image in memory that the host renders and bakes into.
#pragma once

#include "c4d_bitmap.h"

/// An RGB image of 8 bits per channel; pixel (0, 0) is the top left.
class MultipassBitmap : public BaseBitmap {
 public:
  /// A black image of `bx` x `by` pixels in colour mode `mode` (`COLORMODE_RGB`, the one mode
  /// this host makes); null when a side is below 1 or above 32768, for another mode, or when
  /// there is no memory for it.
  static MultipassBitmap* Alloc(LONG bx, LONG by, LONG mode = COLORMODE_RGB);
  static void Free(MultipassBitmap*& bm);

 private:
  MultipassBitmap() = default;
};
