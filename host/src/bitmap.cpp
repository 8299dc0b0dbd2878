// Bitmaps.
#include "c4d_bitmap.h"

#include "c4d_general.h"

LONG BaseBitmap::Init(const Filename& name) {
  file_ = name;
  width_ = height_ = 0;
  return GeFExist(name) ? IMAGERESULT_OK : IMAGERESULT_NOTEXISTING;
}

AutoBitmap::AutoBitmap(const String& name) : bitmap_(BaseBitmap::Alloc()) {
  // The bitmap keeps its name even when the file is missing, so that the host can report it.
  bitmap_->Init(GeGetPluginPath() + Filename("res") + Filename(name));
}

AutoBitmap::~AutoBitmap() { BaseBitmap::Free(bitmap_); }
