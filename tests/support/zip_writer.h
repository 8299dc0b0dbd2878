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

/// An entry storing `data` whose headers declare `size`, `crc`, `method`, `flags`, the extra
/// fields `extra` and the external attributes `external`, true or not. An entry with external
/// attributes is made on Unix, its mode in their upper half, as Unix tools write them.
struct RawZipEntry {
  std::string name, data;
  uint32_t size, crc;
  uint16_t method = 0, flags = 0;
  std::string extra = "";
  uint32_t external = 0;
};
/// The entry `name` of a symbolic link to `target`, as bsdtar and `zip -y` write one: its target
/// stored as its data, its mode (a link's, 0777) in its external attributes.
RawZipEntry ZipLink(const std::string& name, const std::string& target);
/// The entry `name` storing `text`, declared as it is.
RawZipEntry ZipStored(const std::string& name, const std::string& text);
std::string MakeRawZip(const std::vector<RawZipEntry>& entries);
/// `zip` (an archive of `MakeRawZip`, its end record without comment) with `copies` copies of its
/// end record as the record's comment.
std::string WithEndRecordCopies(std::string zip, int copies);
/// `text` compressed as a raw deflate stream (ZIP method 8).
std::string Deflate(const std::string& text);
