// Writes small ZIP archives byte by byte (entries stored, not compressed), so that tests can make
// archives with any entry names, unsafe ones included.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

/// One entry: its name in the archive and its content.
using ZipEntry = std::pair<std::string, std::string>;

/// The bytes of a ZIP archive holding `entries` in order.
std::string MakeZip(const std::vector<ZipEntry>& entries);
/// Writes `MakeZip(entries)` to `path`; false when the file cannot be written.
bool WriteZip(const std::string& path, const std::vector<ZipEntry>& entries);

/// One entry whose header says what the test wants, true or not.
struct RawZipEntry {
  std::string name;
  std::string data;     ///< The bytes stored, compressed ones for a compressing method.
  uint32_t size;        ///< The size it declares once unpacked.
  uint32_t crc;         ///< The CRC-32 it declares.
  uint16_t method = 0;  ///< 0 stored, 8 deflated, others unknown.
  uint16_t flags = 0;   ///< Bit 0: encrypted.
};

/// The bytes of a ZIP archive holding `entries` in order, with their headers as given.
std::string MakeRawZip(const std::vector<RawZipEntry>& entries);
/// `text` compressed as a raw deflate stream (ZIP method 8).
std::string Deflate(const std::string& text);
