// The plug-in's temporary files: their names, their creation, and the removal of those that a
// process which no longer runs left behind.
#include "utils/temporaryfile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "support/host_fixture.h"

namespace {

namespace fs = std::filesystem;

TEST(TemporaryFileTest, NamesAreHiddenBesideTheTargetAndCarryTheProcessId) {
  const std::string pid = std::to_string(getpid()), first = TemporaryFile::NameBeside("/a/b/scene.ovs");
  const std::string prefix = "/a/b/.scene.ovs.tmp-" + pid + "-";
  ASSERT_EQ(first.compare(0, prefix.size(), prefix), 0) << first;
  EXPECT_EQ(TemporaryFile::NameBeside("scene.ovs"),
            ".scene.ovs.tmp-" + pid + "-" + std::to_string(std::stoul(first.substr(prefix.size())) + 1));
  // The process ID a name carries; 0 where it is no temporary name.
  const std::pair<const char*, pid_t> cases[] = {
      {".scene.ovs.tmp-123-0", 123}, {".m.tmp-7-42", 7},        {".a.tmp-1-2.tmp-99-3", 99},
      {"scene.ovs.tmp-123-0", 0},    {"..tmp-123-0", 0},        {".scene.ovs.tmp-123-", 0},
      {".scene.ovs.tmp--0", 0},      {".scene.ovs.tmp-0-0", 0}, {".scene.ovs.tmp-99999999999-0", 0},
      {".scene.ovs.tmp123_0", 0},    {".scene.ovs", 0}};
  for (const auto& [name, expected] : cases) {
    pid_t carried = 0;
    EXPECT_EQ(TemporaryFile::IsTemporaryName(name, &carried), expected != 0) << name;
    EXPECT_EQ(carried, expected) << name;
  }
}

TEST(TemporaryFileTest, TheFirstCreationInAFolderRemovesTheFilesOfEndedProcessesAndModesAreKept) {
  // A reaped child's ID runs no process; the child names its files by its own ID, not its parent's.
  ASSERT_EQ(TemporaryFile::ProcessId(), getpid());
  const pid_t ended = fork();
  if (ended == 0)
    _exit(TemporaryFile::NameBeside("x").rfind(".x.tmp-" + std::to_string(getpid()) + "-", 0) != 0);
  int status = -1;
  ASSERT_TRUE(ended > 0 && waitpid(ended, &status, 0) == ended && status == 0);
  TempDir dir;
  const std::string dead = std::to_string(ended), stale = ".b.tmp-" + dead + "-0";
  // Kept: the file of a running process, a name that is no temporary name, a folder.
  const std::string live = ".a.tmp-" + std::to_string(getppid()) + "-0", plain = "a.tmp-" + dead + "-0";
  for (const std::string& name :
       {".a.tmp-" + dead + "-0", ".m.tmp-" + dead + "-5", live, plain, std::string("b")})
    std::ofstream(dir / name) << "left";
  fs::create_directory(dir / (".d.tmp-" + dead + "-1"));
  ASSERT_EQ(chmod((dir / "b").c_str(), 0640), 0);

  // Under umask 077 a new file is 0600 and one that replaces a file has that file's mode.
  const mode_t mask = umask(077);
  std::string made, replacing;
  const int fd = TemporaryFile::CreateBeside(dir / "a", &made);
  std::ofstream(dir / stale) << "left";  // a second creation in the folder does not look again
  const int second = TemporaryFile::CreateBeside(dir / "b", &replacing);
  umask(mask);
  ASSERT_TRUE(fd >= 0 && second >= 0);
  close(fd);
  close(second);
  EXPECT_EQ(fs::status(made).permissions(), fs::perms(0600));
  EXPECT_EQ(fs::status(replacing).permissions(), fs::perms(0640));
  EXPECT_EQ(made.rfind(dir / (".a.tmp-" + std::to_string(getpid()) + "-"), 0), 0u) << made;
  std::set<std::string> entries;
  for (const auto& e : fs::directory_iterator(dir.path())) entries.insert(e.path().filename());
  EXPECT_EQ(entries, (std::set<std::string>{live, plain, ".d.tmp-" + dead + "-1", "b", stale,
                                            fs::path(made).filename(), fs::path(replacing).filename()}));
  EXPECT_EQ(TemporaryFile::RemoveStale(dir.path()), 1);
  EXPECT_FALSE(fs::exists(dir / stale));
}

}  // namespace
