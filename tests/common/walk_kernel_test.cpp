// The walk against the kernel. In seeded random trees of folders, links and files in a private
// folder, the folder that `files::Folder::Open` (and `Folder::Walk` from an open folder) opens for a
// path is the one the kernel opens for open(path, O_PATH | O_DIRECTORY): the same device and inode.
// Where the kernel refuses, the walk refuses with the same `errno`. Paths are taken from the root and
// from working directories inside the tree, as this user and, as root, as another user.
#include <fcntl.h>
#include <limits.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "files/folder.h"
#include "files/result.h"
#include "scratch.h"

namespace {

/// A small generator (splitmix64) that gives the same numbers everywhere for a seed.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
  }
  size_t Below(size_t n) { return static_cast<size_t>(Next() % n); }
  bool OneIn(size_t n) { return Below(n) == 0; }
  template <typename T>
  const T& Pick(const std::vector<T>& from) {
    return from[Below(from.size())];
  }

 private:
  uint64_t state_;
};

/// What a path leads to: a folder (its device and inode), or the `errno` value of the refusal.
struct Answer {
  int error = 0;
  dev_t dev = 0;
  ino_t ino = 0;
  bool operator==(const Answer& other) const {
    return error == other.error && (error != 0 || (dev == other.dev && ino == other.ino));
  }
  std::string Text() const {
    if (error == 0) return "the folder " + std::to_string(dev) + ":" + std::to_string(ino);
    const char* name = ::strerrorname_np(error);
    return name ? name : std::to_string(error);
  }
};

/// The kernel's answer for `path` from the folder open as `at` (or the working directory).
Answer Kernel(int at, const std::string& path) {
  Answer answer;
  const int fd = ::openat(at, path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  struct stat st;
  if (fd < 0 || ::fstat(fd, &st) != 0) {
    answer.error = errno;
  } else {
    answer.dev = st.st_dev;
    answer.ino = st.st_ino;
  }
  if (fd >= 0) ::close(fd);
  return answer;
}

/// The walk's answer: `result`, and the folder it opened.
Answer Walked(const files::Result& result, const files::Folder& folder) {
  Answer answer;
  if (!result.ok()) {
    answer.error = result.error();
  } else {
    answer.dev = folder.Status().st_dev;
    answer.ino = folder.Status().st_ino;
  }
  return answer;
}

// Names the trees are made of, so that random paths often meet what is there.
const std::string kLong(NAME_MAX, 'n');         // the longest name a folder may have
const std::string kTooLong(NAME_MAX + 1, 'o');  // one more than that
const std::vector<std::string> kFolderNames = {"a", "b", "c", "d"};
const std::vector<std::string> kLinkNames = {"k", "l", "m"};

/// The name of the deep chain's folder `level`: 255 letters, each level its own.
std::string ChainName(int level) { return std::string(NAME_MAX, static_cast<char>('A' + level)); }
constexpr int kChainLevels = 16;      // deeper than a path from the root may reach
constexpr size_t kRandomPaths = 360;  // of each tree

/// A random tree of folders, links and files in a private folder, and the paths to look up there.
class Tree {
 public:
  Tree(const std::string& top, uint64_t seed) : top_(top), random_(seed) {
    topFd_ = ::open(top.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    Build();
  }
  ~Tree() {
    if (topFd_ >= 0) ::close(topFd_);
  }
  Tree(const Tree&) = delete;
  Tree& operator=(const Tree&) = delete;

  /// Paths relative to the top folder, to be looked up from the working directories and, with the
  /// top folder's path before them, from the root.
  const std::vector<std::string>& Paths() const { return paths_; }
  /// Working directories inside the tree (relative to the top folder), each with how many of the
  /// paths are looked up from there (the first ones, which include every path made on purpose).
  const std::vector<std::pair<std::string, size_t>>& WorkingDirectories() const { return cwds_; }
  /// The top folder's path.
  const std::string& Top() const { return top_; }

  /// The folder `relative` of the tree opened (O_PATH) one name at a time, so that a path longer
  /// than the system allows can be reached; -1 when it cannot be.
  int OpenFolder(const std::string& relative) const {
    int fd = ::fcntl(topFd_, F_DUPFD_CLOEXEC, 0);
    std::stringstream names(relative);
    for (std::string name; fd >= 0 && std::getline(names, name, '/');) {
      if (name.empty()) continue;
      const int next = ::openat(fd, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      ::close(fd);
      fd = next;
    }
    return fd;
  }

  /// The tree in words, for a report: every folder with its mode, every link with its target and
  /// every file.
  std::string Describe() const {
    std::string text = "tree at " + top_ + ":\n";
    for (const auto& [path, mode] : modes_) {
      char octal[8];
      std::snprintf(octal, sizeof octal, "%04o", static_cast<unsigned>(mode));
      text += "  folder " + Short(path) + " " + octal + "\n";
    }
    for (const auto& [path, target] : links_) text += "  link " + Short(path) + " -> " + Short(target) + "\n";
    for (const std::string& path : files_) text += "  file " + Short(path) + "\n";
    return text;
  }

  /// `path` with the top folder's path and long names shortened, for a report.
  std::string Short(std::string path) const {
    for (size_t at; (at = path.find(top_)) != std::string::npos;) path.replace(at, top_.size(), "TOP");
    for (int level = 0; level < kChainLevels; ++level)
      for (size_t at; (at = path.find(ChainName(level))) != std::string::npos;)
        path.replace(at, NAME_MAX, "<" + std::string(1, static_cast<char>('A' + level)) + "x255>");
    for (size_t at; (at = path.find(kTooLong)) != std::string::npos;)
      path.replace(at, kTooLong.size(), "<o x256>");
    for (size_t at; (at = path.find(kLong)) != std::string::npos;) path.replace(at, kLong.size(), "<n x255>");
    return path;
  }

 private:
  void MakeFolder(const std::string& path, mode_t mode) {
    const size_t slash = path.rfind('/');
    const int parent = OpenFolder(slash == std::string::npos ? "" : path.substr(0, slash));
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (parent >= 0 && ::mkdirat(parent, name.c_str(), 0700) == 0) {
      folders_.push_back(path);
      modes_[path] = mode;
    }
    if (parent >= 0) ::close(parent);
  }

  void MakeLink(const std::string& path, const std::string& target) {
    const size_t slash = path.rfind('/');
    const int parent = OpenFolder(slash == std::string::npos ? "" : path.substr(0, slash));
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (parent >= 0 && ::symlinkat(target.c_str(), parent, name.c_str()) == 0) links_[path] = target;
    if (parent >= 0) ::close(parent);
  }

  void MakeFile(const std::string& path) {
    const size_t slash = path.rfind('/');
    const int parent = OpenFolder(slash == std::string::npos ? "" : path.substr(0, slash));
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const int fd =
        parent >= 0 ? ::openat(parent, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644) : -1;
    if (fd >= 0) {
      ::close(fd);
      files_.push_back(path);
    }
    if (parent >= 0) ::close(parent);
  }

  static std::string Join(const std::string& folder, const std::string& name) {
    return folder.empty() ? name : folder + "/" + name;
  }

  /// A random relative path of `most` names at most, of names the trees hold and of ".", "..",
  /// "" (a doubled "/") and names that are nowhere.
  std::string RandomPath(size_t most) {
    static const std::vector<std::string> rare = {".",   "",   "f", "nope", "deep",
                                                  "far", "c0", "z", "shut", "pass"};
    std::string path;
    const size_t count = 1 + random_.Below(most);
    for (size_t i = 0; i < count; ++i) {
      if (i > 0) path += "/";
      const size_t kind = random_.Below(20);
      if (kind < 7)
        path += random_.Pick(kFolderNames);
      else if (kind < 12)
        path += random_.Pick(kLinkNames);
      else if (kind < 16)
        path += "..";
      else if (kind < 19)
        path += random_.Pick(rare);
      else
        path += random_.OneIn(3) ? kTooLong : kLong;
    }
    if (random_.OneIn(5)) path += "/";
    return path;
  }

  /// A random target for a link in `folder`.
  std::string RandomTarget(const std::string& folder, const std::string& name) {
    switch (random_.Below(10)) {
      case 0:
      case 1:
      case 2: return RandomPath(4);
      case 3:
      case 4: {
        std::string target = top_ + "/" + random_.Pick(folders_);
        if (random_.OneIn(3)) target += random_.OneIn(2) ? "/.." : "/" + random_.Pick(kLinkNames);
        return target;
      }
      case 5: return random_.OneIn(2) ? name : "./" + name;  // a loop
      case 6: return random_.OneIn(2) ? "f" : "../f";        // a file, maybe
      case 7: return random_.OneIn(2) ? "nope" : "nope/a";   // dangling
      case 8: return random_.OneIn(2) ? chain_[random_.Below(chain_.size())] : top_ + "//" + folder + "/./";
      default: {
        static const std::vector<std::string> up = {"..", "../..", "/", ".", "../../.."};
        return random_.Pick(up);
      }
    }
  }

  void Build() {
    modes_[""] = 0700;
    folders_.push_back("");
    // Folders no one but root may search, or read, and ones only their owner may search.
    MakeFolder("shut", 0600);
    MakeFolder("shut/a", 0755);
    MakeFolder("ro", 0644);
    MakeFolder("ro/a", 0755);
    MakeFolder("own", 0700);
    MakeFolder("own/a", 0755);
    MakeFolder("pass", 0711);
    MakeFolder("pass/a", 0755);
    MakeFolder(kLong, 0755);
    // A chain of links: 40 of them may be followed, not 41.
    for (int i = 0; i < 40; ++i)
      MakeLink("c" + std::to_string(i), i < 39 ? "c" + std::to_string(i + 1) : ".");
    MakeLink("z", "c0");
    // A chain of folders of 255-byte names, deeper than a path from the root may reach, with links
    // back up and home, and a link to a folder near the end of what a path may name.
    std::string deep = "deep";
    MakeFolder(deep, 0755);
    for (int level = 0; level < kChainLevels; ++level) {
      deep += "/" + ChainName(level);
      MakeFolder(deep, 0755);
      if (top_.size() + 1 + deep.size() < PATH_MAX) chain_.push_back(top_ + "/" + deep);
      if (level % 5 == 3) {
        MakeLink(deep + "/up", "../..");
        MakeLink(deep + "/home", top_);
      }
    }
    deepest_ = deep;
    MakeLink("far", chain_.back());
    // Random folders, links and files.
    for (int i = 0; i < 28; ++i) {
      const std::string parent = random_.Pick(folders_);
      if (parent.rfind("deep", 0) == 0 || std::count(parent.begin(), parent.end(), '/') >= 4) continue;
      static const std::vector<mode_t> modes = {0755, 0755, 0755, 0755, 0755, 0711, 0700, 0644, 0600};
      MakeFolder(Join(parent, random_.OneIn(12) ? kLong : random_.Pick(kFolderNames)), random_.Pick(modes));
    }
    std::vector<std::string> shallow;
    for (const std::string& folder : folders_)
      if (folder.rfind("deep", 0) != 0) shallow.push_back(folder);
    for (int i = 0; i < 36; ++i) {
      const std::string folder = random_.Pick(shallow);
      const std::string name = random_.Pick(kLinkNames);
      MakeLink(Join(folder, name), RandomTarget(folder, name));
    }
    for (int i = 0; i < 8; ++i) MakeFile(Join(random_.Pick(shallow), "f"));
    // The modes last, so that everything could be made.
    for (const auto& [path, mode] : modes_)
      if (!path.empty()) {
        const size_t slash = path.rfind('/');
        const int parent = OpenFolder(slash == std::string::npos ? "" : path.substr(0, slash));
        if (parent >= 0) {
          ::fchmodat(parent, path.substr(slash == std::string::npos ? 0 : slash + 1).c_str(), mode, 0);
          ::close(parent);
        }
      }
    MakePaths();
    // The deepest folder is further from the root than a path may reach, and every relative walk
    // from there goes up through all of it: fewer random paths there.
    const size_t all = paths_.size(), some = all - kRandomPaths + kRandomPaths / 5;
    cwds_ = {{"", all},        {random_.Pick(shallow), all},
             {deepest_, some}, {"shut", all},
             {"pass/a", all},  {"deep/" + ChainName(0) + "/" + ChainName(1), some}};
  }

  void MakePaths() {
    paths_ = {"",
              ".",
              "..",
              "./",
              ".//.",
              "f",
              "nope",
              "c0",
              "c0/",
              "c0/.",
              "c0/..",
              "z",
              "z/",
              "z/..",
              "c39/..",
              kLong,
              kLong + "/",
              kLong + "/.",
              kTooLong,
              kTooLong + "/..",
              "a/" + kTooLong,
              "shut",
              "shut/",
              "shut/.",
              "shut/..",
              "shut/a",
              "shut/nope",
              "shut/" + kTooLong,
              "shut/" + kLong,
              "ro/a",
              "ro/.",
              "own/a",
              "own/..",
              "pass/a",
              "pass/.",
              "pass/a/..",
              "far",
              "far/",
              "far/..",
              "far/../..",
              "far/" + ChainName(kChainLevels - 1),
              "far/" + ChainName(kChainLevels - 1) + "/..",
              "up",
              "up/up/up",
              "home",
              "up/home/a",
              "../../..",
              "../../../..",
              "../" + ChainName(kChainLevels - 1)};
    // Down the chain, level by level, from the top folder; and the deepest the root may reach
    // padded with "/", "./" or "/." to just below, at and above the most a path may hold.
    std::string deep = "deep";
    for (int level = 0; level < kChainLevels; ++level) {
      deep += "/" + ChainName(level);
      paths_.push_back(deep);
    }
    const std::string last = chain_.back().substr(top_.size() + 1);
    for (const size_t length : {PATH_MAX - 3, PATH_MAX - 2, PATH_MAX - 1, PATH_MAX, PATH_MAX + 1}) {
      // As given from the top folder, and as given from the root (with the top folder's path).
      for (const size_t before : {size_t(0), top_.size() + 1}) {
        if (last.size() + before >= length) continue;
        const size_t pad = length - last.size() - before;
        paths_.push_back(last + std::string(pad, '/'));
        paths_.push_back(last + std::string(pad - 2, '/') + "/z");
        std::string dots;
        while (dots.size() + 2 <= pad) dots += "./";
        paths_.push_back(dots + last + std::string(pad - dots.size(), '/'));
        std::string tail = last;
        while (tail.size() + 2 <= last.size() + pad) tail += "/.";
        paths_.push_back(tail + std::string(last.size() + pad - tail.size(), '/'));
      }
    }
    for (size_t i = 0; i < kRandomPaths; ++i) paths_.push_back(RandomPath(8));
  }

  std::string top_;
  Random random_;
  int topFd_ = -1;
  std::vector<std::string> folders_;     // relative to the top folder, "" for it
  std::map<std::string, mode_t> modes_;  // of the folders
  std::map<std::string, std::string> links_;
  std::vector<std::string> files_;
  std::vector<std::string> chain_;  // the deep chain's folders a path from the root may name
  std::string deepest_;
  std::vector<std::string> paths_;
  std::vector<std::pair<std::string, size_t>> cwds_;
};

/// Looks up every path of `tree` as this process is: from the root, and from each working
/// directory the tree offers that this user may stand in (a new process each, which takes the user
/// 65534 there when `asNobody`). Answers the differences from the kernel, one a line, and adds up
/// in `*seen` how often the kernel answered what.
std::string Compare(const Tree& tree, bool asNobody, std::map<std::string, int>* seen) {
  std::string report;
  for (size_t i = 0; i < tree.WorkingDirectories().size(); ++i) {
    const auto& [cwd, count] = tree.WorkingDirectories()[i];
    const int cwdFd = tree.OpenFolder(cwd);
    if (cwdFd < 0) continue;
    const std::string said = scratch::InChild([&] {
      if (::fchdir(cwdFd) != 0) return std::string();  // not a folder this user may stand in
      if (asNobody && !scratch::BecomeNobody()) return std::string("! not nobody\n");
      std::string lines;
      const auto compare = [&lines](const std::string& how, const Answer& kernel, const Answer& walk) {
        lines += "= " + (kernel.error ? kernel.Text() : std::string("ok")) + "\n";
        if (!(kernel == walk))
          lines += "! " + how + ": the kernel: " + kernel.Text() + ", the walk: " + walk.Text() + "\n";
      };
      files::Folder here;
      const bool standing = files::Folder::Open(".", &here).ok();
      // The folder of a path's last name, as `Locate` finds it and as the kernel opens it.
      const auto locate = [&compare](const std::string& how, const std::string& path) {
        const size_t slash = path.rfind('/');
        const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
        if (name.empty() || name == "." || name == "..") return;  // names no file
        size_t end = slash == std::string::npos ? 0 : slash;
        while (end > 0 && path[end - 1] == '/') --end;
        const std::string parent = slash == std::string::npos ? "." : end == 0 ? "/" : path.substr(0, end);
        Answer kernel;
        kernel.error = ENAMETOOLONG;  // the whole path is the kernel's to refuse first
        if (path.size() < PATH_MAX) kernel = Kernel(AT_FDCWD, parent);
        files::Place place;
        compare("the place of " + how, kernel, Walked(files::Locate(path, &place), place.folder));
      };
      for (size_t p = 0; p < count; ++p) {
        const std::string& path = tree.Paths()[p];
        files::Folder folder;
        if (i == 0) {
          // From the root, once.
          const std::string absolute = tree.Top() + "/" + path;
          compare("the path " + absolute, Kernel(AT_FDCWD, absolute),
                  Walked(files::Folder::Open(absolute, &folder), folder));
          locate("the path " + absolute, absolute);
        }
        compare("standing in TOP/" + cwd + ", the path " + path, Kernel(AT_FDCWD, path),
                Walked(files::Folder::Open(path, &folder), folder));
        locate("standing in TOP/" + cwd + ", the path " + path, path);
        if (standing)
          compare("from the open folder TOP/" + cwd + ", the path " + path, Kernel(here.Descriptor(), path),
                  Walked(here.Walk(path, &folder), folder));
      }
      return lines;
    });
    ::close(cwdFd);
    std::stringstream lines(said);
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind("= ", 0) == 0)
        ++(*seen)[line.substr(2)];
      else
        report += tree.Short(line.substr(line.rfind("! ", 0) == 0 ? 2 : 0)) + "\n";
    }
  }
  return report;
}

/// Runs the comparison over the seeded trees; answers the differences, each with its tree.
std::string CompareTrees(bool asNobody, std::map<std::string, int>* seen) {
  std::string report;
  for (const uint64_t seed : {1u, 2u, 20240611u}) {
    scratch::Dir dir;
    // Private; another user may pass through it (root's folders in it are not theirs to search).
    if (asNobody) ::chmod(dir.path().c_str(), 0711);
    const Tree tree(dir.path(), seed);
    const std::string differences = Compare(tree, asNobody, seen);
    if (!differences.empty())
      report += "seed " + std::to_string(seed) + ":\n" + differences + tree.Describe();
  }
  return report;
}

TEST(WalkKernelTest, TheWalkOpensWhatTheKernelOpensAndRefusesWhatItRefuses) {
  std::map<std::string, int> seen;
  const std::string report = CompareTrees(false, &seen);
  EXPECT_EQ(report, "");
  // Every kind of answer came up (a user other than root cannot search every folder).
  std::set<std::string> kinds = {"ok", "ENOENT", "ENOTDIR", "ELOOP", "ENAMETOOLONG"};
  if (::geteuid() != 0) kinds.insert("EACCES");
  for (const std::string& kind : kinds) EXPECT_GT(seen[kind], 10) << kind;
}

TEST(WalkKernelTest, AsAnotherUserTheWalkIsRefusedWhereTheKernelIs) {
  if (::geteuid() != 0) GTEST_SKIP() << "becoming another user needs root; the other test runs as this one";
  std::map<std::string, int> seen;
  const std::string report = CompareTrees(true, &seen);
  EXPECT_EQ(report, "");
  for (const char* kind : {"ok", "ENOENT", "ENOTDIR", "ELOOP", "ENAMETOOLONG", "EACCES"})
    EXPECT_GT(seen[kind], 10) << kind;
}

}  // namespace

// A path hundreds of folders deep, and `..` back up through most of them, as the kernel takes it
// with only a few descriptors to spare: the walk holds only its last folders open.
TEST(WalkKernelTest, ADeepPathNeedsNoDescriptorPerFolder) {
  scratch::Dir dir;
  std::string deep = dir.path(), back = deep;
  for (int i = 0; i < 300; ++i) deep += "/d";
  back = deep;
  for (int i = 0; i < 290; ++i) back += "/..";
  std::error_code ec;
  ASSERT_TRUE(std::filesystem::create_directories(deep, ec)) << ec.message();
  const std::string got = scratch::InChild([&] {
    const rlimit few = {64, 64};
    if (::setrlimit(RLIMIT_NOFILE, &few) != 0) return std::string("no limit");
    std::string said;
    for (const std::string& path : {deep, back}) {
      struct stat kernel;
      const int fd = ::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
      if (fd < 0 || ::fstat(fd, &kernel) != 0) return "the kernel: " + std::string(std::strerror(errno));
      ::close(fd);
      files::Folder folder;
      const files::Result r = files::Folder::Open(path, &folder);
      said += !r.ok()                                   ? r.Text() + "\n"
              : folder.Status().st_ino == kernel.st_ino ? std::string("same\n")
                                                        : std::string("another folder\n");
    }
    return said;
  });
  EXPECT_EQ(got, "same\nsame\n");
}
