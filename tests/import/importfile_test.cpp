// The import command on hostile files: files it cannot read, special files, numbers beyond the
// double range, and very long chains of blend partners.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "host_document_file.h"
#include "import/import_support.h"
#include "orvane_utils/OrvaneXMLLoader.h"

namespace {

TEST_F(ImportTest, AFileThatCannotBeReadIsSaidOnTheConsoleAndTheCommandFails) {
  const std::string folder = dir / "folder.ovm";
  std::filesystem::create_directory(folder);
  const std::string fifo = dir / "fifo.ovm";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // A sparse file: larger than the loader takes without using the disk.
  const std::string large = dir / "large.ovm";
  Write("large.ovm", "");
  std::filesystem::resize_file(large, Orvane::OrvaneXMLLoader::MAX_FILE_BYTES + 1);
  std::string nested = "<scenedata>";
  for (int i = 0; i < 300; ++i) nested += "<a>";
  const struct {
    std::string path;
    std::string reason;
  } rows[] = {
      {dir / "missing.ovm", "Cannot open the file: No such file or directory."},
      {Write("plain", "x") + "/m.ovm", "Cannot open the file: Not a directory."},
      {folder, "Not a regular file."},
      {fifo, "Not a regular file."},  // refused before it is opened: no wait for a writer
      {large, "The file is larger than 256 MiB."},
      {Write("nested.ovm", nested), "Elements are nested more than 256 levels deep, around line 1."},
      {Write("empty.ovm", ""), "Not well-formed XML: Error document empty."},
      {Write("other.ovm", "<materials>" + Mat("M", "<diffuse/>") + "</materials>"),
       "The file has no \"scenedata\" element."},
  };
  for (const auto& r : rows) {
    host::ClearConsole();
    host::user::ChooseFile(r.path);
    EXPECT_FALSE(import.Execute(doc)) << r.path;
    ASSERT_FALSE(Console().empty()) << r.path;
    EXPECT_EQ(Console().back(), "Could not read material file " + r.path + ": " + r.reason);
  }
  EXPECT_EQ(Names(), "");

  // A readable material file is imported and the command succeeds.
  host::user::ChooseFile(Write("good.ovm", "<scenedata>" + Mat("Good", "<diffuse/>") + "</scenedata>"));
  EXPECT_TRUE(import.Execute(doc));
  EXPECT_EQ(Names(), "Good");
  // A cancelled chooser is a command that did not run, and says so.
  EXPECT_FALSE(import.Execute(doc));
  EXPECT_EQ(Console().back(), "No material file chosen: nothing imported.");
}

TEST_F(ImportTest, ANumberBeyondTheDoubleRangeIsALocatedReaderErrorAndTheDocumentStillSaves) {
  ImportBody(Mat("Huge", "<oren_nayar>\n<sigma><constant>1e309</constant></sigma></oren_nayar>") +
             Mat("Fine", "<oren_nayar><sigma><constant>1e308</constant></sigma></oren_nayar>"));
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Messages()[0],
            "Failed to parse double from '1e309'.  (In element 'sigma', around line 2, column 1)");
  EXPECT_EQ(Names(), "Fine,Huge");
  EXPECT_EQ(Data("Huge")->GetData(MAT_SIGMA), Fresh(MAT_SIGMA));
  std::string error;
  const std::string saved = host::SaveDocumentText(doc, &error);
  EXPECT_FALSE(saved.empty()) << error;
  BaseDocument* loaded = host::LoadDocumentText(saved, "saved", &error);
  ASSERT_NE(loaded, nullptr) << error;
  EXPECT_EQ(host::SaveDocumentText(loaded, &error), saved);
  BaseDocument::Free(loaded);
}

// A blend, each naming the next as partner a and the one leaf as partner b: every blend is made
// before its partners, and every link points where the file says.
TEST_F(ImportTest, AChainOfAHundredThousandBlendsImportsInFileOrderWithoutDeepening) {
  const int kLinks = 100000;
  auto name = [](int i) { return "B" + std::to_string(i); };
  std::string body;
  body.reserve(size_t(kLinks) * 120);
  for (int i = 0; i < kLinks; ++i)
    body += Mat(name(i), "<blend><a_name>" + (i + 1 < kLinks ? name(i + 1) : std::string("Leaf")) +
                             "</a_name><b_name>Leaf</b_name><blend><constant>0.5</constant></blend></blend>");
  ImportBody(body + Mat("Leaf", "<diffuse/>"));
  EXPECT_TRUE(Messages().empty());
  // Made in the order B0, B1, ..., Leaf; the last made stands first.
  const std::vector<BaseMaterial*> mats = Materials();
  ASSERT_EQ(mats.size(), size_t(kLinks) + 1);
  EXPECT_EQ(host::ToUtf8(mats[0]->GetName()), "Leaf");
  int wrong = 0;
  for (int i = 0; i < kLinks; ++i) {
    BaseMaterial* blend = mats[size_t(kLinks - i)];
    BaseContainer* data = blend->GetDataInstance();
    const bool ok = host::ToUtf8(blend->GetName()) == name(i) && data->GetLong(MAT_TYPE) == MAT_TYPE_BLEND &&
                    data->GetLink(MAT_BLEND_A, doc) == mats[size_t(kLinks - i - 1)] &&
                    data->GetLink(MAT_BLEND_B, doc) == mats[0];
    if (!ok && ++wrong <= 3) ADD_FAILURE() << "link " << i << " is " << host::ToUtf8(blend->GetName());
  }
  EXPECT_EQ(wrong, 0);
}

}  // namespace
