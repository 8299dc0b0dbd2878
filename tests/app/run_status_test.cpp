// The runner's exit status and its one line on standard error: a command that did not do its work
// says which and why, and a file that is not a regular file is refused before it is opened.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "support/host_fixture.h"

namespace fs = std::filesystem;

namespace {

struct Result {
  int status;
  std::string out, err;
};

// Bounded in time so that a runner that blocks (on a FIFO without a writer) fails instead of hanging.
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

TEST(RunStatusTest, ACommandThatDidNotDoItsWorkSaysWhichAndWhy) {
  TempDir work;
  const std::string fifo = work / "fifo", doc = work / "doc.json", packed = work / "write/materials/m.ovm";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // "T" bakes its albedo at a size no image can have.
  std::ofstream(doc) << R"({"materials": [{"type": 1024337, "name": "M"},
    {"type": 1024337, "name": "T", "parameters": {"6003": true, "6265": 0,
      "6118": {"shader": {"type": 1011100, "name": "Ramp"}}}}]})";
  const std::string did = " did not run: ", special = ": not a regular file";
  const std::pair<std::string, std::string> rows[] = {
      {"render " + fifo, "cannot open the document " + fifo + special},
      {"run 1024454 " + fifo, "cannot open the document " + fifo + special},
      {"import " + fifo, "cannot open the material file " + fifo + special},
      {"import /dev/null", "cannot open the material file /dev/null" + special},
      {"run 42", "no registered command 42"},
      {"run 1024339", "command 1024339 (Bake UVW Tag)" + did +
                          "Select one texture tag of an Orvane material on a polygon object."},
      {"run 1023695",
       "command 1023695 (Pause Rendering)" + did + "No renderer is attached: nothing to pause."},
      {"run 1023920", "command 1023920 (Render with Orvane)" + did +
                          "Nothing was exported: the Orvane folder is not known."},
      {"press M 6270 " + doc + " --answer file:" + (work / "m.povm"),
       "button 6270 of \"M\"" + did + "The material file was written to " + packed +
           " but could not be packed."},
      {"press T 6270 " + doc + " --answer file:" + (work / "t.povm"),
       "button 6270 of \"T\"" + did +
           "Texture images of the material could not be written; nothing was packed."},
  };
  for (const auto& [args, err] : rows) {
    const Result r = RunRunner(work / "write", args);
    EXPECT_EQ(std::make_tuple(r.status, r.err), std::make_tuple(1, "corvane-host: " + err + "\n"))
        << args << r.out;
    if (err.find(special) != std::string::npos) {  // refused before anything was begun
      EXPECT_EQ(r.out, "") << args;
      EXPECT_FALSE(fs::exists(work / "write")) << args;
    }
  }
  EXPECT_TRUE(fs::exists(packed));
}

TEST(RunStatusTest, RunningTheRenderCommandMakesTheWritePath) {
  TempDir work;
  const fs::path macos = fs::path(work.path()) / "renderer/Orvane.app/Contents/MacOS";
  fs::create_directories(macos);
  fs::copy_file(fs::path(CORVANE_RENDERER_DIR) / "Orvane.app/Contents/MacOS/Orvane", macos / "Orvane");
  const std::string writePath = work / "new/write";
  const Result r = RunRunner(writePath, "run 1023920 --answer dir:" + (work / "renderer"));
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_NE(ReadFile(writePath + "/corvaneSettings.cfg").find(work / "renderer"), std::string::npos);
  EXPECT_TRUE(fs::exists(writePath + "/quickrender/quickrender.ovs"));
}

}  // namespace
