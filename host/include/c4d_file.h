// Files: reading and writing bytes, ZIP archives and CRC-32, and the listing of a folder.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "c4d_string.h"
#include "c4d_types.h"

namespace files {
class TemporaryFile;
}

/// Modes of `BaseFile::Open`.
enum {
  FILEOPEN_READ = 0,   ///< Read an existing file.
  FILEOPEN_WRITE = 1,  ///< Write a new file, replacing one of that name when it is closed.
};

/// Errors of a `BaseFile`.
enum {
  FILEERROR_NONE = 0,
  FILEERROR_OPEN = -1,         ///< Could not be opened (or is not open).
  FILEERROR_CLOSE = -2,        ///< Could not be completed on closing.
  FILEERROR_READ = -3,         ///< Fewer bytes than asked for, or a read error.
  FILEERROR_WRITE = -4,        ///< A write failed.
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
  BaseFile();
  void Fail(LONG error);
  std::FILE* file_ = nullptr;
  LONG mode_ = FILEOPEN_READ;
  LONG error_ = FILEERROR_NONE;
  std::string target_;                          // UTF-8 path of the file named in Open
  std::unique_ptr<files::TemporaryFile> temp_;  // the temporary file a written file goes to
};

/// Flags of `ZipFile::ExtractToDirectory`.
enum {
  /// Create the folders that the archive's entries lie in. Without it an entry whose folder does
  /// not exist yet fails the extraction.
  ZIP_EXTRACT_CREATE_SUBDIR = 1,
};

/// Called for every entry before it is extracted: the entry's name in the archive, the file it is
/// written to, the caller's data. Returning false stops the extraction (which then fails).
typedef Bool (*ExtractDirectoryCallback)(const Filename& entry, const Filename& target, void* data);

/// Why `ZipFile::ExtractToDirectory` failed (`ZipFile::GetError`).
enum {
  ZIPERROR_NONE = 0,
  ZIPERROR_READ = 1,         ///< The archive cannot be opened or read.
  ZIPERROR_UNSAFE_NAME = 2,  ///< An entry's name is absolute or leads out of the folder.
  ZIPERROR_CORRUPT =
      3,  ///< Not a ZIP archive, damaged data, or an entry that does not hold what it declares.
  ZIPERROR_CHECKSUM = 4,           ///< An entry's data do not match its CRC-32.
  ZIPERROR_ENCRYPTED = 5,          ///< An entry is encrypted and no (or a wrong) password was given.
  ZIPERROR_METHOD = 6,             ///< An entry is compressed with a method this host does not know.
  ZIPERROR_TOO_LARGE = 7,          ///< More files or more bytes than `ZipFile` extracts.
  ZIPERROR_DISK_FULL = 8,          ///< The entries do not fit on the disk.
  ZIPERROR_WRITE = 9,              ///< A folder or file cannot be written.
  ZIPERROR_STOPPED = 10,           ///< The callback stopped the extraction.
  ZIPERROR_TOO_DEEP = 11,          ///< An entry lies more than `ZipFile::kMaxDepth` names deep.
  ZIPERROR_TOO_MANY_FOLDERS = 12,  ///< The entries would make more than `kMaxEntries` folders.
  ZIPERROR_FILE_AND_FOLDER = 13,   ///< One name is both a file and a folder of the archive.
  ZIPERROR_TWICE = 14,             ///< The archive holds one name twice.
};

/// A ZIP archive.
class ZipFile {
 public:
  /// The most files an archive may hold to be extracted (its folders' entries not counted), and
  /// the most folders it may make.
  static constexpr LLONG kMaxEntries = 10000;
  /// The most names an entry's path may hold (its folders and itself) to be extracted.
  static constexpr LLONG kMaxDepth = 64;
  /// The most bytes the entries of an archive may declare together to be extracted (4 GiB).
  static constexpr LLONG kMaxBytes = 4LL << 30;
  /// Beyond `kRatioFloor` bytes, the entries of an archive may declare at most `kMaxRatio` times
  /// the archive's own size.
  static constexpr LLONG kMaxRatio = 100;
  /// The bytes up to which the entries of an archive may declare any multiple of its size (256 MiB).
  static constexpr LLONG kRatioFloor = 256LL << 20;

  static ZipFile* Alloc();
  static void Free(ZipFile*& zip);

  /// Extracts every entry of the archive `zip` into the folder `dir` (created when missing, with
  /// its missing parents, which stay). A backslash in an entry's name separates folders, as a
  /// slash does; a "." name is none ("./a" is "a", "./" is `dir` itself). Untrusted archives are safe: before
  /// anything is written the archive is refused when an entry's name is absolute (also "C:...") or holds a
  /// ".." name, a NUL or a name of the form the file module gives its temporaries, when an entry is encrypted
  /// without a password or uses an unknown method, when an entry lies more than `kMaxDepth` names deep, when
  /// it holds more than `kMaxEntries` files, or would make more than `kMaxEntries` folders (each folder
  /// counted once, whether the archive lists it or not), when one name is both a file
  /// and a folder or comes twice, when its entries declare more than `kMaxBytes` bytes, more than
  /// the disk has free, or more than `kRatioFloor` bytes and more than `kMaxRatio` times the
  /// archive's size, when an entry's local header disagrees with the central directory or two
  /// entries share bytes of the archive, or when the path an entry would be unpacked at (`dir`, "/"
  /// and its name, `dir` taken from the working directory when relative) would be longer than
  /// PATH_MAX - 1 bytes. A link's entry (its external attributes give a symbolic link's mode) that
  /// leads to a file entry of the archive, resolved from its own folder through the archive's
  /// folders only (a link on the way is never taken for a folder) and through at most `kMaxLinks`
  /// links, each the whole target of the last, is unpacked as a copy of that file, the copy counted
  /// in the bytes as the file is; any other is left out (`GetLeftOut`). No entry is written through
  /// a symbolic link, and none
  /// beyond the size it declares: an entry holding more or fewer bytes refuses the archive. The
  /// files take their places only once every entry has been read whole. False when the archive is
  /// refused or cannot be read or written; whatever this call created (files and folders, `dir`
  /// included) is then removed again, what `dir` held before stays, and `GetError` says why.
  /// Nothing is made or written in a folder of another user in a shared folder, nor below one.
  /// Once the run is interrupted (`files::Interrupted`) nothing more is made. After a success the
  /// host notes `dir` as a folder extracted into (`host::UnpackedFolders`).
  Bool ExtractToDirectory(const Filename& zip, const Filename& dir, LONG flags = ZIP_EXTRACT_CREATE_SUBDIR,
                          ExtractDirectoryCallback callback = nullptr, void* data = nullptr,
                          const char* password = nullptr);
  /// Why the last `ExtractToDirectory` failed (`ZIPERROR_*`), `ZIPERROR_NONE` after a success.
  LONG GetError() const { return error_; }
  /// The system's reason behind the last failure of `ExtractToDirectory`, in the file module's
  /// words: why the archive could not be opened, or a folder or file not be written ("not a
  /// regular file", "the folder P belongs to another user (NAME)", the system's words). "" when
  /// the failure has no such reason (a refused archive) and after a success.
  const std::string& GetSystemErrorText() const { return systemErrorText_; }
  /// What the last failure of `ExtractToDirectory` found, in words ("" when it names nothing, and
  /// after a success): the entry it is about (`entry "a/b.ovm"`, its name as the archive holds it,
  /// a NUL too), with the method an unknown method is (`entry "b.ovm" uses method 77`), both
  /// entries of a name that is a file and a folder (`entry "a" and entry "a/b"`), a name that
  /// comes twice (`the archive holds "tex/red.png" twice`), the limit exceeded by too large an
  /// archive, with the numbers, or what makes too many folders (`10000 files would make more than
  /// the 10000 folders an archive may make`, `5 folder entries and the folders of 9996 files would
  /// make ...`).
  const std::string& GetErrorDetail() const { return errorDetail_; }

  /// A link entry of the archive (one whose external attributes give a symbolic link's mode) that
  /// `ExtractToDirectory` left out: the link is never written, as a link or as a file holding its
  /// target. A link to a file entry of the same archive is unpacked as a copy of that file instead.
  struct LeftOut {
    /// Why a link was left out.
    enum Why {
      kOutside,      ///< its target is absolute or leads out of the archive's folder
      kFolder,       ///< its target is a folder
      kMissing,      ///< the archive holds nothing at its target
      kItself,       ///< its target is the link itself
      kLoop,         ///< its target leads through links back to the link itself
      kChain,        ///< its target leads through more than `kMaxLinks` links
      kTooLong,      ///< its target is longer than a path may be (it is not read)
      kLeftOutLink,  ///< its target is another link of the archive that is left out
      kThroughLink,  ///< its target's path passes through a link of the archive that is left out
                     ///< (`through`), as through a folder
    };
    std::string entry;   ///< its path in the archive, '/'-separated, without "." names
    std::string target;  ///< the link's target as the archive holds it ("" for `kTooLong`)
    Why why = kMissing;
    std::string through;  ///< for `kThroughLink`, the path in the archive of the link passed through
  };
  /// The most links one after the other that a link is followed through to its file.
  static constexpr int kMaxLinks = 40;
  /// The links the last successful `ExtractToDirectory` left out, in the archive's order; none
  /// after a failure.
  const std::vector<LeftOut>& GetLeftOut() const { return leftOut_; }

  /// The CRC-32 of the ZIP format (the one of zlib's `crc32`) of `length` bytes at `data`,
  /// continued from `start` (0 for a new checksum).
  static ULONG CalcCRC32(const void* data, VLONG length, ULONG start = 0);

 private:
  ZipFile() = default;
  LONG error_ = ZIPERROR_NONE;
  std::string systemErrorText_;
  std::string errorDetail_;
  std::vector<LeftOut> leftOut_;
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
