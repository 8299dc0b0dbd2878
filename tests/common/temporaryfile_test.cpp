// Files written through exclusive temporary files: their names, the targets they refuse or follow,
// the modes they keep, the sweep of temporaries left behind and an interrupted run.
#include "files/temporaryfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "support/host_fixture.h"

namespace fs = std::filesystem;

// While set, `renameat2` refuses its flags as a FUSE or NFS mount does (this definition takes the
// place of the C library's for the module under test).
static std::atomic<bool> g_refuseRenameFlags{false};

extern "C" int renameat2(int from, const char* fromName, int to, const char* toName, unsigned int flags) {
  if (flags != 0 && g_refuseRenameFlags) {
    errno = EINVAL;
    return -1;
  }
  return static_cast<int>(::syscall(SYS_renameat2, from, fromName, to, toName, flags));
}

namespace {

std::set<std::string> Names(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename().string());
  return names;
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

// Sets a file's times `seconds` into the past.
void Age(const std::string& path, long seconds) {
  const timeval then = {::time(nullptr) - seconds, 0}, times[2] = {then, then};
  ASSERT_EQ(::utimes(path.c_str(), times), 0);
}

TEST(TemporaryFileTest, NamesTellTheirOriginAndProcess) {
  const std::string& self = TemporaryFile::Origin();
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
    const TemporaryFile::NameInfo info = TemporaryFile::ReadName(row.name);
    EXPECT_EQ(info.temporary, row.temporary) << row.name;
    EXPECT_EQ(info.local, row.local) << row.name;
    EXPECT_EQ(info.temporary ? info.pid : 0, row.pid) << row.name;
  }

  // A long target name is shortened to fit the folder; the file made carries this process.
  TempDir dir;
  std::string temporary, final;
  const std::string longName(251, 'n');
  const int fd = TemporaryFile::CreateBeside(dir / longName, &temporary, &final);
  ASSERT_GE(fd, 0) << TemporaryFile::ErrorText(errno);
  ::close(fd);
  const TemporaryFile::NameInfo made = TemporaryFile::ReadName(fs::path(temporary).filename());
  EXPECT_TRUE(made.temporary && made.local && made.pid == ::getpid()) << temporary;
  EXPECT_TRUE(TemporaryFile::Commit(temporary, final));
  EXPECT_EQ(Names(dir.path()), std::set<std::string>{longName});
}

TEST(TemporaryFileTest, SpecialTargetsAreRefusedLinksFollowedAndModesKept) {
  TempDir dir;
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
    std::string target, why;
  } refused[] = {
      {"fifo", "not a regular file"},
      {"folder", "Is a directory"},
      {"shared/planted", "Permission denied"},  // another user's, when there is one (root)
  };
  for (const auto& row : refused) {
    if (!root && row.target == "shared/planted") continue;  // said at the end
    std::string why, refusal;
    EXPECT_FALSE(TemporaryFile::IsReplaceableTarget(dir / row.target, &refusal)) << row.target;
    EXPECT_FALSE(TemporaryFile::WriteFileReplacing(dir / row.target, "x", 1, &why)) << row.target;
    EXPECT_EQ(why, row.why) << row.target;
    EXPECT_EQ(refusal, row.why) << row.target;
    EXPECT_FALSE(TemporaryFile::IsRegularFile(dir / row.target)) << row.target;
  }
  EXPECT_TRUE(fs::is_fifo(dir / "fifo") && fs::is_empty(dir / "folder"));
  EXPECT_EQ(ReadFile(dir / "victim"), "victim");

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
    EXPECT_TRUE(TemporaryFile::WriteFileReplacing(dir / target, target, std::strlen(target))) << target;
  ::umask(umask);
  EXPECT_TRUE(fs::is_symlink(dir / "outer") && fs::is_symlink(dir / "folder/inner") &&
              fs::is_symlink(dir / "dangling") && fs::is_symlink(dir / "shared/mine"));
  EXPECT_EQ(ReadFile(dir / "folder/sub/real") + "," + ReadFile(dir / "folder/sub/new") + "," +
                ReadFile(dir / "victim"),
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
// they name, loops end, and in a sticky folder only this user's or the folder's owner's links are
// followed, whatever the operation.
TEST(TemporaryFileTest, EveryOperationWalksLinksAsTheyAreAndOnlyTrustedOnesInSharedFolders) {
  TempDir dir;
  const pid_t ended = EndedProcess();
  fs::create_directories(dir / "real/sub");
  fs::create_directory(dir / "shared");
  fs::permissions(dir / "shared", fs::perms(01777));
  fs::create_directory_symlink(dir / "real", dir / "abs");
  fs::create_directory_symlink("real", dir / "rel");
  fs::create_directory_symlink("rel", dir / "chain");
  fs::create_directory_symlink("real/sub/..", dir / "dotdot");
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
  const std::string stale = ".s.tmp-" + TemporaryFile::Origin() + "-" + std::to_string(ended) + "-Zq0rT5bWx2";
  // Each operation in the folder `path` names, and the `errno` value it gives (0: done in real/).
  const auto operations = [&](const std::string& path) {
    std::vector<int> got;
    std::string why;
    got.push_back(TemporaryFile::WriteFileReplacing(path + "/f", "f", 1, &why) ? 0 : errno);
    got.push_back(TemporaryFile::UseFolder(path + "/made", true, false, &why));
    const std::string made = TemporaryFile::MakeTemporaryFolder(path + "/t");
    got.push_back(made.empty() ? errno : TemporaryFile::CommitFolder(made, "t") ? 0 : errno);
    std::ofstream(dir / "real/t/x") << "x";
    got.push_back(TemporaryFile::RenewFolder(path + "/t", false, &why));
    std::ofstream(dir / ("real/" + stale)) << "left";
    got.push_back(TemporaryFile::RemoveStale(path) == 1 ? 0 : -1);  // a sweep says only how many
    // A name that is taken is not replaced.
    const std::string again = TemporaryFile::MakeTemporaryFolder(path + "/t");
    got.push_back(again.empty() ? errno : TemporaryFile::CommitFolder(again, "t") ? 0 : errno);
    TemporaryFile::RemoveFolder(again);
    return got;
  };
  const struct {
    std::string path;
    int error;  // of every operation
    bool anotherUser = false;
  } rows[] = {
      {"real", 0},
      {"abs", 0},          // an absolute link
      {"rel", 0},          // a relative one
      {"chain", 0},        // a link to a link
      {"dotdot", 0},       // a link whose target goes back up
      {"real/sub/..", 0},  // back up in the path itself
      {"shared/../real", 0},
      {"shared/mine", 0},  // this user's link in a shared folder
      {"loop", ELOOP},
      {"loop2/x", ELOOP},
      {"shared/theirs", EACCES, true},      // another user's link there
      {"shared/theirs/sub", EACCES, true},  // the same in the middle of a path
      {"shared/hop", EACCES, true},         // reached through a link of this user's
      {"group/theirs", EACCES, true},       // in a sticky folder its group may write to
      {"open/theirs", EACCES, true},        // in a folder anyone may write to
      {"shared/nobodys/sub", TemporaryFile::kForeignFolder, true},  // another user's folder there
  };
  // Each row on a file system that takes renameat2's flags, then on one that refuses them.
  for (const auto& row : rows)
    for (const bool refuseFlags : {false, true}) {
      if (row.anotherUser && !root) GTEST_SKIP() << "rows with another user's links need root to plant them";
      fs::remove_all(dir / "real/t");
      g_refuseRenameFlags = refuseFlags;
      const std::vector<int> got = operations(dir / row.path);
      g_refuseRenameFlags = false;
      const int e = row.error;
      EXPECT_EQ(got, (std::vector<int>{e, e, e, e, e ? -1 : 0, e ? e : EEXIST})) << row.path << refuseFlags;
      const std::set<std::string> real = row.error == 0 ? std::set<std::string>{"sub", "f", "made", "t"}
                                                        : std::set<std::string>{"sub", stale};
      EXPECT_EQ(Names(dir / "real"), real) << row.path;
      if (row.error == 0) {
        EXPECT_TRUE(fs::is_empty(dir / "real/t")) << row.path;
      }
      for (const char* name : {"f", "made", "t", stale.c_str()})
        fs::remove_all(dir / ("real/" + std::string(name)));
    }
  // A path relative to a working directory inside another user's folder is refused as well, and
  // a lock file another user made there is not taken.
  const fs::path cwd = fs::current_path();
  fs::current_path(dir / "shared/nobodys");
  TemporaryFile::Folder folder;
  EXPECT_EQ(TemporaryFile::OpenFolder("sub", 0, &folder), TemporaryFile::kForeignFolder);
  fs::current_path(cwd);
  ASSERT_EQ(TemporaryFile::OpenFolder(dir / "shared/nobodys", 0, &folder), TemporaryFile::kForeignFolder);
  ASSERT_EQ(TemporaryFile::OpenFolder(dir / "real", 0, &folder), 0);
  std::ofstream(dir / "real/theirs.lock") << "";
  ASSERT_EQ(::chown((dir / "real/theirs.lock").c_str(), 65534, 65534), 0);
  EXPECT_EQ(TemporaryFile::LockIn(folder, "theirs.lock"), -1);
  const int lock = TemporaryFile::LockIn(folder, "mine.lock");
  EXPECT_GE(lock, 0);
  ::close(lock);
}

TEST(TemporaryFileTest, TheSweepRemovesOnlyTemporariesWhoseWriterIsCertainlyGone) {
  TempDir dir;
  const std::string& self = TemporaryFile::Origin();
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
  std::string temporary, final;
  int fd = TemporaryFile::CreateBeside(dir / "a", &temporary, &final);
  ASSERT_GE(fd, 0);
  ::close(fd);
  ASSERT_TRUE(TemporaryFile::Commit(temporary, final));
  kept.insert("a");
  EXPECT_EQ(Names(dir.path()), kept);
  EXPECT_EQ(ReadFile(dir / "victim/kept"), "kept");
  std::ofstream(dir / rows[0].name) << "again";
  fd = TemporaryFile::CreateBeside(dir / "a", &temporary, &final);
  ASSERT_GE(fd, 0);
  ::close(fd);
  TemporaryFile::Discard(temporary);
  EXPECT_TRUE(fs::exists(dir / rows[0].name));
  EXPECT_EQ(TemporaryFile::RemoveStale(dir.path()), 1);

  // Another user's process answers EPERM, which means it runs: its file stays.
  if (::geteuid() != 0) GTEST_SKIP() << "the check as another user needs root to become one";
  // Nor is what another user owns removed, whoever wrote it.
  const std::string parents = Temporary("parents", self, ::getpid()), roots = Temporary("roots", self, ended);
  std::ofstream(dir / parents) << "live";
  fs::create_directory(dir / roots);
  fs::permissions(dir.path(), fs::perms(0777));
  const pid_t child = ::fork();
  if (child == 0) _exit(::setuid(65534) != 0 ? 2 : TemporaryFile::RemoveStale(dir.path()));
  int status = -1;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_TRUE(fs::exists(dir / parents) && fs::exists(dir / roots));
}

TEST(TemporaryFileTest, AnInterruptionRemovesEveryRegisteredFileAndFolderAndStopsNewOnes) {
  // In a child of its own: an interruption lasts as long as its process.
  TempDir dir;
  const pid_t child = ::fork();
  if (child == 0) {
    int failures = 0;
    const auto check = [&failures](bool ok, int bit) { failures |= ok ? 0 : bit; };
    std::string open, written, final, unused;
    const int fd = TemporaryFile::CreateBeside(dir / "open", &open, &final);
    const int done = TemporaryFile::CreateBeside(dir / "written", &written, &final);
    check(fd >= 0 && done >= 0 && ::close(done) == 0, 1);
    check(TemporaryFile::MakeFolder(dir / "unpacked") && std::ofstream(dir / "unpacked/big").good(), 2);
    const std::string scratch = TemporaryFile::MakeTemporaryFolder(dir / "scratch");
    check(!scratch.empty(), 4);
    check(TemporaryFile::MakeFolder(dir / "kept"), 8);
    TemporaryFile::KeepFolder(dir / "kept");
    check(TemporaryFile::Interrupt() && !TemporaryFile::Interrupt() && TemporaryFile::Interrupted(), 16);
    check(!TemporaryFile::Commit(written, final) && errno == TemporaryFile::kInterrupted, 32);
    check(TemporaryFile::CreateBeside(dir / "late", &unused, &final) < 0 &&
              errno == TemporaryFile::kInterrupted,
          64);
    check(!TemporaryFile::MakeFolder(dir / "later") && errno == TemporaryFile::kInterrupted, 128);
    check(!TemporaryFile::WriteFileReplacing(dir / "late", "x", 1, &unused) && unused == "interrupted", 256);
    ::_exit(failures);
  }
  int status = -1;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(Names(dir.path()), std::set<std::string>{"kept"});
}

}  // namespace
