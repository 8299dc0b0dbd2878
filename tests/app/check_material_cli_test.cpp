// The runner's check-material command, run as a person runs it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "support/host_fixture.h"

namespace {

std::string Runner() { return std::string(CORVANE_HOST_EXE) + " check-material "; }

TEST(CheckMaterialCommandTest, GoodFileReportsEveryMaterialAndSucceeds) {
  std::string out;
  std::string file = std::string(CORVANE_TEST_DATA) + "/materials/good.ovm";
  EXPECT_EQ(RunCommand(Runner() + file, &out), 0) << out;
  EXPECT_NE(out.find(file + ": Red: diffuse\n"), std::string::npos) << out;
  EXPECT_NE(out.find(file + ": 8 materials, 0 errors.\n"), std::string::npos) << out;
}

TEST(CheckMaterialCommandTest, BrokenMaterialNamesItsPlaceAndFails) {
  std::string out;
  std::string file = std::string(CORVANE_TEST_DATA) + "/materials/bad.ovm";
  EXPECT_EQ(RunCommand(Runner() + file, &out), 1) << out;
  EXPECT_NE(out.find("Found unexpected element 'colour_typo'.  (In element 'diffuse', around line 9, "
                     "column 9)"),
            std::string::npos)
      << out;
}

TEST(CheckMaterialCommandTest, MissingFileAndMissingArgumentAreClearFailures) {
  std::string out;
  EXPECT_EQ(RunCommand(Runner() + "/nonexistent/x.ovm", &out), 2) << out;
  EXPECT_NE(out.find("/nonexistent/x.ovm: Cannot open the file: No such file or directory.\n"),
            std::string::npos)
      << out;
  // A FIFO is refused at once, without waiting for a writer.
  TempDir dir;
  const std::string fifo = dir / "fifo.ovm";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(RunCommand(Runner() + fifo, &out), 2) << out;
  EXPECT_NE(out.find(fifo + ": Not a regular file.\n"), std::string::npos) << out;
  EXPECT_EQ(RunCommand(std::string(CORVANE_HOST_EXE) + " check-material", &out), 2) << out;
  EXPECT_NE(out.find("check-material needs one material file"), std::string::npos) << out;
}

}  // namespace
