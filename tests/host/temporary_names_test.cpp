// Files written through exclusive temporary names: a link or file planted at a predictable name is
// left alone, special targets refused, links followed, modes kept, stale temporaries removed.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "c4d.h"
#include "host_document_file.h"
#include "host_files.h"
#include "support/host_fixture.h"

namespace fs = std::filesystem;

namespace {

class TemporaryNamesTest : public HostTest {};

std::set<std::string> Names(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename().string());
  return names;
}

TEST_F(TemporaryNamesTest, LinksAtPredictableNamesAreNeitherFollowedNorReplaced) {
  TempDir dir;
  const std::string victim = dir / "victim";
  std::ofstream(victim) << "keep";
  ASSERT_EQ(symlink(victim.c_str(), (dir / "doc.json.tmp").c_str()), 0);
  ASSERT_EQ(symlink(victim.c_str(), (dir / "img.jpg.part").c_str()), 0);
  std::ofstream(dir / "doc.json.new") << "someone's";

  BaseDocument* doc = BaseDocument::Alloc();
  std::string error;
  ASSERT_TRUE(host::SaveDocumentFile(doc, dir / "doc.json", &error)) << error;
  BaseDocument::Free(doc);
  BaseBitmap bm;
  ASSERT_EQ(bm.Init(6, 4), IMAGERESULT_OK);
  ASSERT_EQ(bm.Save(Filename(String(dir / "img.jpg")), FILTER_JPG, nullptr, 0), IMAGERESULT_OK);
  EXPECT_EQ(ReadFile(victim), "keep");
  EXPECT_EQ(ReadFile(dir / "doc.json.new"), "someone's");
  EXPECT_TRUE(fs::is_symlink(dir / "doc.json.tmp") && fs::is_symlink(dir / "img.jpg.part"));
  // and no temporary file is left behind
  EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"victim", "doc.json", "doc.json.tmp", "doc.json.new",
                                                      "img.jpg", "img.jpg.part"}));
}

TEST_F(TemporaryNamesTest, SpecialTargetsAreRefusedLinksFollowedModesKeptAndStaleTemporariesRemoved) {
  TempDir dir;
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600) | ::mkdir((dir / "folder").c_str(), 0700), 0);
  const bool root = ::geteuid() == 0;  // a device node needs root
  ASSERT_TRUE(!root || ::mknod((dir / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0);
  for (const std::string name : {"fifo", "folder", root ? "null" : "fifo"}) {
    std::string why;
    EXPECT_FALSE(host::WriteFileReplacing(dir / name, "x", 1, &why));
    EXPECT_EQ(why, name == "folder" ? "Is a directory" : "not a regular file") << name;
  }
  BaseFile* f = BaseFile::Alloc();
  EXPECT_FALSE(f->Open(Filename(String(dir / "folder")), FILEOPEN_WRITE));
  EXPECT_TRUE(fs::is_fifo(dir / "fifo") && fs::is_empty(dir / "folder"));
  EXPECT_EQ(Names(dir.path()).size(), root ? 3u : 2u);  // nor a temporary left

  // Links are followed, relative ones from the link's folder, and stay; a dangling one makes its
  // file. Under umask 077 a replaced file keeps its mode, a new one is 0600. The first write into a
  // folder removes a reaped child's temporaries there, not a running process's; a later one doesn't.
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ASSERT_TRUE(child > 0 && ::waitpid(child, nullptr, 0) == child);
  const std::string dead = ".a.tmp-" + std::to_string(child) + "-0",
                    live = ".b.tmp-" + std::to_string(::getppid()) + "-0";
  fs::create_directory(dir / "folder/sub");
  for (const std::string& name : {dead, live, std::string("real")})
    std::ofstream(dir / ("folder/sub/" + name)) << "old";
  fs::permissions(dir / "folder/sub/real", fs::perms(0640));
  fs::create_symlink("sub/real", dir / "folder/inner");
  fs::create_symlink("folder/inner", dir / "outer");
  fs::create_symlink("folder/sub/new", dir / "dangling");
  const mode_t umask = ::umask(077);
  EXPECT_TRUE(host::WriteFileReplacing(dir / "outer", "new", 3));
  std::ofstream(dir / ("folder/sub/" + dead)) << "again";
  EXPECT_TRUE(f->Open(Filename(String(dir / "dangling")), FILEOPEN_WRITE) && f->WriteBytes("made", 4) &&
              f->Close());
  ::umask(umask);
  BaseFile::Free(f);
  EXPECT_TRUE(fs::is_symlink(dir / "outer") && fs::is_symlink(dir / "folder/inner") &&
              fs::is_symlink(dir / "dangling"));
  EXPECT_EQ(ReadFile(dir / "folder/sub/real") + "," + ReadFile(dir / "folder/sub/new"), "new,made");
  EXPECT_EQ(fs::status(dir / "folder/sub/real").permissions(), fs::perms(0640));
  EXPECT_EQ(fs::status(dir / "folder/sub/new").permissions(), fs::perms(0600));
  EXPECT_EQ(Names(dir / "folder/sub"), (std::set<std::string>{"real", "new", dead, live}));
}

TEST_F(TemporaryNamesTest, NamesCarryTheirProcessAndAnInterruptedRunRemovesTheTemporariesItHolds) {
  EXPECT_EQ(host::TemporaryFileProcess(".a.json.tmp-123-4"), 123);
  EXPECT_EQ(host::TemporaryFileProcess("..tmp-5.tmp-6-7"), 6);
  for (const char* name :
       {"a.json.tmp-123-4", "..tmp-123-4", ".a.tmp-123", ".a.tmp-12x-4", ".a.tmp--4", ".a.tmp-0-1"})
    EXPECT_EQ(host::TemporaryFileProcess(name), 0) << name;

  // Removed: the temporaries the host made and those its writers hold open; a closed one stays.
  TempDir dir;
  BaseFile* f = BaseFile::Alloc();
  ASSERT_TRUE(f->Open(Filename(String(dir / "y")), FILEOPEN_WRITE));
  const std::string own = ".x.tmp-" + std::to_string(::getpid());
  const int fd = ::open((dir / (own + "-7")).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
  std::ofstream(dir / (own + "-8")) << "closed";
  ASSERT_TRUE(fd >= 0 && Names(dir.path()).size() == 3u);
  host::RemoveTemporaryFiles();
  ::close(fd);
  EXPECT_FALSE(f->Close());
  BaseFile::Free(f);
  EXPECT_EQ(Names(dir.path()), (std::set<std::string>{own + "-8"}));
}

}  // namespace
