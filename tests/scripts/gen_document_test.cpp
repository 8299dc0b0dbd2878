// scripts/gen-document: a bad command line or an interrupted run leaves every file as it was.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/host_fixture.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

const std::string kScript = std::string(CORVANE_SOURCE_DIR) + "/scripts/gen-document";

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  return names;
}

TEST(GenDocument, UsageErrorsSayWhatIsWrongAndKeepTheFile) {
  TempDir dir;
  const std::string keep = dir / "keep.txt";
  std::ofstream(keep) << "precious\n";
  struct Row {
    std::string args, error;
  } rows[] = {
      {"bogus 5 keep.txt",
       "unknown kind 'bogus'; the kinds are mesh, parameters, unknown, instances, quads, " +
           std::string("materials, links, ply, blend-chain, material-mix")},
      {"instances 100 keep.txt", "instances needs POLYGONS COUNT FILE; COUNT is missing"},
      {"mesh abc keep.txt", "POLYGONS must be a whole number of 1 or more, not 'abc'"},
      {"mesh 1000000", "mesh needs POLYGONS FILE; FILE is missing"},
      {"quads 3 keep.txt more", "quads needs COUNT FILE; 'more' is one argument too many"},
      {"quads 3 .", ". is a folder; name a file"},
      {"quads 3 no/such.json", "the folder " + fs::canonical(dir.path()).string() +
                                   "/no does not exist; make it first or name a file elsewhere"},
  };
  for (const Row& row : rows) {
    std::string output;
    EXPECT_EQ(RunCommand("cd " + dir.path() + " && " + kScript + " " + row.args, &output), 2) << row.args;
    EXPECT_EQ(output, "gen-document: " + row.error + "\n") << row.args;
    EXPECT_EQ(ReadFile(keep), "precious\n") << row.args;
  }
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"keep.txt"});

  // A good command line replaces the file whole and keeps its permission bits.
  fs::permissions(keep, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  std::string output;
  ASSERT_EQ(RunCommand(kScript + " quads 1 " + keep, &output), 0) << output;
  EXPECT_EQ(ReadFile(keep).substr(0, 37), "{\"objects\":[{\"type\":5100,\"name\":\"Q0\",");
  EXPECT_EQ(fs::status(keep).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"keep.txt"});
}

TEST(GenDocument, CtrlCLeavesTheFileAndNoTemporary) {
  TempDir dir;
  const std::string keep = dir / "keep.json";
  std::ofstream(keep) << "precious\n";
  std::vector<std::string> args = {kScript, "mesh", "50000000", keep};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ), 0);
  // The interrupt comes once the temporary is being written.
  EXPECT_TRUE(WaitFor([&] { return Names(dir.path()).size() == 2; }));
  kill(pid, SIGINT);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
  EXPECT_EQ(ReadFile(keep), "precious\n");
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"keep.json"});
}

}  // namespace
