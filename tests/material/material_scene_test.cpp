// A whole scene: every material of the document is written once by the material pass, and every
// material name that a mesh file, model, sphere, light or blend refers to is defined in the scene.
#include <gtest/gtest.h>

#include <tinyxml.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "export/orvanemesh.h"
#include "export/orvanesceneexporter.h"
#include "host_document_file.h"
#include "main/main.h"
#include "support/host_fixture.h"

namespace fs = std::filesystem;

namespace {

std::string Cube(const std::string& name, const std::string& x, const std::string& material) {
  return R"({"type": 5100, "name": ")" + name + R"(", "position": [)" + x + R"(, 0, 0],
         "points": [[-1,-1,-1],[1,-1,-1],[1,1,-1],[-1,1,-1],[-1,-1,1],[1,-1,1],[1,1,1],[-1,1,1]],
         "polygons": [[0,1,2,3],[4,7,6,5],[0,4,5,1],[3,2,6,7],[0,3,7,4],[1,5,6,2]],
         "tags": [{"type": 5616, "parameters": {"1010": {"material": ")" +
         material + R"("}}}]})";
}

// Every text of the elements named `name` anywhere below `e`.
void Collect(const TiXmlElement* e, const std::string& name, std::vector<std::string>& out) {
  for (const TiXmlElement* c = e->FirstChildElement(); c; c = c->NextSiblingElement()) {
    if (c->ValueStr() == name && c->GetText()) out.push_back(c->GetText());
    Collect(c, name, out);
  }
}

// The names of the "material" elements anywhere below `e`.
void Defined(const TiXmlElement* e, std::vector<std::string>& out) {
  for (const TiXmlElement* c = e->FirstChildElement(); c; c = c->NextSiblingElement()) {
    if (c->ValueStr() == "material") {
      const TiXmlElement* name = c->FirstChildElement("name");
      if (name && name->GetText()) out.push_back(name->GetText());
    }
    Defined(c, out);
  }
}

class MaterialSceneTest : public HostTest {
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

  TempDir dir;
  BaseDocument* doc = nullptr;
  OrvaneSceneExporter exporter;
};

TEST_F(MaterialSceneTest, EveryReferencedMaterialIsDefinedOnce) {
  const std::string document = R"({"materials": [
      {"type": 1024337, "name": "Red", "parameters": {"6114": [1, 0, 0]}},
      {"name": "Standard"},
      {"type": 1024337, "name": "Mix", "parameters": {"6024": 6030, "6002": true,
        "6259": {"material": "Red"}, "6269": {"material": "Behind"}}},
      {"type": 1024337, "name": "Hole", "parameters": {"6024": 6262}},
      {"type": 1024337, "name": "Cut", "parameters": {"6002": true, "6259": {"material": "Mix"},
        "6007": true, "6080": true}},
      {"type": 1024337, "name": "Behind", "parameters": {"6024": 6030, "6002": true,
        "6259": {"material": "Behind"}, "6269": {"material": "Mix"}}},
      {"type": 1024337, "name": "Sky", "parameters": {"6007": true, "6269": {"material": "Red"}}}],
    "objects": [)" + Cube("A", "0", "Red") +
                               "," + Cube("B", "300", "Standard") + "," + Cube("C", "600", "Hole") + "," +
                               Cube("D", "900", "Cut") + R"(,
      {"type": 5160, "name": "Ball", "tags": [{"type": 5616, "parameters": {"1010": {"material": "Mix"}}}]},
      {"type": 5102, "name": "Lamp"}],
    "renderData": {"videoPosts": [{"type": 1020896, "parameters": {"1386": 1389,
      "1368": 1365, "1384": {"material": "Sky"}}}]}})";
  std::string error;
  doc = host::LoadDocumentText(document, "materials", &error);
  ASSERT_NE(doc, nullptr) << error;

  exporter.initOVS(doc, nullptr, Filename(String(dir / "scene.ovs")), 0, 0, 0, 0, 0);
  ASSERT_EQ(exporter.exportOVSWithCacheRebuild(), 1);
  TiXmlDocument xml;
  ASSERT_TRUE(xml.LoadFile((dir / "scene.ovs").c_str())) << xml.ErrorDesc();
  const TiXmlElement* scene = xml.RootElement();
  ASSERT_TRUE(scene);

  std::vector<std::string> defined;
  Defined(scene, defined);
  std::vector<std::string> referenced;
  Collect(scene, "material_name", referenced);
  Collect(scene, "a_name", referenced);
  Collect(scene, "b_name", referenced);
  size_t meshes = 0;
  for (const auto& f : fs::directory_iterator(dir / "models.scene")) {
    Orvane::OrvaneMesh mesh;
    ASSERT_TRUE(Orvane::OrvaneMesh::readFromFile(f.path().string(), mesh)) << f.path();
    referenced.insert(referenced.end(), mesh.materialNames.begin(), mesh.materialNames.end());
    ++meshes;
  }
  EXPECT_GE(meshes, 1u);

  const std::set<std::string> definedSet(defined.begin(), defined.end());
  for (const std::string& name : referenced) EXPECT_TRUE(definedSet.count(name)) << name << " is not defined";
  for (const char* name : {"Red_mid0", "Standard_mid1", "Hole_mid3", "Cut_mid4", "Mix_mid2", "defaultLight"})
    EXPECT_TRUE(std::find(referenced.begin(), referenced.end(), name) != referenced.end()) << name;

  // Each material once at the scene's top level (the background is written besides, inside its
  // settings, under its own name).
  std::vector<std::string> top;
  for (const TiXmlElement* m = scene->FirstChildElement("material"); m; m = m->NextSiblingElement("material"))
    top.push_back(m->FirstChildElement("name")->GetText());
  for (const std::string& name : top)
    EXPECT_EQ(std::count(top.begin(), top.end(), name), 1) << name << " is written more than once";
  for (const char* name : {"defaultMat", "nullMat", "Red_mid0", "Standard_mid1", "Mix_mid2", "Hole_mid3",
                           "Cut_mid4", "Cut_mid4_b_l_e_n_d_A", "Behind_mid5", "Sky_mid6"})
    EXPECT_EQ(std::count(top.begin(), top.end(), name), 1) << name;
  EXPECT_EQ(std::count(defined.begin(), defined.end(), "background_material"), 1);

  // The document keeps its materials.
  size_t count = 0;
  for (BaseMaterial* m = doc->GetFirstMaterial(); m; m = m->GetNext()) ++count;
  EXPECT_EQ(count, 7u);
}

}  // namespace
