// The file module: temporaries' names, the targets a write refuses or follows, the modes it keeps,
// every operation through links and shared folders, folders the file system shows as another
// user's, relative paths, new folders committed where renameat2's flag is refused, the lock, the
// sweep of temporaries left behind and an interrupted run.
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "files/folder.h"
#include "files/lock.h"
#include "files/registry.h"
#include "files/result.h"
#include "files/sweep.h"
#include "files/temporary.h"
#include "scratch.h"

namespace fs = std::filesystem;

// Stand-ins for system calls, which take the place of the C library's for the module under test.
// While set: `renameat2` refuses its flags as a FUSE or NFS mount does; `renameat` fails (EIO); a
// folder that `mkdirat` makes shows another owner (nobody), as NFS with root squashed or a mount
// with `uid=` shows what this user makes (root only: it takes a chown).
static std::atomic<bool> g_refuseRenameFlags{false};
static std::atomic<bool> g_failRename{false};
static std::atomic<bool> g_madeFoldersForeign{false};

extern "C" int renameat2(int from, const char* fromName, int to, const char* toName, unsigned int flags) {
  if (flags != 0 && g_refuseRenameFlags) {
    errno = EINVAL;
    return -1;
  }
  return static_cast<int>(::syscall(SYS_renameat2, from, fromName, to, toName, flags));
}

extern "C" int renameat(int from, const char* fromName, int to, const char* toName) {
  if (g_failRename) {
    errno = EIO;
    return -1;
  }
  return static_cast<int>(::syscall(SYS_renameat2, from, fromName, to, toName, 0));
}

extern "C" int mkdirat(int at, const char* name, mode_t mode) {
  const int made = static_cast<int>(::syscall(SYS_mkdirat, at, name, mode));
  if (made == 0 && g_madeFoldersForeign) ::fchownat(at, name, 65534, 65534, AT_SYMLINK_NOFOLLOW);
  return made;
}

namespace {

using scratch::Names;
using scratch::ReadBack;
using scratch::Said;

// The name of a temporary of `origin` and process `pid` ("" for the origin: the earlier form).
std::string Temporary(const std::string& name, const std::string& origin, pid_t pid) {
  return "." + name + ".tmp-" + (origin.empty() ? "" : origin + "-") + std::to_string(pid) + "-Zq0rT5bWx2";
}

// A process ID that runs no process: a reaped child's.
pid_t EndedProcess() {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  return child;
}

// Sets a file's times `seconds` into the past.
void Age(const std::string& path, long seconds) {
  const timeval then = {::time(nullptr) - seconds, 0}, times[2] = {then, then};
  ASSERT_EQ(::utimes(path.c_str(), times), 0);
}

// Writes `bytes` as the whole of `path` through its walk and a temporary.
files::Result Write(const std::string& path, const std::string& bytes) {
  files::Place place;
  files::Result r = files::Locate(path, &place);
  if (r.ok()) r = place.folder.WriteFile(place.name, bytes.data(), bytes.size());
  return r;
}

// The paths below `dir` (relative to it) of every entry named `name`.
std::set<std::string> Found(const std::string& dir, const std::string& name) {
  std::set<std::string> found;
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(dir, error); !error && it != fs::end(it);
       it.increment(error))
    if (it->path().filename() == name) found.insert(fs::relative(it->path(), dir).string());
  return found;
}

TEST(FilesTest, NamesTellTheirOriginAndProcess) {
  const std::string& self = files::Origin();
  ASSERT_EQ(self.size(), 12u);
  const struct {
    std::string name;
    bool temporary, local;
    pid_t pid;
  } rows[] = {
      {Temporary("scene.ovs", self, 123), true, true, 123},
      {".a.tmp-1-2" + Temporary("x", self, 9).substr(2), true, true, 9},
      {Temporary("scene.ovs", "0123456789ab", 123), true, self == "0123456789ab", 123},
      // Only the exact form counts: not the earlier ones, nor a user's names that look alike.
      {".scene.ovs.tmp-123-0", false, false, 0},
      {Temporary("scene.ovs", "", 123), false, false, 0},
      {".scene.ovs.tmp-" + self + "-123-0", false, false, 0},
      {".photos.tmp-2023-backup", false, false, 0},
      {".report.tmp-2024-final", false, false, 0},
      {".notes.tmp-1234-5", false, false, 0},
      {"scene.ovs.tmp-" + self + "-123-Zq0rT5bWx2", false, false, 0},
      {".a.tmp-" + self + "-0-Zq0rT5bWx2", false, false, 0},
      {".a.tmp-" + self + "-077-Zq0rT5bWx2", false, false, 0},
      {".a.tmp-" + self + "-99999999999-Zq0rT5bWx2", false, false, 0},
      {".a.tmp-ABCDEF012345-1-Zq0rT5bWx2", false, false, 0},
      {".a.tmp-f" + self + "-1-Zq0rT5bWx2", false, false, 0},
      {".a.tmp-" + self + "-77-Zq0rT5bWx", false, false, 0},
      {".a.tmp-" + self + "-77-Zq0rT5bWx2k", false, false, 0},
      {".scene.ovs", false, false, 0},
  };
  for (const auto& row : rows) {
    const files::NameInfo info = files::ReadName(row.name);
    EXPECT_EQ(info.temporary, row.temporary) << row.name;
    EXPECT_EQ(info.local, row.local) << row.name;
    EXPECT_EQ(info.temporary ? info.pid : 0, row.pid) << row.name;
  }

  // A long target name is shortened to fit the folder; the file made carries this process.
  scratch::Dir dir;
  files::Folder folder;
  ASSERT_EQ(Said(files::Folder::Open(dir.path(), &folder)), "ok");
  const std::string longName(251, 'n');
  files::TemporaryFile file;
  ASSERT_EQ(Said(folder.CreateTemporary(longName, &file)), "ok");
  const std::set<std::string> made = Names(dir.path());
  ASSERT_EQ(made.size(), 1u);
  const files::NameInfo info = files::ReadName(*made.begin());
  EXPECT_TRUE(info.temporary && info.local && info.pid == ::getpid()) << *made.begin();
  EXPECT_EQ(Said(file.Commit()), "ok");
  EXPECT_EQ(Names(dir.path()), std::set<std::string>{longName});
}

TEST(FilesTest, SpecialTargetsAreRefusedLinksFollowedAndModesKept) {
  scratch::Dir dir;
  // Devices and link loops at each writer's target are refused in the runner's tests.
  const bool root = ::geteuid() == 0;  // another user's link needs root
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600) | ::mkdir((dir / "folder").c_str(), 0700), 0);
  std::ofstream(dir / "victim") << "victim";
  // In a sticky folder that anyone may write to, another user's link is not followed.
  fs::create_directory(dir / "shared");
  fs::permissions(dir / "shared", fs::perms(01777));
  fs::create_symlink(dir / "victim", dir / "shared/planted");
  ASSERT_TRUE(!root || ::lchown((dir / "shared/planted").c_str(), 65534, 65534) == 0);
  const struct {
    std::string target, said;
  } refused[] = {
      {"fifo", "EINVAL not regular: not a regular file"},
      {"folder", "EISDIR: Is a directory"},
      {"shared/planted", "EACCES: Permission denied"},  // another user's, when there is one (root)
  };
  for (const auto& row : refused) {
    if (!root && row.target == "shared/planted") continue;  // said at the end
    files::Place place;
    ASSERT_EQ(Said(files::Locate(dir / row.target, &place)), "ok") << row.target;
    // Refused before any work (a save's target is checked first), when written, and when read.
    files::Target target;
    EXPECT_EQ(Said(place.folder.Follow(place.name, &target)), row.said) << row.target;
    EXPECT_EQ(Said(place.folder.WriteFile(place.name, "x", 1)), row.said) << row.target;
    std::string bytes;
    EXPECT_EQ(Said(place.folder.ReadFile(place.name, &bytes)), row.said) << row.target;
  }
  EXPECT_TRUE(fs::is_fifo(dir / "fifo") && fs::is_empty(dir / "folder"));
  EXPECT_EQ(ReadBack(dir / "victim"), "victim");

  // Links are followed, relative ones from the link's folder, and stay; a dangling one makes its
  // file. Under umask 077 a new file is 0600 and a replaced one keeps its permission bits, never
  // set-user-ID, set-group-ID or sticky.
  fs::create_directory(dir / "folder/sub");
  for (const char* name : {"real", "setuid", "theirs"})
    std::ofstream(dir / ("folder/sub/" + std::string(name))) << "old";
  std::ofstream(dir / "shared/left") << "old";  // planted in the shared folder by another user (root)
  ASSERT_TRUE(!root || (::chown((dir / "folder/sub/theirs").c_str(), 65534, 65534) |
                        ::chown((dir / "shared/left").c_str(), 65534, 65534)) == 0);
  ASSERT_EQ(::chmod((dir / "shared/left").c_str(), 0666), 0);
  ASSERT_EQ(
      ::chmod((dir / "folder/sub/real").c_str(), 0640) | ::chmod((dir / "folder/sub/setuid").c_str(), 06755),
      0);
  fs::create_symlink("sub/real", dir / "folder/inner");
  fs::create_symlink("folder/inner", dir / "outer");
  fs::create_symlink("folder/sub/new", dir / "dangling");
  fs::create_symlink(dir / "victim", dir / "shared/mine");  // this user's link in the shared folder
  const mode_t umask = ::umask(077);
  for (const char* target :
       {"outer", "dangling", "folder/sub/setuid", "shared/mine", "folder/sub/theirs", "shared/left"})
    EXPECT_EQ(Said(Write(dir / target, target)), "ok") << target;
  ::umask(umask);
  EXPECT_TRUE(fs::is_symlink(dir / "outer") && fs::is_symlink(dir / "folder/inner") &&
              fs::is_symlink(dir / "dangling") && fs::is_symlink(dir / "shared/mine"));
  EXPECT_EQ(ReadBack(dir / "folder/sub/real") + "," + ReadBack(dir / "folder/sub/new") + "," +
                ReadBack(dir / "victim"),
            "outer,dangling,shared/mine");
  // There, another user's file hands on neither its mode nor its owner.
  const std::pair<const char*, int> modes[] = {{"folder/sub/real", 0640},
                                               {"folder/sub/new", 0600},
                                               {"folder/sub/setuid", 0755},
                                               {"shared/left", root ? 0600 : 0666}};
  for (const auto& [file, mode] : modes) {
    struct stat st;
    ASSERT_EQ(::stat((dir / file).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, static_cast<mode_t>(mode)) << file;
  }
  // A replaced file keeps its owner and group where this user may give them.
  struct stat theirs, left;
  ASSERT_EQ(
      ::stat((dir / "folder/sub/theirs").c_str(), &theirs) | ::stat((dir / "shared/left").c_str(), &left), 0);
  EXPECT_EQ(theirs.st_uid, root ? 65534u : ::geteuid());
  EXPECT_EQ(left.st_uid, ::geteuid());
  EXPECT_EQ(Names(dir / "folder/sub"), (std::set<std::string>{"real", "new", "setuid", "theirs"}));
  if (!root) GTEST_SKIP() << "the row of another user's link needs root to plant it";
}

// Every operation walks its path once through open folders: links of every kind lead to the folder
// they name (`..` after a link to the parent of where the link led), loops end, and in a sticky
// folder only this user's or the folder's owner's links are followed, whatever the operation.
TEST(FilesTest, EveryOperationWalksLinksAsTheyAreAndOnlyTrustedOnesInSharedFolders) {
  scratch::Dir dir;
  const pid_t ended = EndedProcess();
  fs::create_directories(dir / "real/sub");
  fs::create_directory(dir / "shared");
  fs::permissions(dir / "shared", fs::perms(01777));
  fs::create_directory_symlink(dir / "real", dir / "abs");
  fs::create_directory_symlink("real", dir / "rel");
  fs::create_directory_symlink("rel", dir / "chain");
  fs::create_directory_symlink("real/sub/..", dir / "dotdot");
  fs::create_directory_symlink("real/sub", dir / "down");  // "down/.." is real, not dir
  fs::create_directory_symlink(dir / "real/sub", dir / "downabs");
  fs::create_directory_symlink("loop2", dir / "loop");
  fs::create_directory_symlink("loop", dir / "loop2");
  fs::create_directory_symlink("../real", dir / "shared/mine");
  fs::create_directory_symlink("../real", dir / "shared/theirs");
  fs::create_directory_symlink("theirs", dir / "shared/hop");  // this user's, to another's
  // Another user's folder in the shared folder, and a sticky folder shared by its group alone.
  fs::create_directories(dir / "shared/nobodys/sub");
  fs::create_directory(dir / "group");
  fs::permissions(dir / "group", fs::perms(01770));
  fs::create_directory_symlink("../real", dir / "group/theirs");
  fs::create_directory(dir / "open");  // anyone may write there, sticky or not
  fs::permissions(dir / "open", fs::perms(0777));
  fs::create_directory_symlink("../real", dir / "open/theirs");
  const bool root = ::geteuid() == 0;
  ASSERT_TRUE(!root || (::lchown((dir / "shared/theirs").c_str(), 65534, 65534) |
                        ::lchown((dir / "group/theirs").c_str(), 65534, 65534) |
                        ::lchown((dir / "open/theirs").c_str(), 65534, 65534) |
                        ::chown((dir / "shared/nobodys").c_str(), 65534, 65534)) == 0);
  // What is read: real/r, and a decoy where a walk of the text alone would take "down/..".
  std::ofstream(dir / "real/r") << "real";
  std::ofstream(dir / "r") << "decoy";
  const std::string stale = ".s.tmp-" + files::Origin() + "-" + std::to_string(ended) + "-Zq0rT5bWx2";
  // Each operation in the folder `path` names, each walking the path itself.
  const auto operations = [&](const std::string& path) {
    std::vector<std::string> got;
    files::Place place;
    got.push_back(Said(Write(path + "/f", "f")));
    files::Result r = files::Locate(path + "/made", &place);
    files::Folder used;
    if (r.ok()) r = place.folder.UseFolder(place.name, &used);
    got.push_back(Said(r));
    {
      files::NewFolder made;
      r = files::Locate(path + "/t", &place);
      if (r.ok()) r = place.folder.MakeTemporaryFolder(place.name, &made);
      if (r.ok()) r = made.Commit("t");
      got.push_back(Said(r));
    }
    std::ofstream(dir / "real/t/x") << "x";
    r = files::Locate(path + "/t", &place);
    if (r.ok()) r = place.folder.RenewFolder(place.name, &used);
    got.push_back(Said(r));
    std::ofstream(dir / ("real/" + stale)) << "left";
    files::Folder swept;
    r = files::Folder::Open(path, &swept);
    const int removed = r.ok() ? swept.Sweep() : 0;  // a sweep says only how many
    got.push_back(r.ok() && removed != 1 ? "swept " + std::to_string(removed) : Said(r));
    {
      // A name that is taken is not replaced.
      files::NewFolder again;
      r = files::Locate(path + "/t", &place);
      if (r.ok()) r = place.folder.MakeTemporaryFolder(place.name, &again);
      if (r.ok()) r = again.Commit("t");
      got.push_back(Said(r));
    }
    std::string bytes;
    r = files::Locate(path + "/r", &place);
    if (r.ok()) r = place.folder.ReadFile(place.name, &bytes);
    got.push_back(r.ok() && bytes != "real" ? "read " + bytes : Said(r));
    return got;
  };
  const std::string nobodys =
      "EACCES foreign folder: the folder {}shared/nobodys belongs to another user (nobody)";
  const struct {
    std::string path;
    std::string said;  // of every operation ("{}" stands for where the path starts)
    bool anotherUser = false;
  } rows[] = {
      {"real", "ok"},
      {"abs", "ok"},          // an absolute link
      {"rel", "ok"},          // a relative one
      {"chain", "ok"},        // a link to a link
      {"dotdot", "ok"},       // a link whose target goes back up
      {"real/sub/..", "ok"},  // back up in the path itself
      {"down/..", "ok"},      // back up after a relative link: from where it led
      {"downabs/..", "ok"},   // and after an absolute one
      {"shared/../real", "ok"},
      {"shared/mine", "ok"},  // this user's link in a shared folder
      {"loop", "ELOOP: Too many levels of symbolic links"},
      {"loop2/x", "ELOOP: Too many levels of symbolic links"},
      {"shared/theirs", "EACCES: Permission denied", true},      // another user's link there
      {"shared/theirs/sub", "EACCES: Permission denied", true},  // the same in the middle of a path
      {"shared/hop", "EACCES: Permission denied", true},         // reached through a link of this user's
      {"group/theirs", "EACCES: Permission denied", true},       // in a sticky folder its group may write to
      {"open/theirs", "EACCES: Permission denied", true},        // in a folder anyone may write to
      {"shared/nobodys/sub", nobodys, true},                     // another user's folder there
  };
  // Each row from the root and from the working directory, on a file system that takes
  // renameat2's flags, then on one that refuses them.
  for (const auto& row : rows)
    for (const bool relative : {false, true})
      for (const bool refuseFlags : {false, true}) {
        if (row.anotherUser && !root) continue;  // said at the end
        const std::string start = relative ? "" : dir.path() + "/";
        std::string said = row.said;
        if (const size_t at = said.find("{}"); at != std::string::npos) said.replace(at, 2, start);
        const std::string where =
            row.path + (relative ? " relative" : "") + (refuseFlags ? " refused flags" : "");
        fs::remove_all(dir / "real/t");
        g_refuseRenameFlags = refuseFlags;
        std::vector<std::string> got;
        {
          scratch::StandIn standing(dir.path());
          ASSERT_TRUE(standing.ok());
          got = operations(start + row.path);
        }
        g_refuseRenameFlags = false;
        const bool done = said == "ok";
        EXPECT_EQ(got, (std::vector<std::string>{said, said, said, said, said,
                                                 done ? "EEXIST: File exists" : said, said}))
            << where;
        const std::set<std::string> real = done ? std::set<std::string>{"sub", "f", "made", "t", "r"}
                                                : std::set<std::string>{"sub", "r", stale};
        EXPECT_EQ(Names(dir / "real"), real) << where;
        std::error_code error;
        if (done) {
          EXPECT_TRUE(fs::is_empty(dir / "real/t", error) && !error) << where;
        }
        EXPECT_EQ(ReadBack(dir / "r"), "decoy") << where;
        for (const char* name : {"f", "made", "t", stale.c_str()})
          fs::remove_all(dir / ("real/" + std::string(name)));
      }
  if (!root) GTEST_SKIP() << "rows with another user's links need root to plant them";
}

// A file system may show another owner for what this user makes (NFS with root squashed, a mount
// with `uid=`). Outside shared folders that is no reason to refuse a folder; in a shared one a
// folder made there that is not this user's is refused, named with its owner.
TEST(FilesTest, FoldersThisUserMakesAreUsedOutsideSharedFoldersWhateverOwnerTheFileSystemShows) {
  scratch::Dir dir;
  const bool root = ::geteuid() == 0;  // the stand-in for such a file system chowns
  const struct {
    std::string folder;
    mode_t mode;
    bool shownForeign;
    bool refused;
  } rows[] = {
      {"own", 0755, false, false},
      {"own-shown-foreign", 0755, true, false},
      {"shared", 01777, false, false},
      {"shared-shown-foreign", 01777, true, true},
  };
  for (const auto& row : rows) {
    if (row.shownForeign && !root) continue;  // said at the end
    const std::string base = dir / row.folder;
    ASSERT_EQ(::mkdir(base.c_str(), 0700) | ::chmod(base.c_str(), row.mode), 0);
    // What a killed run of this user left there shows the same owner, and is swept all the same.
    const std::string left = base + "/" + Temporary("old", files::Origin(), EndedProcess());
    ASSERT_EQ(::mkdir(left.c_str(), 0700), 0);
    if (row.shownForeign) ASSERT_EQ(::chown(left.c_str(), 65534, 65534), 0);
    files::Folder folder, walked, used;
    ASSERT_EQ(Said(files::Folder::Open(base, &folder)), "ok");
    files::NewFolder made, usedMade, filled;
    g_madeFoldersForeign = row.shownForeign;
    const std::vector<std::string> got = {
        Said(files::Folder::Open(base + "/a/b", &walked, files::Folder::Make::kMissing)),
        Said(files::Folder::Open(base + "/a/b", &walked)),  // and again, as the next run would
        Said(folder.MakeFolder("m", &made)),
        Said(folder.UseFolder("u", &used)),
        Said(folder.UseFolder("v", &used, &usedMade)),
        [&] {
          files::Result r = folder.MakeTemporaryFolder("t", &filled);
          return Said(r.ok() ? filled.Commit("t") : r);
        }(),
    };
    g_madeFoldersForeign = false;
    const auto refusal = [&](const std::string& name) {
      return "EACCES foreign folder: the folder " + base + "/" + name + " belongs to another user (nobody)";
    };
    if (row.refused) {
      EXPECT_EQ(got, (std::vector<std::string>{refusal("a"), refusal("a"), refusal("m"), refusal("u"),
                                               refusal("v"), refusal(".t.tmp-*")}))
          << row.folder;
    } else {
      EXPECT_EQ(got, std::vector<std::string>(got.size(), "ok")) << row.folder;
      made.Keep();
      usedMade.Keep();
      EXPECT_EQ(Names(base), (std::set<std::string>{"a", "m", "u", "v", "t"})) << row.folder;
      EXPECT_TRUE(fs::is_directory(base + "/a/b")) << row.folder;
    }
  }
  if (!root) GTEST_SKIP() << "rows of a file system that shows another owner need root to chown";
}

// A relative path starts at the working directory itself, whatever is now at its path and whether
// or not the folders above it can be searched.
TEST(FilesTest, RelativePathsStartAtTheWorkingDirectoryItself) {
  const bool root = ::geteuid() == 0;
  const struct {
    const char* why;
    std::function<void(const scratch::Dir&)> tree;
    std::string cwd;                                       // where the child stands, in the tree
    std::function<std::string(const scratch::Dir&)> then;  // done after it went there: "" or why not
    bool rootOnly, asNobody;                               // needs root; drops root's privileges after `then`
    std::string path, said, landed;                        // the file written, how, and where it lands
  } rows[] = {
      {"the working directory renamed away and a new folder made at its name",
       [](const scratch::Dir& dir) { fs::create_directories(dir / "d/sub"); }, "d",
       [](const scratch::Dir& dir) {
         fs::rename(dir / "d", dir / "moved");
         fs::create_directories(dir / "d/sub");
         return std::string();
       },
       false, false, "sub/out", "ok", "moved/sub/out"},
      {"another folder mounted over the working directory",
       [](const scratch::Dir& dir) {
         fs::create_directories(dir / "d/sub");
         fs::create_directories(dir / "over/sub");
       },
       "d",
       [](const scratch::Dir& dir) {
         // In a mount namespace of the child's own.
         if (::unshare(CLONE_NEWNS) != 0 ||
             ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
             ::mount((dir / "over").c_str(), (dir / "d").c_str(), nullptr, MS_BIND, nullptr) != 0)
           return std::string("cannot mount");
         return std::string();
       },
       true, false, "sub/out", "ok", "d/sub/out"},
      {"`..` after a link",
       [](const scratch::Dir& dir) {
         fs::create_directories(dir / "d");
         fs::create_directories(dir / "p2/x");
         fs::create_directory_symlink("../p2/x", dir / "d/L");
       },
       "d", nullptr, false, false, "L/../out", "ok", "p2/out"},
      {"standing in a folder anyone may write to, below one this user cannot search",
       [](const scratch::Dir& dir) {
         fs::create_directories(dir / "locked/open");
         fs::permissions(dir / "locked", fs::perms(0700));
         fs::permissions(dir / "locked/open", fs::perms(0777));
       },
       "locked/open", nullptr, true, true, "out", "ok", "locked/open/out"},
      {"standing in another user's folder in a shared folder",
       [](const scratch::Dir& dir) {
         fs::create_directories(dir / "shared/nobodys/sub");
         fs::permissions(dir / "shared", fs::perms(01777));
         ASSERT_EQ(::chown((dir / "shared/nobodys").c_str(), 65534, 65534), 0);
       },
       "shared/nobodys", nullptr, true, false, "sub/out",
       "EACCES foreign folder: the folder {}/shared/nobodys belongs to another user (nobody)", ""},
  };
  std::string skipped;
  for (const auto& row : rows) {
    if (row.rootOnly && !root) {
      skipped += std::string(skipped.empty() ? "" : "; ") + row.why + ": needs root";
      continue;
    }
    scratch::Dir dir;
    row.tree(dir);
    std::string said = row.said;
    if (const size_t at = said.find("{}"); at != std::string::npos) said.replace(at, 2, dir.path());
    const std::string got = scratch::InChild([&] {
      if (::chdir((dir / row.cwd).c_str()) != 0) return std::string("no chdir");
      if (row.then)
        if (const std::string why = row.then(dir); !why.empty()) return why;
      if (row.asNobody && !scratch::BecomeNobody()) return std::string("not nobody");
      return Said(Write(row.path, "out"));
    });
    if (got == "cannot mount") {
      skipped += std::string(skipped.empty() ? "" : "; ") + row.why + ": " + got;
      continue;
    }
    EXPECT_EQ(got, said) << row.why;
    EXPECT_EQ(Found(dir.path(), "out"),
              row.landed.empty() ? std::set<std::string>{} : std::set<std::string>{row.landed})
        << row.why;
  }
  if (!skipped.empty()) GTEST_SKIP() << skipped;
}

// Where the file system refuses renameat2's flag, a new folder still takes its name only when the
// name is free, and a commit that fails leaves nothing at that name: no placeholder, nothing renamed
// over what is there.
TEST(FilesTest, ACommittedFolderTakesOnlyAFreeNameAndAFailedCommitLeavesNothingThere) {
  const struct {
    const char* why;
    std::function<void(const scratch::Dir&)> there;  // what is at the name "x" first
    bool failRename;
    std::string said;
  } rows[] = {
      {"a free name", nullptr, false, "ok"},
      {"a file", [](const scratch::Dir& dir) { std::ofstream(dir / "x") << "x"; }, false,
       "EEXIST: File exists"},
      {"an empty folder", [](const scratch::Dir& dir) { fs::create_directory(dir / "x"); }, false,
       "EEXIST: File exists"},
      {"a folder with a file",
       [](const scratch::Dir& dir) {
         fs::create_directory(dir / "x");
         std::ofstream(dir / "x/in") << "in";
       },
       false, "EEXIST: File exists"},
      {"a link to an empty folder",
       [](const scratch::Dir& dir) {
         fs::create_directory(dir / "elsewhere");
         fs::create_directory_symlink("elsewhere", dir / "x");
       },
       false, "EEXIST: File exists"},
      {"a dangling link", [](const scratch::Dir& dir) { fs::create_symlink("nowhere", dir / "x"); }, false,
       "EEXIST: File exists"},
      {"a free name, and the rename fails", nullptr, true, "EIO: Input/output error"},
  };
  for (const auto& row : rows)
    for (const bool refuseFlags : {false, true}) {
      if (row.failRename && !refuseFlags) continue;  // renameat2 with its flag does not fail here
      const std::string where = std::string(row.why) + (refuseFlags ? ", flags refused" : "");
      scratch::Dir dir;
      if (row.there) row.there(dir);
      const std::set<std::string> before = Names(dir.path());
      struct stat was = {};
      ::lstat((dir / "x").c_str(), &was);
      files::Folder folder;
      ASSERT_EQ(Said(files::Folder::Open(dir.path(), &folder)), "ok");
      {
        files::NewFolder made;
        ASSERT_EQ(Said(folder.MakeTemporaryFolder("x", &made)), "ok") << where;
        ASSERT_EQ(Said(made.Opened().WriteFile("inside", "in", 2)), "ok") << where;
        g_refuseRenameFlags = refuseFlags;
        g_failRename = row.failRename;
        const files::Result r = made.Commit("x");
        g_refuseRenameFlags = g_failRename = false;
        EXPECT_EQ(Said(r), row.said) << where;
        EXPECT_EQ(made.IsOwned(), !r.ok()) << where;
        if (r.ok()) {
          EXPECT_EQ(ReadBack(dir / "x/inside"), "in") << where;
          made.Keep();
        } else {
          // What was at the name is still there, as it was; the new folder waits under its
          // temporary's name.
          std::set<std::string> now = Names(dir.path());
          EXPECT_EQ(now.size(), before.size() + 1) << where;
          for (const std::string& name : before) now.erase(name);
          EXPECT_TRUE(now.size() == 1 && files::ReadName(*now.begin()).temporary) << where;
          struct stat is = {};
          ::lstat((dir / "x").c_str(), &is);
          EXPECT_TRUE(is.st_ino == was.st_ino && is.st_mode == was.st_mode) << where;
        }
      }
      // Once the object is gone, so is what it did not commit.
      EXPECT_EQ(Names(dir.path()), row.said == "ok" ? std::set<std::string>{"x"} : before) << where;
      if (fs::exists(dir / "elsewhere")) {
        EXPECT_TRUE(fs::is_empty(dir / "elsewhere")) << where;
      }
    }
}

// Renders take turns on a lock file that no other user can hold: this user's own is made 0600 and
// locked; another user's in a shared folder, a FIFO, a folder or a link at its name is refused
// with the reason, never skipped.
TEST(FilesTest, TheLockIsTakenOnlyOnAFileNoOtherUserCanHold) {
  scratch::Dir dir;
  const bool root = ::geteuid() == 0;
  fs::create_directory(dir / "shared");
  fs::permissions(dir / "shared", fs::perms(01777));
  fs::create_directory(dir / "private");
  std::ofstream(dir / "mine") << "";
  const struct {
    const char* why;
    std::string name;  // of the lock file
    std::function<void(const std::string&)> plant;
    bool anotherUser;
    std::string said;
  } rows[] = {
      {"a new lock file", "private/new.lock", nullptr, false, "ok"},
      {"this user's own, 0644", "private/open.lock",
       [](const std::string& path) {
         std::ofstream(path) << "";
         ::chmod(path.c_str(), 0644);
       },
       false, "ok"},
      {"this user's own in a shared folder, 0666", "shared/mine.lock",
       [](const std::string& path) {
         std::ofstream(path) << "";
         ::chmod(path.c_str(), 0666);
       },
       false, "ok"},
      // Outside shared folders another user's file is theirs to lock with this user: they take turns.
      {"another user's outside shared folders", "private/theirs.lock",
       [](const std::string& path) {
         std::ofstream(path) << "";
         ::chmod(path.c_str(), 0644);
         ::chown(path.c_str(), 65534, 65534);
       },
       true, "ok"},
      {"another user's in a shared folder", "shared/theirs.lock",
       [](const std::string& path) {
         std::ofstream(path) << "";
         ::chmod(path.c_str(), 0666);
         ::chown(path.c_str(), 65534, 65534);
       },
       true, "EACCES foreign file: the file {}/shared/theirs.lock belongs to another user (nobody)"},
      {"a FIFO", "shared/fifo.lock", [](const std::string& path) { ::mkfifo(path.c_str(), 0600); }, false,
       "EINVAL not regular: not a regular file"},
      {"a folder", "private/folder.lock", [](const std::string& path) { ::mkdir(path.c_str(), 0700); }, false,
       "EISDIR: Is a directory"},
      {"a link to this user's file", "private/link.lock",
       [&dir](const std::string& path) { ::symlink((dir / "mine").c_str(), path.c_str()); }, false,
       "EACCES: Permission denied"},
      {"a dangling link", "shared/dangling.lock",
       [&dir](const std::string& path) { ::symlink((dir / "nowhere").c_str(), path.c_str()); }, false,
       "EACCES: Permission denied"},
  };
  for (const auto& row : rows) {
    if (row.anotherUser && !root) continue;  // said at the end
    const std::string path = dir / row.name;
    if (row.plant) row.plant(path);
    std::string said = row.said;
    if (const size_t at = said.find("{}"); at != std::string::npos) said.replace(at, 2, dir.path());
    files::Place place;
    ASSERT_EQ(Said(files::Locate(path, &place)), "ok");
    files::FileLock lock;
    EXPECT_EQ(Said(place.folder.Lock(place.name, &lock)), said) << row.why;
    EXPECT_EQ(lock.IsHeld(), said == "ok") << row.why;
    if (said != "ok") continue;
    // Held: nobody else gets it meanwhile. This user's own file is 0600, and another's is left as
    // it was.
    const int other = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(other, 0) << row.why;
    EXPECT_TRUE(::flock(other, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) << row.why;
    lock.Release();
    EXPECT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0) << row.why;
    ::close(other);
    struct stat st;
    ASSERT_EQ(::lstat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode)) << row.why;
    EXPECT_EQ(st.st_mode & 07777, row.anotherUser ? 0644u : 0600u) << row.why;
  }
  EXPECT_FALSE(fs::exists(dir / "nowhere"));
  EXPECT_EQ(ReadBack(dir / "mine"), "");
  if (!root) GTEST_SKIP() << "rows of another user's lock file need root to plant it";
}

TEST(FilesTest, TheSweepRemovesOnlyTemporariesWhoseWriterIsCertainlyGone) {
  scratch::Dir dir;
  const std::string& self = files::Origin();
  const pid_t ended = EndedProcess(), running = ::getppid();
  const std::string other = self == "0123456789ab" ? "ba9876543210" : "0123456789ab";
  const struct {
    std::string name;
    long age;  // seconds since it was last touched
    bool removed;
  } rows[] = {
      {Temporary("dead", self, ended), 0, true},
      {Temporary("running", self, running), 0, false},
      {Temporary("own", self, ::getpid()), 0, false},
      {Temporary("elsewhere", other, ended), 0, false},  // another machine or PID namespace
      {Temporary("elsewhere-old", other, running), 2 * 24 * 3600, true},
      {Temporary("earlier", "", ended), 2 * 24 * 3600, false},  // not the exact form: a user's
      {".photos.tmp-2023-backup", 3 * 24 * 3600, false},
      {".notes.tmp-1234-5", 3 * 24 * 3600, false},
      {"plain.tmp-" + self + "-" + std::to_string(ended) + "-Zq0rT5bWx2", 2 * 24 * 3600, false},
  };
  // Only files and folders: a FIFO or a link of a temporary's name stays. A folder goes with all it
  // holds, its links removed and not followed.
  std::set<std::string> kept{Temporary("fifo", self, ended), Temporary("link", self, ended)};
  ASSERT_EQ(::mkfifo((dir / Temporary("fifo", self, ended)).c_str(), 0600), 0);
  fs::create_directory_symlink(dir / "victim", dir / Temporary("link", self, ended));
  fs::create_directories(dir / "victim");
  std::ofstream(dir / "victim/kept") << "kept";
  kept.insert("victim");
  fs::create_directories(dir / (Temporary("folder", self, ended) + "/inner"));
  fs::create_directory_symlink(dir / "victim", dir / (Temporary("folder", self, ended) + "/inner/link"));
  for (const auto& row : rows) {
    std::ofstream(dir / row.name) << "left";
    if (row.age > 0) Age(dir / row.name, row.age);
    if (!row.removed) kept.insert(row.name);
  }

  // The first temporary this process makes in the folder sweeps it; a later one does not look again.
  files::Folder folder;
  ASSERT_EQ(Said(files::Folder::Open(dir.path(), &folder)), "ok");
  {
    files::TemporaryFile file;
    ASSERT_EQ(Said(folder.CreateTemporary("a", &file)), "ok");
    ASSERT_EQ(Said(file.Commit()), "ok");
  }
  kept.insert("a");
  EXPECT_EQ(Names(dir.path()), kept);
  EXPECT_EQ(ReadBack(dir / "victim/kept"), "kept");
  std::ofstream(dir / rows[0].name) << "again";
  {
    files::TemporaryFile file;
    ASSERT_EQ(Said(folder.CreateTemporary("a", &file)), "ok");
    file.Discard();
  }
  EXPECT_TRUE(fs::exists(dir / rows[0].name));
  EXPECT_EQ(folder.Sweep(), 1);

  // Another user's process answers EPERM, which means it runs: its file stays.
  if (::geteuid() != 0) GTEST_SKIP() << "the check as another user needs root to become one";
  // Nor is what another user owns removed, whoever wrote it.
  const std::string parents = Temporary("parents", self, ::getpid()), roots = Temporary("roots", self, ended);
  std::ofstream(dir / parents) << "live";
  fs::create_directory(dir / roots);
  fs::permissions(dir.path(), fs::perms(0777));
  EXPECT_EQ(scratch::InChild([&] {
              if (!scratch::BecomeNobody()) return std::string("not nobody");
              files::Folder there;
              const files::Result r = files::Folder::Open(dir.path(), &there);
              return r.ok() ? "swept " + std::to_string(there.Sweep()) : Said(r);
            }),
            "swept 0");
  EXPECT_TRUE(fs::exists(dir / parents) && fs::exists(dir / roots));
}

TEST(FilesTest, AnInterruptionRemovesEveryRegisteredFileAndFolderAndStopsNewOnes) {
  // In a child of its own: an interruption lasts as long as its process.
  scratch::Dir dir;
  const std::string got = scratch::InChild([&] {
    std::string said;
    const auto note = [&said](const std::string& what, const files::Result& r) {
      said += what + " " + Said(r) + "\n";
    };
    files::Folder folder;
    note("open", files::Folder::Open(dir.path(), &folder));
    files::TemporaryFile open, written, late;
    note("temporary", folder.CreateTemporary("open", &open));
    note("temporary", folder.CreateTemporary("written", &written));
    files::NewFolder unpacked, filled, kept, later;
    note("folder", folder.MakeFolder("unpacked", &unpacked));
    if (!std::ofstream(dir / "unpacked/big").good()) said += "unwritten\n";
    note("folder", folder.MakeTemporaryFolder("scratch", &filled));
    note("folder", folder.MakeFolder("kept", &kept));
    kept.Keep();
    // A new folder whose name another folder took since (one renewed there) leaves that one be.
    files::NewFolder replaced;
    files::Folder renewed;
    note("folder", folder.MakeFolder("renewed", &replaced));
    note("renew", folder.RenewFolder("renewed", &renewed));
    replaced.Remove();
    if (!(files::Interrupt() && !files::Interrupt() && files::Interrupted())) said += "not interrupted\n";
    note("commit", written.Commit());
    note("temporary", folder.CreateTemporary("late", &late));
    note("folder", folder.MakeFolder("later", &later));
    note("write", folder.WriteFile("late", "x", 1));
    return said;
  });
  EXPECT_EQ(got,
            "open ok\ntemporary ok\ntemporary ok\nfolder ok\nfolder ok\nfolder ok\nfolder ok\nrenew ok\n"
            "commit ECANCELED interrupted: interrupted\ntemporary ECANCELED interrupted: interrupted\n"
            "folder ECANCELED interrupted: interrupted\nwrite ECANCELED interrupted: interrupted\n");
  EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"kept", "renewed"}));
}

}  // namespace
