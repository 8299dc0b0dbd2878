// The runner's demo document end to end: its materials reach the scene as the project's own
// material readers read them, with the checker image as a texture, the host gradient baked to a
// JPEG and the blend of OVL noise and gradient as one program.
#include <gtest/gtest.h>

#include <tinyxml.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "export/orvanemesh.h"
#include "material/ovlprelude.h"
#include "orvane_utils/OrvaneMaterialCheck.h"
#include "orvane_utils/OrvaneSceneParseUtilsExcep.h"
#include "support/host_fixture.h"
#include "support/image_files.h"

namespace fs = std::filesystem;

namespace {

std::string Text(const TiXmlElement* e, const char* child) {
  const TiXmlElement* c = e ? e->FirstChildElement(child) : nullptr;
  return c && c->GetText() ? c->GetText() : "";
}

// The element at the end of `path` (element names below `e`), or null.
const TiXmlElement* At(const TiXmlElement* e, std::initializer_list<const char*> path) {
  for (const char* name : path) e = e ? e->FirstChildElement(name) : nullptr;
  return e;
}

// Every "material_name" text below `e`, at any depth.
void CollectMaterialNames(const TiXmlElement* e, std::set<std::string>* names) {
  for (const TiXmlElement* c = e->FirstChildElement(); c; c = c->NextSiblingElement()) {
    if (std::string(c->Value()) == "material_name" && c->GetText()) names->insert(c->GetText());
    CollectMaterialNames(c, names);
  }
}

// The demo document rendered into a fresh write path by the runner, started in `cwd` with the
// plug-in folder `pluginDir`.
struct DemoRender {
  DemoRender(const std::string& cwd, const std::string& pluginDir) {
    const fs::path macos = fs::path(renderer.path()) / "Orvane.app/Contents/MacOS";
    fs::create_directories(macos);
    fs::copy_file(fs::path(CORVANE_RENDERER_DIR) / "Orvane.app/Contents/MacOS/Orvane", macos / "Orvane");
    status = RunCommand("cd '" + cwd + "' && " + CORVANE_HOST_EXE + " render --plugin-dir " + pluginDir +
                            " --write-path " + write.path() + " --renderer-dir " + renderer.path(),
                        &output);
    loaded = xml.LoadFile((write / "quickrender/quickrender.ovs").c_str());
  }
  // The scene's "material" elements by name.
  std::map<std::string, const TiXmlElement*> Materials() const {
    std::map<std::string, const TiXmlElement*> out;
    for (const TiXmlElement* e = xml.RootElement()->FirstChildElement("material"); e;
         e = e->NextSiblingElement("material"))
      out[Text(e, "name")] = e;
    return out;
  }

  TempDir write, renderer;
  std::string output;
  int status = -1;
  TiXmlDocument xml;
  bool loaded = false;
};

class DemoMaterialsTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { demo_ = new DemoRender(fs::current_path(), CORVANE_PLUGIN_DIR); }
  static void TearDownTestSuite() { delete demo_; }
  void SetUp() override {
    ASSERT_EQ(demo_->status, 0) << demo_->output;
    ASSERT_TRUE(demo_->loaded) << demo_->xml.ErrorDesc();
  }
  static std::map<std::string, const TiXmlElement*> Materials() { return demo_->Materials(); }

  static DemoRender* demo_;
};

DemoRender* DemoMaterialsTest::demo_ = nullptr;

TEST_F(DemoMaterialsTest, EveryMaterialElementParsesWithTheMaterialReaders) {
  std::vector<std::string> results;
  for (const auto& [name, element] : Materials()) {
    const TiXmlElement* type = Orvane::OrvaneMaterialCheck::findTypeElement(*element);
    if (!type) {
      results.push_back(name + ": no type element");
      continue;
    }
    try {
      Orvane::OrvaneMaterialCheck::parseTypeElement(*type);
      results.push_back(name + ": " + type->Value());
    } catch (const Orvane::OrvaneSceneParseUtilsExcep& e) {
      results.push_back(name + ": error: " + e.what());
    }
  }
  EXPECT_EQ(results,
            (std::vector<std::string>{"Checker_mid1: diffuse", "Red_mid0: phong", "Sunset_mid2: diffuse",
                                      "Swirl_mid3: diffuse", "defaultLight: diffuse", "defaultMat: diffuse",
                                      "nullMat: null_material"}));
}

TEST_F(DemoMaterialsTest, EveryMaterialTheSceneRefersToIsDefined) {
  std::set<std::string> referred;
  CollectMaterialNames(demo_->xml.RootElement(), &referred);
  // The floor, the cube (and its instance), the plinth and the backdrop name their materials in
  // their mesh files.
  std::vector<std::string> meshMaterials;
  for (const TiXmlElement* e = demo_->xml.RootElement()->FirstChildElement("mesh"); e;
       e = e->NextSiblingElement("mesh")) {
    Orvane::OrvaneMesh mesh;
    const std::string path = Text(At(e, {"external"}), "path");
    ASSERT_TRUE(Orvane::OrvaneMesh::readFromFile(path, mesh)) << path;
    std::string names;
    for (const std::string& name : mesh.materialNames) {
      names += (names.empty() ? "" : " ") + name;
      referred.insert(name);
    }
    meshMaterials.push_back(e->FirstChild()->Value() + std::string(": ") + names);
  }
  EXPECT_EQ(meshMaterials, (std::vector<std::string>{"Floor: Checker_mid1", "Cube: Red_mid0",
                                                     "Plinth: Sunset_mid2", "Backdrop: Swirl_mid3"}));
  const auto defined = Materials();
  for (const std::string& name : referred) EXPECT_EQ(defined.count(name), 1u) << name << " is not defined";
}

TEST_F(DemoMaterialsTest, TheCheckerImageIsTheFirstTextureOfItsMaterial) {
  const TiXmlElement* checker = Materials()["Checker_mid1"];
  ASSERT_NE(checker, nullptr);
  const TiXmlElement* texture = At(checker, {"diffuse", "texture"});
  EXPECT_EQ(Text(texture, "uv_set"), "default");
  EXPECT_EQ(Text(texture, "path"), std::string(CORVANE_PLUGIN_DIR) + "/demo/checker.png");
  EXPECT_EQ(texture ? texture->NextSiblingElement("texture") : nullptr, nullptr);
  EXPECT_EQ(Text(At(checker, {"diffuse", "albedo", "texture"}), "texture_index"), "0");
}

TEST_F(DemoMaterialsTest, TheHostGradientIsBakedToAColourJpeg) {
  const TiXmlElement* sunset = Materials()["Sunset_mid2"];
  ASSERT_NE(sunset, nullptr);
  const std::string path = Text(At(sunset, {"diffuse", "texture"}), "path");
  EXPECT_EQ(fs::path(path).parent_path(), fs::path(demo_->write / "quickrender/textures.quickrender"));
  EXPECT_EQ(Text(At(sunset, {"diffuse", "albedo", "texture"}), "texture_index"), "0");
  DecodedImage image;
  ASSERT_TRUE(ReadJpegFile(path, &image)) << path;
  // The material's bake size.
  EXPECT_EQ(image.width, 256);
  EXPECT_EQ(image.height, 128);
  EXPECT_EQ(image.components, 3);
  // From the start colour at the top edge (v = 0) to the end colour at the bottom.
  ASSERT_EQ(image.pixels.size(), 256u * 128u * 3u);
  const auto pixel = [&image](int x, int y) {
    const unsigned char* p = &image.pixels[(static_cast<size_t>(y) * image.width + x) * 3];
    return std::vector<int>{p[0], p[1], p[2]};
  };
  const auto near = [](const std::vector<int>& got, const std::vector<int>& want) {
    for (int k = 0; k < 3; ++k)
      if (std::abs(got[k] - want[k]) > 4) return false;
    return true;
  };
  EXPECT_TRUE(near(pixel(0, 0), {230, 89, 26}));
  EXPECT_TRUE(near(pixel(255, 0), {230, 89, 26}));
  EXPECT_TRUE(near(pixel(128, 127), {51, 26, 128}));
}

TEST_F(DemoMaterialsTest, TheBlendOfNoiseAndGradientIsOneProgram) {
  const TiXmlElement* swirl = Materials()["Swirl_mid3"];
  ASSERT_NE(swirl, nullptr);
  const TiXmlElement* inner = At(swirl, {"diffuse", "albedo", "shader", "shader"});
  ASSERT_NE(inner, nullptr);
  ASSERT_NE(inner->FirstChild(), nullptr);
  const TiXmlText* cdata = inner->FirstChild()->ToText();
  ASSERT_NE(cdata, nullptr);
  EXPECT_TRUE(cdata->CDATA());
  const std::string noise =
      "(lerp(vec3(1.00000, 1.00000, 1.00000), vec3(0.00000, 0.00000, 0.00000), "
      "noise01(mulCompVec2(getTexCoords(0) * 10.0, vec2(2.00000, 2.00000)))) * 1.00000)";
  const std::string gradient =
      "lerp(vec3(1.00000, 1.00000, 1.00000), vec3(0.00000, 0.00000, 0.00000), "
      "length(vec2(0.5,0.5) - getTexCoords(0)) * 2.0 ) * 1.00000";
  EXPECT_EQ(cdata->ValueStr(), std::string(OVLPrelude, kOVLPreludeLength) + "def eval(vec3 pos) vec3: (" +
                                   noise + " + " + gradient + ") * 0.50000");
  // The one program, and no other shader element in the scene.
  int shaders = 0;
  for (const auto& [name, element] : Materials())
    for (const TiXmlElement* e = At(element, {"diffuse", "albedo", "shader"}); e;
         e = e->NextSiblingElement("shader"))
      ++shaders;
  EXPECT_EQ(shaders, 1);
}

TEST(DemoMaterialsPathTest, ARelativePluginFolderStillGivesTheImageByItsFullPath) {
  const fs::path plugin(CORVANE_PLUGIN_DIR);
  const DemoRender demo(plugin.parent_path(), "./" + plugin.filename().string());
  ASSERT_EQ(demo.status, 0) << demo.output;
  ASSERT_TRUE(demo.loaded) << demo.xml.ErrorDesc();
  const TiXmlElement* checker = demo.Materials()["Checker_mid1"];
  EXPECT_EQ(Text(At(checker, {"diffuse", "texture"}), "path"), (plugin / "demo/checker.png").string());
}

}  // namespace
