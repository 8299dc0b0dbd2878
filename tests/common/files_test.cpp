// The file module: temporaries' names, the targets a write refuses or follows, the modes it keeps,
// every operation through links and shared folders, folders the file system shows as another
// user's, relative paths, new folders committed where renameat2's flag is refused, the lock, the
// sweep of temporaries left behind and an interrupted run.
#include <fcntl.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "files/folder.h"
#include "files/internal.h"
#include "files/lock.h"
#include "files/registry.h"
#include "files/result.h"
#include "files/sweep.h"
#include "files/temporary.h"
#include "scratch.h"

namespace fs = std::filesystem;

// Stand-ins for the C library's calls, for the module under test. While set: `renameat2` refuses
// its flags as a FUSE or NFS mount does; `renameat` fails (EIO); a folder `mkdirat` makes shows
// another owner (nobody), as NFS with root squashed does (root only: it takes a chown); `fchmod`
// fails with `g_refuseChmod` when not 0: EPERM as on a mount that shows another owner for
// everything (vfat with uid=0), ENOSYS as on a FUSE file system that keeps no modes.
static std::atomic<bool> g_refuseRenameFlags{false}, g_failRename{false}, g_madeFoldersForeign{false};
static std::atomic<int> g_refuseChmod{0};

extern "C" int fchmod(int fd, mode_t mode) {
  if (g_refuseChmod != 0) {
    errno = g_refuseChmod;
    return -1;
  }
  return static_cast<int>(::syscall(SYS_fchmod, fd, mode));
}

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

// While set, runs once before the first `..` the module opens, as another process would move a
// folder of the path meanwhile.
static std::function<void()> g_beforeUp;
// While set, runs once before the module first opens a folder to read its names, as a signal
// would come while a folder is being emptied.
static std::function<void()> g_beforeListing;

extern "C" int openat(int at, const char* name, int flags, ...) {
  mode_t mode = 0;
  if ((flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE) {
    va_list args;
    va_start(args, flags);
    mode = va_arg(args, mode_t);
    va_end(args);
  }
  if (g_beforeUp && std::strcmp(name, "..") == 0) std::exchange(g_beforeUp, nullptr)();
  if (g_beforeListing && std::strcmp(name, ".") == 0 && (flags & O_PATH) == 0)
    std::exchange(g_beforeListing, nullptr)();
  return static_cast<int>(::syscall(SYS_openat, at, name, flags, mode));
}

namespace {

using scratch::Names;
using scratch::ReadBack;
using scratch::Said;

const bool kRoot = ::geteuid() == 0;  // only root plants another user's files

// Adds `reason` to the reasons a test skips rows for, "; " between them, each said once.
void SkipFor(std::string* reasons, const std::string& reason) {
  if (("; " + *reasons + "; ").find("; " + reason + "; ") != std::string::npos) return;
  *reasons += (reasons->empty() ? "" : "; ") + reason;
}

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

// Gives `path` (a link itself, not what it leads to) to the user nobody.
bool GiveAway(const std::string& path) { return ::lchown(path.c_str(), 65534, 65534) == 0; }

// Makes the folder `path` with the mode `mode` (a shared folder: 01777).
void Mkdir(const std::string& path, mode_t mode = 0700) {
  fs::create_directories(path);
  fs::permissions(path, fs::perms(mode));
}

// `text` with "{}" as `dir`.
std::string With(std::string text, const std::string& dir) {
  if (const size_t at = text.find("{}"); at != std::string::npos) text.replace(at, 2, dir);
  return text;
}

// Walks to the folder of `path`'s last name and does `then` there with that name.
files::Result At(const std::string& path,
                 const std::function<files::Result(const files::Folder&, const std::string&)>& then) {
  files::Place place;
  const files::Result r = files::Locate(path, &place);
  return r.ok() ? then(place.folder, place.name) : r;
}

// Writes `bytes` as the whole of `path` through its walk and a temporary.
files::Result Write(const std::string& path, const std::string& bytes) {
  return At(path, [&](const files::Folder& f, const std::string& name) {
    return f.WriteFile(name, bytes.data(), bytes.size());
  });
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
  const std::string longName(251, 'n');
  files::TemporaryFile file;
  ASSERT_EQ(Said(At(dir / longName, [&](const files::Folder& f,
                                        const std::string& name) { return f.CreateTemporary(name, &file); })),
            "ok");
  const std::string made = *Names(dir.path()).begin();
  const files::NameInfo info = files::ReadName(made);
  EXPECT_TRUE(info.temporary && info.local && info.pid == ::getpid()) << made;
  EXPECT_EQ(Said(file.Commit()), "ok");
  EXPECT_EQ(Names(dir.path()), std::set<std::string>{longName});
}

TEST(FilesTest, SpecialTargetsAreRefusedLinksFollowedAndModesKept) {
  scratch::Dir dir;
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600) | ::mkdir((dir / "folder").c_str(), 0700), 0);
  std::ofstream(dir / "victim") << "victim";
  // In a shared folder, another user's link is not followed.
  Mkdir(dir / "shared", 01777);
  fs::create_symlink(dir / "victim", dir / "shared/planted");
  ASSERT_TRUE(!kRoot || GiveAway(dir / "shared/planted"));
  // A path that passes more than 40 links in all: 30 to its folder, 15 at its last name.
  fs::create_symlink("folder", dir / "l0");
  std::ofstream(dir / "folder/c0") << "c";
  for (int i = 1; i < 30; ++i)
    fs::create_symlink("l" + std::to_string(i - 1), dir / ("l" + std::to_string(i)));
  for (int i = 1; i < 16; ++i)
    fs::create_symlink("c" + std::to_string(i - 1), dir / ("folder/c" + std::to_string(i)));
  for (const auto& [target, said] : std::vector<std::pair<std::string, std::string>>{
           {"fifo", "EINVAL not regular: not a regular file"},
           {"folder", "EISDIR: Is a directory"},
           {"l29/c15", "ELOOP: Too many levels of symbolic links"},
           {"shared/planted", kRoot ? "EACCES foreign link: the link " + dir / "shared/planted" +
                                          " belongs to another user (nobody)"
                                    : "ok"}}) {
    // Refused before any work (a save's target is checked first), when written, and when read.
    std::string bytes;
    files::Target found;
    EXPECT_EQ(Said(At(dir / target, [&](const files::Folder& f,
                                        const std::string& name) { return f.WriteTarget(name, &found); })),
              said)
        << target;
    if (said == "ok") continue;  // this user's own link
    EXPECT_EQ(Said(Write(dir / target, "x")), said) << target;
    EXPECT_EQ(Said(At(dir / target, [&](const files::Folder& f,
                                        const std::string& name) { return f.ReadFile(name, &bytes); })),
              said)
        << target;
  }
  EXPECT_TRUE(fs::is_fifo(dir / "fifo") && Names(dir / "folder").size() == 16);
  for (int i = 0; i < 16; ++i) fs::remove(dir / ("folder/c" + std::to_string(i)));
  EXPECT_EQ(ReadBack(dir / "victim"), "victim");

  // Links are followed, relative ones from the link's folder, and stay; a dangling one makes its
  // file. Under umask 077 a new file is 0600 and a replaced one keeps its permission bits, never
  // set-user-ID, set-group-ID or sticky; another user's planted in a shared folder hands on neither
  // its mode nor its owner, and elsewhere keeps its owner where this user may give it.
  fs::create_directories(dir / "folder/sub");
  for (const char* name : {"folder/sub/real", "folder/sub/setuid", "folder/sub/theirs", "shared/left"})
    std::ofstream(dir / name) << "old";
  ASSERT_TRUE(!kRoot || (GiveAway(dir / "folder/sub/theirs") && GiveAway(dir / "shared/left")));
  ASSERT_EQ(::chmod((dir / "shared/left").c_str(), 0666) | ::chmod((dir / "folder/sub/real").c_str(), 0640) |
                ::chmod((dir / "folder/sub/setuid").c_str(), 06755) |
                ::chmod((dir / "folder/sub/theirs").c_str(), 0644),
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
  EXPECT_EQ(Names(dir / "folder/sub"), (std::set<std::string>{"real", "new", "setuid", "theirs"}));
  const struct {
    const char* file;
    mode_t mode;
    uid_t owner;
  } kept[] = {{"folder/sub/real", 0640, ::geteuid()},
              {"folder/sub/new", 0600, ::geteuid()},
              {"folder/sub/setuid", 0755, ::geteuid()},
              {"folder/sub/theirs", 0644, kRoot ? 65534 : ::geteuid()},
              {"shared/left", mode_t(kRoot ? 0600 : 0666), ::geteuid()}};
  for (const auto& row : kept) {
    struct stat st;
    ASSERT_EQ(::stat((dir / row.file).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, row.mode) << row.file;
    EXPECT_EQ(st.st_uid, row.owner) << row.file;
  }
  // Where the file system lets this user set no mode, a file is replaced all the same.
  for (const int refused : {EPERM, ENOSYS}) {
    g_refuseChmod = refused;
    EXPECT_EQ(Said(Write(dir / "folder/sub/real", "again")), "ok") << refused;
    g_refuseChmod = 0;
    EXPECT_EQ(ReadBack(dir / "folder/sub/real"), "again");
  }
}

// Every operation walks its path once through open folders: links of every kind lead to the folder
// they name (`..` after a link to the parent of where the link led), loops end, and in a shared
// folder only this user's or the folder's owner's links and folders are used.
TEST(FilesTest, EveryOperationWalksLinksAsTheyAreAndOnlyTrustedOnesInSharedFolders) {
  scratch::Dir dir;
  Mkdir(dir / "real/sub");
  Mkdir(dir / "shared/nobodys/sub");
  Mkdir(dir / "shared", 01777);
  Mkdir(dir / "group", 01770);  // sticky, shared by its group alone
  Mkdir(dir / "open", 0777);    // anyone may write there, sticky or not
  for (const auto& [link, target] :
       std::vector<std::pair<std::string, std::string>>{{"abs", dir / "real"},
                                                        {"rel", "real"},
                                                        {"chain", "rel"},
                                                        {"dotdot", "real/sub/.."},
                                                        {"down", "real/sub"},
                                                        {"downabs", dir / "real/sub"},
                                                        {"loop", "loop2"},
                                                        {"loop2", "loop"},
                                                        {"shared/mine", "../real"},
                                                        {"shared/theirs", "../real"},
                                                        {"shared/hop", "theirs"},
                                                        {"shared/nobodys/back", "../../real"},
                                                        {"group/theirs", "../real"},
                                                        {"open/theirs", "../real"}})
    fs::create_directory_symlink(target, dir / link);
  ASSERT_TRUE(!kRoot || (GiveAway(dir / "shared/theirs") && GiveAway(dir / "group/theirs") &&
                         GiveAway(dir / "open/theirs") && GiveAway(dir / "shared/nobodys")));
  // What is read: real/r, and a decoy where a walk of the text alone would take "down/..".
  std::ofstream(dir / "real/r") << "real";
  std::ofstream(dir / "r") << "decoy";
  const std::string stale = Temporary("s", files::Origin(), EndedProcess());
  // Each operation in the folder `path` names, each walking the path itself.
  // Run in a child of its own each, which has swept no folder yet: the first write sweeps.
  const auto operations = [&](const std::string& path) {
    files::Folder used;
    files::NewFolder made, again;
    std::string bytes;
    std::ofstream(dir / ("real/" + stale)) << "left";
    std::vector<std::string> got = {
        Said(Write(path + "/f", "f")),
        Said(At(path + "/made",
                [&](const files::Folder& f, const std::string& name) { return f.UseFolder(name, &used); })),
        Said(At(path + "/t", [&](const files::Folder& f, const std::string& name) {
          const files::Result r = f.MakeTemporaryFolder(name, &made);
          return r.ok() ? made.Commit("t") : r;
        }))};
    std::ofstream(dir / "real/t/x") << "x";
    got.push_back(Said(At(path + "/t", [&](const files::Folder& f, const std::string& name) {
      return f.RenewFolder(name, &used);
    })));
    files::Result r = files::Folder::Open(path, &used);
    got.push_back(!r.ok() ? Said(r) : fs::exists(dir / ("real/" + stale)) ? "left" : "ok");
    // A name that is taken is not replaced.
    got.push_back(Said(At(path + "/t", [&](const files::Folder& f, const std::string& name) {
      const files::Result r = f.MakeTemporaryFolder(name, &again);
      return r.ok() ? again.Commit("t") : r;
    })));
    r = At(path + "/r",
           [&](const files::Folder& f, const std::string& name) { return f.ReadFile(name, &bytes); });
    got.push_back(r.ok() && bytes != "real" ? "read " + bytes : Said(r));
    std::string joined;
    for (const std::string& said : got) joined += said + "\n";
    return joined;
  };
  const std::string loop = "ELOOP: Too many levels of symbolic links";
  const auto link = [](const std::string& name) {
    return "EACCES foreign link: the link {}/" + name + " belongs to another user (nobody)";
  };
  const std::string nobodys =
      "EACCES foreign folder: the folder {}/shared/nobodys belongs to another user (nobody)";
  std::ofstream(dir / "shared/nobodys/sub/r") << "real";
  const struct {
    std::string path, said;  // of every operation
    bool anotherUser;
    std::string sweep = said, read = said;  // where the sweep and the read differ
  } rows[] = {
      {"real", "ok", false},
      {"abs", "ok", false},
      {"rel", "ok", false},
      {"chain", "ok", false},        // a link to a link
      {"dotdot", "ok", false},       // a link whose target goes back up
      {"real/sub/..", "ok", false},  // back up in the path itself
      {"down/..", "ok", false},      // back up after a relative link: from where it led
      {"downabs/..", "ok", false},   // and after an absolute one
      {"shared/../real", "ok", false},
      {"shared/mine", "ok", false},  // this user's link in a shared folder
      {"loop", loop, false},
      {"loop2/x", loop, false},
      {"shared/theirs", link("shared/theirs"), true},      // another user's link there
      {"shared/theirs/sub", link("shared/theirs"), true},  // the same in the middle of a path
      {"shared/hop", link("shared/theirs"), true},         // reached through a link of this user's
      {"group/theirs", link("group/theirs"), true},        // in a sticky folder its group may write to
      {"open/theirs", link("open/theirs"), true},          // in a folder anyone may write to
      // A colleague's folder there is read, as the kernel reads it, and nothing is written into it.
      {"shared/nobodys/sub", nobodys, true, "left", "ok"},
      {"shared/nobodys/back", nobodys, true, "left", "ok"},  // a link back out of it, with ".."
      {"shared/nobodys/../../real", nobodys, true, "left", "ok"},
  };
  // On a file system that takes renameat2's flags, then on one that refuses them.
  for (const auto& row : rows)
    for (const bool refuseFlags : {false, true}) {
      if (row.anotherUser && !kRoot) continue;
      const std::string where = row.path + (refuseFlags ? ", flags refused" : ""),
                        said = With(row.said, dir.path());
      const bool done = said == "ok";
      g_refuseRenameFlags = refuseFlags;
      std::string want;
      for (const std::string& line : {said, said, said, said, With(row.sweep, dir.path()),
                                      done ? "EEXIST: File exists" : said, With(row.read, dir.path())})
        want += line + "\n";
      EXPECT_EQ(scratch::InChild([&] { return operations(dir / row.path); }), want) << where;
      g_refuseRenameFlags = false;
      EXPECT_EQ(Names(dir / "real"), (done ? std::set<std::string>{"sub", "f", "made", "t", "r"}
                                           : std::set<std::string>{"sub", "r", stale}))
          << where;
      EXPECT_TRUE(!done || fs::is_empty(dir / "real/t")) << where;
      EXPECT_EQ(ReadBack(dir / "r"), "decoy") << where;
      for (const std::string& name : std::vector<std::string>{"f", "made", "t", stale})
        fs::remove_all(dir / ("real/" + name));
    }
  if (!kRoot) return;
  // This user's own link at the last name, into the colleague's folder: written and trusted as there.
  fs::create_symlink(dir / "shared/nobodys/sub/r", dir / "real/into");
  std::string bytes;
  const auto read = [&](files::ReadPolicy owner) {
    return Said(At(dir / "real/into", [&](const files::Folder& f, const std::string& name) {
      return f.ReadFile(name, &bytes, 1024, owner);
    }));
  };
  EXPECT_EQ((std::vector<std::string>{Said(Write(dir / "real/into", "x")), read(files::ReadPolicy::kTrusted),
                                      read(files::ReadPolicy::kAnyone), bytes}),
            (std::vector<std::string>{With(nobodys, dir.path()), With(nobodys, dir.path()), "ok", "real"}));
}

// A file system may show another owner for what this user makes (NFS with root squashed, a mount
// with `uid=`). Outside shared folders that is no reason to refuse a folder, and what a killed run
// left there is swept all the same; in a shared one a folder made there that is not this user's is
// refused, named with its owner.
TEST(FilesTest, AProgramsPathIsSteadyWhereOnlyTrustedUsersMayRenameWhatItNames) {
  scratch::Dir dir;
  for (const auto& [folder, mode] : std::vector<std::pair<std::string, mode_t>>{{"own", 0700},
                                                                                {"sticky", 01777},
                                                                                {"open", 0777},
                                                                                {"others", 0757},
                                                                                {"group", 0775},
                                                                                {"team", 02775},
                                                                                {"open/sub", 0700}}) {
    Mkdir(dir / folder, mode);
    std::ofstream(dir / folder + "/p") << "#!/bin/sh\n";
  }
  fs::create_symlink("../open/p", dir / "own/toopen");  // a link in the user's own folder, into an open one
  fs::create_symlink("../own/p", dir / "open/toown");   // a link in an open folder, into the user's own
  fs::create_symlink("../own", dir / "open/intoown");   // the same, to a folder
  fs::create_symlink("../own", dir / "team/intoown");   // a link in a team folder, whose writers are trusted
  const struct {
    std::string path, cwd;
    bool steady;
  } rows[] = {
      {"own/p", "", true},
      {"sticky/p", "", true},
      {"group/p", "", true},  // a tree made under umask 0002
      {"team/p", "", true},
      {"team/intoown/p", "", true},

      {"open/p", "", false},
      {"others/p", "", false},
      {"open/intoown/p", "", false},  // a link on the way, not the last name
      {"open/sub/p", "", false},
      {"open/sub/../../own/p", "", false},  // `..` out of a folder others may move
      {"own/toopen", "", false},
      {"open/toown", "", false},
      {"../../own/p", "open/sub", false},  // `..` above the working directory, in an open folder
      {"../p", "own/sub", true},
  };
  Mkdir(dir / "own/sub");
  for (const auto& row : rows) {
    const std::string got = scratch::InChild([&] {
      if (!row.cwd.empty() && ::chdir((dir / row.cwd).c_str()) != 0) return std::string("no cwd");
      int fd = -1;
      bool steady = !row.steady;
      const files::Result r = files::OpenFile(row.cwd.empty() ? dir / row.path : row.path, &fd,
                                              files::ReadPolicy::kProgram, &steady);
      return Said(r) + (steady ? " steady" : " unsteady");
    });
    EXPECT_EQ(got, std::string("ok") + (row.steady ? " steady" : " unsteady")) << row.path;
  }
}

TEST(FilesTest, FoldersThisUserMakesAreUsedOutsideSharedFoldersWhateverOwnerTheFileSystemShows) {
  scratch::Dir dir;
  // 0777: another user's folder anyone may write to, on a file system that shows that user for all it
  // holds (vfat or CIFS mounted with umask=000): what this user makes there is its own all the same.
  for (const mode_t mode : {0755, 01777, 0777})
    for (const bool shownForeign : {false, true}) {
      if ((shownForeign || mode == 0777) && !kRoot) continue;  // the stand-in for such a file system chowns
      if (mode == 0777 && !shownForeign) continue;
      const std::string base = dir / ((mode == 0755   ? "own"
                                       : mode == 0777 ? "theirs"
                                                      : "shared") +
                                      std::string(shownForeign ? "-shown" : ""));
      Mkdir(base, mode);
      ASSERT_TRUE(mode != 0777 || GiveAway(base));
      const std::string left = base + "/" + Temporary("old", files::Origin(), EndedProcess());
      ASSERT_TRUE(fs::create_directory(left) && (!shownForeign || GiveAway(left)));
      files::Folder folder, walked, used;
      ASSERT_EQ(Said(files::Folder::Open(base, &folder)), "ok");
      files::NewFolder made, usedMade, filled;
      g_madeFoldersForeign = shownForeign;
      const std::vector<std::string> got = {
          Said(files::Folder::Open(base + "/a/b", &walked, files::Folder::Make::kMissing)),
          Said(files::Folder::Open(base + "/a/b", &walked)),  // and again, as the next run would
          Said(folder.MakeFolder("m", &made)),
          Said(folder.UseFolder("u", &used)),
          Said(folder.UseFolder("v", &used, &usedMade)),
          [&] {
            const files::Result r = folder.MakeTemporaryFolder("t", &filled);
            return Said(r.ok() ? filled.Commit("t") : r);
          }(),
      };
      g_madeFoldersForeign = false;
      std::vector<std::string> said(got.size(), "ok");
      if (shownForeign && mode == 01777) {
        said.clear();
        for (const char* name : {"a", "a", "m", "u", "v", ".t.tmp-*"})
          said.push_back("EACCES foreign folder: the folder " + base + "/" + name +
                         " belongs to another user (nobody)");
        said[1] = "ENOENT: No such file or directory";  // a walk that makes nothing reads on: no b
      } else {
        made.Keep();
        usedMade.Keep();
        EXPECT_EQ(Names(base), (std::set<std::string>{"a", "m", "u", "v", "t"})) << base;
        EXPECT_TRUE(fs::is_directory(base + "/a/b")) << base;
      }
      EXPECT_EQ(got, said) << base;
    }
  // Under umask 0277 the folders made stay this user's to fill, as `mkdir -p` makes them.
  const mode_t umask = ::umask(0277);
  files::Folder masked;
  files::NewFolder inside;
  const std::string walked =
      Said(files::Folder::Open(dir / "masked/a", &masked, files::Folder::Make::kMissing));
  const std::string made = Said(masked.MakeFolder("m", &inside));
  ::umask(umask);
  EXPECT_EQ(walked + "," + made, "ok,ok");
  for (const char* name : {"masked", "masked/a", "masked/a/m"}) {
    struct stat st;
    EXPECT_TRUE(::stat((dir / name).c_str(), &st) == 0 && (st.st_mode & 07777) == 0700) << name;
  }
  if (!kRoot) GTEST_SKIP() << "rows of a file system that shows another owner need root to chown";
}

// A relative path starts at the working directory itself, whatever is now at its path and whether
// or not the folders above it can be searched.
TEST(FilesTest, RelativePathsStartAtTheWorkingDirectoryItself) {
  const struct {
    const char* why;
    // Makes the tree, stands in it and does what the row does next (in a child): "" or why not.
    std::function<std::string(const scratch::Dir&)> setUp;
    bool rootOnly, asNobody;
    std::string path, said, landed;  // the file written, how, and where it lands
  } rows[] = {
      {"the working directory renamed away and a new folder made at its name",
       [](const scratch::Dir& dir) {
         Mkdir(dir / "d/sub");
         if (::chdir((dir / "d").c_str()) != 0) return "no chdir";
         fs::rename(dir / "d", dir / "moved");
         Mkdir(dir / "d/sub");
         return "";
       },
       false, false, "sub/out", "ok", "moved/sub/out"},
      {"another folder mounted over the working directory",
       [](const scratch::Dir& dir) {
         Mkdir(dir / "d/sub");
         Mkdir(dir / "over/sub");
         if (::chdir((dir / "d").c_str()) != 0) return "no chdir";
         // In a mount namespace of the child's own.
         if (::unshare(CLONE_NEWNS) != 0 ||
             ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
             ::mount((dir / "over").c_str(), (dir / "d").c_str(), nullptr, MS_BIND, nullptr) != 0)
           return "cannot mount";
         return "";
       },
       true, false, "sub/out", "ok", "d/sub/out"},
      {"standing in a folder anyone may write to, below one this user cannot search",
       [](const scratch::Dir& dir) {
         Mkdir(dir / "locked/open", 0777);
         return ::chdir((dir / "locked/open").c_str()) == 0 ? "" : "no chdir";
       },
       true, true, "out", "ok", "locked/open/out"},
      {"standing in another user's folder in a shared folder",
       [](const scratch::Dir& dir) {
         Mkdir(dir / "shared/nobodys/sub");
         Mkdir(dir / "shared", 01777);
         return GiveAway(dir / "shared/nobodys") && ::chdir((dir / "shared/nobodys").c_str()) == 0
                    ? ""
                    : "no chdir";
       },
       true, false, "sub/out",
       "EACCES foreign folder: the folder {}/shared/nobodys belongs to another user (nobody)", ""},
  };
  std::string needRoot, cannotMount;  // the rows left out, by why
  for (const auto& row : rows) {
    scratch::Dir dir;
    const std::string got = row.rootOnly && !kRoot ? "needs root" : scratch::InChild([&] {
      if (const std::string why = row.setUp(dir); !why.empty()) return why;
      if (row.asNobody && !scratch::BecomeNobody()) return std::string("not nobody");
      return Said(Write(row.path, "out"));
    });
    if (got == "needs root" || got == "cannot mount") {
      SkipFor(got == "needs root" ? &needRoot : &cannotMount, row.why);
      continue;
    }
    EXPECT_EQ(got, With(row.said, dir.path())) << row.why;
    std::set<std::string> landed;
    for (auto it = fs::recursive_directory_iterator(dir.path()); it != fs::end(it); ++it)
      if (it->path().filename() == "out") landed.insert(fs::relative(it->path(), dir.path()).string());
    EXPECT_EQ(landed, row.landed.empty() ? std::set<std::string>{} : std::set<std::string>{row.landed})
        << row.why;
  }
  const std::string skipped = (needRoot.empty() ? "" : "rows that need root: " + needRoot) +
                              (needRoot.empty() || cannotMount.empty() ? "" : ". ") +
                              (cannotMount.empty() ? "" : "rows that cannot mount here: " + cannotMount);
  if (!skipped.empty()) GTEST_SKIP() << skipped;
}

// Where the file system refuses renameat2's flag, a new folder still takes its name only when the
// name is free, and a commit that fails leaves nothing at that name: no placeholder, nothing renamed
// over what is there.
// A deep walk holds only its last folders open; going back with `..` past them, it goes only
// through the folders it came through, not where a folder of the path was moved meanwhile.
TEST(FilesTest, AWalkGoesBackOnlyThroughTheFoldersItCameThrough) {
  scratch::Dir dir;
  Mkdir(dir / "p");
  Mkdir(dir / "q");
  std::string deep = dir / "p/c", back;
  for (int i = 0; i < 20; ++i) deep += "/d";
  for (int i = 0; i < 21; ++i) back += "/..";
  fs::create_directories(deep);
  g_beforeUp = [&] { fs::rename(dir / "p/c", dir / "q/c"); };
  files::Folder folder;
  EXPECT_EQ(Said(files::Folder::Open(deep + back, &folder)),
            "ENOENT moved: the folder " + dir / "p/c" + " was moved while it was walked");
  g_beforeUp = nullptr;
}

// A link followed is the one whose owner was checked: another user who keeps swapping their own link
// with this user's in a folder anyone may write to (not sticky) never steers a walk, or a write
// through the link at the last name, to where their link leads.
TEST(FilesTest, AWalkFollowsOnlyTheLinkWhoseOwnerItChecked) {
  if (!kRoot) GTEST_SKIP() << "another user's link needs root to plant it";
  scratch::Dir dir;
  Mkdir(dir / "mine");
  Mkdir(dir / "theirs");  // the other user's own folder, not a shared one
  Mkdir(dir / "open", 0777);
  std::ofstream(dir / "named") << "named";
  std::ofstream(dir / "unnamed") << "unnamed";  // this user's too, but no link of theirs names it
  ASSERT_TRUE(GiveAway(dir / "theirs"));
  struct stat theirs;
  ASSERT_EQ(::stat((dir / "theirs").c_str(), &theirs), 0);
  const struct {
    const char* what;
    std::string mine, other;             // where this user's link and the other user's lead
    std::function<bool()> endsAtTheirs;  // one use through this user's link
  } rows[] = {
      {"a folder reached through the link", dir / "mine", dir / "theirs",
       [&] {
         files::Folder folder;
         return files::Folder::Open(dir / "open/link/.", &folder).ok() &&
                files::SameFile(folder.Status(), theirs);
       }},
      {"a file written through the link at the last name", dir / "named", dir / "unnamed",
       [&] { return Write(dir / "open/link", "x").ok() && ReadBack(dir / "unnamed") != "unnamed"; }},
  };
  for (const auto& row : rows) {
    fs::create_symlink(row.mine, dir / "open/link");
    fs::create_symlink(row.other, dir / "open/other");
    ASSERT_TRUE(GiveAway(dir / "open/other"));
    // The uses begin once the links are being swapped, and go on until they were swapped as often.
    std::atomic<bool> stop{false};
    std::atomic<int> swaps{0};
    int swapping[2];
    ASSERT_EQ(::pipe(swapping), 0);
    std::thread swapper([&] {
      for (bool swapped = true; swapped && !stop; ++swaps) {
        swapped = ::renameat2(AT_FDCWD, (dir / "open/link").c_str(), AT_FDCWD, (dir / "open/other").c_str(),
                              RENAME_EXCHANGE) == 0;
        if (swaps == 0 && ::write(swapping[1], swapped ? "s" : "f", 1) != 1) return;
      }
    });
    char c = 0;
    const bool started = ::read(swapping[0], &c, 1) == 1 && c == 's';
    int steered = 0;
    for (int i = 0; started && (i < 3000 || (swaps < 3000 && i < 30000)); ++i) steered += row.endsAtTheirs();
    stop = true;
    swapper.join();
    ::close(swapping[0]), ::close(swapping[1]);
    EXPECT_TRUE(started) << row.what;
    EXPECT_EQ(steered, 0) << row.what;
    fs::remove(dir / "open/link");
    fs::remove(dir / "open/other");
  }
}

TEST(FilesTest, ACommittedFolderTakesOnlyAFreeNameAndAFailedCommitLeavesNothingThere) {
  const std::string taken = "EEXIST: File exists";
  const struct {
    const char* why;
    std::function<void(const scratch::Dir&)> there;  // what is at the name "x" first
    bool failRename;
    std::string said;
  } rows[] = {
      {"a free name", [](const scratch::Dir&) {}, false, "ok"},
      {"a file", [](const scratch::Dir& dir) { std::ofstream(dir / "x") << "x"; }, false, taken},
      {"an empty folder", [](const scratch::Dir& dir) { Mkdir(dir / "x"); }, false, taken},
      {"a folder with a file",
       [](const scratch::Dir& dir) { Mkdir(dir / "x"), std::ofstream(dir / "x/in") << "in"; }, false, taken},
      {"a link to an empty folder",
       [](const scratch::Dir& dir) {
         Mkdir(dir / "elsewhere"), fs::create_directory_symlink("elsewhere", dir / "x");
       },
       false, taken},
      {"a dangling link", [](const scratch::Dir& dir) { fs::create_symlink("nowhere", dir / "x"); }, false,
       taken},
      {"a free name, and the rename fails", [](const scratch::Dir&) {}, true, "EIO: Input/output error"},
  };
  for (const auto& row : rows)
    for (const bool refuseFlags : {false, true}) {
      if (row.failRename && !refuseFlags) continue;  // renameat2 with its flag does not fail here
      const std::string where = std::string(row.why) + (refuseFlags ? ", flags refused" : "");
      scratch::Dir dir;
      row.there(dir);
      const std::set<std::string> before = Names(dir.path());
      struct stat was = {}, is = {};
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
        } else {
          // What was at the name is still there, as it was; the new folder waits under its
          // temporary's name.
          std::set<std::string> now = Names(dir.path());
          for (const std::string& name : before) now.erase(name);
          EXPECT_TRUE(now.size() == 1 && files::ReadName(*now.begin()).temporary) << where;
          ::lstat((dir / "x").c_str(), &is);
          EXPECT_TRUE(is.st_ino == was.st_ino && is.st_mode == was.st_mode) << where;
        }
      }
      // Once the object is gone, so is what it did not commit.
      EXPECT_EQ(Names(dir.path()), row.said == "ok" ? std::set<std::string>{"x"} : before) << where;
      EXPECT_TRUE(!fs::exists(dir / "elsewhere") || fs::is_empty(dir / "elsewhere")) << where;
    }
}

// A bindfs mount of `from` at `at` that shows one mode for everything and ignores chmod, as vfat,
// NTFS or CIFS; unmounted when the guard goes, whatever the test did.
class FixedModes {
 public:
  FixedModes(const std::string& from, const std::string& at) : at_(at) {
    mounted_ = kRoot && std::system(("bindfs -p 0755 --chmod-ignore " + from + " " + at).c_str()) == 0;
  }
  ~FixedModes() {
    if (mounted_) {
      EXPECT_EQ(std::system(("fusermount -u " + at_).c_str()), 0);
    }
  }
  bool mounted() const { return mounted_; }

 private:
  std::string at_;
  bool mounted_ = false;
};

// Renders take turns on a lock file that no other user can hold: this user's own is made 0600 and
// locked; another user's in a shared folder, a FIFO or a link at its name is refused with the
// reason, never skipped. One that others could have opened, or that is another name of a file, is
// held and then replaced by a new one where modes are kept, and nothing of it is changed. It is taken under
// any umask and on a file system that keeps no modes, and a lock held by another is said before it is waited
// for, never replaced.
TEST(FilesTest, TheLockIsTakenOnlyOnAFileNoOtherUserCanHold) {
  scratch::Dir dir;
  Mkdir(dir / "shared", 01777);
  Mkdir(dir / "private");
  Mkdir(dir / "fixed");
  const FixedModes fixedModes(dir / "private", dir / "fixed");
  // This user's own files that another user links at lock names (protected_hardlinks lets them).
  std::ofstream(dir / "mine") << "mine";
  std::ofstream(dir / "mine0600") << "mine";
  ASSERT_EQ(::chmod((dir / "mine").c_str(), 0666) | ::chmod((dir / "mine0600").c_str(), 0600), 0);
  enum How {
    kPlain,
    kUmask0277,
    kTwice,
    kAsNobody,
    kReadOnlyAsNobody,
    kHeld,
    kTurns,
    kHeldLinked,
    kHeldOpen
  };
  const struct {
    std::string name;  // of the lock file: "new", "file", "theirs", "fifo" or "link", in its folder
    std::string said;
    How how = kPlain;
    bool replaced = false;  // a new file takes the place of the one there
  } rows[] = {
      {"private/new.lock", "ok"},
      {"private/file.lock", "ok", kPlain, true},          // this user's own, 0644
      {"shared/hardlink.lock", "ok", kPlain, true},       // a link to this user's 0666 file "mine"
      {"private/hardlink0600.lock", "ok", kPlain, true},  // a link to this user's 0600 file
      {"private/theirs.lock", "ok"},  // outside shared folders they take turns with its owner
      {"shared/theirs.lock",
       "EACCES foreign file: the file {}/shared/theirs.lock belongs to another user (nobody)"},
      {"shared/fifo.lock", "EINVAL not regular: not a regular file"},
      {"shared/link.lock", "EACCES: Permission denied"},  // a dangling one
      {"shared/theirslink.lock",
       "EACCES foreign link: the link {}/shared/theirslink.lock belongs to another user (nobody)"},
      {"private/new-umask.lock", "ok", kUmask0277},
      {"fixed/new-fixed.lock", "ok", kTwice},
      {"private/new-held.lock", "ok", kHeld},
      // Linked twice while another render holds it: waited for, then replaced.
      {"private/held-twice.lock", "ok", kHeldLinked, true},
      // This user's 0644 file that another program opened and holds: waited for, then replaced.
      {"private/held-open.lock", "ok", kHeldOpen, true},
      {"fixed/held-fixed.lock", "ok", kHeld},    // where modes are not kept, the held file is waited for
      {"fixed/turns-fixed.lock", "ok", kTurns},  // and two renders take turns on the one they made
      // Outside shared folders, one this user cannot open says the kernel's reason.
      {"private/new-root.lock", "EACCES: Permission denied", kAsNobody},
      // The user's own that only they may read (0400), as after a chmod by hand: taken as it is.
      {"private/readonly.lock", "ok", kReadOnlyAsNobody},
  };
  std::string skipped;
  for (const auto& row : rows) {
    const std::string path = dir / row.name, said = With(row.said, dir.path());
    const bool theirs = row.name.find("theirs") != std::string::npos;
    const bool asNobody = row.how == kAsNobody || row.how == kReadOnlyAsNobody;
    if ((theirs || asNobody) && !kRoot) continue;  // said at the end
    const bool fixed = row.name.rfind("fixed/", 0) == 0;
    if (fixed && !fixedModes.mounted()) {
      SkipFor(&skipped, "a file system that keeps no modes needs root and FUSE for bindfs");
      continue;
    }
    const bool hardlink = row.name.find("hardlink") != std::string::npos;
    if (hardlink) {
      ASSERT_EQ(::link((dir / (row.name.find("0600") != std::string::npos ? "mine0600" : "mine")).c_str(),
                       path.c_str()),
                0);
    } else if (row.name.find("fifo") != std::string::npos) {
      ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    } else if (row.name.find("link") != std::string::npos) {
      fs::create_symlink(dir / "nowhere", path);
      ASSERT_TRUE(!theirs || GiveAway(path));
    } else if (row.name.find("new") == std::string::npos && row.how != kTurns) {
      std::ofstream(path) << "";
      ASSERT_TRUE(::chmod(path.c_str(), 0644) == 0 && (!theirs || GiveAway(path)));
    }
    struct stat found = {};
    ::lstat(path.c_str(), &found);
    files::FileLock lock;
    const auto take = [&](const std::function<void()>& waiting = {}) {
      return Said(At(path, [&](const files::Folder& f, const std::string& name) {
        return lock.Take(f, name, waiting);
      }));
    };
    ::alarm(60);  // a lock that waits for ever ends the test
    if (asNobody) {
      const bool own = row.how == kReadOnlyAsNobody;
      std::ofstream(path) << "";
      ASSERT_EQ(::chmod(path.c_str(), own ? 0400 : 0600) | (own ? ::chown(path.c_str(), 65534, 65534) : 0) |
                    ::chmod(dir.path().c_str(), 0755) | ::chmod((dir / "private").c_str(), 0755),
                0);
      EXPECT_EQ(scratch::InChild([&] {
                  if (!scratch::BecomeNobody()) return std::string("not nobody");
                  const std::string got = take();
                  return got == "ok" && !lock.IsHeld() ? "ok but not held" : got;
                }),
                said);
      ::alarm(0);
      continue;
    }
    if (row.how == kHeld || row.how == kTurns || row.how == kHeldLinked || row.how == kHeldOpen) {
      // Another open file description holds it (another render's lock, for kTurns): the wait is
      // said first, then the lock is taken once that one lets go.
      int held = -1;
      files::FileLock first;
      if (row.how != kTurns) {
        std::ofstream(path) << "";
        ASSERT_EQ(::chmod(path.c_str(), row.how == kHeldOpen ? 0644 : 0600), 0);
        held = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_EQ(::flock(held, row.how == kHeldOpen ? LOCK_SH : LOCK_EX), 0);
        if (row.how == kHeldLinked) {
          ASSERT_EQ(::link(path.c_str(), (dir / "held-twice").c_str()), 0);
        }
      } else {
        ASSERT_EQ(Said(At(path, [&](const files::Folder& f,
                                    const std::string& name) { return first.Take(f, name); })),
                  "ok");
      }
      ::lstat(path.c_str(), &found);
      int told[2];
      ASSERT_EQ(::pipe(told), 0);
      // `lock` is the waiter's until it has ended: it says itself whether it held the lock before
      // the other let go, which this thread says just before it lets go.
      std::string got;
      std::atomic<bool> letGo{false};
      bool early = false;
      std::thread waiter([&] {
        got = take([&] { ASSERT_EQ(::write(told[1], "w", 1), 1); });
        early = lock.IsHeld() && !letGo;
        ASSERT_EQ(::write(told[1], "d", 1), 1);
      });
      char c = 0;
      EXPECT_EQ(::read(told[0], &c, 1), 1);
      EXPECT_EQ(c, 'w') << row.name;  // the waiting line, before the lock is let go
      letGo = true;
      if (held >= 0) ::close(held);
      first.Release();
      waiter.join();
      ::close(told[0]);
      ::close(told[1]);
      EXPECT_FALSE(early) << row.name;
      EXPECT_EQ(got, said) << row.name;
    } else {
      const mode_t umask = row.how == kUmask0277 ? ::umask(0277) : 0;
      EXPECT_EQ(take(), said) << row.name;
      if (row.how == kUmask0277) ::umask(umask);
      if (row.how == kTwice) {
        // The next render finds a file of mode 0755, which it replaces once and takes.
        lock.Release();
        EXPECT_EQ(take(), said) << row.name;
      }
    }
    ::alarm(0);
    EXPECT_EQ(lock.IsHeld(), said == "ok") << row.name;
    if (said != "ok") continue;
    // Held: nobody else gets it meanwhile. This user's own file is 0600, another's is left as it was.
    const int other = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    EXPECT_TRUE(::flock(other, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) << row.name;
    lock.Release();
    EXPECT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0) << row.name;
    ::close(other);
    struct stat st;
    ASSERT_EQ(::lstat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode)) << row.name;
    EXPECT_EQ(st.st_mode & 07777, theirs ? 0644u : fixed ? 0755u : 0600u) << row.name;
    if (found.st_ino != 0) {
      EXPECT_EQ(st.st_ino != found.st_ino, row.replaced) << row.name;
    }
  }
  // The files linked at lock names keep their mode and content; nothing else is left.
  struct stat mine, mine0600;
  ASSERT_EQ(::stat((dir / "mine").c_str(), &mine) | ::stat((dir / "mine0600").c_str(), &mine0600), 0);
  EXPECT_EQ(std::make_tuple(mine.st_mode & 07777, mine0600.st_mode & 07777, ReadBack(dir / "mine"),
                            ReadBack(dir / "mine0600")),
            std::make_tuple(0666u, 0600u, std::string("mine"), std::string("mine")));
  for (const std::string folder : {"shared", "private"})
    for (const std::string& name : Names(dir / folder)) EXPECT_FALSE(files::ReadName(name).temporary) << name;
  EXPECT_FALSE(fs::exists(dir / "nowhere"));
  if (!kRoot) SkipFor(&skipped, "rows of another user's lock file need root to plant it");
  if (!skipped.empty()) GTEST_SKIP() << skipped;
}

// Takers that find one lock file of this user's at once, which others may open (0644, 0660), never
// hold the lock together, whichever of them replaces it.
TEST(FilesTest, TakersOfOneLockFileNeverHoldItTogether) {
  scratch::Dir dir;
  const std::string path = dir / "lock", marker = dir / "held";
  const struct {
    mode_t mode;
    int takers;
  } rows[] = {{0644, 2}, {0644, 3}, {0660, 3}};
  for (const auto& row : rows) {
    const std::string what =
        std::to_string(row.takers) + " takers, mode " + (row.mode == 0644 ? "0644" : "0660");
    int together = 0;
    std::vector<std::string> said;
    for (int round = 0; round < 200; ++round) {
      fs::remove(path);
      std::ofstream(path) << "";
      ASSERT_EQ(::chmod(path.c_str(), row.mode), 0);
      std::mutex m;
      std::condition_variable changed;
      int started = 0;
      std::vector<bool> settled(row.takers);  // waits for the lock, or has had it
      const auto settle = [&](int t) {
        std::lock_guard<std::mutex> lock(m);
        settled[t] = true;
        changed.notify_all();
      };
      std::vector<std::thread> takers;
      for (int t = 0; t < row.takers; ++t)
        takers.emplace_back([&, t] {
          {
            std::unique_lock<std::mutex> lock(m);
            ++started;
            changed.notify_all();
            changed.wait(lock, [&] { return started == row.takers; });
          }
          files::FileLock held;
          const std::string r = Said(At(path, [&](const files::Folder& f, const std::string& name) {
            return held.Take(f, name, [&] { settle(t); });
          }));
          // While held, the marker is this taker's alone; it is held until every other taker waits
          // for the lock or has had it.
          const int mark =
              r == "ok" ? ::open(marker.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600) : -1;
          std::unique_lock<std::mutex> lock(m);
          if (r != "ok") said.push_back(r);
          if (r == "ok" && mark < 0) ++together;
          settled[t] = true;
          changed.notify_all();
          changed.wait(lock,
                       [&] { return std::find(settled.begin(), settled.end(), false) == settled.end(); });
          if (mark >= 0) ::close(mark), ::unlink(marker.c_str());
        });
      for (std::thread& taker : takers) taker.join();
    }
    EXPECT_EQ(together, 0) << what;
    EXPECT_EQ(said, std::vector<std::string>{}) << what;
  }
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
  Mkdir(dir / "victim");
  std::ofstream(dir / "victim/kept") << "kept";
  kept.insert("victim");
  Mkdir(dir / (Temporary("folder", self, ended) + "/inner"));
  fs::create_directory_symlink(dir / "victim", dir / (Temporary("folder", self, ended) + "/inner/link"));
  for (const auto& row : rows) {
    std::ofstream(dir / row.name) << "left";
    const timeval then = {::time(nullptr) - row.age, 0}, times[2] = {then, then};
    ASSERT_EQ(::utimes((dir / row.name).c_str(), times), 0);
    if (!row.removed) kept.insert(row.name);
  }

  // The first temporary this process makes in the folder sweeps it; a later one does not look again.
  files::Folder folder;
  ASSERT_EQ(Said(files::Folder::Open(dir.path(), &folder)), "ok");
  files::TemporaryFile first, second;
  ASSERT_EQ(Said(folder.CreateTemporary("a", &first)), "ok");
  ASSERT_EQ(Said(first.Commit()), "ok");
  kept.insert("a");
  EXPECT_EQ(Names(dir.path()), kept);
  EXPECT_EQ(ReadBack(dir / "victim/kept"), "kept");
  std::ofstream(dir / rows[0].name) << "again";
  ASSERT_EQ(Said(folder.CreateTemporary("a", &second)), "ok");
  second.Discard();
  EXPECT_TRUE(fs::exists(dir / rows[0].name));  // as dead as the one the first took

  // Another user's process answers EPERM, which means it runs: its file stays.
  if (!kRoot) GTEST_SKIP() << "the check as another user needs root to become one";
  // Nor is what another user owns removed, whoever wrote it: a folder this process never swept,
  // where another user writes first.
  scratch::Dir fresh;
  const std::string parents = Temporary("parents", self, ::getpid()), roots = Temporary("roots", self, ended);
  std::ofstream(fresh / parents) << "live";
  fs::create_directory(fresh / roots);
  fs::permissions(fresh.path(), fs::perms(0777));
  EXPECT_EQ(scratch::InChild(
                [&] { return scratch::BecomeNobody() ? Said(Write(fresh / "n", "n")) : "not nobody"; }),
            "ok");
  EXPECT_EQ(Names(fresh.path()), (std::set<std::string>{parents, roots, "n"}));
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

// An earlier render's folder being emptied when the run is interrupted stays in the registry until
// it is empty: the interruption leaves what is not yet removed, set aside, and names it.
TEST(FilesTest, AnInterruptionStopsTheEmptyingOfAFolderAndNamesWhatIsLeft) {
  scratch::Dir dir;
  Mkdir(dir / "quickrender/models.quickrender");
  for (const char* name : {"quickrender/quickrender.ovs", "quickrender/models.quickrender/m0"})
    std::ofstream(dir / name) << "earlier";
  const std::string left = scratch::InChild([&] {
    files::Folder folder, renewed;
    if (!files::Folder::Open(dir.path(), &folder).ok()) return std::string("not open");
    g_beforeListing = [] { files::Interrupt(); };
    folder.RenewFolder("quickrender", &renewed);
    std::string names;
    for (const files::Place& place : files::LeftBehind()) names += place.Path() + "\n";
    return names;
  });
  std::string aside;
  for (const std::string& name : Names(dir.path()))
    if (files::ReadName(name).temporary) aside = name;
  ASSERT_FALSE(aside.empty()) << left;
  EXPECT_EQ(left, dir / aside + "\n");
  EXPECT_EQ(Names(dir / aside), (std::set<std::string>{"quickrender.ovs", "models.quickrender"}));
  EXPECT_EQ(Names(dir / (aside + "/models.quickrender")), std::set<std::string>{"m0"});
}

}  // namespace
