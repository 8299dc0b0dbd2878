// Materials of a document given by a relative path: textures by full path; a new material's defaults.
#include <gtest/gtest.h>

#include <tinyxml.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
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
      "6069": {"shader": {"type": 5833, "parameters": {"1000": {"filename": "gone.png"}}}}}},
    {"type": 1024337, "name": "Lost", "parameters": {"6003": true, "6005": true,
      "6118": {"shader": {"type": 5833, "parameters": {"1000": {"filename": "/nowhere/lost.png"}}}},
      "6069": {"shader": {"type": 5833, "parameters": {"1000": {"filename": "/nowhere/lost.png"}}}}}},
    {"type": 1024337, "name": "Glow", "parameters": {"6007": true, "6080": true,
      "6118": {"shader": {"type": 1011100, "name": "Ramp"}}}}]
})json";

std::string Text(const TiXmlElement* e, const char* child) {
  const TiXmlElement* c = e ? e->FirstChildElement(child) : nullptr;
  return c && c->GetText() ? c->GetText() : "";
}

TEST(MaterialOutputTest, TexturesKeepFullPathsAndANewMaterialItsDefaults) {
  TempDir home, write, renderer;
  fs::create_directories(home / "scene");
  std::ofstream(home / "scene/paths.json") << kDocument;
  ASSERT_TRUE(WritePngFile(home / "scene/checker.png", 2, 1, {255, 0, 0, 0, 0, 255}));
  const fs::path macos = fs::path(renderer.path()) / "Orvane.app/Contents/MacOS";
  fs::create_directories(macos);
  fs::copy_file(fs::path(CORVANE_RENDERER_DIR) / "Orvane.app/Contents/MacOS/Orvane", macos / "Orvane");
  std::string output, command = "cd '" + home.path() + "' && " + CORVANE_HOST_EXE + " render --plugin-dir " +
                                CORVANE_PLUGIN_DIR + " --write-path " + write.path() + " --renderer-dir " +
                                renderer.path() + " scene/paths.json";
  ASSERT_EQ(RunCommand(command, &output), 0) << output;
  TiXmlDocument xml;
  ASSERT_TRUE(xml.LoadFile((write / "quickrender/quickrender.ovs").c_str())) << xml.ErrorDesc();
  std::map<std::string, std::string> name;  // export name by host name
  std::map<std::string, std::vector<std::string>> textures;
  for (const TiXmlElement* e = xml.RootElement()->FirstChildElement("material"); e;
       e = e->NextSiblingElement("material")) {
    const std::string host = Text(e, "name").substr(0, Text(e, "name").find('_'));
    name[host] = Text(e, "name");
    const TiXmlElement* diffuse = e->FirstChildElement("diffuse");
    for (const TiXmlElement* t = diffuse ? diffuse->FirstChildElement("texture") : nullptr; t;
         t = t->NextSiblingElement("texture"))
      textures[host].push_back(Text(t, "path"));
  }
  const std::string folder = home / "scene";
  EXPECT_EQ(textures["Checker"], (std::vector<std::string>{folder + "/checker.png", folder + "/gone.png"}));
  EXPECT_EQ(textures["Lost"], (std::vector<std::string>{"/nowhere/lost.png", "/nowhere/lost.png"}));

  std::vector<std::string> lines;
  std::istringstream in(std::regex_replace(output, std::regex("time: [0-9]+\\.[0-9]{3} s"), "time: T s"));
  for (std::string l; std::getline(in, l);)
    if (std::regex_search(l, std::regex("^(Could not find the texture|Exporting materials|Material export)")))
      lines.push_back(l);
  const std::string missing = "Could not find the texture ", tail = "; it is written under the name it has";
  EXPECT_EQ(
      lines,
      (std::vector<std::string>{
          "Exporting materials...", missing + folder + "/gone.png of material " + name["Checker"] + tail,
          missing + "/nowhere/lost.png of material " + name["Lost"] + tail, "Material export time: T s"}))
      << output;

  // The new material's defaults: an emission scale on the quad's model, its albedo baked at 1024.
  std::vector<std::string> scales;
  for (const TiXmlElement* m = xml.RootElement()->FirstChildElement("model"); m;
       m = m->NextSiblingElement("model"))
    for (auto* e = m->FirstChildElement("emission_scale"); e; e = e->NextSiblingElement("emission_scale"))
      scales.push_back(Text(e, "material_name") + " " + Text(e, "measure") + " " + Text(e, "value"));
  EXPECT_EQ(scales, std::vector<std::string>{name["Glow"] + " luminous_flux 100.000000"});
  const std::string baked = textures["Glow"].empty() ? "" : textures["Glow"][0];
  EXPECT_EQ(fs::path(baked).parent_path(), fs::path(write / "quickrender/textures.quickrender"));
  DecodedImage image;
  ASSERT_TRUE(ReadJpegFile(baked, &image)) << baked;
  EXPECT_EQ(std::vector<int>({image.width, image.height, image.components}),
            std::vector<int>({1024, 1024, 3}));
}

}  // namespace
