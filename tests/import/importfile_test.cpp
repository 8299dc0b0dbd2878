// The import command on unreadable and special files, numbers beyond range, long blend chains.
#include <gtest/gtest.h>

#include <filesystem>

#include "host_document_file.h"
#include "import/import_support.h"
#include "orvane_utils/OrvaneXMLLoader.h"

namespace {

using Strings = std::vector<std::string>;

TEST_F(ImportTest, AFileThatCannotBeReadIsSaidOnTheConsoleAndTheCommandFails) {
  // The reader's other reasons (no file, a FIFO, deep nesting, no text) are in the loader's tests.
  const std::string large = Write("large.ovm", "");
  std::filesystem::resize_file(large, Orvane::OrvaneXMLLoader::MAX_FILE_BYTES + 1);  // sparse
  const std::pair<std::string, std::string> rows[] = {
      {large, "The file is larger than 256 MiB."},
      {Write("other.ovm", "<materials/>"), "The file has no \"scenedata\" element."},
  };
  for (const auto& [path, reason] : rows) {
    host::ClearConsole();
    host::user::ChooseFile(path);
    EXPECT_FALSE(import.Execute(doc)) << path;
    EXPECT_EQ(Console(), Strings{"Could not read material file " + path + ": " + reason});
  }
  host::ClearConsole();
  EXPECT_FALSE(import.Execute(doc));  // no file chosen
  EXPECT_EQ(Console(), Strings{"No material file chosen: nothing imported."});
  EXPECT_EQ(Names(), "");
}

TEST_F(ImportTest, ANumberBeyondTheDoubleRangeIsALocatedReaderErrorAndTheDocumentStillSaves) {
  ImportBody(Mat("Huge", "<oren_nayar>\n<sigma><constant>1e309</constant></sigma></oren_nayar>"));
  EXPECT_EQ(Messages(),
            Strings{"Failed to parse double from '1e309'.  (In element 'sigma', around line 2, column 1)"});
  EXPECT_EQ(Data("Huge")->GetData(MAT_SIGMA), Fresh(MAT_SIGMA));
  std::string error;
  EXPECT_NE(host::SaveDocumentText(doc, &error), "") << error;
}

TEST_F(ImportTest, AChainOfAHundredThousandBlendsImportsInFileOrderWithoutDeepening) {
  const size_t kLinks = 100000;
  auto name = [&](size_t i) { return i < kLinks ? "B" + std::to_string(i) : std::string("Leaf"); };
  std::string body;
  for (size_t i = 0; i < kLinks; ++i)
    body += Mat(name(i), "<blend><a_name>" + name(i + 1) +
                             "</a_name><b_name>Leaf</b_name><blend><constant>0.5</constant></blend></blend>");
  ImportBody(body + Mat("Leaf", "<diffuse/>"));
  EXPECT_TRUE(Messages().empty());
  const std::vector<BaseMaterial*> mats = Materials();  // the last made first
  ASSERT_EQ(mats.size(), kLinks + 1);
  for (size_t i = 0; i < kLinks; ++i) {
    ASSERT_EQ(host::ToUtf8(mats[kLinks - i]->GetName()), name(i));
    ASSERT_EQ(mats[kLinks - i]->GetDataInstance()->GetLink(MAT_BLEND_A, doc), mats[kLinks - i - 1]) << i;
    ASSERT_EQ(mats[kLinks - i]->GetDataInstance()->GetLink(MAT_BLEND_B, doc), mats[0]) << i;
  }
}

}  // namespace
