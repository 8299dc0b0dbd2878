// Byte files and the texture search.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "c4d.h"
#include "host_control.h"
#include "host_document_file.h"
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

// The folder that a document loaded from `dir`/doc/doc.json holding `fields` lies in, and the
// one its bake document (of a quad's texture tag) lies in; "" for one that could not be made.
std::pair<std::string, std::string> LoadedFolders(const TempDir& dir, const std::string& fields) {
  std::ofstream(dir / "doc/doc.json") << "{" + fields + R"("materials": [{"name": "M"}],
    "objects": [{"type": 5100, "name": "Q", "points": [[0, 0, 0], [1, 0, 0], [1, 1, 0]],
      "polygons": [[0, 1, 2]], "tags": [{"type": 5671}, {"type": 5616, "parameters": {"1010": {"material": "M"}}}]}]})";
  std::string error;
  BaseDocument* doc = host::LoadDocumentFile(dir / "doc/doc.json", &error);
  if (!doc) return {error, ""};
  BaseObject* quad = doc->GetFirstObject();
  BaseContainer settings;
  settings.SetBool(BAKE_TEX_COLOR, TRUE);
  settings.SetLong(BAKE_TEX_WIDTH, 1);
  settings.SetLong(BAKE_TEX_HEIGHT, 1);
  BaseDocument* bake = InitBakeTexture(doc, static_cast<TextureTag*>(quad->GetTag(Ttexture)),
                                       static_cast<UVWTag*>(quad->GetTag(Tuvw)), nullptr, settings);
  std::pair<std::string, std::string> folders(host::ToUtf8(doc->GetDocumentPath().GetString()),
                                              bake ? host::ToUtf8(bake->GetDocumentPath().GetString()) : "");
  BaseDocument::Free(bake);
  BaseDocument::Free(doc);
  return folders;
}

// From a document file's folder as from a given one: a document loaded from a file lies in the
// file's folder unless the file names another, and its bake document lies where it does.
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
    std::string found;             // "" when not found
    const char* fields = nullptr;  // the document's folder is that of doc/doc.json with these
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
      {dir / "doc/b.png", "", dir / "doc/tex/b.png", ""},  // as the loader names a file beside it
      {"a.png", "", dir / "doc/tex/a.png", R"("path": "tex", )"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file + (c.fields ? std::string(" in a document with ") + c.fields : ""));
    std::vector<std::string> folders = {dir / "doc"};
    if (c.fields) {
      const auto [loaded, baked] = LoadedFolders(dir, c.fields);
      folders = {loaded, baked};
    }
    for (const std::string& folder : folders) {
      Filename result("unchanged");
      const bool found = GenerateTexturePath(F(folder), F(c.file), F(c.suggested), &result);
      EXPECT_EQ(found, !c.found.empty()) << folder;
      EXPECT_EQ(host::ToUtf8(result.GetString()), c.found.empty() ? "unchanged" : c.found) << folder;
    }
  }
  EXPECT_FALSE(GenerateTexturePath(Filename(), Filename("a.png"), Filename(), nullptr));
}

}  // namespace
