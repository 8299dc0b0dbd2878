// The walk against the kernel: in seeded random trees, the folder that `files::Folder::Open`,
// `Folder::Walk` and `files::Locate` reach for a path is the one the kernel opens (same device and
// inode), and where the kernel refuses, the walk refuses with the same `errno`; from the root and
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
#include <sstream>
#include <string>
#include <vector>

#include "files/folder.h"
#include "files/result.h"
#include "scratch.h"

namespace {

const std::string kLong(NAME_MAX, 'n'), kTooLong(NAME_MAX + 1, 'o');
const std::vector<std::string> kFolders = {"a", "b", "c", "d"}, kLinks = {"k", "l", "m"};
constexpr int kLevels = 16;  // of the deep chain: deeper than a path from the root may reach

/// The deep chain's folder `level`: 255 letters, each level its own.
std::string Level(int level) { return std::string(NAME_MAX, static_cast<char>('A' + level)); }

/// "ok DEV:INO" for a folder, else the `errno` name.
std::string Answer(int error, const struct stat* st = nullptr) {
  if (error == 0) return "ok " + std::to_string(st->st_dev) + ":" + std::to_string(st->st_ino);
  const char* name = ::strerrorname_np(error);
  return name ? name : std::to_string(error);
}

std::string Kernel(int at, const std::string& path) {
  struct stat st;
  const int fd = ::openat(at, path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  const std::string said = fd >= 0 && ::fstat(fd, &st) == 0 ? Answer(0, &st) : Answer(errno);
  if (fd >= 0) ::close(fd);
  return said;
}

std::string Walked(const files::Result& r, const files::Folder& folder) {
  return r.ok() ? Answer(0, &folder.Status()) : Answer(r.error());
}

/// A random tree of folders, links and files in the folder `top`, and the paths to look up there.
struct Tree {
  Tree(const std::string& top, uint64_t seed);
  ~Tree() { ::close(topFd); }

  size_t Below(size_t n) {  // splitmix64: the same numbers everywhere for a seed
    uint64_t z = (seed += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return static_cast<size_t>((z ^ (z >> 31)) % n);
  }
  const std::string& Pick(const std::vector<std::string>& from) { return from[Below(from.size())]; }

  /// The tree's folder `relative` opened (O_PATH) a name at a time, so that a path longer than the
  /// system allows is reached too; -1 when it cannot be.
  int Open(const std::string& relative) const {
    int fd = ::fcntl(topFd, F_DUPFD_CLOEXEC, 0);
    std::stringstream names(relative);
    for (std::string name; fd >= 0 && std::getline(names, name, '/');) {
      const int next = ::openat(fd, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      ::close(fd);
      fd = next;
    }
    return fd;
  }

  /// Makes the folder (`link` empty, mode 0700 until `modes` are set), link or file ("-") `path`.
  void Make(const std::string& path, const std::string& link = {}, mode_t mode = 0755) {
    const size_t slash = path.rfind('/');
    const int at = Open(slash == std::string::npos ? "" : path.substr(0, slash));
    const char* name = path.c_str() + (slash == std::string::npos ? 0 : slash + 1);
    if (link.empty() && ::mkdirat(at, name, 0700) == 0) {
      folders.push_back(path);
      modes.push_back({path, mode});
    } else if (link == "-") {
      ::close(::openat(at, name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    } else if (!link.empty()) {
      ::symlinkat(link.c_str(), at, name);
    }
    ::close(at);
  }

  /// A random relative path of names the tree holds, ".", "..", "" (a doubled "/"), names that
  /// are nowhere and names 255 and 256 bytes long.
  std::string RandomPath(size_t most) {
    static const std::vector<std::string> rare = {".",   "",   "f", "nope", "deep",
                                                  "far", "c0", "z", "shut", "pass"};
    std::string path;
    for (size_t i = 0, count = 1 + Below(most); i < count; ++i) {
      const size_t kind = Below(20);
      path += (i ? "/" : "") + (kind < 7    ? Pick(kFolders)
                                : kind < 12 ? Pick(kLinks)
                                : kind < 16 ? ".."
                                : kind < 19 ? Pick(rare)
                                : Below(3)  ? kLong
                                            : kTooLong);
    }
    return Below(5) ? path : path + "/";
  }

  std::string RandomTarget(const std::string& folder, const std::string& name) {
    switch (Below(9)) {
      case 0:
      case 1:
      case 2: return RandomPath(4);
      case 3:
      case 4: return top + "/" + Pick(folders) + (Below(3) ? "" : Below(2) ? "/.." : "/" + Pick(kLinks));
      case 5: return Below(2) ? name : "./" + name;  // a loop
      case 6: return Below(2) ? "f" : "../f";        // a file, maybe
      case 7: return Below(2) ? Pick(chain) : top + "//" + folder + "/./";
      default: return Pick({"..", "../..", "/", ".", "../../..", "nope", "nope/a"});
    }
  }

  std::string top;
  uint64_t seed;
  int topFd;
  std::vector<std::string> folders = {""}, chain, paths;  // chain: the deep folders the root reaches
  std::vector<std::pair<std::string, mode_t>> modes;
  std::vector<std::pair<std::string, size_t>> cwds;  // working directories, and how many paths there
};

Tree::Tree(const std::string& topPath, uint64_t seedValue)
    : top(topPath), seed(seedValue), topFd(::open(topPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC)) {
  // Folders only root may search or read, one only its owner may, and one anyone may pass.
  for (const auto& [name, mode] : std::vector<std::pair<std::string, mode_t>>{
           {"shut", 0600}, {"ro", 0644}, {"own", 0700}, {"pass", 0711}}) {
    Make(name, {}, mode);
    Make(name + "/a");
  }
  Make(kLong);
  // 40 links may be followed, not 41.
  for (int i = 0; i < 40; ++i) Make("c" + std::to_string(i), i < 39 ? "c" + std::to_string(i + 1) : ".");
  Make("z", "c0");
  // A chain of 255-byte names deeper than a path may reach, with links back up and home.
  std::string deep = "deep";
  Make(deep);
  for (int level = 0; level < kLevels; ++level) {
    Make(deep += "/" + Level(level));
    if (top.size() + 1 + deep.size() < PATH_MAX) chain.push_back(top + "/" + deep);
    if (level % 5 == 3) {
      Make(deep + "/up", "../..");
      Make(deep + "/home", top);
    }
  }
  Make("far", chain.back());
  // Random folders, links and files, away from the deep chain.
  std::vector<std::string> shallow;
  for (const std::string& folder : folders)
    if (folder.rfind("deep", 0) != 0) shallow.push_back(folder);
  const auto in = [](const std::string& folder, const std::string& name) {
    return folder.empty() ? name : folder + "/" + name;
  };
  for (int i = 0; i < 28; ++i) {
    const std::string parent = Pick(shallow);
    if (std::count(parent.begin(), parent.end(), '/') >= 4) continue;
    const size_t made = folders.size();
    Make(in(parent, Below(12) ? Pick(kFolders) : kLong), {},
         std::vector<mode_t>{0755, 0755, 0755, 0755, 0755, 0711, 0700, 0644, 0600}[Below(9)]);
    if (folders.size() > made) shallow.push_back(folders.back());
  }
  for (int i = 0; i < 36; ++i) {
    const std::string folder = Pick(shallow), name = Pick(kLinks);
    Make(in(folder, name), RandomTarget(folder, name));
  }
  for (int i = 0; i < 8; ++i) Make(in(Pick(shallow), "f"), "-");
  for (auto it = modes.rbegin(); it != modes.rend(); ++it) {  // deepest first, so that all are reached
    const size_t slash = it->first.rfind('/');
    const int at = Open(slash == std::string::npos ? "" : it->first.substr(0, slash));
    ::fchmodat(at, it->first.c_str() + (slash == std::string::npos ? 0 : slash + 1), it->second, 0);
    ::close(at);
  }
  deep = "deep";
  for (int level = 0; level < kLevels; ++level) paths.push_back(deep += "/" + Level(level));
  // The deepest folder the root reaches, padded with "/" or "./" to about the most a path holds, as
  // given from the top folder and from the root.
  const std::string end = chain.back().substr(top.size() + 1);
  for (const size_t length : {PATH_MAX - 2, PATH_MAX - 1, PATH_MAX, PATH_MAX + 1})
    for (const size_t before : {size_t(0), top.size() + 1}) {
      if (end.size() + before + 2 >= length) continue;
      const size_t pad = length - end.size() - before;
      std::string dots;
      while (dots.size() + 2 <= pad) dots += "./";
      paths.push_back(end + std::string(pad, '/'));
      paths.push_back(dots + end + std::string(pad - dots.size(), '/'));
    }
  const size_t all = paths.size() + 300, some = paths.size() + 60;  // from deep down, every path goes up
  for (int i = 0; i < 300; ++i) paths.push_back(RandomPath(8));
  cwds = {{"", all},       {Pick(shallow), all}, {"shut", all},
          {"pass/a", all}, {deep, some},         {"deep/" + Level(0) + "/" + Level(1), some}};
}

/// Looks up every path of `tree` from the root and from each working directory it offers (a new
/// process each, as the user nobody when `asNobody`). Answers the differences from the kernel, one a
/// line, and counts in `*seen` how often the kernel answered what.
std::string Compare(const Tree& tree, bool asNobody, std::map<std::string, int>* seen) {
  std::string report;
  for (const auto& [cwd, count] : tree.cwds) {
    const int cwdFd = tree.Open(cwd);
    const std::string said = scratch::InChild([&, &cwd = cwd, count = count] {
      if (cwdFd < 0 || ::fchdir(cwdFd) != 0) return std::string();
      if (asNobody && !scratch::BecomeNobody()) return std::string("! not nobody\n");
      std::string lines;
      const auto compare = [&lines](const std::string& how, const std::string& kernel,
                                    const std::string& walk) {
        lines += kernel.substr(0, kernel.find(' ')) + "\n";
        if (kernel != walk) lines += "! " + how + ": the kernel: " + kernel + ", the walk: " + walk + "\n";
      };
      // The folder of the last name, as `Locate` finds it and as the kernel opens it.
      const auto locate = [&compare](const std::string& path) {
        const size_t slash = path.rfind('/');
        const std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
        if (name.empty() || name == "." || name == "..") return;  // names no file
        const size_t end = slash == std::string::npos ? 0 : path.find_last_not_of('/', slash) + 1;
        const std::string parent = slash == std::string::npos ? "." : end == 0 ? "/" : path.substr(0, end);
        files::Place place;
        compare("the place of " + path, path.size() < PATH_MAX ? Kernel(AT_FDCWD, parent) : "ENAMETOOLONG",
                Walked(files::Locate(path, &place), place.folder));
      };
      files::Folder here, folder;
      const bool standing = files::Folder::Open(".", &here).ok();
      for (size_t p = 0; p < count; ++p) {
        const std::string& path = tree.paths[p];
        if (cwd.empty()) {  // from the root, once
          const std::string absolute = tree.top + "/" + path;
          compare(absolute, Kernel(AT_FDCWD, absolute),
                  Walked(files::Folder::Open(absolute, &folder), folder));
          locate(absolute);
        }
        const std::string how = "in TOP/" + cwd + ", " + path;
        compare(how, Kernel(AT_FDCWD, path), Walked(files::Folder::Open(path, &folder), folder));
        locate(path);
        if (standing)
          compare("from the open folder " + how, Kernel(here.Descriptor(), path),
                  Walked(here.Walk(path, &folder), folder));
      }
      return lines;
    });
    if (cwdFd >= 0) ::close(cwdFd);
    std::stringstream lines(said);
    for (std::string line; std::getline(lines, line);)
      if (line.find(' ') == std::string::npos)
        ++(*seen)[line];
      else
        report += line + "\n";
  }
  return report;
}

TEST(WalkKernelTest, TheWalkOpensWhatTheKernelOpensAndRefusesWhatItRefuses) {
  for (const bool asNobody : {false, true}) {
    if (asNobody && ::geteuid() != 0) continue;  // becoming another user needs root
    std::map<std::string, int> seen;
    for (const uint64_t seed : {1u, 20240611u}) {
      scratch::Dir dir;
      if (asNobody) ::chmod(dir.path().c_str(), 0711);  // nobody may pass through it
      const Tree tree(dir.path(), seed);
      EXPECT_EQ(Compare(tree, asNobody, &seen), "") << "seed " << seed << (asNobody ? " as nobody" : "");
    }
    for (const char* kind : {"ok", "ENOENT", "ENOTDIR", "ELOOP", "ENAMETOOLONG", "EACCES"})
      if (asNobody || ::geteuid() != 0 || std::string(kind) != "EACCES") {
        EXPECT_GE(seen[kind], 5) << kind;  // each kind of answer comes up
      }
  }
}

// A path hundreds of folders deep, and `..` back up most of the way, as the kernel takes it with only
// a few descriptors to spare.
TEST(WalkKernelTest, ADeepPathNeedsNoDescriptorPerFolder) {
  scratch::Dir dir;
  std::string deep = dir.path();
  for (int i = 0; i < 300; ++i) deep += "/d";
  std::string back = deep;
  for (int i = 0; i < 290; ++i) back += "/..";
  std::error_code ec;
  ASSERT_TRUE(std::filesystem::create_directories(deep, ec)) << ec.message();
  EXPECT_EQ(scratch::InChild([&] {
              const rlimit few = {64, 64};
              if (::setrlimit(RLIMIT_NOFILE, &few) != 0) return std::string("no limit");
              std::string said;
              for (const std::string& path : {deep, back}) {
                files::Folder folder;
                const std::string kernel = Kernel(AT_FDCWD, path);
                const std::string walk = Walked(files::Folder::Open(path, &folder), folder);
                said +=
                    (kernel == walk && kernel.rfind("ok", 0) == 0 ? "same" : kernel + " / " + walk) + "\n";
              }
              return said;
            }),
            "same\nsame\n");
}

}  // namespace
