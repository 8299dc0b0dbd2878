// A link or file planted at a name a writer could be expected to use is left alone.
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
  std::set<std::string> names;  // and no temporary file is left behind
  for (const auto& entry : fs::directory_iterator(dir.path())) names.insert(entry.path().filename().string());
  EXPECT_EQ(names, (std::set<std::string>{"victim", "doc.json", "doc.json.tmp", "doc.json.new", "img.jpg",
                                          "img.jpg.part"}));
}

}  // namespace
