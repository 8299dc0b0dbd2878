// ZIP archives, CRC-32 and the listing of a folder.
#pragma once

#include <memory>

#include "c4d_string.h"
#include "c4d_types.h"

/// Flags of `ZipFile::ExtractToDirectory`.
enum {
  /// Create the folders that the archive's entries lie in. Without it an entry whose folder does
  /// not exist yet fails the extraction.
  ZIP_EXTRACT_CREATE_SUBDIR = 1,
};

/// Called for every entry before it is extracted: the entry's name in the archive, the file it is
/// written to, the caller's data. Returning false stops the extraction (which then fails).
typedef Bool (*ExtractDirectoryCallback)(const Filename& entry, const Filename& target, void* data);

/// A ZIP archive.
class ZipFile {
 public:
  static ZipFile* Alloc();
  static void Free(ZipFile*& zip);

  /// Extracts every entry of the archive `zip` into the folder `dir` (created when missing).
  /// Untrusted archives are safe: an archive with an entry whose name is absolute or holds a ".."
  /// component is refused before anything is written, and no entry is written through a symbolic
  /// link. False when the archive cannot be read, is refused, or an entry cannot be written
  /// (entries written before stay).
  Bool ExtractToDirectory(const Filename& zip, const Filename& dir,
                          LONG flags = ZIP_EXTRACT_CREATE_SUBDIR,
                          ExtractDirectoryCallback callback = nullptr, void* data = nullptr,
                          const char* password = nullptr);

  /// The CRC-32 of the ZIP format (the one of zlib's `crc32`) of `length` bytes at `data`,
  /// continued from `start` (0 for a new checksum).
  static ULONG CalcCRC32(const void* data, VLONG length, ULONG start = 0);

 private:
  ZipFile() = default;
};

/// Flags of `BrowseFiles::Init`.
enum {
  BROWSEFILES_CALCSIZE = 1,  ///< Fill in the sizes (the stand-in always does).
};

/// Lists the entries of one folder, sorted by name (byte order of their UTF-8 text), "." and ".."
/// left out.
class BrowseFiles {
 public:
  static BrowseFiles* Alloc();
  static void Free(BrowseFiles*& browser);
  ~BrowseFiles();

  /// Reads the folder's entries; an unreadable or missing folder has none.
  void Init(const Filename& dir, LONG flags);
  /// Steps to the next entry; false when there is none.
  Bool GetNext();
  /// The current entry's name (without the folder).
  Filename GetFilename() const;
  /// True when the current entry is a folder.
  Bool IsDir() const;
  /// The current entry's size in bytes (0 for a folder).
  LLONG GetSize() const;

 private:
  BrowseFiles();
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
