// The runner's exit status and its one line on standard error: a command that did not do its work
// says which and why, and a file that is not a regular file is refused before it is opened (a
// FIFO without a writer would block the runner for ever).
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/host_fixture.h"

namespace fs = std::filesystem;

namespace {

struct Result {
  int status;
  std::string out;
  std::string err;
};

// Runs corvane-host with `args` and the write path `writePath`, bounded in time so that a runner
// that blocks fails the test instead of hanging it.
Result RunRunner(const std::string& writePath, const std::string& args) {
  TempDir scratch;
  Result r;
  r.status = RunCommand("(timeout -s KILL 120 " + std::string(CORVANE_HOST_EXE) + " --plugin-dir " +
                            CORVANE_PLUGIN_DIR + " --write-path " + writePath + " " + args + " 2>" +
                            (scratch / "stderr") + ")",
                        &r.out);
  r.err = ReadFile(scratch / "stderr");
  return r;
}

TEST(RunStatusTest, SpecialFilesAreRefusedBeforeTheyAreOpened) {
  TempDir work;
  const std::string fifo = work / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string document = "corvane-host: cannot open the document " + fifo + ": not a regular file\n";
  const struct {
    std::string args;
    int status;
    std::string out, err;
  } rows[] = {
      {"render " + fifo, 1, "", document},
      {"run 1024454 " + fifo, 1, "", document},
      {"import " + fifo, 1, "",
       "corvane-host: cannot open the material file " + fifo + ": not a regular file\n"},
      {"import /dev/null", 1, "",
       "corvane-host: cannot open the material file /dev/null: not a regular file\n"},
  };
  for (const auto& row : rows) {
    const Result r = RunRunner(work / "write", row.args);
    EXPECT_EQ(r.status, row.status) << row.args;
    EXPECT_EQ(r.out, row.out) << row.args;
    EXPECT_EQ(r.err, row.err) << row.args;
  }
  EXPECT_FALSE(fs::exists(work / "write"));  // nothing was begun
}

TEST(RunStatusTest, ACommandThatDidNotDoItsWorkSaysWhichAndWhy) {
  TempDir work;
  const std::string doc = work / "doc.json";
  // "T" bakes its albedo at a size no image can have.
  std::ofstream(doc) << R"({"materials": [{"type": 1024337, "name": "M"},
    {"type": 1024337, "name": "T", "parameters": {"6003": true, "6265": 0,
      "6118": {"shader": {"type": 1011100, "name": "Ramp"}}}}]})";
  const std::string archive = work / "m.povm";
  const std::string packed = work / "write/materials/m.ovm";
  const struct {
    std::string args;
    std::string err;
  } rows[] = {
      {"run 42", "corvane-host: no registered command 42\n"},
      {"run 1024339",
       "corvane-host: command 1024339 (Bake UVW Tag) did not run: Select one texture tag of an Orvane "
       "material "
       "on a polygon object.\n"},
      {"run 1023695",
       "corvane-host: command 1023695 (Pause Rendering) did not run: No renderer is attached: nothing to "
       "pause.\n"},
      // No renderer known and the chooser cancelled.
      {"run 1023920",
       "corvane-host: command 1023920 (Render with Orvane) did not run: Nothing was exported: the Orvane "
       "folder "
       "is not known.\n"},
      // The material file is written, but without a renderer it cannot be packed.
      {"press M 6270 " + doc + " --answer file:" + archive,
       "corvane-host: button 6270 of \"M\" did not run: The material file was written to " + packed +
           " but could not be packed.\n"},
      {"press T 6270 " + doc + " --answer file:" + (work / "t.povm"),
       "corvane-host: button 6270 of \"T\" did not run: Texture images of the material could not be written; "
       "nothing was packed.\n"},
  };
  for (const auto& row : rows) {
    const Result r = RunRunner(work / "write", row.args);
    EXPECT_EQ(r.status, 1) << row.args << "\n" << r.out;
    EXPECT_EQ(r.err, row.err) << row.args << "\n" << r.out;
  }
  EXPECT_TRUE(fs::exists(packed));
}

TEST(RunStatusTest, RunningTheRenderCommandMakesTheWritePath) {
  TempDir work;
  const fs::path macos = fs::path(work.path()) / "renderer/Orvane.app/Contents/MacOS";
  fs::create_directories(macos);
  fs::copy_file(fs::path(CORVANE_RENDERER_DIR) / "Orvane.app/Contents/MacOS/Orvane", macos / "Orvane");
  const std::string writePath = work / "new/write";
  // The chooser's answer is saved in the write path, which the runner makes first.
  const Result r = RunRunner(writePath, "run 1023920 --answer dir:" + (work / "renderer"));
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_NE(ReadFile(writePath + "/corvaneSettings.cfg").find(work / "renderer"), std::string::npos);
  EXPECT_TRUE(fs::exists(writePath + "/quickrender/quickrender.ovs"));
}

}  // namespace
