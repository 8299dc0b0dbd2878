// Files and folders through the host.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "c4d.h"
#include "host_control.h"
#include "support/host_fixture.h"

namespace {

namespace fs = std::filesystem;

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::ResetAll();
    std::string pattern = SystemTemporaryFolder() + "/corvane-files-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root = pattern;
  }
  void TearDown() override {
    host::ResetAll();
    std::error_code ec;
    fs::remove_all(root, ec);
  }
  Filename Path(const std::string& rel) const { return Filename(String((root / rel).string())); }
  void Touch(const std::string& rel) const { std::ofstream(root / rel) << "x"; }
  fs::path root;
};

TEST_F(FilesTest, ExistTellsFilesFromFolders) {
  fs::create_directory(root / "dir");
  Touch("file.txt");
  const struct {
    const char* rel;
    bool asFile;
    bool asDir;
  } cases[] = {
      {"dir", false, true}, {"file.txt", true, false}, {"missing", false, false}, {"dir/", false, true}};
  for (const auto& c : cases) {
    EXPECT_EQ(GeFExist(Path(c.rel)), c.asFile) << c.rel;
    EXPECT_EQ(GeFExist(Path(c.rel), TRUE), c.asDir) << c.rel;
  }
  EXPECT_FALSE(GeFExist(Filename()));
  EXPECT_FALSE(GeFExist(Filename(), TRUE));
}

TEST_F(FilesTest, KillNeedsTheDirectoryFlagForFolders) {
  fs::create_directories(root / "tree" / "sub");
  Touch("tree/a.txt");
  Touch("tree/sub/b.txt");
  fs::create_directory(root / "empty");
  Touch("file.txt");

  EXPECT_FALSE(GeFKill(Path("tree")));                      // a folder without the flag
  EXPECT_FALSE(GeFKill(Path("tree"), GE_FKILL_RECURSIVE));  // still without it
  EXPECT_FALSE(GeFKill(Path("tree"), GE_FKILL_DIRECTORY));  // not empty
  EXPECT_TRUE(GeFExist(Path("tree/sub/b.txt")));
  EXPECT_TRUE(GeFKill(Path("tree"), GE_FKILL_DIRECTORY | GE_FKILL_RECURSIVE));
  EXPECT_FALSE(fs::exists(root / "tree"));

  EXPECT_FALSE(GeFKill(Path("empty")));
  EXPECT_TRUE(GeFKill(Path("empty"), GE_FKILL_DIRECTORY));
  EXPECT_FALSE(fs::exists(root / "empty"));

  EXPECT_TRUE(GeFKill(Path("file.txt")));
  EXPECT_FALSE(fs::exists(root / "file.txt"));
  EXPECT_FALSE(GeFKill(Path("file.txt")));  // gone already
  EXPECT_FALSE(GeFKill(Filename()));
}

TEST_F(FilesTest, CreateDirMakesMissingParents) {
  EXPECT_TRUE(GeFCreateDir(Path("a/b/c")));
  EXPECT_TRUE(fs::is_directory(root / "a" / "b" / "c"));
  EXPECT_TRUE(GeFCreateDir(Path("a/b")));  // exists already: fine
  Touch("plain");
  EXPECT_FALSE(GeFCreateDir(Path("plain")));
  EXPECT_FALSE(GeFCreateDir(Path("plain/below")));
  EXPECT_FALSE(GeFCreateDir(Filename()));

  // Non-ASCII names reach the file system as UTF-8.
  EXPECT_TRUE(GeFCreateDir(Path("caf\xC3\xA9")));
  EXPECT_TRUE(fs::is_directory(root / fs::u8path("caf\xC3\xA9")));
  EXPECT_TRUE(GeFExist(Path("caf\xC3\xA9"), TRUE));
}

}  // namespace
