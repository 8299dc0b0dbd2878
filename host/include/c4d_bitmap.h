// Bitmaps.
#pragma once

#include <memory>
#include <vector>

#include "c4d_string.h"

class BaseContainer;

/// Results of loading and saving an image.
enum {
  IMAGERESULT_OK = 1,
  IMAGERESULT_NOTEXISTING = -1,
  IMAGERESULT_WRONGTYPE = -2,
  IMAGERESULT_OUTOFMEMORY = -3,
  IMAGERESULT_FILEERROR = -4,  ///< The file could not be written.
  IMAGERESULT_FILESTRUCTURE = -5,
};

/// Flags of saving an image (0: colour; `SAVEBIT_GREYSCALE`: one grey channel).
typedef LONG SAVEBIT;
constexpr SAVEBIT SAVEBIT_GREYSCALE = 16;

/// Image file formats of `BaseBitmap::Save`.
enum {
  FILTER_JPG = 1104,  ///< JPEG (the one format this host saves).
};

/// Save options of the JPEG format.
enum {
  JPGSAVER_QUALITY = 10021,  ///< LONG 1..100 (default 80).
};

/// Colour modes of new images.
enum {
  COLORMODE_RGB = 4,  ///< 8 bits per channel, red, green, blue.
};

/// An RGB image of 8 bits per channel in memory; pixel (0, 0) is the top left.
class BaseBitmap {
 public:
  static BaseBitmap* Alloc() { return new BaseBitmap; }
  static void Free(BaseBitmap*& bm) {
    delete bm;
    bm = nullptr;
  }
  virtual ~BaseBitmap() = default;
  /// Loads and decodes an image file (PNG, JPEG or TIFF); answers an `IMAGERESULT`: not existing,
  /// or the wrong type for a file that holds no image the host reads (the bitmap is then empty).
  /// Only a regular file is read, never waited on, and in a folder anyone may write to only one of
  /// the folder owner's or this user's (links included); "not existing" then leaves the system's
  /// reason in `errno` (EINVAL for what is not a regular file, EACCES for another user's).
  LONG Init(const Filename& name);
  /// Saves the image as `format` (`FILTER_JPG`) with the options of `data` (may be null), in
  /// colour or, with `SAVEBIT_GREYSCALE`, as one grey channel. The file is written beside the
  /// target and then moved over it. Answers `IMAGERESULT_OK` or an error; a file that cannot be
  /// written leaves the system's reason in `errno` (EACCES for another user's folder in a folder
  /// anyone may write to).
  LONG Save(const Filename& name, LONG format, const BaseContainer* data, SAVEBIT savebits) const;
  /// The file the image was loaded from.
  Filename GetFilename() const { return file_; }
  LONG GetBw() const { return width_; }
  LONG GetBh() const { return height_; }
  /// Sets a pixel, each channel clamped to 0..255; false outside the image.
  Bool SetPixel(LONG x, LONG y, LONG r, LONG g, LONG b) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return false;
    unsigned char* p = &rgb_[(static_cast<size_t>(y) * width_ + x) * 3];
    p[0] = static_cast<unsigned char>(r < 0 ? 0 : r > 255 ? 255 : r);
    p[1] = static_cast<unsigned char>(g < 0 ? 0 : g > 255 ? 255 : g);
    p[2] = static_cast<unsigned char>(b < 0 ? 0 : b > 255 ? 255 : b);
    return true;
  }
  /// Reads a pixel; 0, 0, 0 outside the image.
  void GetPixel(LONG x, LONG y, LONG* r, LONG* g, LONG* b) const;
  /// The pixels, row by row from the top, three bytes (red, green, blue) each.
  const unsigned char* GetRgb() const { return rgb_.data(); }
  /// Makes the image `x` x `y` black pixels; `depth` 32 adds an alpha channel (opaque), any other
  /// depth makes none. Answers `IMAGERESULT_OK`, or `IMAGERESULT_OUTOFMEMORY` (sides below 1 or
  /// above 32768, or no memory; the image is then empty).
  LONG Init(LONG x, LONG y, LONG depth = 24);
  /// True when the image has an alpha channel (a 32-bit image, or a TIFF file with one).
  Bool HasAlphaChannel() const { return alpha_ != nullptr; }
  /// The alpha (0 transparent .. 255 opaque) at `x`, `y`: 255 without an alpha channel, 0 outside.
  LONG GetAlphaPixel(LONG x, LONG y) const;
  /// Scales the source rectangle (inclusive corners) into the destination rectangle of `dst`
  /// (inclusive corners, clipped to `dst`) with bicubic interpolation; false for empty
  /// rectangles or a rectangle outside this image.
  Bool ScaleBicubic(BaseBitmap* dst, LONG src_xmin, LONG src_ymin, LONG src_xmax, LONG src_ymax,
                    LONG dst_xmin, LONG dst_ymin, LONG dst_xmax, LONG dst_ymax) const;

  /// Sets every pixel to `r`, `g`, `b`, each clamped to 0..255.
  void Clear(LONG r, LONG g, LONG b);
  /// The image's alpha channel, or null when it has none.
  BaseBitmap* GetInternalChannel() const { return alpha_.get(); }
  /// Gives the image an alpha channel (opaque) when it has none and answers it; `internal` and
  /// `straight` are what the host's images support (internal, straight alpha), so the stand-in
  /// answers null for anything else, and for an empty image.
  BaseBitmap* AddChannel(Bool internal, Bool straight);
  /// Sets the alpha of pixel (x, y) in `channel` (this image's alpha channel), clamped to 0..255;
  /// false for another channel or outside the image.
  Bool SetAlphaPixel(BaseBitmap* channel, LONG x, LONG y, LONG value);
  /// The alpha of pixel (x, y) in `channel`; 0 for another channel or outside the image.
  LONG GetAlphaPixel(BaseBitmap* channel, LONG x, LONG y) const;

 protected:
  /// Makes the image `bx` x `by` black pixels; false (and an empty image) without memory.
  bool Resize(LONG bx, LONG by);

 private:
  Filename file_;
  LONG width_ = 0;
  LONG height_ = 0;
  std::vector<unsigned char> rgb_;
  std::unique_ptr<BaseBitmap> alpha_;  // the alpha channel (grey pixels), or none
};

/// An image from the plug-in's resource folder that lives as long as this object.
class AutoBitmap {
 public:
  /// Loads `name` from the plug-in's "res" folder.
  explicit AutoBitmap(const String& name);
  ~AutoBitmap();
  AutoBitmap(const AutoBitmap&) = delete;
  AutoBitmap& operator=(const AutoBitmap&) = delete;
  operator BaseBitmap*() const { return bitmap_; }  // NOLINT(google-explicit-constructor)

 private:
  BaseBitmap* bitmap_;
};
