// Files: reading and writing bytes.
#pragma once

#include <cstdio>
#include <string>

#include "c4d_string.h"

/// Modes of `BaseFile::Open`.
enum {
  FILEOPEN_READ = 0,   ///< Read an existing file.
  FILEOPEN_WRITE = 1,  ///< Write a new file, replacing one of that name when it is closed.
};

/// Errors of a `BaseFile`.
enum {
  FILEERROR_NONE = 0,
  FILEERROR_OPEN = -1,       ///< Could not be opened (or is not open).
  FILEERROR_CLOSE = -2,      ///< Could not be completed on closing.
  FILEERROR_READ = -3,       ///< Fewer bytes than asked for, or a read error.
  FILEERROR_WRITE = -4,      ///< A write failed.
  FILEERROR_WRONG_VALUE = -5,  ///< A negative length or a null buffer.
};

/// A file opened for reading or writing. A file opened for writing is written to a temporary
/// file beside its target, which replaces the target only when `Close` finds every write done;
/// after any failure the target is left as it was. The first error sticks: later reads and
/// writes do nothing and fail.
class BaseFile {
 public:
  static BaseFile* Alloc() { return new BaseFile; }
  /// Closes the file (see `Close`) and frees it.
  static void Free(BaseFile*& file);
  ~BaseFile();
  BaseFile(const BaseFile&) = delete;
  BaseFile& operator=(const BaseFile&) = delete;

  /// Opens `name` in `mode` (`FILEOPEN_*`); false (error `FILEERROR_OPEN`) when it cannot.
  Bool Open(const Filename& name, LONG mode = FILEOPEN_READ);
  /// Ends the file: a written file replaces its target now. True when everything succeeded;
  /// false after any error (a written file's target then stays as it was).
  Bool Close();
  /// Writes `len` bytes; false on an error.
  Bool WriteBytes(const void* data, LONG len);
  /// Reads up to `len` bytes; answers the number read. Fewer than `len` is an error unless
  /// `justTry` is set.
  LONG ReadBytes(void* data, LONG len, Bool justTry = FALSE);
  /// The first error (`FILEERROR_*`), or `FILEERROR_NONE`.
  LONG GetError() const { return error_; }

 private:
  BaseFile() = default;
  void Fail(LONG error);
  std::FILE* file_ = nullptr;
  LONG mode_ = FILEOPEN_READ;
  LONG error_ = FILEERROR_NONE;
  std::string target_;  // UTF-8 path of the file named in Open
  std::string temp_;    // the temporary file a written file goes to
};
