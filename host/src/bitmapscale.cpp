// Bitmaps made to a size, their alpha channel, and bicubic scaling.
#include <algorithm>
#include <cmath>

#include "c4d_bitmap.h"

namespace {

// The cubic convolution kernel (a = -0.5).
double Cubic(double x) {
  x = std::fabs(x);
  if (x < 1.0) return (1.5 * x - 2.5) * x * x + 1.0;
  if (x < 2.0) return ((-0.5 * x + 2.5) * x - 4.0) * x + 2.0;
  return 0.0;
}

}  // namespace

LONG BaseBitmap::Init(LONG x, LONG y, LONG depth) {
  file_ = Filename();
  if (x < 1 || y < 1 || x > 32768 || y > 32768 || !Resize(x, y)) {
    width_ = height_ = 0;
    rgb_.clear();
    alpha_.reset();
    return IMAGERESULT_OUTOFMEMORY;
  }
  if (depth == 32 && !AddChannel(true, true)) {
    Resize(0, 0);
    return IMAGERESULT_OUTOFMEMORY;
  }
  return IMAGERESULT_OK;
}

LONG BaseBitmap::GetAlphaPixel(LONG x, LONG y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  if (!alpha_) return 255;
  return alpha_->rgb_[(static_cast<size_t>(y) * width_ + x) * 3];
}

Bool BaseBitmap::ScaleBicubic(BaseBitmap* dst, LONG sx0, LONG sy0, LONG sx1, LONG sy1, LONG dx0, LONG dy0,
                              LONG dx1, LONG dy1) const {
  if (!dst || sx1 < sx0 || sy1 < sy0 || dx1 < dx0 || dy1 < dy0) return false;
  if (sx0 < 0 || sy0 < 0 || sx1 >= width_ || sy1 >= height_) return false;
  const double sw = sx1 - sx0 + 1, sh = sy1 - sy0 + 1;
  const double dw = dx1 - dx0 + 1, dh = dy1 - dy0 + 1;
  for (LONG dy = std::max<LONG>(dy0, 0); dy <= std::min(dy1, dst->GetBh() - 1); ++dy) {
    // Source position of the destination pixel's centre.
    const double fy = sy0 + (dy - dy0 + 0.5) * sh / dh - 0.5;
    const LONG iy = static_cast<LONG>(std::floor(fy));
    for (LONG dx = std::max<LONG>(dx0, 0); dx <= std::min(dx1, dst->GetBw() - 1); ++dx) {
      const double fx = sx0 + (dx - dx0 + 0.5) * sw / dw - 0.5;
      const LONG ix = static_cast<LONG>(std::floor(fx));
      double sum[3] = {0, 0, 0};
      double weights = 0.0;
      for (LONG ky = iy - 1; ky <= iy + 2; ++ky) {
        const double wy = Cubic(fy - ky);
        const LONG cy = std::clamp(ky, sy0, sy1);
        for (LONG kx = ix - 1; kx <= ix + 2; ++kx) {
          const double w = wy * Cubic(fx - kx);
          const LONG cx = std::clamp(kx, sx0, sx1);
          const unsigned char* p = &rgb_[(static_cast<size_t>(cy) * width_ + cx) * 3];
          for (int c = 0; c < 3; ++c) sum[c] += w * p[c];
          weights += w;
        }
      }
      LONG out[3];
      for (int c = 0; c < 3; ++c) out[c] = static_cast<LONG>(std::lround(sum[c] / weights));
      dst->SetPixel(dx, dy, out[0], out[1], out[2]);
    }
  }
  return true;
}
