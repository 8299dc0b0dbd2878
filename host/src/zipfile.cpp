// ZIP archives through libzip, CRC-32 through libdeflate.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <libdeflate.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <limits>
#include <map>
#include <set>
#include <memory>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "c4d_file.h"
#include "host_control.h"
#include "files/folder.h"
#include "files/temporary.h"

namespace {

// Splits `name` at every character of `separators`.
std::vector<std::string> Split(const std::string& name, const char* separators) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t end = name.find_first_of(separators, start);
    parts.push_back(name.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return parts;
    start = end + 1;
  }
}

// The '/'-separated components of an entry name, without empty and "." components. False for a
// name that must not be extracted: empty, absolute (also in the DOS forms "\x" and "C:"), or with a
// ".." component (also between backslashes, which archives made on DOS systems use as separators;
// on this system a backslash is part of a name).
bool SplitEntryName(const std::string& name, std::vector<std::string>* parts) {
  if (name.empty() || name[0] == '/' || name[0] == '\\') return false;
  if (name.size() >= 2 && name[1] == ':') return false;
  for (const std::string& part : Split(name, "/\\"))
    if (part == "..") return false;
  parts->clear();
  for (std::string& part : Split(name, "/"))
    if (!part.empty() && part != ".") parts->push_back(std::move(part));
  return !parts->empty();
}

// The host's reason for a libzip error code.
LONG ReasonOf(int libzipError) {
  switch (libzipError) {
    case ZIP_ER_NOENT:
    case ZIP_ER_OPEN:
    case ZIP_ER_READ: return ZIPERROR_READ;
    case ZIP_ER_CRC: return ZIPERROR_CHECKSUM;
    case ZIP_ER_NOPASSWD:
    case ZIP_ER_WRONGPASSWD:
    case ZIP_ER_ENCRNOTSUPP: return ZIPERROR_ENCRYPTED;
    case ZIP_ER_COMPNOTSUPP: return ZIPERROR_METHOD;
    default: return ZIPERROR_CORRUPT;
  }
}

// The host's reason for a failed write `why`, which goes to `*system`.
LONG WriteReason(const files::Result& why, files::Result* system) {
  *system = why;
  return why.error() == ENOSPC || why.error() == EDQUOT ? ZIPERROR_DISK_FULL : ZIPERROR_WRITE;
}

// The host's reason for a failed write with `errno` value `error`, which goes to `*system`.
LONG WriteReason(int error, files::Result* system) {
  return WriteReason(files::Result::System(error), system);
}

// One folder of an extraction, open: `made` when this extraction made it or a folder above it, so
// that no one else has written there and a failed extraction removes it whole.
struct Level {
  std::string name;
  files::Folder folder;
  bool made;
};

// The folders of one extraction: the root and the folders of the entry written last, held open so
// that the next entry in the same folder walks nothing again. The folders it makes in folders that
// were there before are owned here, so that an interrupted run removes them, and removed with all
// they hold unless kept.
class Folders {
 public:
  Folders() = default;
  Folders(const Folders&) = delete;
  Folders& operator=(const Folders&) = delete;

  // Opens the root `path`, made with its missing parents.
  LONG OpenRoot(const std::string& path, files::Result* system) {
    std::vector<std::string> missing;
    std::string at = path;
    while (at.size() > 1 && at.back() == '/') at.pop_back();
    files::Folder folder;
    // The folder itself is never reached through a link at its name: the caller made it or names it.
    for (;;) {
      const files::Result r =
          files::Folder::Open(at, &folder, files::Folder::Make::kNothing, /*linkLast=*/!missing.empty());
      if (r.ok()) break;
      const size_t slash = at.rfind('/');
      if (r.error() != ENOENT || at == "." || at == "/") return WriteReason(r, system);
      missing.push_back(slash == std::string::npos ? at : at.substr(slash + 1));
      at = slash == std::string::npos ? "." : at.substr(0, slash == 0 ? 1 : slash);
    }
    root_ = Level{"", folder, false};
    for (auto it = missing.rbegin(); it != missing.rend(); ++it)
      if (const LONG error = Make(&root_, *it, system)) return error;
    return ZIPERROR_NONE;
  }

  // Makes sure that parts[0]/.../parts[count-1] below the root are real folders (no link on the
  // way), making the missing ones when `create`; `*level` is the innermost. The reason when it
  // cannot, with the system's in `*system`: a missing folder that may not be made has none
  // (ENOENT), a file or link in a folder's place is none (ENOTDIR).
  LONG Ensure(const std::vector<std::string>& parts, size_t count, bool create, const Level** level,
              files::Result* system) {
    size_t same = 0;
    while (same < chain_.size() && same < count && chain_[same].name == parts[same]) ++same;
    chain_.resize(same);
    for (size_t i = same; i < count; ++i) {
      const Level& parent = i == 0 ? root_ : chain_[i - 1];
      files::Folder folder = parent.folder.Enter(parts[i]);
      if (folder.IsOpen() && !parent.folder.MayUse(folder.Status().st_uid))
        return WriteReason(
            files::Result::Foreign(files::Reason::kForeignFolder, folder.Path(), folder.Status().st_uid),
            system);
      if (folder.IsOpen()) {
        // A folder opened again keeps what it was: one this extraction made, or one of those that
        // were there before, held open once (its files wait there to take their places).
        const auto key = std::make_pair(folder.Status().st_dev, folder.Status().st_ino);
        const bool made = parent.made || made_.count(key) > 0;
        if (!made) {
          const auto known = before_.emplace(key, folder).first;
          folder = known->second;
        }
        chain_.push_back(Level{parts[i], folder, made});
        continue;
      }
      if (errno != ENOENT) return WriteReason(errno, system);
      if (!create) return WriteReason(ENOENT, system);
      Level made = parent;
      if (const LONG error = Make(&made, parts[i], system)) return error;
      chain_.push_back(made);
    }
    *level = count == 0 ? &root_ : &chain_[count - 1];
    return ZIPERROR_NONE;
  }

  // Keeps every folder made: the extraction succeeded.
  void Keep() {
    for (files::NewFolder& top : tops_) top.Keep();
    tops_.clear();
  }

 private:
  // Makes the folder `name` in `*at` and makes `*at` it.
  LONG Make(Level* at, const std::string& name, files::Result* system) {
    files::Folder made;
    if (at->made) {
      // Inside a folder of this extraction: it goes with that folder.
      if (::mkdirat(at->folder.Descriptor(), name.c_str(), 0777) != 0) return WriteReason(errno, system);
      made = at->folder.Enter(name);
      if (!made.IsOpen()) return WriteReason(errno, system);
    } else {
      files::NewFolder top;
      if (const files::Result r = at->folder.MakeFolder(name, &top); !r.ok()) return WriteReason(r, system);
      made = top.Opened();
      tops_.push_back(std::move(top));
    }
    made_.emplace(made.Status().st_dev, made.Status().st_ino);
    *at = Level{name, made, true};
    return ZIPERROR_NONE;
  }

  Level root_{"", files::Folder(), false};
  std::vector<Level> chain_;
  std::vector<files::NewFolder> tops_;
  std::set<std::pair<dev_t, ino_t>> made_;                   // the folders it made
  std::map<std::pair<dev_t, ino_t>, files::Folder> before_;  // those it found
};

// Copies the `size` bytes that entry `index` declares from `in` to `fd`. An entry that ends
// earlier or holds more is corrupt: nothing beyond the declared size is ever written.
LONG CopyEntry(zip_file_t* in, zip_uint64_t size, int fd, files::Result* system) {
  std::vector<char> buffer(64 * 1024);
  for (zip_uint64_t left = size; left > 0;) {
    zip_int64_t n = zip_fread(in, buffer.data(), std::min<zip_uint64_t>(buffer.size(), left));
    if (n < 0) return ReasonOf(zip_error_code_zip(zip_file_get_error(in)));
    if (n == 0) return ZIPERROR_CORRUPT;
    if (const int error = files::WriteAll(fd, buffer.data(), static_cast<size_t>(n)))
      return WriteReason(error, system);
    left -= static_cast<zip_uint64_t>(n);
  }
  // One byte more must be the end (where the checksum is checked).
  char extra;
  zip_int64_t n = zip_fread(in, &extra, 1);
  if (n < 0) return ReasonOf(zip_error_code_zip(zip_file_get_error(in)));
  return n == 0 ? ZIPERROR_NONE : ZIPERROR_CORRUPT;
}

// The entries written beside their targets, in archive order; removed unless moved into place,
// and by an interruption. Each is closed once written, so that an archive of thousands of entries
// holds no descriptor each.
class Pending {
 public:
  // Makes a new temporary file for `name` in `folder`, a link at `name` replaced, never followed;
  // `*file` is it, open for writing.
  files::Result Create(const files::Folder& folder, const std::string& name, files::TemporaryFile** file) {
    files::TemporaryFile made;
    if (files::Result r = folder.CreateTemporary(name, &made, /*followLink=*/false); !r.ok()) return r;
    files_.push_back({std::move(made), folder, name});
    *file = &files_.back().file;
    return files::Result();
  }

  // Removes the file made last: its entry could not be written.
  void Drop() { files_.pop_back(); }

  // Moves every file to its target (a later entry of the same name wins), after making sure that
  // no target has become a folder meanwhile, so that the renames do not fail halfway. The
  // system's reason for a failure goes to `*system`.
  LONG Commit(files::Result* system) {
    for (const File& file : files_) {
      struct stat st;
      if (::fstatat(file.folder.Descriptor(), file.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
          S_ISDIR(st.st_mode))
        return WriteReason(EISDIR, system);
    }
    for (File& file : files_)
      if (const files::Result r = file.file.Commit(); !r.ok()) return WriteReason(r, system);
    return ZIPERROR_NONE;
  }

 private:
  struct File {
    files::TemporaryFile file;
    files::Folder folder;  // where it goes, and its name there
    std::string name;
  };
  std::deque<File> files_;  // a deque: a file's place stays while others are added
};

// Copies entry `index` (declaring `size` bytes) of `archive` to `fd`.
LONG CopyIndex(zip_t* archive, zip_uint64_t index, zip_uint64_t size, int fd, files::Result* system) {
  LONG error = ZIPERROR_NONE;
  if (zip_file_t* in = zip_fopen_index(archive, index, 0)) {
    error = CopyEntry(in, size, fd, system);
    zip_fclose(in);
  } else {
    error = ReasonOf(zip_error_code_zip(zip_get_error(archive)));
  }
  return error;
}

// Writes entry `index` (declaring `size` bytes) as `name` in the folder `level`. In a folder this
// extraction made, the file is written in place: a later entry of the same name replaces it, and a
// failed extraction removes the folder whole. Elsewhere it goes into a new file beside its target
// (added to `pending`), which takes the target's place only once every entry has been written; a
// link there is replaced, never followed. A failed entry leaves no temporary; the system's reason
// for a failed write goes to `*system`.
LONG WriteEntry(zip_t* archive, zip_uint64_t index, zip_uint64_t size, const Level& level,
                const std::string& name, Pending* pending, files::Result* system) {
  const int at = level.folder.Descriptor();
  if (level.made) {
    int fd = ::openat(at, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EEXIST) {
      // An earlier entry of this name, which this extraction wrote.
      fd = ::openat(at, name.c_str(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
      struct stat st;
      if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid())) {
        ::close(fd);
        fd = -1;
        errno = EEXIST;
      }
    }
    if (fd < 0) return WriteReason(errno == ELOOP ? ENOTDIR : errno, system);
    LONG error = CopyIndex(archive, index, size, fd, system);
    if (::close(fd) != 0 && error == ZIPERROR_NONE) error = WriteReason(errno, system);
    return error;
  }
  files::TemporaryFile* file = nullptr;
  if (const files::Result r = pending->Create(level.folder, name, &file); !r.ok())
    return WriteReason(r, system);
  LONG error = CopyIndex(archive, index, size, file->Descriptor(), system);
  if (error == ZIPERROR_NONE)
    if (const files::Result r = file->Close(); !r.ok()) error = WriteReason(r, system);
  if (error != ZIPERROR_NONE) pending->Drop();
  return error;
}

// Little-endian number of `bytes` bytes at `p`, as the ZIP format stores them.
uint64_t Le(const unsigned char* p, int bytes) {
  uint64_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | p[i];
  return v;
}

// Reads exactly `size` bytes at `offset` of `fd`.
bool ReadAt(int fd, uint64_t offset, void* out, size_t size) {
  char* p = static_cast<char*>(out);
  while (size > 0) {
    if (offset > static_cast<uint64_t>(std::numeric_limits<off_t>::max())) return false;
    ssize_t n = ::pread(fd, p, size, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    offset += static_cast<uint64_t>(n);
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Reads `size` bytes at `offset` of `fd` into `out`.
bool ReadStringAt(int fd, uint64_t offset, size_t size, std::string* out) {
  out->assign(size, '\0');
  return size == 0 || ReadAt(fd, offset, &(*out)[0], size);
}

constexpr uint64_t kEscape = 0xFFFFFFFFu;

// Replaces the `fields` that hold 0xFFFFFFFF by their values in the ZIP64 field of the extra
// fields `extra`, in order; a local header holds both sizes there when one of them is escaped.
// False when a value is missing.
bool ResolveZip64(const std::string& extra, std::initializer_list<uint64_t*> fields, bool local) {
  bool escaped = false;
  for (uint64_t* field : fields) escaped = escaped || *field == kEscape;
  if (!escaped) return true;
  const auto* bytes = reinterpret_cast<const unsigned char*>(extra.data());
  for (size_t at = 0; at + 4 <= extra.size();) {
    const size_t length = Le(bytes + at + 2, 2), end = at + 4 + length;
    if (end > extra.size()) return false;
    if (Le(bytes + at, 2) == 1) {
      size_t pos = at + 4;
      for (uint64_t* field : fields) {
        if (*field != kEscape && !local) continue;
        if (pos + 8 > end) return false;
        *field = Le(bytes + pos, 8);
        pos += 8;
      }
      return true;
    }
    at = end;
  }
  return false;
}

// One entry as the central directory places it in the archive.
struct Placement {
  std::string name;  // as stored, undecoded
  uint64_t method, crc, compressed, size, offset;
};

// Reads the central directory that the end record at `end` describes into `entries`, with
// `*start` where it begins; it must hold `expected` entries. False when the record or the directory cannot be
// read as one.
bool ReadDirectory(int fd, uint64_t fileSize, uint64_t end, uint64_t expected,
                   std::vector<Placement>* entries, uint64_t* start) {
  unsigned char record[56];
  if (!ReadAt(fd, end, record, 22) || Le(record, 4) != 0x06054b50) return false;
  uint64_t disk = Le(record + 4, 2), directoryDisk = Le(record + 6, 2), onDisk = Le(record + 8, 2),
           count = Le(record + 10, 2), size = Le(record + 12, 4), offset = Le(record + 16, 4), limit = end;
  unsigned char locator[20];
  if (end >= 20 && ReadAt(fd, end - 20, locator, 20) && Le(locator, 4) == 0x07064b50) {
    limit = Le(locator + 8, 8);
    if (limit > end - 20 || !ReadAt(fd, limit, record, 56) || Le(record, 4) != 0x06064b50) return false;
    disk = Le(record + 16, 4);
    directoryDisk = Le(record + 20, 4);
    onDisk = Le(record + 24, 8);
    count = Le(record + 32, 8);
    size = Le(record + 40, 8);
    offset = Le(record + 48, 8);
  }
  if (disk != 0 || directoryDisk != 0 || onDisk != count || offset > limit || size > limit - offset ||
      count != expected || limit > fileSize)
    return false;
  *start = offset;
  entries->clear();
  for (uint64_t at = offset, i = 0; i < count; ++i) {
    unsigned char h[46];
    if (at + 46 > offset + size || !ReadAt(fd, at, h, 46) || Le(h, 4) != 0x02014b50) return false;
    Placement p{{}, Le(h + 10, 2), Le(h + 16, 4), Le(h + 20, 4), Le(h + 24, 4), Le(h + 42, 4)};
    const size_t nameLength = Le(h + 28, 2), extraLength = Le(h + 30, 2), commentLength = Le(h + 32, 2);
    std::string extra;
    if (at + 46 + nameLength + extraLength + commentLength > offset + size ||
        !ReadStringAt(fd, at + 46, nameLength, &p.name) ||
        !ReadStringAt(fd, at + 46 + nameLength, extraLength, &extra) ||
        !ResolveZip64(extra, {&p.size, &p.compressed, &p.offset}, false))
      return false;
    entries->push_back(std::move(p));
    at += 46 + nameLength + extraLength + commentLength;
  }
  return true;
}

// Whether `entries` are the ones libzip reads in `archive`.
bool SameAsLibzip(zip_t* archive, const std::vector<Placement>& entries) {
  for (size_t i = 0; i < entries.size(); ++i) {
    zip_stat_t st;
    zip_stat_init(&st);
    const zip_uint64_t want = ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_CRC | ZIP_STAT_COMP_METHOD;
    if (zip_stat_index(archive, i, 0, &st) != 0 || (st.valid & want) != want || st.size != entries[i].size ||
        st.comp_size != entries[i].compressed || st.crc != entries[i].crc ||
        st.comp_method != entries[i].method)
      return false;
  }
  return true;
}

// Finds the end record of the central directory in the archive's last 22 + 65535 bytes (the
// record and the comment after it) and puts its offset in `*end`. A record counts where the
// directory it names ends right where it begins, or where its ZIP64 end record begins. The end
// record of an archive stored in an entry names offsets within that archive, so its directory
// seems to end earlier: such a record does not count. After the one that counts, it makes the
// archive ambiguous (a reader that searches from the end takes it), and so does a second record
// that counts; a comment filled with copies of the record is refused at the first. An archive
// behind a prefix that its offsets leave out (self-extracting) counts no record: libzip, reading
// offsets from the start of the file, never opened one either.
LONG FindEndRecord(int fd, uint64_t fileSize, uint64_t* end) {
  const uint64_t tail = std::min<uint64_t>(fileSize, 22 + 0xFFFF), start = fileSize - tail;
  // With the 20 bytes before the tail, where the ZIP64 locator of a record at its start lies.
  const size_t before = static_cast<size_t>(std::min<uint64_t>(start, 20));
  std::string bytes;
  if (!ReadStringAt(fd, start - before, tail + before, &bytes)) return ZIPERROR_READ;
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  int found = 0;
  for (size_t at = bytes.find("PK\5\6", before); at != std::string::npos && at + 22 <= bytes.size();
       at = bytes.find("PK\5\6", at + 1)) {
    const uint64_t place = start - before + at;
    uint64_t size = Le(data + at + 12, 4), offset = Le(data + at + 16, 4), limit = place;
    if (at >= 20 && Le(data + at - 20, 4) == 0x07064b50) {
      unsigned char record[56];
      limit = Le(data + at - 12, 8);
      if (limit > place - 20 || place - 20 - limit < 56 || !ReadAt(fd, limit, record, 56) ||
          Le(record, 4) != 0x06064b50)
        continue;
      size = Le(record + 40, 8);
      offset = Le(record + 48, 8);
    }
    if (offset > limit || size > limit - offset) continue;  // no directory before it
    if (size == limit - offset) {
      *end = place;
      ++found;
    }
    if (found > 1 || (found == 1 && *end != place)) return ZIPERROR_CORRUPT;
  }
  return found == 1 ? ZIPERROR_NONE : ZIPERROR_CORRUPT;
}

// The archive as libzip is shown it: the file, then in place of nothing a tail that holds copies
// of the end records at `end` (without the comment) behind more padding than libzip searches
// for end records. libzip tries every record it finds there and may take another than the one
// that counts (the empty directory of an archive stored in an entry, when the local headers
// disagree with the central ones); so it finds only this one, which names the same directory.
class View {
 public:
  View(int fd, uint64_t fileSize) : fd_(fd), fileSize_(fileSize) { zip_error_init(&error_); }
  ~View() { zip_error_fini(&error_); }
  View(const View&) = delete;
  View& operator=(const View&) = delete;

  // Builds the tail from the records at `end`; false when they cannot be read.
  bool SetEnd(uint64_t end) {
    unsigned char record[22], locator[20], zip64[56];
    if (!ReadAt(fd_, end, record, 22)) return false;
    record[20] = record[21] = 0;  // no comment
    tail_.assign(22 + 0xFFFF + 20, '\0');
    if (end >= 20 && ReadAt(fd_, end - 20, locator, 20) && Le(locator, 4) == 0x07064b50) {
      if (!ReadAt(fd_, Le(locator + 8, 8), zip64, 56)) return false;
      const uint64_t at = fileSize_ + tail_.size();
      for (int i = 0; i < 8; ++i) {
        zip64[4 + i] = static_cast<unsigned char>(i == 0 ? 44 : 0);  // no extensible data
        locator[8 + i] = static_cast<unsigned char>(at >> (8 * i));
      }
      tail_.append(reinterpret_cast<const char*>(zip64), 56)
          .append(reinterpret_cast<const char*>(locator), 20);
    }
    tail_.append(reinterpret_cast<const char*>(record), 22);
    return true;
  }

  // Opens the view in libzip, which then owns it; null with `*error` set when it cannot.
  static zip_t* Open(std::unique_ptr<View> view, int* error) {
    zip_error_t why;
    zip_error_init(&why);
    zip_t* archive = nullptr;
    if (zip_source_t* source = zip_source_function_create(Call, view.get(), &why)) {
      view.release();
      archive = zip_open_from_source(source, ZIP_RDONLY, &why);
      if (!archive) zip_source_free(source);
    }
    *error = zip_error_code_zip(&why);
    zip_error_fini(&why);
    return archive;
  }

 private:
  static zip_int64_t Call(void* state, void* data, zip_uint64_t length, zip_source_cmd_t command) {
    View* view = static_cast<View*>(state);
    const uint64_t total = view->fileSize_ + view->tail_.size();
    switch (command) {
      case ZIP_SOURCE_OPEN: view->at_ = 0; return 0;
      case ZIP_SOURCE_CLOSE: return 0;
      case ZIP_SOURCE_READ: {
        const uint64_t n = std::min<uint64_t>(length, total - view->at_),
                       file = view->at_ < view->fileSize_ ? std::min(n, view->fileSize_ - view->at_) : 0;
        char* out = static_cast<char*>(data);
        if (file > 0 && !ReadAt(view->fd_, view->at_, out, file)) {
          zip_error_set(&view->error_, ZIP_ER_READ, errno);
          return -1;
        }
        if (n > file) std::copy_n(&view->tail_[view->at_ + file - view->fileSize_], n - file, out + file);
        view->at_ += n;
        return static_cast<zip_int64_t>(n);
      }
      case ZIP_SOURCE_SEEK: {
        const zip_int64_t to = zip_source_seek_compute_offset(view->at_, total, data, length, &view->error_);
        if (to < 0) return -1;
        view->at_ = static_cast<uint64_t>(to);
        return 0;
      }
      case ZIP_SOURCE_TELL: return static_cast<zip_int64_t>(view->at_);
      case ZIP_SOURCE_STAT: {
        zip_stat_t* st = static_cast<zip_stat_t*>(data);
        zip_stat_init(st);
        st->size = total;
        st->valid |= ZIP_STAT_SIZE;
        return sizeof(zip_stat_t);
      }
      case ZIP_SOURCE_ERROR: return zip_error_to_data(&view->error_, data, length);
      case ZIP_SOURCE_FREE: delete view; return 0;
      case ZIP_SOURCE_SUPPORTS: return ZIP_SOURCE_SUPPORTS_SEEKABLE;
      default: zip_error_set(&view->error_, ZIP_ER_OPNOTSUPP, 0); return -1;
    }
  }

  const int fd_;
  const uint64_t fileSize_;
  std::string tail_;
  uint64_t at_ = 0;
  zip_error_t error_;
};

// Checks where the entries' data lie, before anything is read from them: the central directory of
// the end record at `end` must be the one libzip reads, every local header must agree with it
// (name, method, and CRC-32 and sizes unless a data descriptor follows the data), and no two
// entries may share bytes, so that an archive never unpacks the same compressed data twice.
LONG CheckLayout(zip_t* archive, int fd, uint64_t fileSize, uint64_t end) {
  const zip_int64_t count = zip_get_num_entries(archive, 0);
  if (count < 0) return ZIPERROR_CORRUPT;
  std::vector<Placement> entries;
  uint64_t start = 0;
  if (!ReadDirectory(fd, fileSize, end, static_cast<uint64_t>(count), &entries, &start) ||
      !SameAsLibzip(archive, entries))
    return ZIPERROR_CORRUPT;

  std::vector<std::pair<uint64_t, uint64_t>> spans;
  for (const Placement& entry : entries) {
    unsigned char h[30];
    if (entry.offset > start || !ReadAt(fd, entry.offset, h, 30) || Le(h, 4) != 0x04034b50)
      return ZIPERROR_CORRUPT;
    const uint64_t flags = Le(h + 6, 2), nameLength = Le(h + 26, 2), extraLength = Le(h + 28, 2);
    uint64_t size = Le(h + 22, 4), compressed = Le(h + 18, 4);
    std::string name, extra;
    if (!ReadStringAt(fd, entry.offset + 30, nameLength, &name) || name != entry.name ||
        Le(h + 8, 2) != entry.method)
      return ZIPERROR_CORRUPT;
    if (!(flags & 8) && (!ReadStringAt(fd, entry.offset + 30 + nameLength, extraLength, &extra) ||
                         !ResolveZip64(extra, {&size, &compressed}, true) || Le(h + 14, 4) != entry.crc ||
                         size != entry.size || compressed != entry.compressed))
      return ZIPERROR_CORRUPT;
    const uint64_t data = entry.offset + 30 + nameLength + extraLength;
    if (data > start || entry.compressed > start - data) return ZIPERROR_CORRUPT;
    spans.emplace_back(entry.offset, data + entry.compressed);
  }
  std::sort(spans.begin(), spans.end());
  for (size_t i = 1; i < spans.size(); ++i)
    if (spans[i].first < spans[i - 1].second) return ZIPERROR_CORRUPT;
  return ZIPERROR_NONE;
}

// One entry as the archive declares it.
struct Entry {
  std::string name;
  std::vector<std::string> parts;
  zip_uint64_t size;
};

// Reads and checks the declarations of every entry before anything is written: safe names, known
// methods, no encryption without a password, and the limits on entries and bytes.
LONG Declarations(zip_t* archive, bool password, std::vector<Entry>* entries, zip_uint64_t* total) {
  zip_int64_t count = zip_get_num_entries(archive, 0);
  if (count < 0) return ZIPERROR_CORRUPT;
  if (count > ZipFile::kMaxEntries) return ZIPERROR_TOO_LARGE;
  *total = 0;
  for (zip_int64_t i = 0; i < count; ++i) {
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &st) != 0)
      return ReasonOf(zip_error_code_zip(zip_get_error(archive)));
    Entry entry;
    if (!(st.valid & ZIP_STAT_NAME) || !st.name || !SplitEntryName(st.name, &entry.parts))
      return ZIPERROR_UNSAFE_NAME;
    if (entry.parts.size() > static_cast<size_t>(ZipFile::kMaxDepth)) return ZIPERROR_TOO_DEEP;
    entry.name = st.name;
    if (!(st.valid & ZIP_STAT_SIZE)) return ZIPERROR_CORRUPT;
    entry.size = entry.name.back() == '/' ? 0 : st.size;
    if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE && !password)
      return ZIPERROR_ENCRYPTED;
    if ((st.valid & ZIP_STAT_COMP_METHOD) && entry.size > 0 &&
        !zip_compression_method_supported(static_cast<zip_int32_t>(st.comp_method), 0))
      return ZIPERROR_METHOD;
    const zip_uint64_t limit = static_cast<zip_uint64_t>(ZipFile::kMaxBytes);
    if (entry.size > limit - *total) return ZIPERROR_TOO_LARGE;
    *total += entry.size;
    entries->push_back(std::move(entry));
  }
  return ZIPERROR_NONE;
}

}  // namespace

ZipFile* ZipFile::Alloc() { return new ZipFile(); }

void ZipFile::Free(ZipFile*& zip) {
  delete zip;
  zip = nullptr;
}

Bool ZipFile::ExtractToDirectory(const Filename& zip, const Filename& dir, LONG flags,
                                 ExtractDirectoryCallback callback, void* data, const char* password) {
  error_ = ZIPERROR_READ;
  // The system's reason for a failure, given on every return.
  files::Result failure;
  struct Report {
    ZipFile* zip;
    const files::Result& failure;
    ~Report() {
      zip->systemError_ = zip->error_ == ZIPERROR_NONE ? 0 : failure.error();
      zip->systemErrorText_ = zip->systemError_ == 0 ? std::string() : failure.Text();
    }
  } report{this, failure};
  if (!zip.Content() || !dir.Content()) return false;
  const std::string path = host::ToUtf8(zip.GetString());
  // Read through its folder: only a regular file (a FIFO would wait for a writer), in a shared
  // folder only one of its owner's or this user's; libzip reads the same file whose end was checked.
  files::Place place;
  failure = files::Locate(path, &place);
  int fd = -1;
  if (failure.ok()) failure = place.folder.OpenFile(place.name, &fd);
  if (!failure.ok()) return false;
  struct Close {
    int fd;
    ~Close() { ::close(fd); }
  } closeArchive{fd};
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    failure = files::Result::System(errno, path);
    return false;
  }
  const uint64_t size = static_cast<uint64_t>(st.st_size);
  uint64_t end = 0;
  error_ = FindEndRecord(fd, size, &end);
  if (error_ != ZIPERROR_NONE) return false;
  auto view = std::make_unique<View>(fd, size);
  if (!view->SetEnd(end)) {
    error_ = ZIPERROR_READ;
    return false;
  }
  int openError = ZIP_ER_OPEN;
  zip_t* archive = View::Open(std::move(view), &openError);
  if (!archive) {
    error_ = ReasonOf(openError);
    return false;
  }
  if (password) zip_set_default_password(archive, password);

  // Refuse the whole archive before writing anything when one declaration is not acceptable.
  std::vector<Entry> entries;
  zip_uint64_t total = 0;
  error_ = Declarations(archive, password != nullptr, &entries, &total);
  // Far more bytes than the archive's own size can only come from repeated data.
  if (error_ == ZIPERROR_NONE && total > static_cast<uint64_t>(kRatioFloor) &&
      size <= (total - 1) / kMaxRatio)
    error_ = ZIPERROR_TOO_LARGE;
  if (error_ == ZIPERROR_NONE) error_ = CheckLayout(archive, fd, size, end);

  const std::string root = host::ToUtf8(dir.GetString());
  Folders folders;
  if (error_ == ZIPERROR_NONE) error_ = folders.OpenRoot(root, &failure);
  if (error_ == ZIPERROR_NONE) {
    struct statvfs space;
    const Level* top = nullptr;
    if (folders.Ensure({}, 0, false, &top, &failure) == ZIPERROR_NONE &&
        ::fstatvfs(top->folder.Descriptor(), &space) == 0 &&
        total > static_cast<uint64_t>(space.f_bavail) * space.f_frsize)
      error_ = ZIPERROR_DISK_FULL;
  }
  // Every entry is written beside its target first; the files take their places only once all
  // entries have been read whole and sound, so that a refused archive replaces nothing.
  Pending pending;
  const bool createFolders = (flags & ZIP_EXTRACT_CREATE_SUBDIR) != 0;
  const std::string prefix = root.empty() || root.back() == '/' ? root : root + "/";
  for (zip_uint64_t i = 0; error_ == ZIPERROR_NONE && i < entries.size(); ++i) {
    const Entry& entry = entries[i];
    bool isFolder = entry.name.back() == '/';
    if (callback) {
      std::string target = prefix;
      for (size_t k = 0; k < entry.parts.size(); ++k) target += (k ? "/" : "") + entry.parts[k];
      if (!callback(Filename(String(entry.name)), Filename(String(target)), data)) {
        error_ = ZIPERROR_STOPPED;
        break;
      }
    }
    const Level* level = nullptr;
    const size_t folderCount = isFolder ? entry.parts.size() : entry.parts.size() - 1;
    error_ = folders.Ensure(entry.parts, folderCount, createFolders || isFolder, &level, &failure);
    if (error_ == ZIPERROR_NONE && !isFolder)
      error_ = WriteEntry(archive, i, entry.size, *level, entry.parts.back(), &pending, &failure);
  }
  zip_discard(archive);
  if (error_ == ZIPERROR_NONE) error_ = pending.Commit(&failure);
  if (error_ != ZIPERROR_NONE) return false;
  folders.Keep();
  return true;
}

ULONG ZipFile::CalcCRC32(const void* data, VLONG length, ULONG start) {
  if (!data || length <= 0) return start;
  return libdeflate_crc32(start, data, static_cast<size_t>(length));
}
