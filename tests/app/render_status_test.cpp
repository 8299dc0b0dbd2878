// The runner's exit status, read from the process: a render that ends without the renderer
// started on a complete scene fails with one line on standard error saying why, and leaves the
// settings file and the write path as they were.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/host_fixture.h"

namespace fs = std::filesystem;

namespace {

struct RunResult {
  int status;
  std::string out;  // standard output
  std::string err;  // standard error
};

// Runs `prefix` corvane-host render `args` in a shell, standard error kept apart.
RunResult Render(const std::string& args, const std::string& prefix = "") {
  TempDir scratch;
  const std::string errFile = scratch / "stderr";
  RunResult r;
  r.status = RunCommand("(" + prefix + std::string(CORVANE_HOST_EXE) + " render --plugin-dir " +
                            CORVANE_PLUGIN_DIR + " " + args + " 2>" + errFile + ")",
                        &r.out);
  r.err = ReadFile(errFile);
  return r;
}

// A renderer installation in `dir`: the stand-in, logging to `dir`.
void InstallRenderer(const std::string& dir) {
  const fs::path macos = fs::path(dir) / "Orvane.app/Contents/MacOS";
  fs::create_directories(macos);
  fs::copy_file(fs::path(CORVANE_RENDERER_DIR) / "Orvane.app/Contents/MacOS/Orvane", macos / "Orvane");
}

// A document with one quad whose scene goes to `scene` (render settings 1408 and 1393); an
// `animation` exports frames 0 to 2.
std::string Document(const std::string& scene, bool animation = false) {
  std::string settings =
      scene.empty() ? std::string() : "\"1408\": true, \"1393\": {\"filename\": \"" + scene + "\"}";
  if (animation) settings += std::string(settings.empty() ? "" : ", ") + "\"1420\": true";
  return R"({"objects": [{"type": 5100, "name": "Quad",
      "points": [[0, 0, 0], [1, 0, 0], [1, 1, 0], [0, 1, 0]], "polygons": [[0, 1, 2, 3]]}],
    "renderData": {"parameters": {"5017": {"time": 0.0}, "5018": {"time": 0.0667}},
      "videoPosts": [{"type": 1020896, "parameters": {)" +
         settings + "}}]}}";
}

// The sample document docs/examples/textured.json (two textured quads, a material baked to an
// image) with a spot and an area light, whose scene goes to `scene`.
std::string TexturedDocument(const std::string& scene) {
  std::string json = ReadFile(CORVANE_SOURCE_DIR "/docs/examples/textured.json");
  json.insert(json.find('[', json.find("\"objects\"")) + 1,
              R"({"type": 5102, "name": "Spot", "parameters": {"90002": 1}},
              {"type": 5102, "name": "Panel", "parameters": {"90002": 8, "100015": 1}}, )");
  return json.substr(0, json.rfind('}')) + R"(, "renderData": {"videoPosts": [{"type": 1020896,
      "parameters": {"1408": true, "1393": {"filename": ")" +
         scene + "\"}}}]}}";
}

bool StartsWith(const std::string& s, const std::string& prefix) { return s.rfind(prefix, 0) == 0; }
bool EndsWith(const std::string& s, const std::string& suffix) {
  return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

class RenderStatusTest : public ::testing::Test {
 protected:
  void SetUp() override { InstallRenderer(renderer.path()); }
  std::string WriteDocument(const std::string& json) {
    const std::string path = docs / "doc.json";
    std::ofstream(path) << json;
    return path;
  }
  // The arguments for a run into the write path with the installed renderer.
  std::string Run() const { return "--write-path " + write.path() + " --renderer-dir " + renderer.path(); }
  std::string Log() const { return ReadFile(renderer / "orvane-standin.log"); }

  TempDir write, renderer, docs;
};

TEST_F(RenderStatusTest, EveryFailureExitsNonZeroWithOneLineSayingWhy) {
  const std::string w = write.path(), run = Run();
  // The arguments for a document whose scene goes to `scene`.
  const auto withDocument = [&](const std::string& scene, bool animation = false) {
    return run + " " + WriteDocument(Document(scene, animation));
  };
  // A texture at a path longer than any program could open (4,096 bytes and more), named with its
  // material as the scene names it, as other faults of a texture are.
  std::string longTexture = "/tmp";
  while (longTexture.size() < 4096) longTexture += "/" + std::string(200, 't');
  longTexture += "/checker.png";
  const std::string unusable = "the texture " + longTexture + " of material Checker_mid0: File name too long";
  const std::string unusableLine = "corvane-host: the render failed: Not launching Orvane: " + unusable +
                                   "; no scene was saved to " + docs / "shot.ovs" + ".\n";
  // The arguments of a render of the textured document, changed by `edit`.
  const auto withTexture = [&](std::function<void(std::string&)> edit) {
    return [&, edit] {
      std::string json = TexturedDocument(docs / "shot.ovs");
      edit(json);
      return run + " " + WriteDocument(json);
    };
  };
  const struct {
    const char* what;
    std::function<std::string()> setUp;     // prepares and answers the arguments
    std::string err;                        // the whole of standard error; a "*" ends a prefix
    std::string errEnd;                     // with a prefix: how the line ends
    bool tried = false;                     // whether the renderer was tried at all
    std::vector<std::string> printed = {};  // lines standard output holds
  } cases[] = {
      {"renderer cannot be started", [&] { return "--write-path " + w + " --renderer-dir /no/such/dir"; },
       "corvane-host: the render failed: Could not start "
       "/no/such/dir/Orvane.app/Contents/MacOS/Orvane: No such file or directory (/no/such/dir, "
       "given with --renderer-dir, holds no renderer: name the renderer's installation folder, the one "
       "holding "
       "Orvane.app)\n",
       "", true},
      {"quick-render folder cannot be made",
       [&] {
         std::ofstream(write / "quickrender") << "a file in the way";
         return run;
       },
       "corvane-host: the render failed: Quickrender dir could not be created: Not a directory.\n", ""},
      {"scene folder missing", [&] { return withDocument(docs / "missing/shot.ovs"); },
       "corvane-host: the render failed: Export filename is empty or directory does not exist.\n", ""},
      {"scene cannot be saved",
       [&] {
         fs::create_directories(docs / "shot.ovs");  // a folder where the scene goes
         return withDocument(docs / "shot.ovs");
       },
       "corvane-host: the render failed: Not launching Orvane: the scene " + docs / "shot.ovs" +
           " was not saved: Is a directory.\n",
       ""},
      {"mesh file cannot be written",
       [&] {
         std::ofstream(docs / "models.shot") << "a file where the mesh folder goes";
         return withDocument(docs / "shot.ovs");
       },
       "corvane-host: the render failed: Not launching Orvane: the folder " + docs / "models.shot" +
           ": Not a directory; no scene was saved to " + docs / "shot.ovs" + ".\n",
       ""},
      {"texture folder cannot be made",
       [&] {
         std::ofstream(docs / "textures.shot") << "a file where the texture folder goes";
         return run + " " + WriteDocument(TexturedDocument(docs / "shot.ovs"));
       },
       "corvane-host: the render failed: Not launching Orvane: the folder " + docs / "textures.shot" +
           ": Not a directory; no scene was saved to " + docs / "shot.ovs" + ".\n",
       ""},
      {"texture at a path no program could open",
       withTexture([&](std::string& json) { json.replace(json.find("checker.png"), 11, longTexture); }),
       unusableLine,
       "",
       false,
       {"Could not use " + unusable + "\n"}},
      {"image of a code shader at a path no program could open",
       withTexture([&](std::string& json) {
         json.replace(json.find("5833"), 4, "1023863");
         const std::string image = "\"1000\": {\"filename\": \"checker.png";
         json.replace(json.find(image), image.size(), "\"1400\": {\"filename\": \"" + longTexture);
       }),
       unusableLine,
       "",
       false,
       {"Could not use " + unusable + "\n"}},
      // The other frames are still exported.
      {"one frame of an animation cannot be saved",
       [&] {
         fs::create_directories(docs / "shot_frame000001.ovs");
         return withDocument(docs / "shot.ovs", true);
       },
       "corvane-host: the render failed: Not launching Orvane: the scene " + docs / "shot_frame000001.ovs" +
           " was not saved: Is a directory.\n",
       "",
       false,
       {"Saved scene to: " + docs / "shot_frame000000.ovs\n",
        "Saved scene to: " + docs / "shot_frame000002.ovs\n"}},
      // Names from the settings file and the document reach standard error escaped.
      {"renderer folder of the settings file cannot be started",
       [&] {
         fs::create_directories(docs / "kept");
         std::ofstream(docs / "kept/corvaneSettings.cfg")
             << "<global_settings><PATH>" + docs / "t\x1b]0;t\x07" + "</PATH></global_settings>";
         return "--write-path " + docs / "kept";
       },
       "corvane-host: the render failed: Could not start " + docs / "t\\033]0;t\\007" +
           "/Orvane.app/Contents/MacOS/Orvane: No such file or directory (the folder " +
           docs / "t\\033]0;t\\007" + " is the one the settings file " + docs / "kept/corvaneSettings.cfg" +
           " names; give the renderer's folder with --renderer-dir DIR)\n",
       "", true},
      {"image name too long to be a path",
       [&] {
         std::string json = Document("");
         json.replace(json.find("{}"), 2,
                      "{\"1421\": true, \"1422\": {\"filename\": \"" + docs / "i\\u001b[2J" +
                          std::string(4100, 'i') + "\"}}");
         return run + " " + WriteDocument(json);
       },
       "corvane-host: the render failed: Not launching Orvane: " + docs / "i\\033[2J" +
           std::string(4100, 'i') + ".png: File name too long\n",
       "", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(write.path());
    fs::create_directories(write.path());
    for (const fs::directory_entry& e : fs::directory_iterator(docs.path())) fs::remove_all(e.path());
    const RunResult r = Render(c.setUp());
    EXPECT_EQ(r.status, 1) << r.out;
    if (c.errEnd.empty()) {
      EXPECT_EQ(r.err, c.err);
    } else {
      const std::string prefix = c.err.substr(0, c.err.size() - 1);
      EXPECT_TRUE(StartsWith(r.err, prefix) && EndsWith(r.err, c.errEnd)) << r.err;
      EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    EXPECT_EQ(r.out.find("Orvane executed..."), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Launching Orvane...") != std::string::npos, c.tried) << r.out;
    for (const std::string& line : c.printed) EXPECT_NE(r.out.find(line), std::string::npos) << r.out;
    // A refused folder is the only reason given: no bake failed, no geometry was left out for it.
    if (c.err.find(": the folder ") != std::string::npos) {
      for (const char* wrong : {"Could not bake", "not finite"})
        EXPECT_EQ(r.out.find(wrong), std::string::npos) << r.out;
    }
    // The folder of a failed run is not kept.
    EXPECT_FALSE(fs::exists(write / "corvaneSettings.cfg"));
  }
  EXPECT_EQ(Log(), "");
}

TEST_F(RenderStatusTest, AFileSizeLimitFailsTheRunInsteadOfKillingIt) {
  // A first render leaves a complete scene and its meshes beside the document.
  const std::string args = Run() + " " + WriteDocument(Document(docs / "shot.ovs"));
  ASSERT_EQ(Render(args).status, 0);
  const std::string before = ReadFile(docs / "shot.ovs");

  // With no file allowed past 1 KiB, the second render's scene is not saved: the renderer must not
  // start on the first render's scene.
  const RunResult r = Render(args, "ulimit -f 1; ");
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_EQ(r.err, "corvane-host: the render failed: Not launching Orvane: the scene " + docs / "shot.ovs" +
                       " was not saved: File too large.\n");
  EXPECT_EQ(ReadFile(docs / "shot.ovs"), before);
  // Nothing half-written is left beside it.
  std::vector<std::string> names;
  for (const fs::directory_entry& e : fs::directory_iterator(docs.path()))
    names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"doc.json", "models.shot", "shot.ovs"}));

  // A larger document whose new mesh cannot be written within a file size limit that its scene fits in: the
  // scene of the first render stays, since the new one would name a mesh file that is not there.
  std::string grid = R"({"objects": [{"type": 5100, "name": "Grid", "points": [)";
  const int side = 40;
  for (int i = 0; i <= side; ++i)
    for (int j = 0; j <= side; ++j)
      grid += (i || j ? ", [" : "[") + std::to_string(i) + ", " + std::to_string(j) + ", 0]";
  grid += R"(], "polygons": [)";
  for (int i = 0; i < side; ++i)
    for (int j = 0; j < side; ++j) {
      const int a = i * (side + 1) + j;
      grid += (i || j ? ", [" : "[") + std::to_string(a) + ", " + std::to_string(a + 1) + ", " +
              std::to_string(a + side + 2) + ", " + std::to_string(a + side + 1) + "]";
    }
  const std::string quad = Document(docs / "shot.ovs");
  grid += "]}, " + quad.substr(quad.find('{', 1));
  const RunResult large = Render(Run() + " " + WriteDocument(grid), "ulimit -f 32; ");
  EXPECT_EQ(large.status, 1) << large.out;
  EXPECT_TRUE(StartsWith(large.err, "corvane-host: the render failed: Not launching Orvane: the mesh file " +
                                        docs / "models.shot/mesh_"))
      << large.err;
  EXPECT_TRUE(EndsWith(large.err, ".ovmesh was not written: File too large; the scene " + docs / "shot.ovs" +
                                      " is left as it was.\n"))
      << large.err;
  EXPECT_EQ(ReadFile(docs / "shot.ovs"), before);
}

TEST_F(RenderStatusTest, TheRendererFolderOfTheCommandLineIsUsedAndKeptOnlyOnceItStarted) {
  TempDir other;
  InstallRenderer(other.path());
  const std::string settings = write / "corvaneSettings.cfg";
  fs::create_directories(write.path());
  std::ofstream(settings) << "<first />\n<global_settings>\n    <PATH>" + other.path() +
                                 "</PATH>\n</global_settings>\n";

  // The folder given for this run wins over the one the settings file names, and is kept.
  RunResult r = Render(Run());
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(WaitFor([&] { return !Log().empty(); }));
  EXPECT_FALSE(fs::exists(other / "orvane-standin.log"));
  const std::string kept =
      "<first />\n<global_settings>\n    <PATH>" + renderer.path() + "</PATH>\n</global_settings>\n";
  EXPECT_EQ(ReadFile(settings), kept);

  // A folder that cannot start the renderer is not kept.
  r = Render("--write-path " + write.path() + " --renderer-dir " + docs.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "corvane-host: the render failed: Could not start " + docs.path() +
                "/Orvane.app/Contents/MacOS/Orvane: No such file or directory (" + docs.path() +
                ", given with --renderer-dir, holds no renderer: name the renderer's installation folder, "
                "the one holding Orvane.app)\n");
  EXPECT_EQ(ReadFile(settings), kept);

  // The kept folder moved away: the failure says where the folder came from, and what to do.
  fs::rename(renderer.path(), renderer.path() + ".moved");
  r = Render("--write-path " + write.path());
  fs::rename(renderer.path() + ".moved", renderer.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "corvane-host: the render failed: Could not start " + renderer.path() +
                       "/Orvane.app/Contents/MacOS/Orvane: No such file or directory (the folder " +
                       renderer.path() + " is the one the settings file " + settings +
                       " names; give the renderer's folder with --renderer-dir DIR)\n");
  EXPECT_EQ(ReadFile(settings), kept);
}

// Run from a folder of its own, where nothing may appear.
TEST_F(RenderStatusTest, AFailureBeforeTheExportLeavesTheWritePathUnmade) {
  const std::string w = write / "not/made/yet",
                    run = "--write-path " + w + " --renderer-dir " + renderer.path();
  TempDir cwd;
  // A write path that cannot be made is said first, whatever else is missing; it is only walked.
  const std::string file = WriteDocument("{}");
  const struct {
    const char* what;
    std::string env;
    std::string args;
    std::string err;
  } cases[] = {
      {"missing document", "", run + " " + docs / "none.json",
       "corvane-host: cannot open the document " + docs / "none.json" + ": No such file or directory\n"},
      {"document is a folder", "", run + " " + docs.path(),
       "corvane-host: cannot open the document " + docs.path() + ": Is a directory\n"},
      {"broken document", "", run + " " + WriteDocument("{"), ""},
      {"no renderer", "", "--write-path " + w,
       "corvane-host: no renderer known: the settings file " + w +
           "/corvaneSettings.cfg names none; give the renderer's folder with --renderer-dir DIR\n"},
      {"write path is a file, no renderer known", "", "--write-path " + file,
       "corvane-host: cannot make the write path " + file +
           ": Not a directory; --write-path DIR names another\n"},
      {"no HOME and no write path", "env -u HOME ", "--renderer-dir " + renderer.path(),
       "corvane-host: HOME is not set, so there is no default write path: pass --write-path DIR\n"},
      {"an empty HOME and no write path", "HOME= ", "--renderer-dir " + renderer.path(),
       "corvane-host: HOME is empty, so there is no default write path: pass --write-path DIR\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const RunResult r = Render(c.args, "cd " + cwd.path() + " && " + c.env);
    EXPECT_EQ(r.status, 1);
    if (!c.err.empty()) {
      EXPECT_EQ(r.err, c.err);
    }
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_FALSE(fs::exists(write / "not")) << r.out;
    EXPECT_TRUE(fs::is_empty(cwd.path()));
  }
}

}  // namespace
