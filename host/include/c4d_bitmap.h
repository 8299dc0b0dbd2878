// Bitmaps.
#pragma once

#include "c4d_string.h"

/// Results of loading an image.
enum {
  IMAGERESULT_OK = 1,
  IMAGERESULT_NOTEXISTING = -1,
  IMAGERESULT_WRONGTYPE = -2,
};

/// Flags of saving an image (0: colour; `SAVEBIT_GREYSCALE`: one grey channel).
typedef LONG SAVEBIT;
constexpr SAVEBIT SAVEBIT_GREYSCALE = 16;

/// An image in memory.
class BaseBitmap {
 public:
  static BaseBitmap* Alloc() { return new BaseBitmap; }
  static void Free(BaseBitmap*& bm) { delete bm; bm = nullptr; }
  virtual ~BaseBitmap() = default;
  /// Loads an image file (PNG, JPEG or TIFF); answers an `IMAGERESULT`: not existing, or the
  /// wrong type for a file that holds no image the host reads.
  LONG Init(const Filename& name);
  /// The file the image was loaded from.
  Filename GetFilename() const { return file_; }
  LONG GetBw() const { return width_; }
  LONG GetBh() const { return height_; }

 private:
  Filename file_;
  LONG width_ = 0;
  LONG height_ = 0;
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
