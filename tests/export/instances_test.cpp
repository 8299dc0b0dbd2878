// Instance objects in exported scenes: written as their linked objects at their own places, with
// shared meshes, whether the render command keeps them from generating or not.
#include <gtest/gtest.h>

#include <tinyxml.h>

#include <filesystem>
#include <string>
#include <vector>

#include "export/orvanesceneexporter.h"
#include "host_document_file.h"
#include "main/instancesuppresser.h"
#include "main/main.h"
#include "support/host_fixture.h"

namespace {

// An instance object named `name` at `position` linked to `link`.
std::string Instance(const std::string& name, const std::string& link,
                     const std::string& position = "[0, 0, 0]") {
  return R"({"type": 1022273, "name": ")" + name + R"(", "position": )" + position +
         R"(, "parameters": {"10000": {"link": ")" + link + R"("}}})";
}

std::string Cube(const std::string& name, const std::string& extra = "") {
  return R"({"type": 5100, "name": ")" + name + R"(", "points": [[-1,-1,-1],[1,-1,-1],[1,1,-1],[-1,1,-1],
         [-1,-1,1],[1,-1,1],[1,1,1],[-1,1,1]], "polygons": [[0,1,2,3],[4,7,6,5],[0,4,5,1],[3,2,6,7],
         [0,3,7,4],[1,5,6,2]])" +
         extra + "}";
}

class InstanceExportTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    ASSERT_TRUE(PluginStart());
  }
  void TearDown() override {
    GetInstanceSuppresser()->Set(false);
    BaseDocument::Free(doc);
    PluginEnd();
    HostTest::TearDown();
  }

  // Exports `objects` (metres); answers "mesh" and "model <mesh> <pos>" for the geometry, a moving
  // model with " | <pos>" for each keyframe instead.
  std::vector<std::string> Export(const std::string& objects) {
    std::string error;
    BaseDocument::Free(doc);
    doc = host::LoadDocumentText(
        R"({"objects": [)" + objects +
            R"(], "renderData": {"videoPosts": [{"type": 1020896, "parameters": {"1386": 1388}}]}})",
        "test document", &error);
    EXPECT_NE(doc, nullptr) << error;
    std::vector<std::string> out;
    if (!doc) return out;
    exporter.initOVS(doc, nullptr, Filename(String(dir / "scene.ovs")), 0, 0, 0, 0, 0);
    EXPECT_EQ(exporter.exportOVSWithCacheRebuild(), 1);
    TiXmlDocument xml;
    EXPECT_TRUE(xml.LoadFile((dir / "scene.ovs").c_str()));
    for (const TiXmlElement* e = xml.RootElement()->FirstChildElement(); e; e = e->NextSiblingElement()) {
      const std::string kind = e->Value();
      if (kind == "mesh") out.push_back("mesh");
      if (kind != "model") continue;
      std::string model = std::string("model ") + e->FirstChildElement("mesh_name")->GetText();
      if (const TiXmlElement* pos = e->FirstChildElement("pos")) model += " " + std::string(pos->GetText());
      for (const TiXmlElement* k = e->FirstChildElement("keyframe"); k; k = k->NextSiblingElement("keyframe"))
        model += " | " + std::string(k->FirstChildElement("pos")->GetText());
      out.push_back(model);
    }
    return out;
  }

  TempDir dir;
  BaseDocument* doc = nullptr;
  OrvaneSceneExporter exporter;
};

TEST_F(InstanceExportTest, InstancesOfACubeShareItsMesh) {
  const std::string objects = Cube("Cube") + ", " + Instance("Left", "Cube", "[-10, 0, 0]") + ", " +
                              Instance("Up", "Cube", "[0, 10, 0]");
  // As the render command exports (instances generate nothing), and without it (through caches).
  for (bool suppressed : {true, false}) {
    SCOPED_TRACE(suppressed ? "while exporting" : "through the caches");
    GetInstanceSuppresser()->Set(suppressed);
    const std::vector<std::string> scene = Export(objects);
    ASSERT_EQ(scene.size(), 4u);
    const std::string mesh = scene[1].substr(6, scene[1].find(' ', 6) - 6);
    EXPECT_EQ(scene, (std::vector<std::string>{"mesh", "model " + mesh + " 0.000000 0.000000 0.000000",
                                               "model " + mesh + " -10.000000 0.000000 0.000000",
                                               "model " + mesh + " 0.000000 0.000000 10.000000"}));
    size_t files = 0;
    for (const auto& f : std::filesystem::directory_iterator(dir / "models.scene"))
      files += f.is_regular_file();
    EXPECT_EQ(files, 1u);
  }
}

TEST_F(InstanceExportTest, InstancesThatStandForNothingWriteNothing) {
  GetInstanceSuppresser()->Set(true);
  // Of its own parent: the group's cube once, nothing for the instance.
  EXPECT_EQ(Export(R"({"type": 5140, "name": "Group", "children": [)" + Cube("Cube") + ", " +
                   Instance("Self", "Group") + "]}")
                .size(),
            2u);
  // Linking each other, and an instance of them: nothing, and the export comes back.
  EXPECT_TRUE(
      Export(Instance("Ping", "Pong") + ", " + Instance("Pong", "Ping") + ", " + Instance("Of", "Ping"))
          .empty());
  GetInstanceSuppresser()->Set(false);
  EXPECT_TRUE(
      Export(Instance("Ping", "Pong") + ", " + Instance("Pong", "Ping") + ", " + Instance("Of", "Ping"))
          .empty());
}

TEST_F(InstanceExportTest, InstanceOfAMovingObjectMovesAtItsOwnPlace) {
  GetInstanceSuppresser()->Set(true);
  // "Mover" slides 10 along X per frame from (100, 0, 0); the shutter stays open 1.5 frames.
  const std::string mover = Cube("Mover", R"(, "tags": [{"type": 5636}],
      "keys": [{"frame": 0, "position": [100, 0, 0]}, {"frame": 100, "position": [1100, 0, 0]}])");
  // Turned a quarter turn about Y (its X axis along -Z): the slide follows the instance's axes.
  const std::string turned = R"({"type": 1022273, "name": "Turned", "matrix": {"off": [0, 0, 0],
      "v1": [0, 0, -1], "v2": [0, 1, 0], "v3": [1, 0, 0]}, "parameters": {"10000": {"link": "Mover"}}})";
  const std::vector<std::string> scene =
      Export(mover + ", " + Instance("MoverInst", "Mover", "[5000, 0, 0]") + ", " + turned + ", " +
             Cube("Still") + ", " + Instance("StillInst", "Still", "[0, 7, 0]"));
  // The two cubes are one mesh; the instances follow their objects' motion or place.
  ASSERT_EQ(scene.size(), 6u);
  const std::string model = "model " + scene[1].substr(6, scene[1].find(' ', 6) - 6);
  EXPECT_EQ(scene, (std::vector<std::string>{
                       "mesh",
                       model + " | 100.000000 0.000000 0.000000 | 115.000000 0.000000 0.000000",
                       model + " | 5000.000000 0.000000 0.000000 | 5015.000000 0.000000 0.000000",
                       model + " | 0.000000 0.000000 0.000000 | 0.000000 -15.000000 0.000000",
                       model + " 0.000000 0.000000 0.000000",
                       model + " 0.000000 0.000000 7.000000",
                   }));
}

}  // namespace
