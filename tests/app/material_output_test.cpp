// Materials of a document given by a relative path: textures by full path; a new material's defaults;
// a texture that is missing or cannot be read is named.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
// GCC 12 warns of maybe-uninitialized std::function members inside <regex>'s automaton.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <regex>
#pragma GCC diagnostic pop
#include <string>
#include <vector>

#include "support/host_fixture.h"
#include "support/image_files.h"

namespace fs = std::filesystem;

namespace {

const char kDocument[] = R"json({"name": "paths.c4d",
  "objects": [{"type": 5100, "name": "Lamp", "points": [[0, 0, 0], [1, 0, 0], [1, 1, 0], [0, 1, 0]],
    "polygons": [[0, 1, 2, 3]], "tags": [{"type": 5616, "parameters": {"1010": {"material": "Glow"}}}]}],
  "materials": [
    {"type": 1024337, "name": "Checker", "parameters": {"6003": true, "6005": true,
      "6118": {"shader": {"type": 5833, "parameters": {"1000": {"filename": "checker.png"}}}},
      "6069": {"shader": {"type": 5833, "parameters": {"1000": {"filename": "gone.png"}}}},
      "6006": true,
      "6074": {"shader": {"type": 5833, "parameters": {"1000": {"filename": "relief.png"}}}}}},
    {"type": 1024337, "name": "Glow", "parameters": {"6007": true, "6080": true,
      "6118": {"shader": {"type": 1011100, "name": "Ramp"}}}}]
})json";

TEST(MaterialOutputTest, TexturesKeepFullPathsAndANewMaterialItsDefaults) {
  TempDir home, write, renderer;
  fs::create_directories(home / "scene");
  std::ofstream(home / "scene/paths.json") << kDocument;
  ASSERT_TRUE(WritePngFile(home / "scene/checker.png", 2, 1, {255, 0, 0, 0, 0, 255}));
  fs::create_directories(home / "scene/tex");
  ASSERT_TRUE(WritePngFile(home / "scene/tex/relief.png", 1, 1, {128, 128, 128}));  // in its "tex" folder
  fs::copy(CORVANE_RENDERER_DIR, renderer.path(), fs::copy_options::recursive);
  std::string output, command = "cd '" + home.path() + "' && " + CORVANE_HOST_EXE + " render --plugin-dir " +
                                CORVANE_PLUGIN_DIR + " --write-path " + write.path() + " --renderer-dir " +
                                renderer.path() + " scene/paths.json";
  ASSERT_EQ(RunCommand(command, &output), 0) << output;
  // The scene without its indentation.
  const std::string scene =
      std::regex_replace(ReadFile(write / "quickrender/quickrender.ovs"), std::regex(">\\s+<"), "><");
  const std::string folder = home / "scene";
  for (const char* file : {"/checker.png</path>", "/gone.png</path>", "/tex/relief.png</path>"})
    EXPECT_NE(scene.find("<path>" + folder + file), std::string::npos) << scene;
  const std::string text = std::regex_replace(output, std::regex("time: [0-9]+\\.[0-9]{3} s"), "time: T s");
  EXPECT_NE(text.find("\nExporting materials...\nCould not find the texture " + folder +
                      "/gone.png of material Checker_mid0; it is written under the name it has\n"
                      "Material export time: T s\n"),
            std::string::npos)
      << output;

  // The new material's defaults: one emission scale (on the quad's model), its albedo baked at 1024.
  const std::string scale =
      "<emission_scale><material_name>Glow_mid1</material_name><measure>luminous_flux"
      "</measure><value>100.000000</value></emission_scale>";
  EXPECT_TRUE(scene.find(scale) != std::string::npos && scene.find(scale) == scene.rfind("<emission_scale>"))
      << scene;
  DecodedImage image;
  ASSERT_TRUE(ReadJpegFile(write / "quickrender/textures.quickrender/Glow_mid1_0_albedo.jpg", &image));
  EXPECT_EQ(std::vector<int>({image.width, image.height, image.components}),
            std::vector<int>({1024, 1024, 3}));
}

// A texture that is there but cannot be read (a FIFO here; a file of another user's mode alike) is
// named as a missing one is: the renderer could not read it either. A readable one is not named.
TEST(MaterialOutputTest, ATextureThatCannotBeReadIsNamedAsAMissingOneIs) {
  TempDir home, write, renderer;
  const std::string folder = home.path();
  ASSERT_TRUE(WritePngFile(folder + "/plain.png", 1, 1, {128, 128, 128}));
  ASSERT_EQ(::mkfifo((folder + "/pipe.png").c_str(), 0644), 0);
  std::string materials;
  for (const char* name : {"plain", "pipe"})
    materials +=
        std::string(materials.empty() ? "" : ", ") + R"({"type": 1024337, "name": ")" + name +
        R"(", "parameters": {"6003": true, "6118": {"shader": {"type": 5833, "parameters": {"1000": {"filename": ")" +
        name + ".png\"}}}}}}";
  std::ofstream(folder + "/doc.json") << R"({"objects": [{"type": 5100, "name": "Quad", "points": [[0, 0, 0],
    [1, 0, 0], [1, 1, 0], [0, 1, 0]], "polygons": [[0, 1, 2, 3]]}], "materials": [)" +
                                             materials + "]}";
  fs::copy(CORVANE_RENDERER_DIR, renderer.path(), fs::copy_options::recursive);
  std::string output;
  ASSERT_EQ(
      RunCommand("cd '" + folder + "' && " + CORVANE_HOST_EXE + " render --plugin-dir " + CORVANE_PLUGIN_DIR +
                     " --write-path " + write.path() + " --renderer-dir " + renderer.path() + " doc.json",
                 &output),
      0)
      << output;
  const std::string text = std::regex_replace(output, std::regex("_mid[0-9]+"), "_mid");
  EXPECT_NE(text.find("Could not read the texture " + folder +
                      "/pipe.png of material pipe_mid: not a regular "
                      "file; it is written under the name it has\n"),
            std::string::npos)
      << output;
  EXPECT_EQ(text.find("texture " + folder + "/plain.png"), std::string::npos) << output;
}

}  // namespace
