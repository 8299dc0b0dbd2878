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
#include <deque>
#include <functional>
#include <initializer_list>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "c4d_file.h"
#include "host_control.h"
#include "host_unpacked.h"
#include "files/folder.h"
#include "files/registry.h"
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

// `name` in quotes for a message, a control character (NUL included) as "\0", "\n" or "\xNN".
std::string Quoted(const std::string& name) {
  std::string out = "\"";
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\0') {
      out += "\\0";
    } else if (c == '\n') {
      out += "\\n";
    } else if (byte < 0x20 || byte == 0x7f) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", byte);
      out += hex;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

// "entry NAME", for a message about it.
std::string EntryText(const std::string& name) { return "entry " + Quoted(name); }

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

// The host's reason when nothing may be written into `folder` (a folder of another user in a shared
// folder on the way there), which goes to `*system`; ZIPERROR_NONE when it may be.
LONG Refused(const files::Folder& folder, files::Result* system) {
  const files::Result refusal = folder.Refusal();
  return refusal.ok() ? ZIPERROR_NONE : WriteReason(refusal, system);
}

// Runs `add`, which adds the entry `name` to `folder` and gives 0 or the `errno` value, unless the
// run is interrupted: nothing is added to a folder while an interruption removes it.
files::Result Added(const files::Folder& folder, const std::string& name, const std::function<int()>& add) {
  return files::WhileRunning([&] {
    const int error = add();
    return error == 0 ? files::Result() : files::Result::System(error, folder.PathOf(name));
  });
}

// Opens the new file `name` in `folder` for writing, with mode `mode` less the umask, as `Added`
// adds an entry: the descriptor, or -1 with the reason in `*why`.
int CreateIn(const files::Folder& folder, const std::string& name, mode_t mode, files::Result* why) {
  int fd = -1;
  *why = Added(folder, name, [&] {
    fd = ::openat(folder.Descriptor(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                  mode);
    return fd < 0 ? errno : 0;
  });
  return fd;
}

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

// Copies the whole file open as `from` to `to`: 0 or the `errno` value.
int CopyFile(int from, int to) {
  for (;;) {
    const ssize_t n = ::copy_file_range(from, nullptr, to, nullptr, 1 << 30, 0);
    if (n == 0) return 0;
    if (n > 0) continue;
    if (errno == EINTR) continue;
    if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return errno;
    break;  // not between these files: by reads and writes, from where it stopped
  }
  std::vector<char> buffer(64 * 1024);
  for (;;) {
    const ssize_t n = ::read(from, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n == 0 ? 0 : errno;
    if (const int error = files::WriteAll(to, buffer.data(), static_cast<size_t>(n))) return error;
  }
}

// How many folders on the way to an entry stay open, as a walk keeps: an archive of any depth and
// any number of folders holds a few dozen descriptors at most.
constexpr size_t kOpenLevels = 16;

// One folder on the way from the root to an entry. `made` when this extraction made it, inside a
// folder it made or in a staging folder, so that no one else has written there. Far from the end
// of the chain it is closed, and opened again from the folder that holds it.
struct Level {
  std::string name;      // its name in the archive
  files::Folder folder;  // open, unless far up the chain
  bool made = false;
  std::string at;        // its own name in the folder that holds it
  files::Folder holder;  // the staging folder that holds it, for a folder made there
};

// One extraction into a root folder. What goes into a folder this extraction made is written in
// place: a failed extraction removes that folder whole. What goes into a folder that was there
// before waits in a staging folder (one per file system, a new folder with a temporary's name,
// removed with all it holds by a failure or an interruption) until every entry has been written:
// a file there as a copy, a new folder with all it holds; a file for the root itself waits as a
// temporary beside its target. Nothing that waits holds a descriptor of its target's folder, so
// that any number of folders can be unpacked into; at the commit each target folder is walked to
// again from the root.
class Extraction {
 public:
  Extraction() = default;
  Extraction(const Extraction&) = delete;
  Extraction& operator=(const Extraction&) = delete;

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
    root_.folder = folder;
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
      files::Folder made;
      if (root_.made) {
        if (const LONG error = MakeIn(root_.folder, *it, &made, system)) return error;
      } else {
        if (const files::Result r = root_.folder.MakeFolder(*it, &rootMade_); !r.ok())
          return WriteReason(r, system);
        made = rootMade_.Opened();
      }
      root_.folder = made;
      root_.made = true;
    }
    return ZIPERROR_NONE;
  }

  // The root, open.
  const files::Folder& Root() const { return root_.folder; }

  // The reason when nothing may be written into the folder of the first `count` names of the path
  // that `Ensure` made sure of last (0 for the root): a folder of another user on the way there.
  LONG MayWriteInto(size_t count, files::Result* system) const {
    return Refused((count == 0 ? root_ : chain_[count - 1]).folder, system);
  }

  // Makes sure that parts[0]/.../parts[count-1] below the root are real folders (no link on the
  // way, the rule for shared folders applied), making the missing ones when `create`; `*level` is
  // the innermost. The reason when it cannot, with the system's in `*system`: a missing folder that
  // may not be made has none (ENOENT), a file or link in a folder's place is none (ENOTDIR).
  LONG Ensure(const std::vector<std::string>& parts, size_t count, bool create, const Level** level,
              files::Result* system) {
    size_t same = 0;
    while (same < chain_.size() && same < count && chain_[same].name == parts[same]) ++same;
    chain_.resize(same);
    if (const LONG error = Reopen(system)) return error;
    std::string key;
    for (size_t i = 0; i < same; ++i) key += parts[i] + "/";
    for (size_t i = same; i < count; ++i) {
      const Level& parent = i == 0 ? root_ : chain_[i - 1];
      key += parts[i] + "/";
      Level next;
      next.name = parts[i];
      next.at = parts[i];
      next.made = parent.made;
      const auto staged = committing_ ? staged_.end() : staged_.find(key);
      if (staged != staged_.end()) {
        // A folder this extraction is building in a staging folder.
        next.made = true;
        next.at = staged->second.at;
        next.holder = staged->second.holder;
        if (const files::Result r = next.holder.Walk(next.at, &next.folder, kNothing, false); !r.ok())
          return WriteReason(r, system);
      } else if (const files::Result r = parent.folder.Walk(parts[i], &next.folder, kNothing, false);
                 !r.ok()) {
        if (r.error() != ENOENT || !create || committing_) return WriteReason(r, system);
        // Nothing is made below another user's folder in a shared folder, staged or not.
        if (const LONG error = Refused(parent.folder, system)) return error;
        if (parent.made) {
          if (const LONG error = MakeIn(parent.folder, parts[i], &next.folder, system)) return error;
        } else {
          // New in a folder that was there before: built in a staging folder.
          Top top;
          top.parts.assign(parts.begin(), parts.begin() + static_cast<std::ptrdiff_t>(i) + 1);
          if (const LONG error = Staging(parent.folder, &top.holder, system)) return error;
          top.at = "d" + std::to_string(staged_.size());
          if (const LONG error = MakeIn(top.holder, top.at, &next.folder, system)) return error;
          next.made = true;
          next.at = top.at;
          next.holder = top.holder;
          tops_.push_back(key);
          staged_.emplace(key, std::move(top));
        }
      }
      chain_.push_back(std::move(next));
      if (chain_.size() > kOpenLevels) chain_[chain_.size() - 1 - kOpenLevels].folder = files::Folder();
    }
    *level = count == 0 ? &root_ : &chain_[count - 1];
    return ZIPERROR_NONE;
  }

  // Writes entry `index` (declaring `size` bytes) of `archive` as `name` in the folder `level`
  // (from `Ensure` for `folder`, the entry's folders). A later entry of the same name replaces it.
  // In a folder this extraction made, the file is written in place; in the root it goes into a
  // new file beside its target; elsewhere into a staging folder. A link at the name is replaced,
  // never followed. A failed entry leaves nothing.
  LONG Write(zip_t* archive, zip_uint64_t index, zip_uint64_t size, const Level& level,
             const std::vector<std::string>& folder, const std::string& name, files::Result* system) {
    if (const LONG error = Refused(level.folder, system)) return error;
    if (level.made) {
      const int at = level.folder.Descriptor();
      files::Result made;
      int fd = CreateIn(level.folder, name, 0666, &made);
      if (fd < 0 && made.error() != EEXIST)
        return made.error() == ELOOP ? WriteReason(ENOTDIR, system) : WriteReason(made, system);
      if (fd < 0) {
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
    if (&level == &root_) {
      files::TemporaryFile file;
      if (const files::Result r = root_.folder.CreateTemporary(name, &file, /*followLink=*/false); !r.ok())
        return WriteReason(r, system);
      LONG error = CopyIndex(archive, index, size, file.Descriptor(), system);
      if (error == ZIPERROR_NONE)
        if (const files::Result r = file.Close(); !r.ok()) error = WriteReason(r, system);
      if (error == ZIPERROR_NONE) beside_.emplace_back(std::move(file), name);
      return error;
    }
    File file{folder, name, "f" + std::to_string(files_.size()), {}};
    if (const LONG error = Staging(root_.folder, &file.holder, system)) return error;
    files::Result made;
    const int fd = CreateIn(file.holder, file.at, 0600, &made);
    if (fd < 0) return WriteReason(made, system);
    LONG error = CopyIndex(archive, index, size, fd, system);
    if (::close(fd) != 0 && error == ZIPERROR_NONE) error = WriteReason(errno, system);
    if (error == ZIPERROR_NONE)
      files_.push_back(std::move(file));
    else
      ::unlinkat(file.holder.Descriptor(), file.at.c_str(), 0);
    return error;
  }

  // Moves what waits into place, after making sure that every target folder may still be written
  // into, no file's target has become a folder and no new folder's name has been taken meanwhile,
  // so that the moves do not fail halfway and a refusal changes nothing: the files one by one (a
  // later entry of a name wins), each through a temporary beside its target that takes its mode,
  // then the new folders, each in one rename. An interruption before a move removes what has not
  // moved yet. The system's reason goes to `*system`, the path in the
  // archive of what failed to `*failed`.
  LONG Commit(files::Result* system, std::string* failed) {
    committing_ = true;
    chain_.clear();
    const Level* level = nullptr;
    struct stat st;
    if (const LONG error = beside_.empty() ? ZIPERROR_NONE : Refused(root_.folder, system))
      return Failed(beside_.front().second, error, failed);
    for (const auto& [file, name] : beside_)
      if (::fstatat(root_.folder.Descriptor(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
          S_ISDIR(st.st_mode))
        return Failed(name, WriteReason(files::Result::System(EISDIR, file.FinalPath()), system), failed);
    for (const File& file : files_) {
      if (const LONG error = Reach(file.folder, file.folder.size(), &level, system))
        return Failed(Join(file.folder, file.name), error, failed);
      if (::fstatat(level->folder.Descriptor(), file.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
          S_ISDIR(st.st_mode))
        return Failed(Join(file.folder, file.name),
                      WriteReason(files::Result::System(EISDIR, level->folder.PathOf(file.name)), system),
                      failed);
    }
    for (const std::string& key : tops_) {
      const Top& top = staged_.at(key);
      if (const LONG error = Reach(top.parts, top.parts.size() - 1, &level, system))
        return Failed(key, error, failed);
      const int taken =
          ::fstatat(level->folder.Descriptor(), top.parts.back().c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0
              ? EEXIST
              : errno;
      if (taken != ENOENT)
        return Failed(
            key, WriteReason(files::Result::System(taken, level->folder.PathOf(top.parts.back())), system),
            failed);
    }
    for (auto& [file, name] : beside_)
      if (const files::Result r = file.Commit(); !r.ok()) return Failed(name, WriteReason(r, system), failed);
    for (const File& file : files_) {
      const std::string path = Join(file.folder, file.name);
      if (const LONG error = Ensure(file.folder, file.folder.size(), false, &level, system))
        return Failed(path, error, failed);
      files::TemporaryFile target;
      files::Result r = level->folder.CreateTemporary(file.name, &target, /*followLink=*/false);
      if (r.ok()) {
        const int from =
            ::openat(file.holder.Descriptor(), file.at.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        const int error = from < 0 ? errno : CopyFile(from, target.Descriptor());
        if (from >= 0) ::close(from);
        if (error != 0) r = files::Result::System(error, target.FinalPath());
      }
      if (r.ok()) r = target.Commit();
      if (!r.ok()) return Failed(path, WriteReason(r, system), failed);
      ::unlinkat(file.holder.Descriptor(), file.at.c_str(), 0);
    }
    for (const std::string& key : tops_) {
      const Top& top = staged_.at(key);
      if (const LONG error = Ensure(top.parts, top.parts.size() - 1, false, &level, system))
        return Failed(key, error, failed);
      // The move asks the folder's refusal again, as it is now.
      const std::string& name = top.parts.back();
      if (const files::Result r = top.holder.MoveFolder(top.at, level->folder, name); !r.ok())
        return Failed(key, WriteReason(r, system), failed);
    }
    return ZIPERROR_NONE;
  }

  // Keeps every folder made: the extraction succeeded.
  void Keep() { rootMade_.Keep(); }

 private:
  // Walks to the folder of `parts[0..count)` below the root, which must be there, as `*level`, and
  // gives its refusal: nothing of the archive may go there.
  LONG Reach(const std::vector<std::string>& parts, size_t count, const Level** level,
             files::Result* system) {
    if (const LONG error = Ensure(parts, count, false, level, system)) return error;
    return Refused((*level)->folder, system);
  }

  static constexpr files::Folder::Make kNothing = files::Folder::Make::kNothing;

  // A folder made in one that was there before, built in the staging folder `holder` as `at`.
  struct Top {
    std::vector<std::string> parts;  // its path below the root
    files::Folder holder;
    std::string at;
  };
  // A file for a folder that was there before, written in the staging folder `holder` as `at`.
  struct File {
    std::vector<std::string> folder;  // the path of its folder below the root
    std::string name;
    std::string at;
    files::Folder holder;
  };

  // `parts` and `name` as a path in the archive.
  static std::string Join(const std::vector<std::string>& parts, const std::string& name) {
    std::string path;
    for (const std::string& part : parts) path += part + "/";
    return path + name;
  }

  // Gives `error`, the entry `path` in `*failed`.
  static LONG Failed(const std::string& path, LONG error, std::string* failed) {
    *failed = path;
    return error;
  }

  // Makes the folder `name` in `in`, a folder of this extraction, and opens it as `*made`.
  static LONG MakeIn(const files::Folder& in, const std::string& name, files::Folder* made,
                     files::Result* system) {
    if (const files::Result r = Added(in, name, [&] { return files::MakeDirectory(in.Descriptor(), name); });
        !r.ok())
      return WriteReason(r, system);
    if (const files::Result r = in.Walk(name, made, kNothing, false); !r.ok()) return WriteReason(r, system);
    return ZIPERROR_NONE;
  }

  // The staging folder on the file system of `near` (in the root on the root's, else in `near`),
  // made the first time.
  LONG Staging(const files::Folder& near, files::Folder* staging, files::Result* system) {
    const dev_t device = near.Status().st_dev;
    auto found = staging_.find(device);
    if (found == staging_.end()) {
      const files::Folder& in = device == root_.folder.Status().st_dev ? root_.folder : near;
      files::NewFolder made;
      if (const files::Result r = in.MakeTemporaryFolder("unpacking", &made); !r.ok())
        return WriteReason(r, system);
      found = staging_.emplace(device, std::move(made)).first;
    }
    *staging = found->second.Opened();
    return ZIPERROR_NONE;
  }

  // Opens the end of the chain again where it was closed, from the nearest open folder above it,
  // keeping no more than `kOpenLevels` open.
  LONG Reopen(files::Result* system) {
    if (chain_.empty() || chain_.back().folder.IsOpen()) return ZIPERROR_NONE;
    size_t first = chain_.size() - 1;
    while (first > 0 && !chain_[first - 1].folder.IsOpen()) --first;
    for (size_t i = first; i < chain_.size(); ++i) {
      Level& level = chain_[i];
      const files::Folder& in = level.holder.IsOpen() ? level.holder
                                : i == 0              ? root_.folder
                                                      : chain_[i - 1].folder;
      if (const files::Result r = in.Walk(level.at, &level.folder, kNothing, false); !r.ok())
        return WriteReason(r, system);
      if (i >= kOpenLevels) chain_[i - kOpenLevels].folder = files::Folder();
    }
    return ZIPERROR_NONE;
  }

  Level root_;
  files::NewFolder rootMade_;  // the root's first missing folder, when it was made
  std::vector<Level> chain_;
  std::map<dev_t, files::NewFolder> staging_;
  std::map<std::string, Top> staged_;                                // by their paths, "a/b/"
  std::vector<std::string> tops_;                                    // their paths, in the order made
  std::deque<std::pair<files::TemporaryFile, std::string>> beside_;  // with their names
  std::vector<File> files_;
  bool committing_ = false;
};

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
LONG CheckLayout(zip_t* archive, int fd, uint64_t fileSize, uint64_t end, std::string* detail) {
  const zip_int64_t count = zip_get_num_entries(archive, 0);
  if (count < 0) return ZIPERROR_CORRUPT;
  std::vector<Placement> entries;
  uint64_t start = 0;
  if (!ReadDirectory(fd, fileSize, end, static_cast<uint64_t>(count), &entries, &start) ||
      !SameAsLibzip(archive, entries))
    return ZIPERROR_CORRUPT;
  // A name that holds a NUL would be cut there: it names another file than the archive says.
  for (const Placement& entry : entries)
    if (entry.name.find('\0') != std::string::npos) {
      *detail = EntryText(entry.name);
      return ZIPERROR_UNSAFE_NAME;
    }

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
// methods, no encryption without a password, and the limits on entries and bytes. What was found
// goes to `*detail` on a refusal.
LONG Declarations(zip_t* archive, bool password, std::vector<Entry>* entries, zip_uint64_t* total,
                  std::string* detail) {
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
    entry.name = (st.valid & ZIP_STAT_NAME) && st.name ? st.name : "";
    *detail = EntryText(entry.name);
    if (!SplitEntryName(entry.name, &entry.parts)) return ZIPERROR_UNSAFE_NAME;
    if (entry.parts.size() > static_cast<size_t>(ZipFile::kMaxDepth)) return ZIPERROR_TOO_DEEP;
    if (!(st.valid & ZIP_STAT_SIZE)) return ZIPERROR_CORRUPT;
    entry.size = entry.name.back() == '/' ? 0 : st.size;
    if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE && !password)
      return ZIPERROR_ENCRYPTED;
    if ((st.valid & ZIP_STAT_COMP_METHOD) && entry.size > 0 &&
        !zip_compression_method_supported(static_cast<zip_int32_t>(st.comp_method), 0)) {
      *detail += " uses method " + std::to_string(st.comp_method);
      return ZIPERROR_METHOD;
    }
    detail->clear();
    const zip_uint64_t limit = static_cast<zip_uint64_t>(ZipFile::kMaxBytes);
    if (entry.size > limit - *total) return ZIPERROR_TOO_LARGE;
    *total += entry.size;
    entries->push_back(std::move(entry));
  }
  return ZIPERROR_NONE;
}

// Checks the paths the entries make together, before anything is written: no name is both a
// file and a folder, and the folders made (every folder on the way to an entry, each counted once,
// explicit "x/" entries too) are no more than the entries and one chain of the deepest path taken,
// as in every material archive. What was found goes to `*detail` on a refusal.
LONG CheckNames(const std::vector<Entry>& entries, std::string* detail) {
  // The folders an entry makes: all its names but the last, unless it is a folder itself.
  const auto folders = [&](size_t i) {
    const Entry& e = entries[i];
    return e.name.back() == '/' ? e.parts.size() : e.parts.size() - 1;
  };
  std::vector<size_t> order(entries.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(),
            [&](size_t a, size_t b) { return entries[a].parts < entries[b].parts; });
  // In path order, a path that goes on below a file's name comes right after it (and its copies).
  for (size_t k = 0; k < order.size(); ++k) {
    const Entry& file = entries[order[k]];
    if (file.name.back() == '/') continue;
    for (size_t next = k + 1; next < order.size(); ++next) {
      const Entry& other = entries[order[next]];
      const bool below = other.parts.size() >= file.parts.size() &&
                         std::equal(file.parts.begin(), file.parts.end(), other.parts.begin());
      if (!below) break;
      if (other.parts.size() > file.parts.size() || other.name.back() == '/') {
        *detail = EntryText(file.name) + " and " + EntryText(other.name);
        return ZIPERROR_FILE_AND_FOLDER;
      }
    }
  }
  // Each path makes the folders it does not share with the one before it in path order.
  uint64_t made = 0;
  for (size_t k = 0; k < order.size(); ++k) {
    const size_t count = folders(order[k]);
    size_t shared = 0;
    if (k > 0) {
      const std::vector<std::string>& a = entries[order[k - 1]].parts;
      const std::vector<std::string>& b = entries[order[k]].parts;
      const size_t most = std::min(folders(order[k - 1]), count);
      while (shared < most && a[shared] == b[shared]) ++shared;
    }
    made += count - shared;
  }
  if (made > entries.size() + static_cast<uint64_t>(ZipFile::kMaxDepth)) {
    *detail = std::to_string(entries.size()) + (entries.size() == 1 ? " entry" : " entries") +
              " would make " + std::to_string(made) + " folders";
    return ZIPERROR_TOO_MANY_FOLDERS;
  }
  return ZIPERROR_NONE;
}

// The folders that extractions of this process went into, as (device, inode).
struct Unpacked {
  std::mutex mutex;
  std::vector<std::pair<dev_t, ino_t>> folders;
};

Unpacked& TheUnpacked() {
  static Unpacked* unpacked = new Unpacked;  // never destroyed: an exiting thread may still use it
  return *unpacked;
}

// Notes the folder `st` as one an extraction went into.
void RecordUnpacked(const struct stat& st) {
  Unpacked& unpacked = TheUnpacked();
  std::lock_guard<std::mutex> lock(unpacked.mutex);
  unpacked.folders.emplace_back(st.st_dev, st.st_ino);
}

}  // namespace

std::vector<std::pair<dev_t, ino_t>> host::UnpackedFolders() {
  Unpacked& unpacked = TheUnpacked();
  std::lock_guard<std::mutex> lock(unpacked.mutex);
  return unpacked.folders;
}

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
  // What was found, in words, for a refusal or a failure about one entry.
  std::string detail;
  struct Report {
    ZipFile* zip;
    const files::Result& failure;
    const std::string& detail;
    ~Report() {
      zip->systemError_ = zip->error_ == ZIPERROR_NONE ? 0 : failure.error();
      zip->systemErrorText_ = zip->systemError_ == 0 ? std::string() : failure.Text();
      zip->errorDetail_ = zip->error_ == ZIPERROR_NONE ? std::string() : detail;
    }
  } report{this, failure, detail};
  if (!zip.Content() || !dir.Content()) return false;
  const std::string path = host::ToUtf8(zip.GetString());
  // Read through its folder as the kernel reads it: only a regular file (a FIFO would wait for a
  // writer), and anyone's, but no link that another user left in a shared folder itself. libzip
  // reads the same file whose end was checked.
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
  error_ = Declarations(archive, password != nullptr, &entries, &total, &detail);
  if (error_ == ZIPERROR_NONE) error_ = CheckNames(entries, &detail);
  // Far more bytes than the archive's own size can only come from repeated data.
  if (error_ == ZIPERROR_NONE && total > static_cast<uint64_t>(kRatioFloor) &&
      size <= (total - 1) / kMaxRatio)
    error_ = ZIPERROR_TOO_LARGE;
  if (error_ == ZIPERROR_NONE) error_ = CheckLayout(archive, fd, size, end, &detail);

  const std::string root = host::ToUtf8(dir.GetString());
  Extraction extraction;
  if (error_ == ZIPERROR_NONE) error_ = extraction.OpenRoot(root, &failure);
  if (error_ == ZIPERROR_NONE) {
    struct statvfs space;
    if (::fstatvfs(extraction.Root().Descriptor(), &space) == 0 &&
        total > static_cast<uint64_t>(space.f_bavail) * space.f_frsize)
      error_ = ZIPERROR_DISK_FULL;
  }
  // Every entry is written where it waits first; the files take their places only once all
  // entries have been read whole and sound, so that a refused archive replaces nothing.
  const bool createFolders = (flags & ZIP_EXTRACT_CREATE_SUBDIR) != 0;
  const std::string prefix = root.empty() || root.back() == '/' ? root : root + "/";
  for (zip_uint64_t i = 0; error_ == ZIPERROR_NONE && i < entries.size(); ++i) {
    const Entry& entry = entries[i];
    bool isFolder = entry.name.back() == '/';
    // An interruption is removing what this extraction made: nothing more is added.
    if (files::Interrupted()) {
      error_ = WriteReason(files::Result::Interrupted(), &failure);
      detail = EntryText(entry.name);
      break;
    }
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
    error_ = extraction.Ensure(entry.parts, folderCount, createFolders || isFolder, &level, &failure);
    // A folder's entry goes into the folder that holds it, as a file's goes into its folder.
    if (error_ == ZIPERROR_NONE && isFolder)
      error_ = extraction.MayWriteInto(entry.parts.size() - 1, &failure);
    if (error_ == ZIPERROR_NONE && !isFolder)
      error_ = extraction.Write(archive, i, entry.size, *level, {entry.parts.begin(), entry.parts.end() - 1},
                                entry.parts.back(), &failure);
    if (error_ != ZIPERROR_NONE) detail = EntryText(entry.name);
  }
  zip_discard(archive);
  if (error_ == ZIPERROR_NONE) {
    std::string failed;
    error_ = extraction.Commit(&failure, &failed);
    if (error_ != ZIPERROR_NONE) detail = EntryText(failed);
  }
  if (error_ != ZIPERROR_NONE) return false;
  extraction.Keep();
  RecordUnpacked(extraction.Root().Status());
  return true;
}

ULONG ZipFile::CalcCRC32(const void* data, VLONG length, ULONG start) {
  if (!data || length <= 0) return start;
  return libdeflate_crc32(start, data, static_cast<size_t>(length));
}
