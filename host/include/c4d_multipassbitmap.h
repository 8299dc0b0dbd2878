// An image in memory that the host renders and bakes into.
#pragma once

#include <vector>

#include "c4d_types.h"

/// An RGB image of 8 bits per channel; pixel (0, 0) is the top left.
class MultipassBitmap {
 public:
  /// A black image of `bx` x `by` pixels; null when a side is below 1 or above 32768, or when
  /// there is no memory for it.
  static MultipassBitmap* Alloc(LONG bx, LONG by);
  static void Free(MultipassBitmap*& bm);
  /// Width in pixels.
  LONG GetBw() const { return width_; }
  /// Height in pixels.
  LONG GetBh() const { return height_; }
  /// Sets a pixel, each channel clamped to 0..255; false outside the image.
  Bool SetPixel(LONG x, LONG y, LONG r, LONG g, LONG b);
  /// Reads a pixel; 0, 0, 0 outside the image.
  void GetPixel(LONG x, LONG y, LONG* r, LONG* g, LONG* b) const;

 private:
  MultipassBitmap(LONG bx, LONG by);
  LONG width_;
  LONG height_;
  std::vector<unsigned char> rgb_;
};
