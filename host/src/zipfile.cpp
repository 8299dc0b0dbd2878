// ZIP archives through libzip, CRC-32 through libdeflate.
#include <fcntl.h>
#include <libdeflate.h>
#include <unistd.h>
#include <zip.h>

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

// Makes sure that root/parts[0]/.../parts[count-1] is a folder made of real folders (no symbolic
// link on the way), creating the missing ones when `create`.
bool EnsureFolders(const fs::path& root, const std::vector<std::string>& parts, size_t count, bool create) {
  fs::path p = root;
  for (size_t i = 0; i < count; ++i) {
    p /= fs::u8path(parts[i]);
    std::error_code ec;
    fs::file_status st = fs::symlink_status(p, ec);
    if (!fs::exists(st)) {
      if (!create || !fs::create_directory(p, ec) || ec) return false;
    } else if (fs::is_symlink(st) || !fs::is_directory(st)) {
      return false;
    }
  }
  return true;
}

// Copies entry `index` into `target` through a new file beside it that then takes its place, so
// that a failed entry leaves no partial file and an existing symbolic link at `target` is replaced,
// never written through.
bool WriteEntry(zip_t* archive, zip_uint64_t index, const fs::path& target) {
  static std::atomic<unsigned> counter{0};
  fs::path temporary;
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
    temporary =
        target.parent_path() / ("." + target.filename().string() + ".tmp-" + std::to_string(getpid()) + "-" +
                                std::to_string(counter.fetch_add(1)));
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;
  bool ok = false;
  if (zip_file_t* in = zip_fopen_index(archive, index, 0)) {
    std::vector<char> buffer(64 * 1024);
    ok = true;
    for (;;) {
      zip_int64_t n = zip_fread(in, buffer.data(), buffer.size());
      if (n < 0) ok = false;
      if (n <= 0) break;
      for (zip_int64_t done = 0; ok && done < n;) {
        ssize_t w = ::write(fd, buffer.data() + done, static_cast<size_t>(n - done));
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0)
          ok = false;
        else
          done += w;
      }
      if (!ok) break;
    }
    zip_fclose(in);
  }
  if (::close(fd) != 0) ok = false;
  ok = ok && std::rename(temporary.c_str(), target.c_str()) == 0;
  if (!ok) ::unlink(temporary.c_str());
  return ok;
}

}  // namespace

ZipFile* ZipFile::Alloc() { return new ZipFile(); }

void ZipFile::Free(ZipFile*& zip) {
  delete zip;
  zip = nullptr;
}

Bool ZipFile::ExtractToDirectory(const Filename& zip, const Filename& dir, LONG flags,
                                 ExtractDirectoryCallback callback, void* data, const char* password) {
  if (!zip.Content() || !dir.Content()) return false;
  int error = 0;
  zip_t* archive = zip_open(host::ToUtf8(zip.GetString()).c_str(), ZIP_RDONLY, &error);
  if (!archive) return false;
  if (password) zip_set_default_password(archive, password);

  // Refuse the whole archive before writing anything when one name is not safe.
  zip_int64_t count = zip_get_num_entries(archive, 0);
  std::vector<std::string> names;
  bool ok = count >= 0;
  for (zip_int64_t i = 0; ok && i < count; ++i) {
    const char* name = zip_get_name(archive, static_cast<zip_uint64_t>(i), 0);
    std::vector<std::string> parts;
    if (!name || !SplitEntryName(name, &parts))
      ok = false;
    else
      names.push_back(name);
  }

  fs::path root = fs::u8path(host::ToUtf8(dir.GetString()));
  std::error_code ec;
  if (ok) {
    fs::create_directories(root, ec);
    ok = fs::is_directory(root, ec);
  }
  for (zip_int64_t i = 0; ok && i < count; ++i) {
    const std::string& name = names[static_cast<size_t>(i)];
    std::vector<std::string> parts;
    SplitEntryName(name, &parts);
    bool isFolder = name.back() == '/';
    bool createFolders = (flags & ZIP_EXTRACT_CREATE_SUBDIR) != 0;
    fs::path target = root;
    for (const std::string& p : parts) target /= fs::u8path(p);
    if (callback && !callback(Filename(String(name)), Filename(String(target.u8string())), data)) {
      ok = false;
      break;
    }
    ok = EnsureFolders(root, parts, parts.size() - 1, createFolders);
    if (ok && isFolder)
      ok = EnsureFolders(root, parts, parts.size(), true);
    else if (ok)
      ok = WriteEntry(archive, static_cast<zip_uint64_t>(i), target);
  }
  zip_discard(archive);
  return ok;
}

ULONG ZipFile::CalcCRC32(const void* data, VLONG length, ULONG start) {
  if (!data || length <= 0) return start;
  return libdeflate_crc32(start, data, static_cast<size_t>(length));
}
