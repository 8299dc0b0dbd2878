#include "support/zip_writer.h"

#include <cstdint>
#include <fstream>

#include <zlib.h>

#include "c4d.h"

namespace {

void Put16(std::string* out, uint32_t v) {
  out->push_back(static_cast<char>(v & 0xFF));
  out->push_back(static_cast<char>((v >> 8) & 0xFF));
}

void Put32(std::string* out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

}  // namespace

std::string MakeRawZip(const std::vector<RawZipEntry>& entries) {
  const uint32_t kDosDate = (1 << 5) | 1;  // 1980-01-01
  std::string data;
  std::string directory;
  for (const RawZipEntry& e : entries) {
    uint32_t offset = static_cast<uint32_t>(data.size());
    Put32(&data, 0x04034b50);  // local file header
    Put16(&data, 20);          // version needed
    Put16(&data, e.flags);
    Put16(&data, e.method);
    Put16(&data, 0);  // time
    Put16(&data, kDosDate);
    Put32(&data, e.crc);
    Put32(&data, static_cast<uint32_t>(e.data.size()));
    Put32(&data, e.size);
    Put16(&data, static_cast<uint32_t>(e.name.size()));
    Put16(&data, static_cast<uint32_t>(e.extra.size()));
    data += e.name;
    data += e.extra;
    data += e.data;

    Put32(&directory, 0x02014b50);                // central directory header
    Put16(&directory, e.external ? 0x0314 : 20);  // made by (Unix when it gives a mode)
    Put16(&directory, 20);                        // version needed
    Put16(&directory, e.flags);
    Put16(&directory, e.method);
    Put16(&directory, 0);
    Put16(&directory, kDosDate);
    Put32(&directory, e.crc);
    Put32(&directory, static_cast<uint32_t>(e.data.size()));
    Put32(&directory, e.size);
    Put16(&directory, static_cast<uint32_t>(e.name.size()));
    Put16(&directory, static_cast<uint32_t>(e.extra.size()));
    Put16(&directory, 0);  // comment
    Put16(&directory, 0);  // disk
    Put16(&directory, 0);  // internal attributes
    Put32(&directory, e.external);
    Put32(&directory, offset);
    directory += e.name;
    directory += e.extra;
  }
  std::string zip = data + directory;
  Put32(&zip, 0x06054b50);  // end of central directory
  Put16(&zip, 0);
  Put16(&zip, 0);
  Put16(&zip, static_cast<uint32_t>(entries.size()));
  Put16(&zip, static_cast<uint32_t>(entries.size()));
  Put32(&zip, static_cast<uint32_t>(directory.size()));
  Put32(&zip, static_cast<uint32_t>(data.size()));
  Put16(&zip, 0);
  return zip;
}

RawZipEntry ZipStored(const std::string& name, const std::string& text) {
  return {name, text, uint32_t(text.size()), ZipFile::CalcCRC32(text.data(), VLONG(text.size()), 0)};
}

RawZipEntry ZipLink(const std::string& name, const std::string& target) {
  RawZipEntry link = ZipStored(name, target);
  link.external = (0120000u | 0777u) << 16;
  return link;
}

std::string MakeZip(const std::vector<ZipEntry>& entries) {
  std::vector<RawZipEntry> raw;
  for (const auto& [name, text] : entries) raw.push_back(ZipStored(name, text));
  return MakeRawZip(raw);
}

std::string WithEndRecordCopies(std::string zip, int copies) {
  const uint32_t comment = 22 * static_cast<uint32_t>(copies);
  zip[zip.size() - 2] = static_cast<char>(comment & 0xFF);
  zip[zip.size() - 1] = static_cast<char>(comment >> 8);
  const std::string record = zip.substr(zip.size() - 22);
  for (int i = 0; i < copies; ++i) zip += record;
  return zip;
}

std::string Deflate(const std::string& text) {
  uLongf size = compressBound(text.size());
  std::string out(size, '\0');
  compress2(reinterpret_cast<Bytef*>(&out[0]), &size, reinterpret_cast<const Bytef*>(text.data()),
            text.size(), 9);
  return out.substr(2, size - 6);  // the raw stream inside the zlib header and checksum
}

bool WriteZip(const std::string& path, const std::vector<ZipEntry>& entries) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << MakeZip(entries);
  out.close();
  return static_cast<bool>(out);
}
