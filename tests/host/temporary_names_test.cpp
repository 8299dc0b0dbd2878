// The host's files written through exclusive temporary names: a link or file planted at a predictable
// name is left alone, special targets refused, links followed.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "c4d.h"
#include "host_document_file.h"
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
  // and no temporary file is left behind
  EXPECT_EQ(FolderNames(dir.path()), (std::set<std::string>{"victim", "doc.json", "doc.json.tmp",
                                                            "doc.json.new", "img.jpg", "img.jpg.part"}));
}

TEST_F(TemporaryNamesTest, AFileOpenedForWritingRefusesSpecialTargetsAndFollowsLinks) {
  TempDir dir;
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600) | ::mkdir((dir / "folder").c_str(), 0700), 0);
  fs::create_symlink("folder/new", dir / "dangling");
  BaseFile* f = BaseFile::Alloc();
  EXPECT_FALSE(f->Open(Filename(String(dir / "folder")), FILEOPEN_WRITE));
  EXPECT_FALSE(f->Open(Filename(String(dir / "fifo")), FILEOPEN_WRITE));
  EXPECT_TRUE(f->Open(Filename(String(dir / "dangling")), FILEOPEN_WRITE) && f->WriteBytes("made", 4) &&
              f->Close());
  BaseFile::Free(f);
  EXPECT_TRUE(fs::is_fifo(dir / "fifo") && fs::is_symlink(dir / "dangling"));
  EXPECT_EQ(ReadFile(dir / "folder/new"), "made");
  EXPECT_EQ(FolderNames(dir.path()), (std::set<std::string>{"fifo", "folder", "dangling"}));
}

}  // namespace
