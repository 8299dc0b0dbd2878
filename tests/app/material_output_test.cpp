// Plug-in materials of a document file, rendered by the runner started in another folder than the
// document's and given the document by a relative path: the scene names every bitmap texture by
// its full path (or, when it cannot be found, by the name it has, after one console line), and a
// new material's emission scale and baked channel come out at their defaults.
#include <gtest/gtest.h>

#include <tinyxml.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/host_fixture.h"
#include "support/image_files.h"

namespace fs = std::filesystem;

namespace {

// "Checker" finds its image beside the document but not its bump image; "Lost" names a missing
// image from the root in two channels; "Glow" is a new material that emits with its emission
// scale on and bakes a host gradient into its albedo, on a quad that makes it a light.
const char kDocument[] = R"json({
  "name": "paths.c4d",
  "objects": [
    {"type": 5100, "name": "Lamp", "points": [[0, 0, 0], [1, 0, 0], [1, 1, 0], [0, 1, 0]],
     "polygons": [[0, 1, 2, 3]],
     "tags": [{"type": 5616, "parameters": {"1010": {"material": "Glow"}}}]}
  ],
  "materials": [
    {"type": 1024337, "name": "Checker", "parameters": {
      "6003": true,
      "6118": {"shader": {"type": 5833, "parameters": {"1000": {"filename": "checker.png"}}}},
      "6005": true,
      "6069": {"shader": {"type": 5833, "parameters": {"1000": {"filename": "gone.png"}}}}}},
    {"type": 1024337, "name": "Lost", "parameters": {
      "6003": true,
      "6118": {"shader": {"type": 5833, "parameters": {"1000": {"filename": "/nowhere/lost.png"}}}},
      "6005": true,
      "6069": {"shader": {"type": 5833, "parameters": {"1000": {"filename": "/nowhere/lost.png"}}}}}},
    {"type": 1024337, "name": "Glow", "parameters": {
      "6007": true, "6080": true,
      "6118": {"shader": {"type": 1011100, "name": "Ramp"}}}}
  ]
})json";

std::string Text(const TiXmlElement* e, const char* child) {
  const TiXmlElement* c = e ? e->FirstChildElement(child) : nullptr;
  return c && c->GetText() ? c->GetText() : "";
}

// The texts of `child` of every element `name` directly below `e`.
std::vector<std::string> Texts(const TiXmlElement* e, const char* name, const char* child) {
  std::vector<std::string> out;
  for (const TiXmlElement* c = e ? e->FirstChildElement(name) : nullptr; c; c = c->NextSiblingElement(name))
    out.push_back(Text(c, child));
  return out;
}

class MaterialOutputTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    run_ = new Run;
    fs::create_directories(run_->home / "scene");
    std::ofstream(run_->home / "scene/paths.json") << kDocument;
    ASSERT_TRUE(WritePngFile(run_->home / "scene/checker.png", 2, 1, {255, 0, 0, 0, 0, 255}));
    const fs::path macos = fs::path(run_->renderer.path()) / "Orvane.app/Contents/MacOS";
    fs::create_directories(macos);
    fs::copy_file(fs::path(CORVANE_RENDERER_DIR) / "Orvane.app/Contents/MacOS/Orvane", macos / "Orvane");
    run_->status =
        RunCommand("cd '" + run_->home.path() + "' && " + CORVANE_HOST_EXE + " render --plugin-dir " +
                       CORVANE_PLUGIN_DIR + " --write-path " + run_->write.path() + " --renderer-dir " +
                       run_->renderer.path() + " scene/paths.json",
                   &run_->output);
    run_->loaded = run_->xml.LoadFile((run_->write / "quickrender/quickrender.ovs").c_str());
  }
  static void TearDownTestSuite() { delete run_; }
  void SetUp() override {
    ASSERT_EQ(run_->status, 0) << run_->output;
    ASSERT_TRUE(run_->loaded) << run_->xml.ErrorDesc();
  }

  // The scene's "material" element whose name is the host name `host` with its export suffix.
  static const TiXmlElement* Material(const std::string& host) {
    for (const TiXmlElement* e = run_->xml.RootElement()->FirstChildElement("material"); e;
         e = e->NextSiblingElement("material"))
      if (Text(e, "name").rfind(host + "_", 0) == 0) return e;
    return nullptr;
  }
  // The lines of the runner's output that start with `start`.
  static std::vector<std::string> Lines(const std::string& start) {
    std::vector<std::string> lines;
    std::istringstream in(run_->output);
    for (std::string l; std::getline(in, l);)
      if (l.rfind(start, 0) == 0) lines.push_back(l);
    return lines;
  }

  struct Run {
    TempDir home, write, renderer;
    std::string output;
    int status = -1;
    TiXmlDocument xml;
    bool loaded = false;
  };
  static Run* run_;
};

MaterialOutputTest::Run* MaterialOutputTest::run_ = nullptr;

TEST_F(MaterialOutputTest, TexturesAreNamedByFullPathOrKeepTheirNameWithOneLinePerMaterial) {
  const std::string folder = run_->home / "scene";
  const TiXmlElement* checker = Material("Checker");
  const TiXmlElement* lost = Material("Lost");
  ASSERT_NE(checker, nullptr);
  ASSERT_NE(lost, nullptr);
  EXPECT_EQ(Texts(checker->FirstChildElement("diffuse"), "texture", "path"),
            (std::vector<std::string>{folder + "/checker.png", folder + "/gone.png"}));
  EXPECT_EQ(Texts(lost->FirstChildElement("diffuse"), "texture", "path"),
            (std::vector<std::string>{"/nowhere/lost.png", "/nowhere/lost.png"}));

  // One line per image and material; none for the image that was found.
  const std::string tail = "; it is written under the name it has";
  EXPECT_EQ(
      Lines("Could not find the texture "),
      (std::vector<std::string>{
          "Could not find the texture " + folder + "/gone.png of material " + Text(checker, "name") + tail,
          "Could not find the texture /nowhere/lost.png of material " + Text(lost, "name") + tail}));
}

TEST_F(MaterialOutputTest, ANewMaterialsEmissionScaleAndBakeSizeReachTheOutput) {
  const TiXmlElement* glow = Material("Glow");
  ASSERT_NE(glow, nullptr);
  const std::string name = Text(glow, "name");
  // The quad's model carries the material's emission scale.
  std::vector<const TiXmlElement*> scales;
  for (const TiXmlElement* m = run_->xml.RootElement()->FirstChildElement("model"); m;
       m = m->NextSiblingElement("model"))
    for (const TiXmlElement* e = m->FirstChildElement("emission_scale"); e;
         e = e->NextSiblingElement("emission_scale"))
      if (Text(e, "material_name") == name) scales.push_back(e);
  ASSERT_EQ(scales.size(), 1u);
  EXPECT_EQ(Text(scales[0], "measure"), "luminous_flux");
  EXPECT_EQ(Text(scales[0], "value"), "100.000000");

  const TiXmlElement* diffuse = glow->FirstChildElement("diffuse");
  ASSERT_NE(diffuse, nullptr);
  const std::string baked = Text(diffuse->FirstChildElement("texture"), "path");
  EXPECT_EQ(fs::path(baked).parent_path(), fs::path(run_->write / "quickrender/textures.quickrender"));
  DecodedImage image;
  ASSERT_TRUE(ReadJpegFile(baked, &image)) << baked;
  EXPECT_EQ(image.width, 1024);
  EXPECT_EQ(image.height, 1024);
  EXPECT_EQ(image.components, 3);

  // The material pass frames its work on the console.
  EXPECT_EQ(Lines("Exporting materials...").size(), 1u) << run_->output;
  const std::vector<std::string> time = Lines("Material export time: ");
  ASSERT_EQ(time.size(), 1u) << run_->output;
  EXPECT_TRUE(std::regex_match(time[0], std::regex("Material export time: [0-9]+\\.[0-9]{3} s"))) << time[0];
}

}  // namespace
