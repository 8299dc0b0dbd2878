// Files written through exclusive temporary names: a link or file planted at a name a writer
// could be expected to use is left alone, special targets are refused, links are followed, modes
// kept, and the temporaries of dead or interrupted runs removed.
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
  std::set<std::string> names;  // and no temporary file is left behind
  for (const auto& entry : fs::directory_iterator(dir.path())) names.insert(entry.path().filename().string());
  EXPECT_EQ(names, (std::set<std::string>{"victim", "doc.json", "doc.json.tmp", "doc.json.new", "img.jpg",
                                          "img.jpg.part"}));
}

std::set<std::string> Names(const TempDir& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir.path())) names.insert(entry.path().filename().string());
  return names;
}

mode_t ModeOf(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST_F(TemporaryNamesTest, SpecialTargetsAreRefusedLinksFollowedAndModesKept) {
  TempDir dir;
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  ASSERT_EQ(::mkdir((dir / "folder").c_str(), 0700), 0);
  const bool root = ::geteuid() == 0;  // a device node needs root
  if (root) {
    ASSERT_EQ(::mknod((dir / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
  }
  const std::pair<std::string, std::string> refused[] = {
      {"fifo", "not a regular file"}, {"folder", "Is a directory"}, {"null", "not a regular file"}};
  for (const auto& [name, reason] : refused) {
    if (name == "null" && !root) continue;
    std::string why;
    EXPECT_FALSE(host::WriteFileReplacing(dir / name, "x", 1, &why));
    EXPECT_EQ(why, reason) << name;
  }
  BaseDocument* doc = BaseDocument::Alloc();
  std::string error;
  EXPECT_FALSE(host::SaveDocumentFile(doc, dir / "fifo", &error));
  BaseDocument::Free(doc);
  EXPECT_EQ(error, dir / "fifo: cannot write the file: not a regular file");
  BaseBitmap bm;
  ASSERT_EQ(bm.Init(2, 2), IMAGERESULT_OK);
  EXPECT_EQ(bm.Save(Filename(String(dir / "fifo")), FILTER_JPG, nullptr, 0), IMAGERESULT_FILEERROR);
  BaseFile* f = BaseFile::Alloc();
  EXPECT_FALSE(f->Open(Filename(String(dir / "folder")), FILEOPEN_WRITE));
  EXPECT_TRUE(fs::is_fifo(dir / "fifo") && fs::is_empty(dir / "folder"));
  EXPECT_EQ(Names(dir).size(), root ? 3u : 2u);

  // Links are followed to their file, relative ones from the link's folder, and stay links; a
  // dangling link makes its file. A replaced file keeps its mode, a new one gets the umask's.
  ASSERT_EQ(::mkdir((dir / "folder/sub").c_str(), 0700), 0);
  std::ofstream(dir / "folder/sub/real") << "old";
  ASSERT_EQ(::chmod((dir / "folder/sub/real").c_str(), 0640), 0);
  ASSERT_EQ(::symlink("sub/real", (dir / "folder/inner").c_str()), 0);
  ASSERT_EQ(::symlink("folder/inner", (dir / "outer").c_str()), 0);
  ASSERT_EQ(::symlink("folder/sub/new", (dir / "dangling").c_str()), 0);
  const mode_t umask = ::umask(077);
  EXPECT_TRUE(host::WriteFileReplacing(dir / "outer", "new", 3));
  EXPECT_TRUE(f->Open(Filename(String(dir / "dangling")), FILEOPEN_WRITE) && f->WriteBytes("made", 4) &&
              f->Close());
  ::umask(umask);
  BaseFile::Free(f);
  EXPECT_TRUE(fs::is_symlink(dir / "outer") && fs::is_symlink(dir / "folder/inner") &&
              fs::is_symlink(dir / "dangling"));
  EXPECT_EQ(ReadFile(dir / "folder/sub/real"), "new");
  EXPECT_EQ(ReadFile(dir / "folder/sub/new"), "made");
  EXPECT_EQ(ModeOf(dir / "folder/sub/real"), 0640u);
  EXPECT_EQ(ModeOf(dir / "folder/sub/new"), 0600u);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "folder/sub"), fs::directory_iterator()), 2);
}

TEST_F(TemporaryNamesTest, TemporariesOfDeadAndInterruptedRunsAreRemoved) {
  EXPECT_EQ(host::TemporaryFileProcess(".a.json.tmp-123-4"), 123);
  EXPECT_EQ(host::TemporaryFileProcess("..tmp-5.tmp-6-7"), 6);
  for (const char* name :
       {"a.json.tmp-123-4", "..tmp-123-4", ".a.tmp-123", ".a.tmp-12x-4", ".a.tmp--4", ".a.tmp-0-1"})
    EXPECT_EQ(host::TemporaryFileProcess(name), 0) << name;

  TempDir dir;
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ASSERT_GT(child, 0);
  ASSERT_EQ(::waitpid(child, nullptr, 0), child);
  const std::string dead = ".a.tmp-" + std::to_string(child) + "-0";
  const std::string live = ".b.tmp-" + std::to_string(::getppid()) + "-0";
  std::ofstream(dir / dead) << "dead";
  std::ofstream(dir / live) << "live";
  EXPECT_TRUE(host::WriteFileReplacing(dir / "x", "x", 1));
  EXPECT_EQ(Names(dir), (std::set<std::string>{live, "x"}));

  // An interrupted run removes the temporaries the host made and those its writers hold open;
  // a closed one of this process and the other process's stay.
  BaseFile* f = BaseFile::Alloc();
  ASSERT_TRUE(f->Open(Filename(String(dir / "y")), FILEOPEN_WRITE));
  const std::string own = ".x.tmp-" + std::to_string(::getpid());
  const int fd = ::open((dir / (own + "-7")).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
  ASSERT_GE(fd, 0);
  std::ofstream(dir / (own + "-8")) << "closed";
  EXPECT_EQ(Names(dir).size(), 5u);
  host::RemoveTemporaryFiles();
  ::close(fd);
  EXPECT_EQ(Names(dir), (std::set<std::string>{live, "x", own + "-8"}));
  EXPECT_FALSE(f->Close());
  BaseFile::Free(f);
  EXPECT_EQ(Names(dir), (std::set<std::string>{live, "x", own + "-8"}));
}

}  // namespace
