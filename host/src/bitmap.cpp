// Bitmaps: decoding JPEG, PNG and TIFF files, saving JPEG files.
#include "c4d_bitmap.h"

#include <unistd.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

#include "c4d_gedata.h"
#include "c4d_general.h"
#include "host_control.h"
#include "files/folder.h"

namespace {

constexpr LONG kMaxSide = 32768;
constexpr int kDefaultJpegQuality = 80;

// A decoded image: width, height and three bytes per pixel, rows from the top.
struct Pixels {
  LONG width = 0;
  LONG height = 0;
  std::vector<unsigned char> rgb;
  std::vector<unsigned char> alpha;  // empty without an alpha channel
};

// An open descriptor, closed with the object unless taken.
struct Descriptor {
  int fd = -1;
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
};

bool SizeOk(long long w, long long h) { return w >= 1 && h >= 1 && w <= kMaxSide && h <= kMaxSide; }

// --- JPEG -------------------------------------------------------------------------

// libjpeg reports fatal errors through this hook; it returns to the caller's setjmp.
struct JpegError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
};

void JpegFail(j_common_ptr info) { std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1); }
void JpegQuiet(j_common_ptr, int) {}

// Only objects made before setjmp live in these functions, so a jump back destroys nothing.
bool DecodeJpeg(const std::string& bytes, Pixels* out) {
  jpeg_decompress_struct info;
  JpegError error;
  info.err = jpeg_std_error(&error.mgr);
  error.mgr.error_exit = JpegFail;
  error.mgr.emit_message = JpegQuiet;
  if (setjmp(error.jump)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()),
               static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  if (!SizeOk(info.output_width, info.output_height) || info.output_components != 3) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  out->width = static_cast<LONG>(info.output_width);
  out->height = static_cast<LONG>(info.output_height);
  try {
    out->rgb.resize(static_cast<size_t>(out->width) * out->height * 3);
  } catch (const std::bad_alloc&) {
    jpeg_destroy_decompress(&info);
    throw;
  }
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = &out->rgb[static_cast<size_t>(info.output_scanline) * out->width * 3];
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

// Encodes the pixels into `buffer` (malloc'd by libjpeg, freed by the caller).
bool EncodeJpeg(const unsigned char* rgb, LONG width, LONG height, int quality, bool grey,
                unsigned char** buffer, unsigned long* size) {
  jpeg_compress_struct info;
  JpegError error;
  std::vector<unsigned char> row(static_cast<size_t>(width));
  info.err = jpeg_std_error(&error.mgr);
  error.mgr.error_exit = JpegFail;
  error.mgr.emit_message = JpegQuiet;
  if (setjmp(error.jump)) {
    jpeg_destroy_compress(&info);
    return false;
  }
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, buffer, size);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = grey ? 1 : 3;
  info.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    const unsigned char* line = rgb + static_cast<size_t>(info.next_scanline) * width * 3;
    JSAMPROW out;
    if (grey) {
      // Luma of ITU-R BT.601, the weights the JPEG colour transform uses too.
      for (LONG x = 0; x < width; ++x) {
        const unsigned char* p = line + x * 3;
        row[x] = static_cast<unsigned char>((19595u * p[0] + 38470u * p[1] + 7471u * p[2] + 32768u) >> 16);
      }
      out = row.data();
    } else {
      out = const_cast<unsigned char*>(line);
    }
    jpeg_write_scanlines(&info, &out, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return true;
}

// --- PNG and TIFF ---------------------------------------------------------------------

bool DecodePng(const std::string& bytes, Pixels* out) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return false;
  image.format = PNG_FORMAT_RGB;
  if (!SizeOk(image.width, image.height)) {
    png_image_free(&image);
    return false;
  }
  out->width = static_cast<LONG>(image.width);
  out->height = static_cast<LONG>(image.height);
  out->rgb.resize(PNG_IMAGE_SIZE(image));
  // An alpha channel is composed away: the host's images have none.
  if (!png_image_finish_read(&image, nullptr, out->rgb.data(), 0, nullptr)) {
    png_image_free(&image);
    return false;
  }
  return true;
}

// Decodes the TIFF file open as `file` (named `path`); the descriptor goes to libtiff, which
// closes it.
bool DecodeTiff(Descriptor* file, const std::string& path, Pixels* out) {
  static const bool quiet = [] {
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    return true;
  }();
  (void)quiet;
  if (::lseek(file->fd, 0, SEEK_SET) != 0) return false;
  TIFF* tif = TIFFFdOpen(file->fd, path.c_str(), "r");
  if (!tif) return false;
  file->fd = -1;  // closed by TIFFClose
  uint32_t w = 0, h = 0;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
  uint16_t extraSamples = 0;
  uint16_t* sampleInfo = nullptr;
  TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extraSamples, &sampleInfo);
  bool ok = SizeOk(w, h);
  std::vector<uint32_t> raster;
  if (ok) {
    try {
      raster.resize(static_cast<size_t>(w) * h);
    } catch (const std::bad_alloc&) {
      TIFFClose(tif);
      throw;
    }
    ok = TIFFReadRGBAImageOriented(tif, w, h, raster.data(), ORIENTATION_TOPLEFT, 0) != 0;
  }
  TIFFClose(tif);
  if (!ok) return false;
  out->width = static_cast<LONG>(w);
  out->height = static_cast<LONG>(h);
  out->rgb.resize(raster.size() * 3);
  // A TIFF with an extra sample keeps it as the image's alpha channel.
  if (extraSamples > 0) out->alpha.resize(raster.size());
  for (size_t i = 0; i < raster.size(); ++i) {
    if (extraSamples > 0) out->alpha[i] = static_cast<unsigned char>(TIFFGetA(raster[i]));
    out->rgb[i * 3] = static_cast<unsigned char>(TIFFGetR(raster[i]));
    out->rgb[i * 3 + 1] = static_cast<unsigned char>(TIFFGetG(raster[i]));
    out->rgb[i * 3 + 2] = static_cast<unsigned char>(TIFFGetB(raster[i]));
  }
  return true;
}

}  // namespace

bool BaseBitmap::Resize(LONG bx, LONG by) {
  try {
    alpha_.reset();
    rgb_.assign(static_cast<size_t>(bx) * static_cast<size_t>(by) * 3, 0);
  } catch (const std::bad_alloc&) {
    rgb_.clear();
    width_ = height_ = 0;
    return false;
  }
  width_ = bx;
  height_ = by;
  return true;
}

LONG BaseBitmap::Init(const Filename& name) {
  file_ = name;
  width_ = height_ = 0;
  rgb_.clear();
  alpha_.reset();
  // Read through its folder as the kernel reads it: only a regular file, never waited on (a FIFO
  // is refused); in a shared folder a link of another user is refused, a file of theirs is read.
  const std::string path = host::ToUtf8(name.GetString());
  Descriptor file;
  const files::Result r = files::OpenFile(path, &file.fd);
  if (!r.ok()) {
    errno = r.error();
    return IMAGERESULT_NOTEXISTING;
  }
  std::string bytes;
  if (!files::ReadAll(file.fd, &bytes, std::string().max_size(), path).ok()) return IMAGERESULT_NOTEXISTING;
  // The image kinds the host reads, by their signatures.
  Pixels pixels;
  bool ok = false;
  try {
    if (bytes.compare(0, 8, "\x89PNG\r\n\x1a\n", 8) == 0)
      ok = DecodePng(bytes, &pixels);
    else if (bytes.compare(0, 3, "\xff\xd8\xff", 3) == 0)
      ok = DecodeJpeg(bytes, &pixels);
    else if (bytes.compare(0, 4, "II*\0", 4) == 0 || bytes.compare(0, 4, "MM\0*", 4) == 0)
      ok = DecodeTiff(&file, path, &pixels);
  } catch (const std::bad_alloc&) {
    return IMAGERESULT_OUTOFMEMORY;
  }
  if (!ok) return IMAGERESULT_WRONGTYPE;
  width_ = pixels.width;
  height_ = pixels.height;
  rgb_.swap(pixels.rgb);
  if (!pixels.alpha.empty()) {
    BaseBitmap* alpha = AddChannel(true, true);
    if (!alpha) return IMAGERESULT_OUTOFMEMORY;
    for (size_t i = 0; i < pixels.alpha.size(); ++i)
      alpha->rgb_[3 * i] = alpha->rgb_[3 * i + 1] = alpha->rgb_[3 * i + 2] = pixels.alpha[i];
  }
  return IMAGERESULT_OK;
}

LONG BaseBitmap::Save(const Filename& name, LONG format, const BaseContainer* data, SAVEBIT savebits) const {
  if (format != FILTER_JPG || width_ < 1 || height_ < 1) return IMAGERESULT_WRONGTYPE;
  int quality =
      data ? static_cast<int>(data->GetLong(JPGSAVER_QUALITY, kDefaultJpegQuality)) : kDefaultJpegQuality;
  if (quality < 1) quality = 1;
  if (quality > 100) quality = 100;
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  bool ok =
      EncodeJpeg(rgb_.data(), width_, height_, quality, (savebits & SAVEBIT_GREYSCALE) != 0, &buffer, &size);
  files::Result r;
  if (ok) {
    r = files::WriteFile(host::ToUtf8(name.GetString()), buffer, size);
  }
  std::free(buffer);
  if (!r.ok()) errno = r.error();  // the caller asks the folder for the words
  return ok && r.ok() ? IMAGERESULT_OK : IMAGERESULT_FILEERROR;
}

void BaseBitmap::GetPixel(LONG x, LONG y, LONG* r, LONG* g, LONG* b) const {
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

AutoBitmap::AutoBitmap(const String& name) : bitmap_(BaseBitmap::Alloc()) {
  // The bitmap keeps its name even when the file is missing, so that the host can report it.
  bitmap_->Init(GeGetPluginPath() + Filename("res") + Filename(name));
}

AutoBitmap::~AutoBitmap() { BaseBitmap::Free(bitmap_); }

void BaseBitmap::Clear(LONG r, LONG g, LONG b) {
  const unsigned char c[3] = {static_cast<unsigned char>(r < 0     ? 0
                                                         : r > 255 ? 255
                                                                   : r),
                              static_cast<unsigned char>(g < 0     ? 0
                                                         : g > 255 ? 255
                                                                   : g),
                              static_cast<unsigned char>(b < 0     ? 0
                                                         : b > 255 ? 255
                                                                   : b)};
  for (size_t i = 0; i < rgb_.size(); ++i) rgb_[i] = c[i % 3];
}

BaseBitmap* BaseBitmap::AddChannel(Bool internal, Bool straight) {
  if (alpha_) return alpha_.get();
  if (!internal || !straight || width_ < 1 || height_ < 1) return nullptr;
  std::unique_ptr<BaseBitmap> alpha(new BaseBitmap);
  if (!alpha->Resize(width_, height_)) return nullptr;
  alpha->Clear(255, 255, 255);
  alpha_ = std::move(alpha);
  return alpha_.get();
}

Bool BaseBitmap::SetAlphaPixel(BaseBitmap* channel, LONG x, LONG y, LONG value) {
  if (!channel || channel != alpha_.get()) return false;
  return channel->SetPixel(x, y, value, value, value);
}

LONG BaseBitmap::GetAlphaPixel(BaseBitmap* channel, LONG x, LONG y) const {
  if (!channel || channel != alpha_.get()) return 0;
  LONG r = 0, g = 0, b = 0;
  channel->GetPixel(x, y, &r, &g, &b);
  return r;
}
