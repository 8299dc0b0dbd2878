// Image files written and read in tests with the image libraries themselves, independent of the
// host's own decoding and encoding.
#pragma once

#include <string>
#include <vector>

/// A decoded image: three bytes per pixel, or one for a greyscale JPEG, rows from the top.
struct DecodedImage {
  int width = 0;
  int height = 0;
  int components = 0;
  std::vector<unsigned char> pixels;
};

/// Decodes a JPEG file as stored (no colour conversion); false when it is no JPEG.
bool ReadJpegFile(const std::string& path, DecodedImage* image);
/// Writes an 8-bit RGB PNG file.
bool WritePngFile(const std::string& path, int width, int height, const std::vector<unsigned char>& rgb);
/// Writes an 8-bit RGB TIFF file.
bool WriteTiffFile(const std::string& path, int width, int height, const std::vector<unsigned char>& rgb);
