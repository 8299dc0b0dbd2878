#include "ziplayout.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <initializer_list>
#include <limits>
#include <memory>
#include <utility>

namespace ziplayout {

namespace {

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

}  // namespace

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
    Placement p{
        {}, Le(h + 10, 2), Le(h + 16, 4), Le(h + 20, 4), Le(h + 24, 4), Le(h + 42, 4), (h[8] & 1) != 0};
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

// Checks where the entries' data lie, before anything is read from them: every local header must
// agree with the central directory `placed` that begins at `start` (name, method, and CRC-32 and
// sizes unless a data descriptor follows the data), and no two entries may share bytes, so that an
// archive never unpacks the same compressed data twice. The entries it is about go to `*detail`.
LONG CheckLayout(int fd, const std::vector<Placement>& placed, uint64_t start,
                 const std::function<std::string(size_t)>& named, std::string* detail) {
  struct Span {
    uint64_t from, to;
    size_t index;
    bool operator<(const Span& other) const { return from < other.from; }
  };
  std::vector<Span> spans;
  for (size_t i = 0; i < placed.size(); ++i) {
    const Placement& entry = placed[i];
    *detail = named(i) + ": its local header disagrees with the central directory";
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
    *detail = named(i) + ": its data run into the central directory";
    if (data > start || entry.compressed > start - data) return ZIPERROR_CORRUPT;
    spans.push_back({entry.offset, data + entry.compressed, i});
  }
  std::sort(spans.begin(), spans.end());
  for (size_t i = 1; i < spans.size(); ++i)
    if (spans[i].from < spans[i - 1].to) {
      const auto [first, second] = std::minmax(spans[i - 1].index, spans[i].index);
      *detail = named(first) + " and " + named(second) + " share their data";
      return ZIPERROR_CORRUPT;
    }
  detail->clear();
  return ZIPERROR_NONE;
}

zip_t* OpenArchive(int fd, uint64_t fileSize, uint64_t end, int* error) {
  auto view = std::make_unique<View>(fd, fileSize);
  *error = ZIP_ER_READ;
  return view->SetEnd(end) ? View::Open(std::move(view), error) : nullptr;
}

}  // namespace ziplayout
