// Fuzz target of unpacking a packed material file: arbitrary bytes are written as a ".povm" archive
// and unpacked as the import command unpacks one, into a new folder under "materials" in a scratch
// write path. What is left afterwards is checked, and any breach aborts:
//   - a refused archive leaves its folder empty and says why on the console;
//   - an unpacked one holds only files and folders (no links), and no more bytes than its entries
//     declare (a link's entry, unpacked as a copy of a file of the archive, as much as its largest
//     file), within the host's limit and the multiple of the archive's size it allows; its
//     entries declared no more than that, and their compressed data fit in the archive side by
//     side (no entry reuses another's);
//   - nothing appears beside the archive and the "materials" folder;
//   - a run leaves no descriptor open and nothing in the file module's registry, so that any number
//     of runs fits in the usual limit of open files.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "c4d.h"
#include "files/registry.h"
#include "host_control.h"
#include "main/helpers.h"
#include "main/orvanelaunch.h"

namespace fs = std::filesystem;

namespace {

fs::path g_work;

// What the archive's entries declare together (zeros when libzip cannot read it): the bytes of
// their files (folders count none, as the host counts them) and of their compressed data, and the
// most an unpacking may write, each link's entry counted as the largest file that is no link.
struct Declared {
  uint64_t bytes = 0, compressed = 0, copied = 0;
};

// What the entries of `zip` declare, which it discards.
Declared Sum(zip_t* zip) {
  Declared total;
  uint64_t links = 0, largest = 0;
  const zip_int64_t count = zip_get_num_entries(zip, 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    zip_stat_t st;
    if (zip_stat_index(zip, static_cast<zip_uint64_t>(i), 0, &st) != 0) continue;
    const bool folder =
        (st.valid & ZIP_STAT_NAME) && st.name && *st.name && st.name[strlen(st.name) - 1] == '/';
    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    const bool link =
        zip_file_get_external_attributes(zip, static_cast<zip_uint64_t>(i), 0, &system, &attributes) == 0 &&
        ((attributes >> 16) & S_IFMT) == S_IFLNK;
    if ((st.valid & ZIP_STAT_SIZE) && !folder) {
      total.bytes += st.size;
      if (link) {
        ++links;
      } else {
        total.copied += st.size;
        largest = std::max<uint64_t>(largest, st.size);
      }
    }
    if (st.valid & ZIP_STAT_COMP_SIZE) total.compressed += st.comp_size;
  }
  total.copied += links * largest;
  zip_discard(zip);
  return total;
}

// The entries are those of the last end record whose directory libzip reads when it is shown that
// record alone, moved behind more padding than libzip searches (a reader that searches from the
// end takes that record). On the whole file, libzip may take another one, such as the empty
// directory of an archive stored in an entry.
Declared DeclaredBytes(const std::string& archive) {
  for (size_t at = archive.rfind("PK\5\6"); at != std::string::npos && archive.size() - at <= 22 + 0xFFFF;
       at = at == 0 ? std::string::npos : archive.rfind("PK\5\6", at - 1)) {
    if (at + 22 > archive.size()) continue;
    const size_t from = at >= 20 && archive.compare(at - 20, 4, "PK\6\7") == 0 ? at - 20 : at;
    const std::string shown = archive.substr(0, from) + std::string(22 + 0xFFFF + 20, '\0') +
                              archive.substr(from, at + 20 - from) + std::string(2, '\0');
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(shown.data(), shown.size(), 0, &error);
    zip_t* zip = source ? zip_open_from_source(source, ZIP_RDONLY, &error) : nullptr;
    zip_error_fini(&error);
    if (!zip) {
      zip_source_free(source);
      continue;
    }
    return Sum(zip);
  }
  return {};
}

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "unpack fuzz: %s\n", what);
  // The scratch write path goes too: an abort runs no exit handler.
  std::error_code ec;
  fs::remove_all(g_work, ec);
  std::abort();
}

// What a walk of an unpacked folder found.
struct Found {
  uint64_t bytes = 0;       // in its files
  bool others = false;      // anything but files and folders
  bool unreadable = false;  // a folder that could not be read
};

// Walks the folder open as `fd` (which it closes) through descriptors, so that no path grows
// longer than one name: an archive may unpack deeper than a path may be long.
void Walk(int fd, Found* found) {
  DIR* dir = ::fdopendir(fd);
  if (!dir) {
    ::close(fd);
    found->unreadable = true;
    return;
  }
  while (const dirent* entry = ::readdir(dir)) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    struct stat st;
    if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
      found->unreadable = true;
    } else if (S_ISREG(st.st_mode)) {
      found->bytes += static_cast<uint64_t>(st.st_size);
    } else if (S_ISDIR(st.st_mode)) {
      const int below =
          ::openat(::dirfd(dir), entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (below < 0)
        found->unreadable = true;
      else
        Walk(below, found);
    } else {
      found->others = true;
    }
  }
  ::closedir(dir);
}

// How many descriptors the process has open.
int OpenDescriptors() {
  DIR* fds = ::opendir("/proc/self/fd");
  if (!fds) return -1;
  int count = 0;
  while (::readdir(fds)) ++count;
  ::closedir(fds);
  return count;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  host::ResetAll();
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/unpack-fuzz-XXXXXX";
  if (!mkdtemp(&pattern[0])) std::abort();
  g_work = pattern;
  host::SetStartupWritePath(g_work.string());
  std::atexit([] {
    std::error_code ec;
    fs::remove_all(g_work, ec);
  });
  return 0;
}

namespace {

// Unpacks the archive `data` of `size` bytes, written as "wood.povm", into a new folder and checks
// what it left.
void UnpackOnce(const uint8_t* data, size_t size) {
  const fs::path archive = g_work / "wood.povm";
  {
    std::ofstream out(archive, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  // Removed with this object, as the import removes a folder it does not keep.
  files::NewFolder made;
  Require(
      Helpers::NewFolder(Helpers::GetWritePath() + Filename("materials"), String("wood.povm0"), &made).ok(),
      "no new folder");
  const Filename folder(String(made.Path()));
  const fs::path root = made.Path();
  std::error_code fresh;
  Require(fs::is_directory(root, fresh) && fs::is_empty(root, fresh) && !fresh, "the new folder is not new");
  host::ClearConsole();
  const Filename found = Helpers::UnpackPovm(Filename(String(archive.string())), folder);

  std::error_code ec;
  const std::vector<std::string> console = host::ConsoleLines();
  const bool refused = !console.empty() && console.back().rfind("Could not unpack ", 0) == 0;
  Found walked;
  Walk(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC), &walked);
  Require(!walked.unreadable, "the unpacked folder cannot be walked");
  if (refused) {
    Require(console.back().find(": ") != std::string::npos, "a refusal without its reason");
    Require(fs::is_empty(root, ec) && !ec, "a refused archive left something behind");
  } else {
    Require(!walked.others, "something else than files and folders");
    const Declared declared = DeclaredBytes(std::string(reinterpret_cast<const char*>(data), size));
    const uint64_t bound = std::max<uint64_t>(ZipFile::kRatioFloor, ZipFile::kMaxRatio * size);
    Require(walked.bytes <= declared.copied, "more bytes than declared");
    Require(walked.bytes <= bound, "more bytes written than the archive's size allows");
    Require(walked.bytes <= static_cast<uint64_t>(ZipFile::kMaxBytes), "more bytes than the limit");
    Require(declared.bytes <= bound, "more bytes declared than the archive's size allows");
    Require(declared.compressed <= size, "entries that share their compressed data");
    Require(!found.Content() || fs::is_regular_file(host::ToUtf8(found.GetString()), ec),
            "the material is no file");
  }
  size_t beside = 0;
  for (auto it = fs::directory_iterator(g_work, ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    Require(it->path() == archive || it->path() == g_work / "materials", "a file beside the archive");
    ++beside;
  }
  Require(beside == 2, "the archive or the materials folder is gone");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Counted around the run itself: the fuzzer's own checks between runs open files of their own.
  const int descriptors = OpenDescriptors();
  UnpackOnce(data, size);
  Require(files::RegisteredCount() == 0, "a registry entry left behind");
  Require(OpenDescriptors() <= descriptors, "a descriptor left open");
  return 0;
}
