// ZIP archives through libzip, CRC-32 through libdeflate.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <libdeflate.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "c4d_file.h"
#include "host_control.h"
#include "host_unpacked.h"
#include "ziplayout.h"
#include "files/folder.h"
#include "files/registry.h"
#include "files/sweep.h"
#include "files/temporary.h"

namespace {

using ziplayout::Placement;

// `name` in quotes for a message, as the archive holds it (a NUL too): the line that shows the
// message escapes its control characters.
std::string Quoted(const std::string& name) { return "\"" + name + "\""; }

// "entry NAME", for a message about it.
std::string EntryText(const std::string& name) { return "entry " + Quoted(name); }

// The names of an entry's path, a backslash separating folders as a slash does (archives made on
// DOS systems write them so, and the material reader reads a texture's path so), without empty
// and "." names; `*folder` when the name ends in a separator. A folder's entry of no names ("./",
// as tar-like tools write the folder they packed) is the archive's own folder. False for a name
// that must not be extracted, judged on those names: a file's of no names, absolute (also
// "C:..."), with a ".." name, a NUL (`nul`: the archive's own bytes hold one, which libzip shows
// as a space) or a name of the form the file module gives its temporaries, which a later sweep
// would take for a killed run's.
bool SplitEntryName(const std::string& name, bool nul, std::vector<std::string>* parts, bool* folder) {
  std::string path = name;
  std::replace(path.begin(), path.end(), '\\', '/');
  if (nul || path.empty() || path[0] == '/' || (path.size() >= 2 && path[1] == ':')) return false;
  parts->clear();
  for (size_t start = 0; start <= path.size();) {
    const size_t end = std::min(path.find('/', start), path.size());
    std::string part = path.substr(start, end - start);
    if (part == ".." || files::ReadName(part).temporary) return false;
    if (!part.empty() && part != ".") parts->push_back(std::move(part));
    start = end + 1;
  }
  *folder = path.back() == '/';
  return *folder || !parts->empty();
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

// The host's reason for a failed write `why`, which goes to `*system`; ZIPERROR_NONE for success.
LONG WriteReason(const files::Result& why, files::Result* system) {
  if (why.ok()) return ZIPERROR_NONE;
  *system = why;
  return why.error() == ENOSPC || why.error() == EDQUOT ? ZIPERROR_DISK_FULL : ZIPERROR_WRITE;
}

// The host's reason for a failed write with `errno` value `error`, which goes to `*system`.
LONG WriteReason(int error, files::Result* system) {
  return WriteReason(files::Result::System(error), system);
}

// Runs `add`, which adds the entry `name` to `folder` and gives 0 or the `errno` value, unless the
// run is interrupted: nothing is added to a folder while an interruption removes it.
files::Result Added(const files::Folder& folder, const std::string& name, const std::function<int()>& add) {
  return files::WhileRunning([&] {
    const int error = add();
    return error == 0 ? files::Result() : files::Result::System(error, folder.PathOf(name));
  });
}

// Where an entry's bytes go: 0, or the `errno` value of a failed write.
using Sink = std::function<int(const char* data, size_t size)>;

// Copies the `size` bytes that entry `index` declares from `in` to `sink`. An entry that ends
// earlier or holds more is corrupt: nothing beyond the declared size is ever written.
LONG CopyEntry(zip_file_t* in, zip_uint64_t size, const Sink& sink, files::Result* system) {
  std::vector<char> buffer(64 * 1024);
  for (zip_uint64_t left = size; left > 0;) {
    zip_int64_t n = zip_fread(in, buffer.data(), std::min<zip_uint64_t>(buffer.size(), left));
    if (n < 0) return ReasonOf(zip_error_code_zip(zip_file_get_error(in)));
    if (n == 0) return ZIPERROR_CORRUPT;
    if (const int error = sink(buffer.data(), static_cast<size_t>(n))) return WriteReason(error, system);
    left -= static_cast<zip_uint64_t>(n);
  }
  // One byte more must be the end (where the checksum is checked).
  char extra;
  zip_int64_t n = zip_fread(in, &extra, 1);
  if (n < 0) return ReasonOf(zip_error_code_zip(zip_file_get_error(in)));
  return n == 0 ? ZIPERROR_NONE : ZIPERROR_CORRUPT;
}

// Copies entry `index` (declaring `size` bytes) of `archive` to `sink`.
LONG CopyIndex(zip_t* archive, zip_uint64_t index, zip_uint64_t size, const Sink& sink,
               files::Result* system) {
  LONG error = ZIPERROR_NONE;
  if (zip_file_t* in = zip_fopen_index(archive, index, 0)) {
    error = CopyEntry(in, size, sink, system);
    zip_fclose(in);
  } else {
    error = ReasonOf(zip_error_code_zip(zip_get_error(archive)));
  }
  return error;
}

// Copies entry `index` (declaring `size` bytes) of `archive` to the file open as `fd`.
LONG CopyIndex(zip_t* archive, zip_uint64_t index, zip_uint64_t size, int fd, files::Result* system) {
  return CopyIndex(
      archive, index, size, [fd](const char* data, size_t n) { return files::WriteAll(fd, data, n); },
      system);
}

// Makes the new file `name` in `folder` (mode `mode` less the umask), as `Added` adds an entry,
// and writes entry `index` (declaring `size` bytes) of `archive` to it. A link at the name is
// ENOTDIR. A failed entry leaves nothing.
LONG CreateIn(const files::Folder& folder, const std::string& name, mode_t mode, zip_t* archive,
              zip_uint64_t index, zip_uint64_t size, files::Result* system) {
  const int at = folder.Descriptor();
  int fd = -1;
  const files::Result made = Added(folder, name, [&] {
    fd = ::openat(at, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    return fd < 0 ? errno : 0;
  });
  if (!made.ok()) return WriteReason(made.error() == ELOOP ? files::Result::System(ENOTDIR) : made, system);
  LONG error = CopyIndex(archive, index, size, fd, system);
  if (::close(fd) != 0 && error == ZIPERROR_NONE) error = WriteReason(errno, system);
  if (error != ZIPERROR_NONE) ::unlinkat(at, name.c_str(), 0);
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

// The name of entry `index` for a message: as libzip reads it, unless the archive's own bytes hold
// a NUL there (libzip shows it as a space): then those bytes.
std::string ShownName(zip_t* archive, const std::vector<Placement>& placed, zip_uint64_t index) {
  const std::string& raw = placed[index].name;
  if (raw.find('\0') != std::string::npos) return raw;
  const char* name = zip_get_name(archive, index, 0);
  return name ? name : raw;
}

// The length of the absolute path of the folder `path` (from the working directory when relative)
// with a "/" after it, without empty and "." names: where its entries' paths start. A ".." counts
// as written. As given when the working directory has no path.
size_t PrefixLength(const std::string& path) {
  std::string absolute;
  if (path.empty() || path[0] != '/') {
    char* cwd = ::getcwd(nullptr, 0);
    if (!cwd) return path.size() + 1;
    absolute = cwd;
    std::free(cwd);
  }
  if (absolute.empty() || absolute.back() != '/') absolute += "/";
  for (const std::string& name : files::PathNames(path)) absolute += name + "/";
  return absolute.size();
}

// The names `parts` of a path, '/'-separated.
std::string Joined(const std::vector<std::string>& parts) {
  std::string path;
  for (const std::string& part : parts) path += (path.empty() ? "" : "/") + part;
  return path;
}

// One entry as the archive declares it.
struct Entry {
  std::string name;                // as shown in messages
  std::vector<std::string> parts;  // its path's names
  bool folder = false;             // a folder's entry ("x/")
  zip_uint64_t size = 0;
  size_t node = 0;       // its folder (itself for a folder's entry) in the `Tree`
  bool link = false;     // a symbolic link's entry: its data are the link's target
  long source = -1;      // for a link unpacked as a copy, the entry of the file it leads to
  bool leftOut = false;  // a link that is not unpacked
};

// True when entry `index` of `archive` is a symbolic link: its external attributes hold a Unix
// mode (in their upper half) whose type is a link, as bsdtar, zip -y and 7-Zip's -snl write one.
bool IsLink(zip_t* archive, zip_uint64_t index) {
  zip_uint8_t system = 0;
  zip_uint32_t attributes = 0;
  if (zip_file_get_external_attributes(archive, index, 0, &system, &attributes) != 0) return false;
  return ((attributes >> 16) & S_IFMT) == S_IFLNK;
}

// Reads and checks the declarations of every entry before anything is written: safe names, known
// methods, no encryption without a password, and the limits on files, depth and bytes. `placed`
// is the central directory as read. The files are counted without the folders' entries, which
// some tools write and others leave out (the folders have a bound of their own, `CheckNames`).
// What was found goes to `*detail` on a refusal.
LONG Declarations(zip_t* archive, const std::vector<Placement>& placed, bool password,
                  std::vector<Entry>* entries, zip_uint64_t* total, std::string* detail) {
  const size_t count = placed.size();
  const auto files = std::count_if(placed.begin(), placed.end(), [](const Placement& p) {
    return p.name.empty() || (p.name.back() != '/' && p.name.back() != '\\');
  });
  if (files > ZipFile::kMaxEntries) {
    *detail = "the archive holds " + std::to_string(files) + " files, more than the " +
              std::to_string(ZipFile::kMaxEntries) + " it may hold";
    return ZIPERROR_TOO_LARGE;
  }
  *total = 0;
  for (zip_uint64_t i = 0; i < count; ++i) {
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(archive, i, 0, &st) != 0) return ReasonOf(zip_error_code_zip(zip_get_error(archive)));
    Entry entry;
    entry.name = ShownName(archive, placed, i);
    *detail = EntryText(entry.name);
    const std::string libzipName = (st.valid & ZIP_STAT_NAME) && st.name ? st.name : "";
    if (!SplitEntryName(libzipName, placed[i].name.find('\0') != std::string::npos, &entry.parts,
                        &entry.folder))
      return ZIPERROR_UNSAFE_NAME;
    if (entry.parts.size() > static_cast<size_t>(ZipFile::kMaxDepth)) return ZIPERROR_TOO_DEEP;
    if (!(st.valid & ZIP_STAT_SIZE)) return ZIPERROR_CORRUPT;
    entry.size = entry.folder ? 0 : st.size;
    entry.link = !entry.folder && IsLink(archive, i);
    if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE && !password)
      return ZIPERROR_ENCRYPTED;
    if ((st.valid & ZIP_STAT_COMP_METHOD) && entry.size > 0 &&
        !zip_compression_method_supported(static_cast<zip_int32_t>(st.comp_method), 0)) {
      *detail += " uses method " + std::to_string(st.comp_method);
      return ZIPERROR_METHOD;
    }
    *total = entry.size > std::numeric_limits<zip_uint64_t>::max() - *total
                 ? std::numeric_limits<zip_uint64_t>::max()
                 : *total + entry.size;
    entries->push_back(std::move(entry));
  }
  detail->clear();
  if (*total > static_cast<zip_uint64_t>(ZipFile::kMaxBytes)) {
    *detail = "its entries declare " + std::to_string(*total) + " bytes, more than the " +
              std::to_string(ZipFile::kMaxBytes) + " an archive may hold";
    return ZIPERROR_TOO_LARGE;
  }
  return ZIPERROR_NONE;
}

// The paths of the entries as a tree of names: one node for each folder and file they make, the
// root first, each found by its folder and its name in the time of a hash.
class Tree {
 public:
  struct Node {
    size_t parent = 0;
    std::string name;
    long file = -1;       // the entry that is this file
    long folder = -1;     // the first entry that makes this a folder
    bool listed = false;  // a folder's entry names it
  };

  Tree() : nodes_(1) {}

  // The child `name` of `parent`, made when missing (`*made` true then).
  size_t Child(size_t parent, const std::string& name, bool* made) {
    std::string key(reinterpret_cast<const char*>(&parent), sizeof parent);
    key += name;
    const auto [found, inserted] = index_.emplace(std::move(key), nodes_.size());
    *made = inserted;
    if (inserted) {
      Node node;
      node.parent = parent;
      node.name = name;
      nodes_.push_back(std::move(node));
    }
    return found->second;
  }
  // The child `name` of `parent`, or `kNone`.
  static constexpr size_t kNone = static_cast<size_t>(-1);
  size_t Find(size_t parent, const std::string& name) const {
    std::string key(reinterpret_cast<const char*>(&parent), sizeof parent);
    key += name;
    const auto found = index_.find(key);
    return found == index_.end() ? kNone : found->second;
  }
  Node& operator[](size_t id) { return nodes_[id]; }
  const Node& operator[](size_t id) const { return nodes_[id]; }
  size_t Size() const { return nodes_.size(); }
  // The names from the root to `id`, '/'-separated.
  std::string Path(size_t id) const {
    std::string path;
    for (; id != 0; id = nodes_[id].parent) path = nodes_[id].name + (path.empty() ? "" : "/") + path;
    return path;
  }
  // The nodes from the root's child to `id`.
  std::vector<size_t> Chain(size_t id) const {
    std::vector<size_t> chain;
    for (; id != 0; id = nodes_[id].parent) chain.push_back(id);
    std::reverse(chain.begin(), chain.end());
    return chain;
  }

 private:
  std::vector<Node> nodes_;
  std::unordered_map<std::string, size_t> index_;  // by the parent's number and the name
};

// "N thing" or "N things".
std::string Counted(size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// The refusal of an archive whose entries would make more folders than an archive may hold, naming
// what makes them: the folders' entries and the files that lie in folders.
LONG TooManyFolders(const std::vector<Entry>& entries, std::string* detail) {
  size_t listed = 0, files = 0;
  for (const Entry& e : entries) {
    if (e.folder)
      listed += !e.parts.empty();
    else
      files += e.parts.size() > 1;
  }
  std::string what = listed > 0 ? Counted(listed, "folder entry", "folder entries") : std::string();
  if (files > 0) what += (listed > 0 ? " and the folders of " : "") + Counted(files, "file", "files");
  *detail = what + " would make more than the " + std::to_string(ZipFile::kMaxEntries) +
            " folders an archive may make";
  return ZIPERROR_TOO_MANY_FOLDERS;
}

// Builds the tree of the entries' paths and checks it, before anything is written: no name is
// both a file and a folder, none comes twice, and the folders made (every folder an entry implies,
// each counted once, listed by an entry or not) are no more than the entries an archive may hold,
// so that an archive is taken or refused alike whether its tool listed its folders or not. What
// was found goes to `*detail` on a refusal.
LONG CheckNames(std::vector<Entry>* entries, Tree* tree, std::string* detail) {
  const auto both = [&](long file, long other) {
    *detail = EntryText((*entries)[file].name) + " and " + EntryText((*entries)[other].name);
    return ZIPERROR_FILE_AND_FOLDER;
  };
  uint64_t folders = 0;
  for (size_t i = 0; i < entries->size(); ++i) {
    Entry& entry = (*entries)[i];
    const long index = static_cast<long>(i);
    const size_t depth = entry.folder ? entry.parts.size() : entry.parts.size() - 1;
    size_t node = 0;
    bool made = false;
    for (size_t k = 0; k < depth; ++k) {
      node = tree->Child(node, entry.parts[k], &made);
      Tree::Node& folder = (*tree)[node];
      // Refused as soon as the count passes the bound: the rest of a huge tree is never built.
      if ((folders += made) > static_cast<uint64_t>(ZipFile::kMaxEntries))
        return TooManyFolders(*entries, detail);
      if (folder.file >= 0) return both(folder.file, index);
      if (folder.folder < 0) folder.folder = index;
    }
    entry.node = node;
    Tree::Node& last = entry.folder ? (*tree)[node] : (*tree)[tree->Child(node, entry.parts.back(), &made)];
    if (entry.folder ? last.listed : last.file >= 0) {
      std::string path = tree->Path(node);
      path += entry.folder ? (path.empty() ? "./" : "/") : (path.empty() ? "" : "/") + entry.parts.back();
      *detail = "the archive holds " + Quoted(path) + " twice";
      return ZIPERROR_TWICE;
    }
    if (!entry.folder && last.folder >= 0) return both(index, last.folder);
    if (entry.folder)
      last.listed = true;
    else
      last.file = index;
  }
  return ZIPERROR_NONE;
}

// The longest target a link may have: that of a path.
constexpr zip_uint64_t kLongestTarget = PATH_MAX - 1;

// Where the target `text` of a link in the folder `node` of `tree` leads, resolved from the link's
// folder as the kernel resolves a link's target (a backslash separating names as a slash does): to
// the file entry it returns, else -1 with why it leads to none in `*why`. Only the archive's own
// folders are passed through: a file entry on the way, a link's too, is no folder, and leads to
// nothing (`kMissing`, that entry in `*through`).
long Target(const Tree& tree, size_t node, std::string text, ZipFile::LeftOut::Why* why, long* through) {
  std::replace(text.begin(), text.end(), '\\', '/');
  *why = ZipFile::LeftOut::kMissing;
  *through = -1;
  if (text.empty()) return -1;
  if (text[0] == '/' || (text.size() >= 2 && text[1] == ':')) {
    *why = ZipFile::LeftOut::kOutside;
    return -1;
  }
  for (size_t start = 0; start <= text.size();) {
    const size_t end = std::min(text.find('/', start), text.size());
    const std::string name = text.substr(start, end - start);
    start = end + 1;
    if (tree[node].file >= 0) {  // a file is no folder to go on in
      *through = tree[node].file;
      return -1;
    }
    if (name.empty() || name == ".") continue;
    if (name == "..") {
      if (node == 0) {
        *why = ZipFile::LeftOut::kOutside;
        return -1;
      }
      node = tree[node].parent;
      continue;
    }
    node = tree.Find(node, name);
    if (node == Tree::kNone) return -1;
  }
  if (tree[node].file < 0) *why = ZipFile::LeftOut::kFolder;
  return tree[node].file;
}

// Reads the target of every link entry and decides what becomes of the link before anything is
// written: one that leads to a file entry of the archive, directly or through at most
// `ZipFile::kMaxLinks` links in all, is unpacked as a copy of that file (`source`, and its size);
// any other is left out (`leftOut`) and named in `*leftOut`, with why: a link whose target is
// another link left out, or whose target's path passes through one as a folder, is said to be
// left out for that. A target that cannot be read refuses the archive, the entry named in `*detail`.
LONG ResolveLinks(zip_t* archive, const Tree& tree, std::vector<Entry>* entries,
                  std::vector<ZipFile::LeftOut>* leftOut, std::string* detail, files::Result* system) {
  std::vector<std::string> targets(entries->size());
  for (size_t i = 0; i < entries->size(); ++i) {
    const Entry& entry = (*entries)[i];
    if (!entry.link || entry.size > kLongestTarget) continue;
    std::string& text = targets[i];
    const LONG error = CopyIndex(
        archive, i, entry.size,
        [&text](const char* data, size_t n) {
          text.append(data, n);
          return 0;
        },
        system);
    if (error != ZIPERROR_NONE) {
      *detail = EntryText(entry.name);
      return error;
    }
  }
  // Why each link is left out, and the entry its last target passed through (`Target`).
  std::vector<ZipFile::LeftOut::Why> whys(entries->size(), ZipFile::LeftOut::kTooLong);
  std::vector<long> throughs(entries->size(), -1);
  for (size_t i = 0; i < entries->size(); ++i) {
    Entry& entry = (*entries)[i];
    if (!entry.link) continue;
    ZipFile::LeftOut::Why& why = whys[i];
    long file = -1;
    if (entry.size <= kLongestTarget) {
      std::vector<size_t> chain{i};  // the links followed
      for (size_t at = i;;) {
        file = Target(tree, (*entries)[at].node, targets[at], &why, &throughs[i]);
        if (file < 0) break;
        const size_t next = static_cast<size_t>(file);
        if (std::find(chain.begin(), chain.end(), next) != chain.end()) {
          // Back to this link: a loop it is part of; back to a link further on: that link is left out.
          why = next != i           ? ZipFile::LeftOut::kLeftOutLink
                : chain.size() == 1 ? ZipFile::LeftOut::kItself
                                    : ZipFile::LeftOut::kLoop;
        } else if ((*entries)[next].link && chain.size() >= static_cast<size_t>(ZipFile::kMaxLinks)) {
          why = ZipFile::LeftOut::kChain;
        } else if ((*entries)[next].link) {
          chain.push_back(next);
          at = next;
          continue;
        } else {
          break;  // a file
        }
        file = -1;
        break;
      }
      // Led to nothing through a link of the archive (to nothing it holds, a folder, out of it):
      // its target is a link left out, whatever that link's own reason. Only the count of links
      // followed is this link's own.
      if (file < 0 && chain.size() > 1 && why != ZipFile::LeftOut::kLoop && why != ZipFile::LeftOut::kChain)
        why = ZipFile::LeftOut::kLeftOutLink;
    }
    if (file >= 0) {
      entry.source = file;
      entry.size = (*entries)[file].size;
      continue;
    }
    entry.leftOut = true;
    entry.size = 0;
  }
  for (size_t i = 0; i < entries->size(); ++i) {
    if (!(*entries)[i].leftOut) continue;
    ZipFile::LeftOut::Why why = whys[i];
    const long through = throughs[i];
    // A path through a link left out (a link to a folder among them) leads nothing further; one
    // through a link copied as a file leads to nothing as through any file.
    const bool throughLink = why == ZipFile::LeftOut::kMissing && through >= 0 && (*entries)[through].link &&
                             (*entries)[through].leftOut;
    if (throughLink) why = ZipFile::LeftOut::kThroughLink;
    leftOut->push_back({Joined((*entries)[i].parts),
                        why == ZipFile::LeftOut::kTooLong ? std::string() : targets[i], why,
                        throughLink ? Joined((*entries)[through].parts) : std::string()});
  }
  return ZIPERROR_NONE;
}

// One extraction into a root folder, through the file module's walk: every folder is reached one
// name at a time from the root (or from the staging folder it is built in), never through a link,
// and its `MayWrite` says whether anything may be made or written there. What goes into a folder
// this extraction made is written in place: a failed extraction removes that folder whole. What
// goes into a folder that was there before waits in a staging folder (one per file system, a new
// folder with a temporary's name, removed with all it holds by a failure or an interruption) until
// every entry has been written: a file there as a copy, a new folder with all it holds; a file for
// the root itself waits as a temporary beside its target. Nothing that waits holds a descriptor of
// its target's folder, so that any number of folders can be unpacked into; at the commit each
// target folder is walked to again from the root.
class Extraction {
 public:
  explicit Extraction(const Tree& tree) : tree_(tree), spots_(tree.Size()) {}
  Extraction(const Extraction&) = delete;
  Extraction& operator=(const Extraction&) = delete;

  // Opens the root `path`, made when missing (its missing parents too, as `mkdir -p` makes them);
  // the root itself is never reached through a link at its name: the caller made it or names it.
  // A root it makes carries a temporary's name until `Keep`, so that a killed run's is swept.
  LONG OpenRoot(const std::string& path, files::Result* system) {
    files::Place place;
    files::Result r = files::Locate(path, &place);
    if (r.error() == ENOENT) r = files::Locate(path, &place, files::Folder::Make::kMissing);
    if (r.ok()) r = place.folder.Walk(place.name, &root_, kNothing, /*linkLast=*/false);
    if (r.error() == ENOENT && place.folder.IsOpen()) {
      r = place.folder.MakeTemporaryFolder(place.name, &rootMade_);
      rootName_ = place.name;
      root_ = rootMade_.Opened();
    } else if (r.error() == EISDIR) {  // "/", "." or a path that ends in "/"
      r = files::Folder::Open(path, &root_, files::Folder::Make::kMissing, false);
    }
    spots_[0] = {Spot::kFound, root_, {}};
    if (rootMade_.IsOwned()) spots_[0].kind = Spot::kMade;
    return WriteReason(r, system);
  }

  // The root, open.
  const files::Folder& Root() const { return root_; }

  // Makes sure of the folder `node` of the tree (the root's when 0), making the missing ones when
  // `create`, and opens it as `*folder`. The reason when it cannot, with the system's in `*system`:
  // a missing folder that may not be made has none (ENOENT), a file or link in a folder's place is
  // none (ENOTDIR), and nothing is made below another user's folder in a shared folder.
  LONG Reach(size_t node, bool create, files::Folder* folder, files::Result* system) {
    if (node == cachedNode_ && cached_.IsOpen()) {
      *folder = cached_;
      return ZIPERROR_NONE;
    }
    // From the deepest folder already placed, then one name at a time.
    const std::vector<size_t> chain = tree_.Chain(node);
    size_t placed = chain.size();
    while (placed > 0 && spots_[chain[placed - 1]].kind == Spot::kUnknown) --placed;
    if (const LONG error = Open(placed == 0 ? 0 : chain[placed - 1], folder, system)) return error;
    for (size_t i = placed; i < chain.size(); ++i) {
      const size_t parent = i == 0 ? 0 : chain[i - 1];
      if (const LONG error = Place(parent, chain[i], create, folder, system)) return error;
    }
    cachedNode_ = node;
    cached_ = *folder;
    return ZIPERROR_NONE;
  }

  // Makes sure of the folder of a folder's entry, `node`, whose holder is open as `holder`.
  LONG PlaceFolder(size_t node, const files::Folder& holder, files::Result* system) {
    if (spots_[node].kind != Spot::kUnknown) return ZIPERROR_NONE;
    files::Folder folder = holder;
    return Place(tree_[node].parent, node, true, &folder, system);
  }

  // Writes entry `index` (declaring `size` bytes) of `archive` as `name` in the folder `node`,
  // open as `folder` (from `Reach`). In a folder this extraction made, the file is written in
  // place; in the root it goes into a new file beside its target; elsewhere into a staging folder.
  // A link at the name is replaced, never followed. A failed entry leaves nothing.
  LONG Write(zip_t* archive, zip_uint64_t index, zip_uint64_t size, size_t node, const files::Folder& folder,
             const std::string& name, files::Result* system) {
    if (const files::Result r = folder.MayWrite(); !r.ok()) return WriteReason(r, system);
    if (spots_[node].kind == Spot::kMade) return CreateIn(folder, name, 0666, archive, index, size, system);
    if (node == 0) {
      files::TemporaryFile file;
      if (const files::Result r = root_.CreateTemporary(name, &file, /*followLink=*/false); !r.ok())
        return WriteReason(r, system);
      LONG error = CopyIndex(archive, index, size, file.Descriptor(), system);
      if (error == ZIPERROR_NONE) error = WriteReason(file.Close(), system);
      if (error == ZIPERROR_NONE) beside_.emplace_back(std::move(file), name);
      return error;
    }
    Staged file{node, name, "f" + std::to_string(files_.size()), {}};
    LONG error = Staging(root_, &file.holder, system);
    if (error == ZIPERROR_NONE) error = CreateIn(file.holder, file.at, 0600, archive, index, size, system);
    if (error == ZIPERROR_NONE) files_.push_back(std::move(file));
    return error;
  }

  // Moves what waits into place, after making sure that every target folder may still be written
  // into, no file's target has become a folder and no new folder's name has been taken meanwhile,
  // so that the moves do not fail halfway and a refusal changes nothing: the files one by one, each
  // through a temporary beside its target that takes its mode, then the new folders, each in one
  // rename. An interruption before a move removes what has not moved yet. The system's reason goes
  // to `*system`, the path in the archive of what failed to `*failed`.
  LONG Commit(files::Result* system, std::string* failed) {
    cached_ = files::Folder();
    const auto fail = [&](const std::string& path, LONG error) {
      *failed = path;
      return error;
    };
    // The folder `node` below the root, walked again, and `name` there, which must be free (`free`)
    // or no folder.
    files::Folder folder;
    const auto check = [&](size_t node, const std::string& name, bool free) -> LONG {
      if (const LONG error = Reach(node, false, &folder, system)) return error;
      if (const LONG error = WriteReason(folder.MayWrite(), system)) return error;
      struct stat st;
      const int taken = ::fstatat(folder.Descriptor(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0
                            ? (free                  ? EEXIST
                               : S_ISDIR(st.st_mode) ? EISDIR
                                                     : 0)
                            : (errno == ENOENT ? 0 : errno);
      return taken == 0 ? ZIPERROR_NONE
                        : WriteReason(files::Result::System(taken, folder.PathOf(name)), system);
    };
    const auto path = [&](size_t node, const std::string& name) {
      return node == 0 ? name : tree_.Path(node) + "/" + name;
    };
    for (const auto& [file, name] : beside_)
      if (const LONG error = check(0, name, false)) return fail(name, error);
    for (const Staged& file : files_)
      if (const LONG error = check(file.node, file.name, false))
        return fail(path(file.node, file.name), error);
    for (const size_t top : tops_)
      if (const LONG error = check(tree_[top].parent, tree_[top].name, true))
        return fail(tree_.Path(top), error);

    for (auto& [file, name] : beside_)
      if (const files::Result r = file.Commit(); !r.ok()) return fail(name, WriteReason(r, system));
    for (const Staged& file : files_) {
      if (const LONG error = Reach(file.node, false, &folder, system))
        return fail(path(file.node, file.name), error);
      files::TemporaryFile target;
      files::Result r = folder.CreateTemporary(file.name, &target, /*followLink=*/false);
      if (r.ok()) {
        const int from =
            ::openat(file.holder.Descriptor(), file.at.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        const int error = from < 0 ? errno : CopyFile(from, target.Descriptor());
        if (from >= 0) ::close(from);
        if (error != 0) r = files::Result::System(error, target.FinalPath());
      }
      if (r.ok()) r = target.Commit();
      if (!r.ok()) return fail(path(file.node, file.name), WriteReason(r, system));
      ::unlinkat(file.holder.Descriptor(), file.at.c_str(), 0);
    }
    for (const size_t top : tops_) {
      const Spot& spot = spots_[top];
      // The move asks the folder's refusal again, as it is now.
      files::Result r = Reach(tree_[top].parent, false, &folder, system) == ZIPERROR_NONE
                            ? spot.base.MoveFolder(spot.at, folder, tree_[top].name)
                            : *system;
      if (!r.ok()) return fail(tree_.Path(top), WriteReason(r, system));
    }
    return ZIPERROR_NONE;
  }

  // Keeps every folder made, the root under its name: the extraction succeeded. A root made meanwhile
  // by another (EEXIST) fails it, and what this extraction made goes.
  files::Result Keep() { return rootMade_.IsOwned() ? rootMade_.Commit(rootName_) : files::Result(); }

 private:
  static constexpr files::Folder::Make kNothing = files::Folder::Make::kNothing;

  // Where a folder of the tree is: one that was there before (`kFound`, its path below the root),
  // or one this extraction made (`kMade`, its path below the staging folder it is built in, or
  // below the root when the root is new).
  struct Spot {
    enum Kind { kUnknown, kFound, kMade } kind = kUnknown;
    files::Folder base;  // the root or a staging folder (open)
    std::string at;      // its path below `base`
  };
  // A file for a folder that was there before, written in the staging folder `holder` as `at`.
  struct Staged {
    size_t node;
    std::string name;
    std::string at;
    files::Folder holder;
  };

  // Opens the placed folder `node` from its base, one name at a time, never through a link.
  LONG Open(size_t node, files::Folder* folder, files::Result* system) const {
    const Spot& spot = spots_[node];
    *folder = spot.base;
    for (size_t start = 0; start < spot.at.size();) {
      const size_t end = std::min(spot.at.find('/', start), spot.at.size());
      files::Folder next;
      if (const LONG error =
              WriteReason(folder->Walk(spot.at.substr(start, end - start), &next, kNothing, false), system))
        return error;
      *folder = std::move(next);
      start = end + 1;
    }
    return ZIPERROR_NONE;
  }

  // Places the folder `node` in `parent`, open as `*folder`, which becomes `node`'s: found there, or
  // made (in place in a folder this extraction made, else in a staging folder) when `create`.
  LONG Place(size_t parent, size_t node, bool create, files::Folder* folder, files::Result* system) {
    const Spot& above = spots_[parent];
    const std::string& name = tree_[node].name;
    const std::string below = above.at.empty() ? name : above.at + "/" + name;
    files::Folder next;
    files::Result r;
    if (above.kind == Spot::kFound) {
      r = folder->Walk(name, &next, kNothing, false);
      if (r.ok()) spots_[node] = {Spot::kFound, above.base, below};
      if (r.error() != ENOENT || !create) {
        *folder = std::move(next);
        return WriteReason(r, system);
      }
    }
    if (!create) return WriteReason(files::Result::System(ENOENT, folder->PathOf(name)), system);
    // Nothing is made below another user's folder in a shared folder, staged or not.
    if (const LONG error = WriteReason(folder->MayWrite(), system)) return error;
    files::Folder holder = above.base;
    std::string at = below;
    if (above.kind == Spot::kFound) {  // new in a folder that was there before: built in a staging folder
      if (const LONG error = Staging(*folder, &holder, system)) return error;
      at = "d" + std::to_string(tops_.size());
      tops_.push_back(node);
    }
    const files::Folder& in = above.kind == Spot::kFound ? holder : *folder;
    const std::string& made = above.kind == Spot::kFound ? at : name;
    r = Added(in, made, [&] { return files::MakeDirectory(in.Descriptor(), made); });
    if (r.ok()) r = in.Walk(made, &next, kNothing, false);
    if (!r.ok()) return WriteReason(r, system);
    spots_[node] = {Spot::kMade, holder, at};
    *folder = std::move(next);
    return ZIPERROR_NONE;
  }

  // The staging folder on the file system of `near` (in the root on the root's, else in `near`),
  // made the first time.
  LONG Staging(const files::Folder& near, files::Folder* staging, files::Result* system) {
    const dev_t device = near.Status().st_dev;
    auto found = staging_.find(device);
    if (found == staging_.end()) {
      const files::Folder& in = device == root_.Status().st_dev ? root_ : near;
      files::NewFolder made;
      if (const LONG error = WriteReason(in.MakeTemporaryFolder("unpacking", &made), system)) return error;
      found = staging_.emplace(device, std::move(made)).first;
    }
    *staging = found->second.Opened();
    return ZIPERROR_NONE;
  }

  const Tree& tree_;
  std::vector<Spot> spots_;  // by node of the tree
  files::Folder root_;
  files::NewFolder rootMade_;  // the root, when this extraction made it
  std::string rootName_;       // its name
  size_t cachedNode_ = 0;      // the folder reached last, open
  files::Folder cached_;
  std::map<dev_t, files::NewFolder> staging_;
  std::vector<size_t> tops_;                                         // new folders staged, in the order made
  std::deque<std::pair<files::TemporaryFile, std::string>> beside_;  // with their names
  std::vector<Staged> files_;
};

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
  leftOut_.clear();
  // The system's reason for a failure, given on every return.
  files::Result failure;
  // What was found, in words, for a refusal or a failure about one entry.
  std::string detail;
  struct Report {
    ZipFile* zip;
    const files::Result& failure;
    const std::string& detail;
    ~Report() {
      zip->systemErrorText_ = zip->error_ == ZIPERROR_NONE || failure.ok() ? std::string() : failure.Text();
      zip->errorDetail_ = zip->error_ == ZIPERROR_NONE ? std::string() : detail;
    }
  } report{this, failure, detail};
  if (!zip.Content() || !dir.Content()) return false;
  const std::string path = host::ToUtf8(zip.GetString());
  // Read through its folder as the kernel reads it: only a regular file (a FIFO would wait for a
  // writer), and anyone's, but no link that another user left in a shared folder itself. libzip
  // reads the same file whose end was checked.
  int fd = -1;
  if (failure = files::OpenFile(path, &fd); !failure.ok()) return false;
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
  error_ = ziplayout::FindEndRecord(fd, size, &end);
  if (error_ != ZIPERROR_NONE) return false;
  int openError = ZIP_ER_OPEN;
  zip_t* archive = ziplayout::OpenArchive(fd, size, end, &openError);
  if (!archive) {
    error_ = ReasonOf(openError);
    return false;
  }
  struct Discard {
    zip_t* archive;
    ~Discard() { zip_discard(archive); }
  } discard{archive};
  if (password) zip_set_default_password(archive, password);

  // Refuse the whole archive before writing anything when one declaration is not acceptable: the
  // central directory must be the one libzip reads.
  std::vector<Placement> placed;
  uint64_t start = 0;
  const zip_int64_t count = zip_get_num_entries(archive, 0);
  error_ =
      count >= 0 && ziplayout::ReadDirectory(fd, size, end, static_cast<uint64_t>(count), &placed, &start)
          ? ZIPERROR_NONE
          : ZIPERROR_CORRUPT;
  // An encrypted entry without a password is refused as such before the comparison, which
  // misreads what libzip shows of one (the method and checksum inside an AES entry).
  for (size_t i = 0; error_ == ZIPERROR_NONE && !password && i < placed.size(); ++i)
    if (placed[i].encrypted) {
      detail = EntryText(ShownName(archive, placed, i));
      error_ = ZIPERROR_ENCRYPTED;
    }
  if (error_ == ZIPERROR_NONE && !ziplayout::SameAsLibzip(archive, placed)) error_ = ZIPERROR_CORRUPT;
  std::vector<Entry> entries;
  zip_uint64_t total = 0;
  Tree tree;
  if (error_ == ZIPERROR_NONE)
    error_ = Declarations(archive, placed, password != nullptr, &entries, &total, &detail);
  if (error_ == ZIPERROR_NONE) error_ = CheckNames(&entries, &tree, &detail);
  // Far more bytes than the archive's own size can only come from repeated data.
  if (error_ == ZIPERROR_NONE && total > static_cast<uint64_t>(kRatioFloor) &&
      size <= (total - 1) / kMaxRatio) {
    detail = "its entries declare " + std::to_string(total) + " bytes, more than " +
             std::to_string(kMaxRatio) + " times the archive's " + std::to_string(size);
    error_ = ZIPERROR_TOO_LARGE;
  }
  if (error_ == ZIPERROR_NONE)
    error_ = ziplayout::CheckLayout(
        fd, placed, start, [&](size_t i) { return EntryText(entries[i].name); }, &detail);
  std::vector<LeftOut> leftOut;
  if (error_ == ZIPERROR_NONE) error_ = ResolveLinks(archive, tree, &entries, &leftOut, &detail, &failure);
  // What is written: the files, and a copy of its file for each link that leads to one. The
  // copies are held to the limits on bytes as the files are.
  zip_uint64_t written = 0;
  size_t copies = 0;
  for (const Entry& entry : entries) {
    copies += entry.source >= 0;
    written = entry.size > std::numeric_limits<zip_uint64_t>::max() - written
                  ? std::numeric_limits<zip_uint64_t>::max()
                  : written + entry.size;
  }
  const std::string bytes = "its files and the copies of its " + Counted(copies, "link", "links") +
                            " come to " + std::to_string(written) + " bytes, more than ";
  if (error_ == ZIPERROR_NONE && copies > 0 && written > static_cast<zip_uint64_t>(kMaxBytes)) {
    detail = bytes + "the " + std::to_string(kMaxBytes) + " an archive may hold";
    error_ = ZIPERROR_TOO_LARGE;
  } else if (error_ == ZIPERROR_NONE && copies > 0 && written > static_cast<uint64_t>(kRatioFloor) &&
             size <= (written - 1) / kMaxRatio) {
    detail = bytes + std::to_string(kMaxRatio) + " times the archive's " + std::to_string(size);
    error_ = ZIPERROR_TOO_LARGE;
  }

  // No path unpacked may be longer than a path may be, so that every one can be named and opened:
  // measured from the root, a relative folder from the working directory.
  const std::string root = host::ToUtf8(dir.GetString());
  const std::string prefix = root.empty() || root.back() == '/' ? root : root + "/";
  const size_t prefixLength = PrefixLength(root);
  for (size_t i = 0; error_ == ZIPERROR_NONE && i < entries.size(); ++i) {
    const std::string path = Joined(entries[i].parts);
    if (!entries[i].leftOut && prefixLength + path.size() >= PATH_MAX) {
      detail = EntryText(entries[i].name);
      error_ = WriteReason(files::Result::System(ENAMETOOLONG, prefix + path), &failure);
    }
  }

  Extraction extraction(tree);
  if (error_ == ZIPERROR_NONE) error_ = extraction.OpenRoot(root, &failure);
  if (error_ == ZIPERROR_NONE) {
    struct statvfs space;
    if (::fstatvfs(extraction.Root().Descriptor(), &space) == 0 &&
        written > static_cast<uint64_t>(space.f_bavail) * space.f_frsize)
      error_ = ZIPERROR_DISK_FULL;
  }
  // Every entry is written where it waits first; the files take their places only once all
  // entries have been read whole and sound, so that a refused archive replaces nothing.
  const bool createFolders = (flags & ZIP_EXTRACT_CREATE_SUBDIR) != 0;
  for (zip_uint64_t i = 0; error_ == ZIPERROR_NONE && i < entries.size(); ++i) {
    const Entry& entry = entries[i];
    // A link left out is not unpacked at all.
    if (entry.leftOut) continue;
    detail = EntryText(entry.name);
    // An interruption is removing what this extraction made: nothing more is added.
    if (files::Interrupted()) {
      error_ = WriteReason(files::Result::Interrupted(), &failure);
      break;
    }
    if (callback) {
      if (!callback(Filename(String(entry.name)), Filename(String(prefix + Joined(entry.parts))), data)) {
        error_ = ZIPERROR_STOPPED;
        break;
      }
    }
    // The archive's own folder ("./") is the root: nothing to make.
    if (entry.parts.empty()) continue;
    // A folder's entry goes into the folder that holds it, as a file's goes into its folder.
    const size_t holder = entry.folder ? tree[entry.node].parent : entry.node;
    files::Folder folder;
    error_ = extraction.Reach(holder, createFolders || entry.folder, &folder, &failure);
    if (error_ == ZIPERROR_NONE && entry.folder) {
      error_ = WriteReason(folder.MayWrite(), &failure);
      if (error_ == ZIPERROR_NONE) error_ = extraction.PlaceFolder(entry.node, folder, &failure);
    } else if (error_ == ZIPERROR_NONE) {
      // A link that leads to a file is that file's copy, read again from the archive.
      const zip_uint64_t from = entry.source >= 0 ? static_cast<zip_uint64_t>(entry.source) : i;
      error_ = extraction.Write(archive, from, entry.size, entry.node, folder, entry.parts.back(), &failure);
    }
  }
  if (error_ == ZIPERROR_NONE) {
    std::string failed;
    error_ = extraction.Commit(&failure, &failed);
    detail = error_ == ZIPERROR_NONE ? std::string() : EntryText(failed);
  }
  if (error_ == ZIPERROR_NONE) error_ = WriteReason(extraction.Keep(), &failure);
  if (error_ != ZIPERROR_NONE) return false;
  RecordUnpacked(extraction.Root().Status());
  leftOut_ = std::move(leftOut);
  return true;
}

ULONG ZipFile::CalcCRC32(const void* data, VLONG length, ULONG start) {
  if (!data || length <= 0) return start;
  return libdeflate_crc32(start, data, static_cast<size_t>(length));
}
