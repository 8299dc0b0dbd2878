// The runner's exit status and its one line on standard error; its list of registrations.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <utility>

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
  std::ofstream(doc) << R"({"materials": [{"type": 1024337, "name": "M"}]})";
  const std::string did = " did not run: ", special = ": not a regular file";
  const std::pair<std::string, std::string> rows[] = {
      {"render " + fifo, "cannot open the document " + fifo + special},
      {"run 1024454 " + fifo, "cannot open the document " + fifo + special},
      {"import " + fifo, "cannot open the material file " + fifo + special},
      {"run 1023920", "command 1023920 (Render with Orvane)" + did +
                          "Nothing was exported: the Orvane folder is not known."},
      // The folder given for a run that could not start the renderer is not kept: the press asks.
      {"run 1023920 --renderer-dir " + work / "nowhere",
       "command 1023920 (Render with Orvane)" + did + "Could not start " + work / "nowhere" +
           "/Orvane.app/Contents/MacOS/Orvane: No such file or directory"},
      {"press M 6270 " + doc + " --answer file:" + (work / "m.povm"),
       "button 6270 of \"M\"" + did + "The material file was written to " + packed +
           " but could not be packed."},
  };
  for (const auto& [args, err] : rows) {
    const Result r = RunRunner(work / "write", args);
    EXPECT_EQ(std::make_tuple(r.status, r.err), std::make_tuple(1, "corvane-host: " + err + "\n"))
        << args << r.out;
    if (err.find(special) != std::string::npos) {
      EXPECT_FALSE(fs::exists(work / "write")) << args;
    }
  }
  EXPECT_TRUE(fs::exists(packed));
  EXPECT_FALSE(fs::exists(work / "write/corvaneSettings.cfg"));
}

// An option with an empty value ("--save=$OUT" with OUT unset), an option the command has no use for,
// and a dialog answer outside its field's limits each stop the run before anything is written.
TEST(RunStatusTest, UsageErrorsAndRefusedAnswersExitTwoWithOneLine) {
  TempDir work;
  const std::string doc = CORVANE_SOURCE_DIR "/docs/examples/textured.json", out = work / "baked.jpg";
  const std::string bake = "run 1024338 " + doc + " --select CheckerTag --answer gadget:10017=" + out +
                           " --answer gadget:",
                    press = " --answer button:10001";
  const std::string refused = "answer refused: ", after = " (nothing after it ran)";
  const std::string elsewhere = "option --renderer-dir belongs to render, run and press: ";
  const std::pair<std::string, std::string> rows[] = {
      {"run 1024454 --save=", "option --save has an empty value: give it OUT.json"},
      {"run 1024454 --save ''", "option --save has an empty value: give it OUT.json"},
      {"render --write-path=", "option --write-path has an empty value: give it DIR"},
      {"render --plugin-dir ''", "option --plugin-dir has an empty value: give it DIR"},
      {"render --renderer-dir=", "option --renderer-dir has an empty value: give it DIR"},
      {"run 1024338 --select=", "option --select has an empty value: give it NAME"},
      {"import " + doc + " --answer ''", "option --answer has an empty value: give it ANSWER"},
      {"plugins --renderer-dir " + work.path(), elsewhere + "plugins never starts the renderer"},
      {"import " + doc + " --renderer-dir=" + work.path(), elsewhere + "import never starts the renderer"},
      {"check-material " + doc + " --renderer-dir " + work.path(),
       elsewhere + "check-material never starts the renderer"},
      {bake + "10011=0" + press, refused + "Res X [gadget 10011] takes 1 or more, not 0" + after},
      {bake + "10013=-1" + press, refused + "Pixel Border [gadget 10013] takes 0 or more, not -1" + after},
  };
  for (const auto& [args, err] : rows) {
    const Result r = RunRunner(work / "write", args);
    EXPECT_EQ(std::make_tuple(r.status, r.err), std::make_tuple(2, "corvane-host: " + err + "\n"))
        << args << r.out;
  }
  // The refused bakes baked nothing; the usage errors did not even make the write path.
  EXPECT_FALSE(fs::exists(work / "baked_albedo.jpg"));
  EXPECT_FALSE(fs::exists(work / "write"));
}

// Nothing is listed as a command that is not one; no resource name is left unread or ends in a space.
TEST(RunStatusTest, ThePluginListShowsSeparatorsAndUnnamedEntriesAsWhatTheyAre) {
  TempDir write;
  const Result r = RunRunner(write.path(), "plugins");
  ASSERT_EQ(std::make_tuple(r.status, r.err), std::make_tuple(0, std::string()));
  const size_t at = r.out.find("\nseparator 1022283\nseparator 1022284\n");  // the only ones
  EXPECT_TRUE(at != std::string::npos && r.out.find("\nseparator ") == at &&
              r.out.rfind("\nseparator ") == at + 18)
      << r.out;
  EXPECT_NE(r.out.find("\nlibrary 1024271 (no name)\n"), std::string::npos) << r.out;
  for (const char* text : {"#$", " \n"}) EXPECT_EQ(r.out.find(text), std::string::npos) << r.out;
}

}  // namespace
