// How a ZIP archive lies in its file: the end record, the central directory and the local
// headers, read and checked byte by byte before libzip reads any entry, and the view of the file
// that libzip is given. For the host's extraction (zipfile.cpp) only.
#pragma once

#include <zip.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "c4d_file.h"

namespace ziplayout {

// One entry as the central directory places it in the archive.
struct Placement {
  std::string name;  // as stored, undecoded
  uint64_t method, crc, compressed, size, offset;
  bool encrypted;  // its general purpose flag says so
};

/// Finds the end record of the central directory in the archive's last 22 + 65535 bytes (the
/// record and the comment after it) and puts its offset in `*end`: the one record that counts,
/// else ZIPERROR_CORRUPT (none, or an ambiguous archive); ZIPERROR_READ when it cannot be read.
LONG FindEndRecord(int fd, uint64_t fileSize, uint64_t* end);

/// Opens the archive open as `fd` (of `fileSize` bytes) in libzip, shown only the end record at
/// `end`; null with libzip's error code in `*error` when it cannot.
zip_t* OpenArchive(int fd, uint64_t fileSize, uint64_t end, int* error);

/// Reads the central directory that the end record at `end` describes into `entries`, with
/// `*start` where it begins; it must hold `expected` entries. False when the record or the
/// directory cannot be read as one.
bool ReadDirectory(int fd, uint64_t fileSize, uint64_t end, uint64_t expected,
                   std::vector<Placement>* entries, uint64_t* start);

/// Whether `entries` are the ones libzip reads in `archive`.
bool SameAsLibzip(zip_t* archive, const std::vector<Placement>& entries);

/// Checks where the entries' data lie, before anything is read from them: every local header must
/// agree with the central directory `placed` that begins at `start` (name, method, and CRC-32 and
/// sizes unless a data descriptor follows the data), and no two entries may share bytes, so that an
/// archive never unpacks the same compressed data twice. ZIPERROR_CORRUPT otherwise, with what was
/// found in `*detail`, each entry named by `named(index)`.
LONG CheckLayout(int fd, const std::vector<Placement>& placed, uint64_t start,
                 const std::function<std::string(size_t)>& named, std::string* detail);

}  // namespace ziplayout
