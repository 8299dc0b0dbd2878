// The runner's exit status and its one line on standard error; its list of registrations.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
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
  std::ofstream(doc) << R"({"materials": [{"type": 1024337, "name": "M"}]})";
  // The sample document without its image, neither beside it nor in its "tex" folder.
  const std::string textured = work / "textured.json";
  fs::copy_file(CORVANE_SOURCE_DIR "/docs/examples/textured.json", textured);
  const std::string did = " did not run: ", special = ": not a regular file";
  const std::pair<std::string, std::string> rows[] = {
      {"render " + fifo, "cannot open the document " + fifo + special},
      {"run 1024454 " + fifo, "cannot open the document " + fifo + special},
      {"import " + fifo, "cannot open the material file " + fifo + special},
      {"run 999", "no registered command 999 (corvane-host plugins lists the commands)"},
      // Standard output that cannot be written whole fails the run, whatever the command did.
      {"plugins >/dev/full", "cannot write standard output: No space left on device"},
      {"check-material " CORVANE_TEST_DATA "/materials/good.ovm >/dev/full",
       "cannot write standard output: No space left on device"},
      {"--help >/dev/full", "cannot write standard output: No space left on device"},
      {"run 1023920", "command 1023920 (Render with Orvane)" + did +
                          "Nothing was exported: the Orvane folder is not known."},
      // The folder given for a run that could not start the renderer is not kept: the press asks.
      {"run 1023920 --renderer-dir " + work / "nowhere",
       "command 1023920 (Render with Orvane)" + did + "Could not start " + work / "nowhere" +
           "/Orvane.app/Contents/MacOS/Orvane: No such file or directory (" + work / "nowhere" +
           ", given with --renderer-dir, holds no renderer: name the renderer's installation folder, the one "
           "holding Orvane.app)"},
      {"press M 6270 " + doc + " --answer file:" + (work / "m.povm"),
       "button 6270 of \"M\"" + did + "The material file was written to " + packed +
           " but could not be packed."},
      {"run 1024338 " + textured + " --select CheckerTag --answer gadget:10011=4 --answer gadget:10012=4" +
           " --answer gadget:10017=" + work / "c.jpg" + " --answer button:10001",
       "command 1024338 (Bake Material on Object)" + did +
           "The channel albedo was not baked (the texture checker.png could not be found beside the document "
           "or in its tex folder: put it in " +
           work.path() + " or " + work / "tex" + "); it keeps its shader."},
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

// Output whose reader stopped reading (`| head -1`) is no failure: the reader took what it wanted.
// Started with SIGPIPE ignored (as under some shells and harnesses), the write itself fails.
TEST(RunStatusTest, OutputWhoseReaderStoppedReadingIsNoFailure) {
  TempDir work;
  int out[2];
  ASSERT_EQ(::pipe2(out, O_CLOEXEC), 0);
  ::close(out[0]);
  const std::string err = work / "stderr";
  std::vector<std::string> args{CORVANE_HOST_EXE, "--plugin-dir", CORVANE_PLUGIN_DIR, "plugins"};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  ASSERT_EQ(::posix_spawn_file_actions_init(&actions), 0);
  ::posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  ::posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
  pid_t pid = -1;
  void (*const was)(int) = ::signal(SIGPIPE, SIG_IGN);
  const int spawned = ::posix_spawn(&pid, CORVANE_HOST_EXE, &actions, nullptr, argv.data(), environ);
  ::signal(SIGPIPE, was);
  ::posix_spawn_file_actions_destroy(&actions);
  ASSERT_EQ(spawned, 0);
  ::close(out[1]);
  int status = -1;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(ReadFile(err), "");
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
  const std::string buttons = "6268 Render preview, 6270 Export packed material";
  const std::pair<std::string, std::string> rows[] = {
      {"run 1024454 --save=", "option --save has an empty value: give it OUT.json"},
      {"render --write-path=", "option --write-path has an empty value: give it DIR"},
      {"render --plugin-dir ''", "option --plugin-dir has an empty value: give it DIR"},
      {"render --renderer-dir=", "option --renderer-dir has an empty value: give it DIR"},
      {"run 1024338 --select=", "option --select has an empty value: give it NAME"},
      {"import " + doc + " --answer ''", "option --answer has an empty value: give it ANSWER"},
      {"plugins --renderer-dir " + work.path(), elsewhere + "plugins never starts the renderer"},
      {"import " + doc + " --renderer-dir=" + work.path(), elsewhere + "import never starts the renderer"},
      {"check-material " + doc + " --renderer-dir " + work.path(),
       elsewhere + "check-material never starts the renderer"},
      {bake + "10011=0" + press, refused + "Res X [gadget 10011] takes from 1 to 2147483647, not 0" + after},
      {bake + "10011=2147483648" + press,
       refused + "Res X [gadget 10011] takes from 1 to 2147483647, not 2147483648" + after},
      {bake + "10012=-99999999999999999999" + press,
       refused + "Res Y [gadget 10012] takes from 1 to 2147483647, not -99999999999999999999" + after},
      {bake + "10013=-1" + press,
       refused + "Pixel Border [gadget 10013] takes from 0 to 2147483647, not -1" + after},
      // An answer no gadget of the dialog can take is refused as well, not dropped.
      {bake + "10011=abc" + press,
       refused + "Res X [gadget 10011] takes a whole number from 1 to 2147483647, not abc" + after},
      {bake + "99999=1" + press,
       refused + "gadget:99999=1: the dialog \"Bake Dialog\" has no gadget 99999" + after},
      {bake + "10002=yes" + press, refused + "Albedo [gadget 10002] takes 1 or 0, not yes" + after},
      {bake + "10011=1" + " --answer button:10011",
       refused + "Res X [gadget 10011] is no button: answer gadget:10011=VALUE" + after},
      // A button the material's page lacks (a slip for 6268) names the page's buttons; nothing is pressed.
      {"press Checker 6286 " + doc + " --save " + work / "saved.json",
       "no button 6286 on the page of \"Checker\" (its buttons: " + buttons + ")"},
      {"press Checker 99999999999 " + doc,
       "no button 99999999999 on the page of \"Checker\" (its buttons: " + buttons + ")"},
      {"render --renderer_dir=" + work.path(),
       "unknown option --renderer_dir=" + work.path() +
           ": did you mean --renderer-dir? (corvane-host --help lists the options)"},
  };
  for (const auto& [args, err] : rows) {
    const Result r = RunRunner(work / "write", args);
    EXPECT_EQ(std::make_tuple(r.status, r.err), std::make_tuple(2, "corvane-host: " + err + "\n"))
        << args << r.out;
  }
  // The refused bakes baked nothing; the usage errors did not even make the write path.
  EXPECT_FALSE(fs::exists(work / "baked_albedo.jpg"));
  EXPECT_FALSE(fs::exists(work / "saved.json"));
  EXPECT_FALSE(fs::exists(work / "write"));
}

// What a writer of the plug-in finds where its file goes: a FIFO, a device or a link loop is
// refused and stays as it was, the run failing with the reason; a link is followed, its file
// getting the content and the link staying. The mesh file of a scene and the settings file are
// written by name, the packed material's file from the material's name.
TEST(RunStatusTest, WritersRefuseSpecialFilesAndFollowLinks) {
  TempDir work;
  const fs::path renderer = fs::path(work.path()) / "renderer/Orvane.app/Contents/MacOS";
  fs::create_directories(renderer);
  for (const char* exe : {"Orvane", "OrvaneConsole"})
    fs::copy_file(fs::path(CORVANE_RENDERER_DIR) / "Orvane.app/Contents/MacOS" / exe, renderer / exe);
  const std::string rendererDir = work / "renderer", write = work / "write", docs = work / "docs";
  const std::string doc = work / "doc.json", scene = docs + "/shot.ovs", linked = work / "linked";
  std::ofstream(doc) << R"({"objects": [{"type": 5100, "name": "Quad", "polygons": [[0, 1, 2, 3]],
      "points": [[0, 0, 0], [1, 0, 0], [1, 1, 0], [0, 1, 0]]}], "materials": [{"type": 1024337, "name": "M"}],
    "renderData": {"videoPosts": [{"type": 1020896, "parameters": {"1408": true, "1393": {"filename": ")"
                     << scene << R"("}}}]}})";
  const std::string render = "render --renderer-dir " + rendererDir + " " + doc;
  // The name of the quad's mesh file, from a first render.
  fs::create_directories(docs);
  ASSERT_EQ(RunRunner(write, render).status, 0);
  ASSERT_EQ(std::distance(fs::directory_iterator(docs + "/models.shot"), fs::directory_iterator()), 1);
  const std::string mesh = fs::directory_iterator(docs + "/models.shot")->path();
  const std::string settings = write + "/corvaneSettings.cfg";
  const std::string failed = "the render failed: Not launching Orvane: ";
  const struct {
    std::string target, args, err;  // err: the line for "<reason>" (none when followed)
  } writers[] = {
      {scene, render, failed + "the scene " + scene + " was not saved: <reason>."},
      {mesh, render,
       failed + "the mesh file " + mesh + " was not written: <reason>; no scene was saved to " + scene + "."},
      {write + "/materials/M.ovm", "press M 6270 " + doc + " --answer file:" + (work / "M.povm"),
       "button 6270 of \"M\" did not run: The material file " + write +
           "/materials/M.ovm could not be written (<reason>); nothing was packed."},
      {settings, "run 1023920 " + doc + " --answer dir:" + rendererDir,
       "command 1023920 (Render with Orvane) did not run: Nothing was exported: the Orvane folder is not "
       "known."},
  };
  const struct {
    const char* kind;
    std::function<bool(const std::string&)> make;
    std::string reason;
  } kinds[] = {
      {"FIFO", [](const std::string& p) { return mkfifo(p.c_str(), 0600) == 0; }, "not a regular file"},
      {"device", [](const std::string& p) { return mknod(p.c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0; },
       "not a regular file"},
      {"link loop", [](const std::string& p) { return symlink(p.c_str(), p.c_str()) == 0; },
       "Too many levels of symbolic links"},
      {"link", [&](const std::string& p) { return symlink(linked.c_str(), p.c_str()) == 0; }, ""},
  };
  for (const auto& w : writers) {
    for (const auto& k : kinds) {
      SCOPED_TRACE(w.target + ": " + k.kind);
      for (const std::string& p : {write, docs, linked}) fs::remove_all(p);
      for (const std::string& p : {fs::path(w.target).parent_path().string(), docs, write})
        fs::create_directories(p);
      if (w.target != settings)
        std::ofstream(settings) << "<global_settings><PATH>" + rendererDir + "</PATH></global_settings>";
      if (!k.make(w.target)) continue;  // device nodes need the right to make them
      struct stat before, after;
      ASSERT_EQ(lstat(w.target.c_str(), &before), 0);
      const Result r = RunRunner(write, w.args);
      ASSERT_EQ(lstat(w.target.c_str(), &after), 0);
      EXPECT_EQ(std::make_tuple(after.st_mode, after.st_ino, after.st_rdev),
                std::make_tuple(before.st_mode, before.st_ino, before.st_rdev));
      // Followed: the run succeeds and the link's file gets the content. Refused: the reason is said.
      std::string err = k.reason.empty() ? "" : "corvane-host: " + w.err + "\n";
      if (const size_t at = err.find("<reason>"); at != std::string::npos) err.replace(at, 8, k.reason);
      EXPECT_EQ(std::make_tuple(r.status, r.err), std::make_tuple(err.empty() ? 0 : 1, err)) << r.out;
      if (err.empty()) {
        EXPECT_TRUE(fs::is_regular_file(linked) && fs::file_size(linked) > 0) << r.out;
      } else if (w.target == settings) {
        EXPECT_NE(r.out.find("Could not save the Orvane directory to " + settings + ": " + k.reason + "\n"),
                  std::string::npos)
            << r.out;
      }
    }
  }
}

// The renderer stand-in takes the command line the plug-in gives it and says what else it takes.
TEST(RunStatusTest, TheRendererStandInRefusesWhatItDoesNotTake) {
  TempDir work;
  const std::string standin = work / "Orvane";
  fs::copy_file(fs::path(CORVANE_RENDERER_DIR) / "Orvane.app/Contents/MacOS/Orvane", standin);
  const std::string usage =
      "usage: " + standin + " [SCENE] [-o IMAGE] [-seed N] [-n MODE -p PORT] [-haltspp N]\n";
  const struct {
    std::string args;
    int status;
    std::string err;  // the first line of standard error; the usage follows a refusal
    bool said;        // standard output holds the usage
  } rows[] = {
      {"--help", 0, "", true},
      {"--bogus", 2, "orvane-standin: unknown option --bogus\n", false},
      {"s.ovs -o", 2, "orvane-standin: option needs a value: -o\n", false},
      {"s.ovs t.ovs", 2, "orvane-standin: one scene only, not also t.ovs\n", false},
      {"s.ovs -seed 7 -n wm -p 7100 -haltspp 10 -o " + work / "shot.png", 0, "", false},
  };
  for (const auto& row : rows) {
    std::string out;
    EXPECT_EQ(RunCommand(standin + " " + row.args + " 2>" + work / "err", &out), row.status) << row.args;
    const std::string err = ReadFile(work / "err");
    EXPECT_EQ(err.substr(0, row.err.size()), row.err) << row.args;
    EXPECT_EQ(err.find(usage) != std::string::npos, !row.err.empty()) << row.args << err;
    EXPECT_EQ(out.find(usage) != std::string::npos, row.said) << row.args << out;
    EXPECT_EQ(out.find("scene -"), std::string::npos) << row.args << out;
  }
  EXPECT_TRUE(fs::is_regular_file(work / "shot.png"));
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
