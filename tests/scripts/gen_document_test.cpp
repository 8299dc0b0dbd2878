// scripts/gen-document: a bad command line or an interrupted run leaves every file as it was.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/host_fixture.h"

namespace {

namespace fs = std::filesystem;

const std::string kScript = std::string(CORVANE_SOURCE_DIR) + "/scripts/gen-document";

TEST(GenDocument, UsageErrorsSayWhatIsWrongAndKeepTheFile) {
  TempDir dir;
  const std::string keep = dir / "keep.txt";
  std::ofstream(keep) << "precious\n";
  const std::pair<std::string, std::string> rows[] = {
      {"bogus 5 keep.txt",
       "unknown kind 'bogus'; the kinds are mesh, parameters, unknown, instances, quads, " +
           std::string("materials, links, ply, blend-chain, material-mix")},
      {"instances 100 keep.txt", "instances needs POLYGONS COUNT FILE; COUNT is missing"},
      {"mesh abc keep.txt", "POLYGONS must be a whole number of 1 or more, not 'abc'"},
      {"mesh ² keep.txt", "POLYGONS must be a whole number of 1 or more, not '²'"},
      {"mesh 1000000", "mesh needs POLYGONS FILE; FILE is missing"},
      {"quads 3 keep.txt more", "quads needs COUNT FILE; 'more' is one argument too many"},
      {"quads 3 .", ". is a folder; name a file"},
      {"quads 3 no/such.json", "the folder " + fs::canonical(dir.path()).string() +
                                   "/no does not exist; make it first or name a file elsewhere"},
  };
  for (const auto& [args, error] : rows) {
    std::string output;
    EXPECT_EQ(RunCommand("cd " + dir.path() + " && " + kScript + " " + args, &output), 2) << args;
    EXPECT_EQ(output, "gen-document: " + error + "\n") << args;
    EXPECT_EQ(ReadFile(keep), "precious\n") << args;
  }
  EXPECT_EQ(FolderNames(dir.path()), std::set<std::string>{"keep.txt"});

  // A good command line replaces the file whole and keeps its permission bits.
  const fs::perms bits = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
  fs::permissions(keep, bits);
  std::string output;
  ASSERT_EQ(RunCommand(kScript + " quads 1 " + keep, &output), 0) << output;
  EXPECT_EQ(ReadFile(keep).substr(0, 37), "{\"objects\":[{\"type\":5100,\"name\":\"Q0\",");
  EXPECT_EQ(fs::status(keep).permissions() & fs::perms::all, bits);
  EXPECT_EQ(FolderNames(dir.path()), std::set<std::string>{"keep.txt"});
}

TEST(GenDocument, CtrlCLeavesTheFileAndNoTemporary) {
  TempDir dir;
  const std::string keep = dir / "keep.json";
  std::ofstream(keep) << "precious\n";
  const pid_t pid = fork();
  if (pid == 0) {
    execl(kScript.c_str(), kScript.c_str(), "mesh", "50000000", keep.c_str(), nullptr);
    _exit(127);
  }
  // The interrupt comes once the temporary is being written.
  EXPECT_TRUE(WaitFor([&] { return FolderNames(dir.path()).size() == 2; }));
  kill(pid, SIGINT);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
  EXPECT_EQ(ReadFile(keep), "precious\n");
  EXPECT_EQ(FolderNames(dir.path()), std::set<std::string>{"keep.json"});
}

}  // namespace
