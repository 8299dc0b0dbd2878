// Host lights in exported scenes: each light's "defaultLight" material before its geometry, point
// lights as spheres, spot lights as squares with a profile, area lights of every shape, custom
// shapes, light layers, and scales that would make sizes infinite.
#include <gtest/gtest.h>

#include <tinyxml.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "export/orvanemesh.h"
#include "export/orvanesceneexporter.h"
#include "host_document_file.h"
#include "main/helpers.h"
#include "main/main.h"
#include "support/host_fixture.h"

namespace fs = std::filesystem;

namespace {

// A light of `type` named `name`, with further parameters and tags (JSON, may be empty).
std::string Light(const std::string& name, int type, const std::string& params = "",
                  const std::string& more = "") {
  return R"({"type": 5102, "name": ")" + name + R"(", "parameters": {"90002": )" + std::to_string(type) +
         (params.empty() ? "" : ", " + params) + "}" + (more.empty() ? "" : ", " + more) + "}";
}

// An area light of `shape` with the sizes 200, 100 and 60.
std::string AreaLight(const std::string& name, int shape, const std::string& more = "") {
  return Light(name, 8,
               R"("100010": 200.0, "100011": 100.0, "100012": 60.0, "100015": )" + std::to_string(shape),
               more);
}

std::string LightTag(const std::string& params) {
  return R"("tags": [{"type": 1020892, "parameters": {)" + params + "}}]";
}

// A quadrangle of 4 by 2 named `name`.
std::string Quad(const std::string& name, const std::string& position = "[0, 0, 0]") {
  return R"({"type": 5100, "name": ")" + name + R"(", "position": )" + position +
         R"(, "points": [[-2, 0, -1], [-2, 0, 1], [2, 0, 1], [2, 0, -1]], "polygons": [[0, 1, 2, 3]]})";
}

// One element of the scene in a short form: "material defaultLight", "mesh <file>",
// "model <file> [ies=<path>] [scale=<measure>]", "sphere <material> r=<radius> c=<centre>",
// "layer_name <name>=<index>".
std::string Summary(const TiXmlElement* e) {
  auto text = [e](const char* child) {
    const TiXmlElement* c = e->FirstChildElement(child);
    return std::string(c && c->GetText() ? c->GetText() : "");
  };
  const std::string kind = e->Value();
  if (kind == "material") return "material " + text("name");
  if (kind == "mesh") return "mesh " + text("name");
  if (kind == "sphere")
    return "sphere " + text("material_name") + " r=" + text("radius") + " c=" + text("center");
  if (kind == "layer_name") return "layer_name " + text("layer_name") + "=" + text("layer_index");
  if (kind == "model") {
    std::string s = "model " + text("mesh_name");
    for (const TiXmlElement* c = e->FirstChildElement(); c; c = c->NextSiblingElement()) {
      const std::string child = c->Value();
      if (child == "ies_profile") s += " ies=" + std::string(c->FirstChildElement("path")->GetText());
      if (child == "emission_scale") s += " scale=" + std::string(c->FirstChildElement("measure")->GetText());
    }
    return s;
  }
  return kind;
}

class LightsTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    ASSERT_TRUE(PluginStart());
  }
  void TearDown() override {
    BaseDocument::Free(doc);
    PluginEnd();
    HostTest::TearDown();
  }

  // Loads a document of `objects` whose render settings have the parameters `settings` (JSON; by
  // default the scene unit metres).
  void Load(const std::string& objects, const std::string& settings = R"("1386": 1388)") {
    std::string error;
    BaseDocument::Free(doc);
    doc = host::LoadDocumentText(R"({"objects": [)" + objects +
                                     R"(], "renderData": {"videoPosts": [{"type": 1020896, "parameters": {)" +
                                     settings + "}}]}}",
                                 "test document", &error);
    ASSERT_NE(doc, nullptr) << error;
  }

  // Exports to dir/scene.ovs; answers the summaries of the elements after the default materials.
  std::vector<std::string> Export() {
    exporter.initOVS(doc, nullptr, Filename(String(dir / "scene.ovs")), 0, 0, 0, 0, 0);
    EXPECT_EQ(exporter.exportOVSWithCacheRebuild(), 1);
    std::ifstream in(dir / "scene.ovs");
    std::stringstream text;
    text << in.rdbuf();
    sceneText = text.str();
    TiXmlDocument xml;
    EXPECT_TRUE(xml.Parse(sceneText.c_str()) || !xml.Error()) << xml.ErrorDesc();
    std::vector<std::string> out;
    if (!xml.RootElement()) return out;
    bool after = false;
    for (const TiXmlElement* e = xml.RootElement()->FirstChildElement(); e; e = e->NextSiblingElement()) {
      std::string s = Summary(e);
      if (after && s.rfind("layer_name", 0) != 0) out.push_back(s);
      if (s == "material nullMat") after = true;
    }
    return out;
  }

  // Readies the exporter for calling its light writers one by one on the document.
  void Prepare() {
    exporter.initOVS(doc, nullptr, Filename(String(dir / "scene.ovs")), 0, 0, 0, 0, 0);
    exporter.initVariables();
    exporter.sceneElement = new TiXmlElement("scene");
    exporter.xmlDocument.LinkEndChild(exporter.sceneElement);
  }

  // The mesh file `name` of the export.
  Orvane::OrvaneMesh Mesh(const std::string& name) {
    Orvane::OrvaneMesh mesh;
    EXPECT_TRUE(Orvane::OrvaneMesh::readFromFile(dir / ("models.scene/" + name), mesh)) << name;
    return mesh;
  }

  size_t MeshFiles() const {
    size_t n = 0;
    if (fs::exists(dir / "models.scene"))
      for (const auto& f : fs::directory_iterator(dir / "models.scene"))
        n += f.path().extension() == ".ovmesh";
    return n;
  }

  // The file name of the n-th "mesh" element.
  std::string MeshName(const std::vector<std::string>& scene, size_t n = 0) const {
    for (const std::string& s : scene)
      if (s.rfind("mesh ", 0) == 0 && n-- == 0) return s.substr(5);
    return "";
  }

  TempDir dir;
  BaseDocument* doc = nullptr;
  OrvaneSceneExporter exporter;
  std::string sceneText;
};

const std::string kDefaultIes = std::string(CORVANE_SOURCE_DIR) + "/presets/default.ies";

TEST_F(LightsTest, PointLightIsASmallEmittingSphere) {
  Load(Light("Bulb", 0, "", R"("position": [100, 200, 300])"), R"("1386": 1389)");
  EXPECT_EQ(Export(),
            (std::vector<std::string>{"material defaultLight",
                                      "sphere defaultLight r=0.010000 c=1.000000 3.000000 2.000000"}));
  Prepare();
  EXPECT_EQ(exporter.ExportLightObject(doc->GetFirstObject(), LMatrix()), 0) << "a point light answers 0";
  EXPECT_TRUE(exporter.sceneElement->FirstChildElement("sphere"));
}

TEST_F(LightsTest, SpotLightsShareOneSquareWithTheDefaultProfile) {
  Load(Light("Spot A", 1, "", R"("position": [0, 100, 0])") + ", " +
       Light("Spot B", 1, "", LightTag(R"("1307": true)")) + ", " +
       Light("Spot C", 1, "",
             LightTag(R"("1307": true, "1308": {"filename": ")" + dir / "profiles/c.ies" +
                      R"("}, "1312": true)")));
  const std::vector<std::string> scene = Export();
  const std::string mesh = MeshName(scene);
  ASSERT_FALSE(mesh.empty());
  EXPECT_EQ(scene, (std::vector<std::string>{"material defaultLight", "mesh " + mesh,
                                             "model " + mesh + " ies=" + kDefaultIes, "material defaultLight",
                                             "model " + mesh, "material defaultLight",
                                             "model " + mesh + " scale=luminance ies=profiles/c.ies"}));
  EXPECT_EQ(exporter.instanceCount, 2);
  EXPECT_EQ(MeshFiles(), 1u);

  // A square of 0.001 facing the light's Z axis (the renderer's Y), all on "defaultLight".
  Orvane::OrvaneMesh square = Mesh(mesh);
  ASSERT_EQ(square.triangles.size(), 2u);
  EXPECT_EQ(square.materialNames, std::vector<std::string>{"defaultLight"});
  for (const Orvane::Vec3f& p : square.positions) {
    EXPECT_NEAR(std::fabs(p.x), 0.0005, 1e-9);
    EXPECT_EQ(p.y, 0.0f);
    EXPECT_NEAR(std::fabs(p.z), 0.0005, 1e-9);
  }
}

TEST_F(LightsTest, AreaLightsTakeTheirShapeAndSize) {
  struct Case {
    int shape;
    size_t triangles;
    Orvane::Vec3f extent;  // half the size of the mesh per axis, in the renderer's axes
  };
  const Case cases[] = {
      {0, 50, {75, 0, 75}},                  // disc of radius (200 + 100) / 4
      {1, 2, {100, 0, 50}},                  // 200 by 100 rectangle
      {2, 2 * 50 + 23 * 100, {60, 60, 60}},  // sphere of radius (200 + 100 + 60) / 6
      {3, 50 * 4, {75, 30, 75}},             // cylinder of radius 75, height 60 along the light's Z
      {4, 12, {100, 50, 30}},                // box 200 by 100 by 60, its Y along the light's Z
      {5, 50 + 11 * 100, {60, 60, 30}},      // hemisphere (dome up the light's Y axis), open below
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("shape " + std::to_string(c.shape));
    Load(AreaLight("Area", c.shape, LightTag(R"("1312": true, "1300": 1302)")));
    const std::vector<std::string> scene = Export();
    const std::string mesh = MeshName(scene);
    ASSERT_EQ(scene, (std::vector<std::string>{"material defaultLight", "mesh " + mesh,
                                               "model " + mesh + " scale=luminous_flux"}));
    Orvane::OrvaneMesh m = Mesh(mesh);
    EXPECT_EQ(m.triangles.size(), c.triangles);
    Orvane::Vec3f lo{1e9f, 1e9f, 1e9f}, hi{-1e9f, -1e9f, -1e9f};
    for (const Orvane::Vec3f& p : m.positions) {
      lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
      hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
    }
    // Round shapes of 50 segments reach their radius only in some directions.
    auto near = [](float got, float want) { return std::fabs(got - want) <= 0.005f * want + 1e-3f; };
    EXPECT_TRUE(near((hi.x - lo.x) / 2, c.extent.x)) << (hi.x - lo.x) / 2;
    EXPECT_TRUE(near((hi.z - lo.z) / 2, c.extent.z)) << (hi.z - lo.z) / 2;
    EXPECT_TRUE(near((hi.y - lo.y) / 2, c.extent.y)) << (hi.y - lo.y) / 2;
  }
}

TEST_F(LightsTest, LightsThatCannotBeBuiltWriteNothing) {
  Load(AreaLight("Shape 7", 7) + ", " + AreaLight("Shape -1", -1) + ", " + AreaLight("No link", 6) + ", " +
       AreaLight("Link to a light", 6, R"("children": [)" + Light("Child", 0) + "]") + ", " +
       Light("Distant", 3) + ", " + Light("Off", 0, "", R"("enabled": false)"));
  // The link of "Link to a light" names a light, not a polygon object.
  BaseObject* linking = doc->SearchObject("Link to a light");
  ASSERT_TRUE(linking);
  linking->GetDataInstance()->SetLink(100014, doc->SearchObject("Child"));
  doc->SearchObject("Child")->SetDeformMode(false);
  EXPECT_TRUE(Export().empty());
  EXPECT_EQ(MeshFiles(), 0u);
  Prepare();
  for (const char* name : {"Shape 7", "Shape -1", "No link", "Distant"})
    EXPECT_EQ(exporter.ExportLightObject(doc->SearchObject(name), LMatrix()), 0) << name;
  EXPECT_EQ(exporter.sceneElement->FirstChild(), nullptr);
}

TEST_F(LightsTest, CustomShapeIsWrittenOnceAtItsOwnPlace) {
  Load(AreaLight("Panel", 6, R"("position": [500, 500, 500])") + ", " + Quad("Shape", "[0, 300, 0]") + ", " +
       AreaLight("Off", 6, R"("enabled": false)") + ", " + Quad("Other", "[0, 0, 50]"));
  doc->SearchObject("Panel")->GetDataInstance()->SetLink(100014, doc->SearchObject("Shape"));
  // The shape of a light that is off is an object like any other.
  doc->SearchObject("Off")->GetDataInstance()->SetLink(100014, doc->SearchObject("Other"));
  const std::vector<std::string> scene = Export();
  ASSERT_EQ(scene.size(), 5u);
  const std::string light = MeshName(scene, 0), plain = MeshName(scene, 1);
  EXPECT_EQ(scene, (std::vector<std::string>{"material defaultLight", "mesh " + light, "model " + light,
                                             "mesh " + plain, "model " + plain}));
  EXPECT_NE(light, plain) << "a light's mesh and an object's of the same geometry are kept apart";
  EXPECT_EQ(MeshFiles(), 2u);
  TiXmlDocument xml;
  ASSERT_TRUE(xml.Parse(sceneText.c_str()) || !xml.Error());
  const TiXmlElement* model = xml.RootElement()->FirstChildElement("model");
  ASSERT_TRUE(model);
  EXPECT_STREQ(model->FirstChildElement("pos")->GetText(), "0.000000 0.000000 300.000000");
}

TEST_F(LightsTest, LayersFollowFirstUseAfterTheSky) {
  // Sun and sky with their own layers, then lights on layers 4 and 0, and one on layer 4 again.
  Load(Light("A", 0, "", LightTag(R"("1313": 4)")) + ", " + Light("B", 0, "", LightTag(R"("1313": 0)")) +
           ", " + Light("C", 0, "", LightTag(R"("1313": 4)")),
       R"("1386": 1388, "1368": 1364, "1414": "Key")");
  Export();
  std::vector<std::string> layers;
  TiXmlDocument xml;
  ASSERT_TRUE(xml.Parse(sceneText.c_str()) || !xml.Error());
  std::vector<std::string> top;
  for (const TiXmlElement* e = xml.RootElement()->FirstChildElement(); e; e = e->NextSiblingElement()) {
    const std::string s = Summary(e);
    if (s.rfind("layer_name", 0) == 0 || s == "skylight") top.push_back(s);
    if (s == "material defaultLight")
      layers.push_back(e->FirstChildElement("diffuse")->FirstChildElement("layer")->GetText());
  }
  EXPECT_EQ(layers, (std::vector<std::string>{"2", "3", "2"}));
  EXPECT_EQ(top, (std::vector<std::string>{"layer_name Sun=0", "layer_name Sky=1", "skylight",
                                           "layer_name Layer 1: Layer 1=3", "layer_name Layer 5: Key=2"}));
}

TEST_F(LightsTest, ObjectsEmitThroughTheirPluginMaterials) {
  std::string error;
  BaseDocument::Free(doc);
  doc = host::LoadDocumentText(
      R"({"objects": [{"type": 5100, "name": "Panel", "points": [[0, 0, 0], [1, 0, 0], [1, 0, 1]],
                       "polygons": [[0, 1, 2]], "tags": [{"type": 5616, "parameters": {"1010": {"material": "Glow"}}}]}],
          "materials": [{"type": 1024337, "name": "Glow", "parameters": {"6007": true, "6080": true, "6083": 6085,
                          "6088": 12.5, "6281": true, "6282": {"filename": ")" +
          dir / "ies/glow.ies" + R"("}}}]})",
      "test document", &error);
  ASSERT_NE(doc, nullptr) << error;
  // The material pass writes the document's material before the geometry that uses it.
  std::vector<std::string> scene = Export();
  ASSERT_EQ(scene.size(), 3u);
  EXPECT_EQ(scene[0], "material Glow_mid0");
  scene.erase(scene.begin());
  EXPECT_EQ(scene[1], "model " + MeshName(scene) + " scale=luminous_intensity ies=ies/glow.ies");
  TiXmlDocument xml;
  ASSERT_TRUE(xml.Parse(sceneText.c_str()) || !xml.Error());
  const TiXmlElement* scale =
      xml.RootElement()->FirstChildElement("model")->FirstChildElement("emission_scale");
  EXPECT_STREQ(scale->FirstChildElement("material_name")->GetText(), "Glow_mid0");
  EXPECT_STREQ(scale->FirstChildElement("value")->GetText(), "12.500000");
}

TEST_F(LightsTest, ScalesThatWouldMakeSizesInfiniteDoNot) {
  const std::string lights = Light("Bulb", 0) + ", " + Light("Spot", 1) + ", " + AreaLight("Area", 1);
  Load(lights, R"("1386": 1391, "1340": 0.0)");
  std::vector<std::string> scene = Export();
  ASSERT_EQ(scene.size(), 8u);
  EXPECT_EQ(scene[1], "sphere defaultLight r=0.000000 c=0.000000 0.000000 0.000000");
  EXPECT_EQ(sceneText.find("inf"), std::string::npos);
  EXPECT_EQ(sceneText.find("nan"), std::string::npos);
  for (size_t n = 0; n < 2; ++n)
    for (const Orvane::Vec3f& p : Mesh(MeshName(scene, n)).positions)
      EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z));

  // A negative scale mirrors the places; the sizes stay as asked.
  Load(Light("Bulb", 0, "", R"("position": [100, 200, 300])"), R"("1386": 1391, "1340": -0.01)");
  EXPECT_EQ(Export(),
            (std::vector<std::string>{"material defaultLight",
                                      "sphere defaultLight r=0.010000 c=-1.000000 -3.000000 -2.000000"}));

  // A scale that is not finite places no light at all.
  Load(lights, R"("1386": 1391)");
  Helpers::GetOrvaneRenderSettingsData(doc)->SetReal(1340, INFINITY);
  host::ClearConsole();
  scene = Export();
  EXPECT_TRUE(scene.empty());
  std::vector<std::string> lines;
  for (const std::string& line : Console())
    if (line.rfind("Light ", 0) == 0) lines.push_back(line);
  EXPECT_EQ(lines, (std::vector<std::string>{"Light \"Bulb\" not exported: the scene scale is not finite.",
                                             "Light \"Spot\" not exported: the scene scale is not finite.",
                                             "Light \"Area\" not exported: the scene scale is not finite."}));
}

}  // namespace
