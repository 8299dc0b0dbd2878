// ZIP archives through libzip, CRC-32 through libdeflate.
#include <fcntl.h>
#include <libdeflate.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "c4d_file.h"
#include "host_control.h"

namespace fs = std::filesystem;

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

// What one extraction created, in creation order; removed again (last first) unless kept.
class Created {
 public:
  Created() = default;
  Created(const Created&) = delete;
  Created& operator=(const Created&) = delete;
  ~Created() {
    for (auto it = paths_.rbegin(); it != paths_.rend(); ++it) {
      std::error_code ec;
      fs::remove(*it, ec);
    }
  }
  void Add(const fs::path& path) { paths_.push_back(path); }
  void Keep() { paths_.clear(); }

 private:
  std::vector<fs::path> paths_;
};

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

// The host's reason for a failed write with `errno` value `error`.
LONG WriteReason(int error) {
  return error == ENOSPC || error == EDQUOT ? ZIPERROR_DISK_FULL : ZIPERROR_WRITE;
}

// Makes sure that root/parts[0]/.../parts[count-1] is a folder made of real folders (no symbolic
// link on the way), creating the missing ones (noted in `created`) when `create`.
bool EnsureFolders(const fs::path& root, const std::vector<std::string>& parts, size_t count, bool create,
                   Created* created) {
  fs::path p = root;
  for (size_t i = 0; i < count; ++i) {
    p /= fs::u8path(parts[i]);
    std::error_code ec;
    fs::file_status st = fs::symlink_status(p, ec);
    if (!fs::exists(st)) {
      if (!create || !fs::create_directory(p, ec) || ec) return false;
      created->Add(p);
    } else if (fs::is_symlink(st) || !fs::is_directory(st)) {
      return false;
    }
  }
  return true;
}

// Writes all of `data` to `fd`; false (errno set) when a write fails.
bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t w = ::write(fd, data, size);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) {
      if (w == 0) errno = ENOSPC;
      return false;
    }
    data += w;
    size -= static_cast<size_t>(w);
  }
  return true;
}

// Copies the `size` bytes that entry `index` declares from `in` to `fd`. An entry that ends
// earlier or holds more is corrupt: nothing beyond the declared size is ever written.
LONG CopyEntry(zip_file_t* in, zip_uint64_t size, int fd) {
  std::vector<char> buffer(64 * 1024);
  for (zip_uint64_t left = size; left > 0;) {
    zip_int64_t n = zip_fread(in, buffer.data(), std::min<zip_uint64_t>(buffer.size(), left));
    if (n < 0) return ReasonOf(zip_error_code_zip(zip_file_get_error(in)));
    if (n == 0) return ZIPERROR_CORRUPT;
    if (!WriteAll(fd, buffer.data(), static_cast<size_t>(n))) return WriteReason(errno);
    left -= static_cast<zip_uint64_t>(n);
  }
  // One byte more must be the end (where the checksum is checked).
  char extra;
  zip_int64_t n = zip_fread(in, &extra, 1);
  if (n < 0) return ReasonOf(zip_error_code_zip(zip_file_get_error(in)));
  return n == 0 ? ZIPERROR_NONE : ZIPERROR_CORRUPT;
}

// Copies entry `index` (declaring `size` bytes) into `target` through a new file beside it that
// then takes its place, so that a failed entry leaves no partial file and an existing symbolic
// link at `target` is replaced, never written through.
LONG WriteEntry(zip_t* archive, zip_uint64_t index, zip_uint64_t size, const fs::path& target) {
  static std::atomic<unsigned> counter{0};
  fs::path temporary;
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
    temporary =
        target.parent_path() / ("." + target.filename().string() + ".tmp-" + std::to_string(getpid()) + "-" +
                                std::to_string(counter.fetch_add(1)));
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return WriteReason(errno);
  }
  if (fd < 0) return ZIPERROR_WRITE;
  LONG error = ZIPERROR_NONE;
  if (zip_file_t* in = zip_fopen_index(archive, index, 0)) {
    error = CopyEntry(in, size, fd);
    zip_fclose(in);
  } else {
    error = ReasonOf(zip_error_code_zip(zip_get_error(archive)));
  }
  if (::close(fd) != 0 && error == ZIPERROR_NONE) error = WriteReason(errno);
  if (error == ZIPERROR_NONE && std::rename(temporary.c_str(), target.c_str()) != 0)
    error = WriteReason(errno);
  if (error != ZIPERROR_NONE) ::unlink(temporary.c_str());
  return error;
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

// Creates `root` with its missing parents (noted in `created`); the reason when it is no folder then.
LONG MakeRoot(const fs::path& root, Created* created) {
  std::vector<fs::path> missing;
  std::error_code ec;
  for (fs::path p = root; !p.empty() && !fs::exists(fs::symlink_status(p, ec)); p = p.parent_path()) {
    missing.push_back(p);
    if (p == p.parent_path()) break;
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    if (!fs::create_directory(*it, ec) || ec) return ec ? WriteReason(ec.value()) : ZIPERROR_WRITE;
    created->Add(*it);
  }
  return fs::is_directory(root, ec) ? ZIPERROR_NONE : ZIPERROR_WRITE;
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
  if (!zip.Content() || !dir.Content()) return false;
  int openError = 0;
  zip_t* archive = zip_open(host::ToUtf8(zip.GetString()).c_str(), ZIP_RDONLY, &openError);
  if (!archive) {
    error_ = ReasonOf(openError);
    return false;
  }
  if (password) zip_set_default_password(archive, password);

  // Refuse the whole archive before writing anything when one declaration is not acceptable.
  std::vector<Entry> entries;
  zip_uint64_t total = 0;
  error_ = Declarations(archive, password != nullptr, &entries, &total);

  fs::path root = fs::u8path(host::ToUtf8(dir.GetString()));
  Created created;
  std::error_code ec;
  if (error_ == ZIPERROR_NONE) error_ = MakeRoot(root, &created);
  if (error_ == ZIPERROR_NONE) {
    fs::space_info space = fs::space(root, ec);
    if (!ec && total > space.available) error_ = ZIPERROR_DISK_FULL;
  }
  const bool createFolders = (flags & ZIP_EXTRACT_CREATE_SUBDIR) != 0;
  for (zip_uint64_t i = 0; error_ == ZIPERROR_NONE && i < entries.size(); ++i) {
    const Entry& entry = entries[i];
    bool isFolder = entry.name.back() == '/';
    fs::path target = root;
    for (const std::string& p : entry.parts) target /= fs::u8path(p);
    if (callback && !callback(Filename(String(entry.name)), Filename(String(target.u8string())), data)) {
      error_ = ZIPERROR_STOPPED;
      break;
    }
    if (!EnsureFolders(root, entry.parts, entry.parts.size() - 1, createFolders, &created) ||
        (isFolder && !EnsureFolders(root, entry.parts, entry.parts.size(), true, &created))) {
      error_ = ZIPERROR_WRITE;
    } else if (!isFolder) {
      error_ = WriteEntry(archive, i, entry.size, target);
      if (error_ == ZIPERROR_NONE) created.Add(target);
    }
  }
  zip_discard(archive);
  if (error_ != ZIPERROR_NONE) return false;
  created.Keep();
  return true;
}

ULONG ZipFile::CalcCRC32(const void* data, VLONG length, ULONG start) {
  if (!data || length <= 0) return start;
  return libdeflate_crc32(start, data, static_cast<size_t>(length));
}
