// The plug-in's temporary files: their names, their creation, and the removal of those that a
// process which no longer runs left behind.
#include "utils/temporaryfile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/host_fixture.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> Entries(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(TemporaryFileTest, NamesAreHiddenBesideTheTargetAndCarryTheProcessId) {
  const std::string pid = std::to_string(getpid());
  const std::string first = TemporaryFile::NameBeside("/a/b/scene.ovs");
  const std::string second = TemporaryFile::NameBeside("scene.ovs");
  const std::string prefix = "/a/b/.scene.ovs.tmp-" + pid + "-";
  ASSERT_EQ(first.compare(0, prefix.size(), prefix), 0) << first;
  EXPECT_EQ(second,
            ".scene.ovs.tmp-" + pid + "-" + std::to_string(std::stoul(first.substr(prefix.size())) + 1));

  struct Case {
    const char* name;
    pid_t pid;  // 0: not a temporary name
  } cases[] = {
      {".scene.ovs.tmp-123-0", 123},
      {".m.tmp-7-42", 7},
      {".a.tmp-1-2.tmp-99-3", 99},
      {"scene.ovs.tmp-123-0", 0},  // not hidden
      {"..tmp-123-0", 0},          // no target name
      {".scene.ovs.tmp-123-", 0},
      {".scene.ovs.tmp--0", 0},
      {".scene.ovs.tmp-0-0", 0},
      {".scene.ovs.tmp-99999999999-0", 0},
      {".scene.ovs.tmp123_0", 0},
      {".scene.ovs", 0},
  };
  for (const Case& c : cases) {
    pid_t pid = 0;
    EXPECT_EQ(TemporaryFile::IsTemporaryName(c.name, &pid), c.pid != 0) << c.name;
    EXPECT_EQ(pid, c.pid) << c.name;
  }
}

TEST(TemporaryFileTest, CreationRemovesTheFilesOfEndedProcessesOnly) {
  TempDir dir;
  // A process that has ended and been reaped: its ID runs no process. It names its temporary
  // files by its own ID, not by the one its parent had cached.
  ASSERT_EQ(TemporaryFile::ProcessId(), getpid());
  const pid_t ended = fork();
  ASSERT_GE(ended, 0);
  if (ended == 0)
    _exit(TemporaryFile::NameBeside("x").rfind(".x.tmp-" + std::to_string(getpid()) + "-", 0) == 0 ? 0 : 1);
  int status = -1;
  ASSERT_EQ(waitpid(ended, &status, 0), ended);
  EXPECT_EQ(status, 0);
  const std::string dead = std::to_string(ended), alive = std::to_string(getppid());
  const std::vector<std::string> kept = {
      "." + std::string("a.ovs.tmp-") + alive + "-0",  // its process runs
      "a.ovs.tmp-" + dead + "-0",                      // not a temporary name
      ".folder.tmp-" + dead + "-1",                    // not a file
  };
  for (const std::string& name :
       {".a.ovs.tmp-" + dead + "-0", ".m.ovmesh.tmp-" + dead + "-5", kept[0], kept[1]})
    std::ofstream(dir / name) << "left";
  fs::create_directory(dir / kept[2]);

  const mode_t mask = umask(022);
  std::string temporary;
  const int fd = TemporaryFile::CreateBeside(dir / "a.ovs", &temporary);
  umask(mask);
  ASSERT_GE(fd, 0) << strerror(errno);
  struct stat st;
  ASSERT_EQ(fstat(fd, &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);
  close(fd);
  pid_t pid = 0;
  const std::string name = fs::path(temporary).filename();
  EXPECT_TRUE(TemporaryFile::IsTemporaryName(name, &pid) && pid == getpid()) << temporary;
  EXPECT_EQ(temporary, dir / name);

  std::vector<std::string> expected = kept;
  expected.push_back(name);
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Entries(dir.path()), expected);

  // Only the first temporary file in a folder looks for what others left there. A file that is
  // replaced keeps its own mode.
  std::ofstream(dir / (".b.tmp-" + dead + "-0")) << "left";
  std::ofstream(dir / "b") << "old";
  ASSERT_EQ(chmod((dir / "b").c_str(), 0640), 0);
  const int second = TemporaryFile::CreateBeside(dir / "b", &temporary);
  ASSERT_GE(second, 0);
  ASSERT_EQ(fstat(second, &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  close(second);
  EXPECT_TRUE(fs::exists(dir / (".b.tmp-" + dead + "-0")));
  EXPECT_EQ(TemporaryFile::RemoveStale(dir.path()), 1);
  EXPECT_FALSE(fs::exists(dir / (".b.tmp-" + dead + "-0")));

  errno = 0;
  EXPECT_EQ(TemporaryFile::CreateBeside(dir / "missing/a.ovs", &temporary), -1);
  EXPECT_EQ(errno, ENOENT);
}

}  // namespace
