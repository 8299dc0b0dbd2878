// The runner's render command on a document file with render settings, a scene camera with its
// camera tag and keyed motion: every frame's scene carries them.
#include <gtest/gtest.h>

#include <tinyxml.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/host_fixture.h"

namespace fs = std::filesystem;

namespace {

// Frames 0 to 2 at 25 fps; the camera moves 10 units along X per frame and its shutter stays
// open for one frame.
const char kAnimatedDocument[] = R"json({
  "fps": 25,
  "objects": [
    { "type": 5103, "name": "Cam",
      "parameters": { "500": 50.0, "1006": 36.0, "1010": 300.0 },
      "keys": [ { "frame": 0, "position": [0, 100, 0] }, { "frame": 10, "position": [100, 100, 0] } ],
      "tags": [ { "type": 1022083, "parameters": { "1926": 0.04, "1945": 1946, "1949": 2.5, "1917": 1906 } },
                { "type": 5636 } ] }
  ],
  "sceneCamera": "Cam",
  "renderData": {
    "parameters": { "5008": 640, "5009": 480, "5017": { "time": 0.0 }, "5018": { "time": 0.08 } },
    "videoPosts": [ { "type": 1020896,
                      "parameters": { "1420": true, "1334": 1335, "1386": 1388, "1383": false, "1357": 3 } } ]
  }
})json";

std::string Text(TiXmlElement* e, const char* name) {
  TiXmlElement* c = e ? e->FirstChildElement(name) : nullptr;
  return c && c->GetText() ? c->GetText() : "<none>";
}

TEST(RenderSettingsRunnerTest, EveryFrameCarriesSettingsCameraTonemappingAndKeyframes) {
  TempDir write, docs, renderer;
  const std::string document = docs / "animated.json";
  std::ofstream(document) << kAnimatedDocument;
  // A renderer stand-in of this test's own, so that what it logs disturbs no other test.
  const fs::path macos = fs::path(renderer.path()) / "Orvane.app/Contents/MacOS";
  fs::create_directories(macos);
  fs::copy_file(fs::path(CORVANE_RENDERER_DIR) / "Orvane.app/Contents/MacOS/Orvane", macos / "Orvane");
  std::string out;
  int status =
      RunCommand(std::string(CORVANE_HOST_EXE) + " render --plugin-dir " + CORVANE_PLUGIN_DIR +
                     " --write-path " + write.path() + " --renderer-dir " + renderer.path() + " " + document,
                 &out);
  ASSERT_EQ(status, 0) << out;

  for (int frame = 0; frame <= 2; ++frame) {
    SCOPED_TRACE("frame " + std::to_string(frame));
    const std::string scene = write / ("quickrender/quickrender_frame00000" + std::to_string(frame) + ".ovs");
    TiXmlDocument xml;
    ASSERT_TRUE(xml.LoadFile(scene.c_str())) << out;
    TiXmlElement* root = xml.RootElement();

    TiXmlElement* settings = root->FirstChildElement("renderer_settings");
    EXPECT_EQ(Text(settings, "metropolis"), "false");
    EXPECT_EQ(Text(settings, "bidirectional"), "false");
    EXPECT_EQ(Text(settings, "auto_choose_num_threads"), "false");
    EXPECT_EQ(Text(settings, "num_threads"), "3");
    EXPECT_EQ(Text(settings, "width"), "640");
    EXPECT_EQ(Text(settings, "super_sample_factor"), "2");

    TiXmlElement* camera = root->FirstChildElement("camera");
    ASSERT_NE(camera, nullptr);
    EXPECT_EQ(Text(camera, "exposure_duration"), "0.040000");
    EXPECT_EQ(Text(camera, "white_balance"), "D50");
    EXPECT_EQ(Text(camera, "pos"), "<none>");
    EXPECT_EQ(Text(camera, "up"), "0 0 1");
    EXPECT_EQ(Text(camera, "focus_distance"), "300.000000");
    TiXmlElement* first = camera->FirstChildElement("keyframe");
    ASSERT_NE(first, nullptr);
    TiXmlElement* second = first->NextSiblingElement("keyframe");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->NextSiblingElement("keyframe"), nullptr);
    const std::string x0 = std::to_string(10 * frame) + ".000000";
    const std::string x1 = std::to_string(10 * (frame + 1)) + ".000000";
    EXPECT_EQ(Text(first, "time"), "0.000000");
    EXPECT_EQ(Text(first, "pos"), x0 + " 0.000000 100.000000");
    EXPECT_EQ(Text(second, "time"), "1.000000");
    EXPECT_EQ(Text(second, "pos"), x1 + " 0.000000 100.000000");

    TiXmlElement* tonemapping = root->FirstChildElement("tonemapping");
    EXPECT_EQ(Text(tonemapping ? tonemapping->FirstChildElement("linear") : nullptr, "scale"), "2.500000");
  }
}

}  // namespace
