// Byte files and the texture search.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "c4d.h"
#include "host_control.h"
#include "support/host_fixture.h"

namespace {

namespace fs = std::filesystem;

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

Filename F(const std::string& path) { return Filename(path.c_str()); }

TEST(BaseFileTest, WritesReplaceTheTargetOnlyWhenClosed) {
  TempDir dir;
  const std::string path = dir / "data.bin";
  std::ofstream(path) << "old";
  ::chmod(path.c_str(), 0640);
  BaseFile* f = BaseFile::Alloc();
  ASSERT_TRUE(f->Open(F(path), FILEOPEN_WRITE));
  const std::string bytes("ab\0\xFF", 4);
  EXPECT_TRUE(f->WriteBytes(bytes.data(), 4));
  EXPECT_TRUE(f->WriteBytes(nullptr, 0));
  EXPECT_EQ(Read(path), "old");
  EXPECT_TRUE(f->Close());
  EXPECT_EQ(Read(path), bytes);
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);

  // Read back: exact reads, a short read is an error unless only tried.
  ASSERT_TRUE(f->Open(F(path), FILEOPEN_READ));
  char buf[8] = {};
  EXPECT_EQ(f->ReadBytes(buf, 3), 3);
  EXPECT_EQ(f->ReadBytes(buf, 4, TRUE), 1);
  EXPECT_EQ(f->GetError(), FILEERROR_NONE);
  EXPECT_EQ(f->ReadBytes(buf, 1), 0);
  EXPECT_EQ(f->GetError(), FILEERROR_READ);
  EXPECT_FALSE(f->Close());

  // A failed write leaves the target as it was and no temporary file behind.
  ASSERT_TRUE(f->Open(F(path), FILEOPEN_WRITE));
  EXPECT_TRUE(f->WriteBytes("new", 3));
  EXPECT_FALSE(f->WriteBytes("x", -1));
  EXPECT_FALSE(f->WriteBytes("y", 1));  // the first error sticks
  EXPECT_EQ(f->GetError(), FILEERROR_WRONG_VALUE);
  EXPECT_FALSE(f->Close());
  EXPECT_EQ(Read(path), bytes);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);

  EXPECT_FALSE(f->Open(F(dir / "missing/x.bin"), FILEOPEN_WRITE));
  EXPECT_EQ(f->GetError(), FILEERROR_OPEN);
  EXPECT_FALSE(f->Open(F(dir / "missing.bin"), FILEOPEN_READ));
  EXPECT_FALSE(f->WriteBytes("x", 1));
  // A FIFO without a writer is refused at once, never waited on.
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  EXPECT_FALSE(f->Open(F(dir / "fifo"), FILEOPEN_READ));
  EXPECT_EQ(f->GetError(), FILEERROR_OPEN);

  // Freeing an open file closes it.
  ASSERT_TRUE(f->Open(F(dir / "freed.bin"), FILEOPEN_WRITE));
  EXPECT_TRUE(f->WriteBytes("kept", 4));
  BaseFile::Free(f);
  EXPECT_EQ(f, nullptr);
  EXPECT_EQ(Read(dir / "freed.bin"), "kept");
}

TEST(TexturePathTest, SearchesTheSuggestedFolderTheDocumentAndItsTexFolder) {
  TempDir dir;
  fs::create_directories(dir / "doc/tex");
  fs::create_directories(dir / "maps");
  std::ofstream(dir / "doc/a.png") << "a";
  std::ofstream(dir / "doc/tex/a.png") << "a";
  std::ofstream(dir / "doc/tex/b.png") << "b";
  std::ofstream(dir / "maps/b.png") << "b";
  const struct {
    std::string file;
    std::string suggested;
    std::string found;  // "" when not found
  } cases[] = {
      {"a.png", "", dir / "doc/a.png"},
      {"b.png", "", dir / "doc/tex/b.png"},
      {"b.png", dir / "maps", dir / "maps/b.png"},
      {dir / "maps/b.png", "", dir / "maps/b.png"},
      {"/nowhere/a.png", "", dir / "doc/a.png"},
      {"tex/b.png", "", dir / "doc/tex/b.png"},
      {"c.png", "", ""},
      {"tex", "", ""},  // a folder is not a texture
      {"", "", ""},
      {dir / "doc/b.png", "", dir / "doc/tex/b.png"},  // as the loader names a file beside it
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    Filename result("unchanged");
    const bool found = GenerateTexturePath(F(dir / "doc"), F(c.file), F(c.suggested), &result);
    EXPECT_EQ(found, !c.found.empty());
    EXPECT_EQ(host::ToUtf8(result.GetString()), c.found.empty() ? "unchanged" : c.found);
  }
  EXPECT_FALSE(GenerateTexturePath(Filename(), Filename("a.png"), Filename(), nullptr));
}

}  // namespace
