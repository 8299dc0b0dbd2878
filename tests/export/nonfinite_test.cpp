// Geometry whose coordinates are not finite after the scene scale: such objects, lights and
// cameras stay out of the scene with one line each, and no written file holds "inf" or "nan".
#include <gtest/gtest.h>

#include <tinyxml.h>

#include <cmath>
#include <filesystem>
#include <fstream>
// GCC 12 warns of maybe-uninitialized std::function members inside <regex>'s automaton.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <regex>
#pragma GCC diagnostic pop
#include <sstream>
#include <string>
#include <vector>

#include "export/orvanemesh.h"
#include "export/orvanesceneexporter.h"
#include "host_document_file.h"
#include "main/main.h"
#include "support/host_fixture.h"

namespace fs = std::filesystem;

namespace {

// A quadrangle named `name` with one corner at `far` along X.
std::string Quad(const std::string& name, const std::string& far = "2",
                 const std::string& position = "[0, 0, 0]") {
  return R"({"type": 5100, "name": ")" + name + R"(", "position": )" + position + R"(, "points": [[-2, 0, -1],
      [-2, 0, 1], [)" +
         far + R"(, 0, 1], [2, 0, -1]], "polygons": [[0, 1, 2, 3]]})";
}

class NonFiniteTest : public HostTest {
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

  // Exports `objects` with the render settings `settings` and a camera "Cam" at `camera`;
  // answers the comments that head the geometry elements ("model", "sphere", "mesh") in order.
  std::vector<std::string> Export(const std::string& objects, const std::string& settings,
                                  const std::string& camera = "[0, 0, -10]") {
    std::string error;
    BaseDocument::Free(doc);
    doc =
        host::LoadDocumentText(R"({"objects": [{"type": 5103, "name": "Cam", "position": )" + camera + "}, " +
                                   objects + R"(], "sceneCamera": "Cam", "renderData": {"videoPosts": [
                                     {"type": 1020896, "parameters": {)" +
                                   settings + "}}]}}",
                               "test document", &error);
    EXPECT_NE(doc, nullptr) << error;
    std::vector<std::string> out;
    if (!doc) return out;
    host::ClearConsole();
    exporter.initOVS(doc, nullptr, Filename(String(dir / "scene.ovs")), 0, 0, 0, 0, 0);
    EXPECT_EQ(exporter.exportOVSWithCacheRebuild(), 1);
    TiXmlDocument xml;
    EXPECT_TRUE(xml.LoadFile((dir / "scene.ovs").c_str())) << xml.ErrorDesc();
    for (const TiXmlElement* e = xml.RootElement()->FirstChildElement(); e; e = e->NextSiblingElement()) {
      const std::string kind = e->Value();
      if (kind == "model" || kind == "sphere" || kind == "mesh" || kind == "exit_portal")
        out.push_back(kind + " " +
                      (e->FirstChild() && e->FirstChild()->ToComment() ? e->FirstChild()->Value() : ""));
      if (kind == "camera") cameraPos = e->FirstChildElement("pos")->GetText();
    }
    return out;
  }

  // The console lines that name something left out, and the closing count.
  std::vector<std::string> Skipped() const {
    std::vector<std::string> out;
    for (const std::string& line : Console())
      if (line.find("not finite") != std::string::npos) out.push_back(line);
    return out;
  }

  // Checks that no mesh file holds a number that is not finite and no file written holds "inf" or
  // "nan"; answers every file written (scene and meshes) as text.
  std::string ExpectNothingNonFiniteWritten() const {
    std::string all;
    for (const auto& f : fs::recursive_directory_iterator(dir.path())) {
      if (!f.is_regular_file()) continue;
      std::ifstream in(f.path(), std::ios::binary);
      std::stringstream text;
      text << in.rdbuf();
      all += text.str();
      if (f.path().parent_path().filename() != "models.scene") continue;
      Orvane::OrvaneMesh mesh;
      EXPECT_TRUE(Orvane::OrvaneMesh::readFromFile(f.path().string(), mesh)) << f.path();
      for (const Orvane::Vec3f& p : mesh.positions)
        EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z)) << f.path();
      for (const Orvane::Vec2f& t : mesh.uvs)
        EXPECT_TRUE(std::isfinite(t.x) && std::isfinite(t.y)) << f.path();
    }
    EXPECT_EQ(all.find("inf"), std::string::npos);
    EXPECT_EQ(all.find("nan"), std::string::npos);
    return all;
  }

  TempDir dir;
  BaseDocument* doc = nullptr;
  OrvaneSceneExporter exporter;
  std::string cameraPos;
};

const char* kNotFinite = "\" not exported: its coordinates are not finite after the scene scale.";

TEST_F(NonFiniteTest, APointAt1e308LeavesItsObjectOut) {
  // In metres the point stays a finite double but is no 32-bit float.
  const std::vector<std::string> scene =
      Export(Quad("Far", "1e308") + ", " + Quad("Near"), R"("1386": 1388)");
  EXPECT_EQ(scene, (std::vector<std::string>{"mesh Near", "model Near"}));
  EXPECT_EQ(Skipped(), (std::vector<std::string>{std::string("Object \"Far") + kNotFinite,
                                                 "Not exported for coordinates that are not finite: 1"}));
  EXPECT_EQ(cameraPos, "0.000000 -10.000000 0.000000");
  ExpectNothingNonFiniteWritten();

  // A place far out but finite keeps its fixed text.
  EXPECT_EQ(Export(Quad("Distant", "2", "[1e300, 0, 0]"), R"("1386": 1388)"),
            (std::vector<std::string>{"mesh Distant", "model Distant"}));
  EXPECT_TRUE(Skipped().empty());
  EXPECT_TRUE(std::regex_search(ExpectNothingNonFiniteWritten(),
                                std::regex("<pos>1[0-9]{300}\\.[0-9]{6} 0\\.000000 0\\.000000</pos>")));
}

TEST_F(NonFiniteTest, AScaleOf1e308LeavesOutEverythingOffTheOrigin) {
  const std::string objects = Quad("Plate") + ", " + Quad("Dot", "2", "[0, 0, 0]") + ", " +
                              R"({"type": 5160, "name": "Ball", "position": [3, 0, 0]},
         {"type": 5102, "name": "Bulb", "position": [10, 0, 0], "parameters": {"90002": 0}},
         {"type": 5102, "name": "Spot", "parameters": {"90002": 1}},
         {"type": 5102, "name": "Panel", "position": [0, 5, 0], "parameters": {"90002": 8, "100010": 200.0,
          "100011": 100.0, "100012": 60.0, "100015": 1}})";
  const std::vector<std::string> scene = Export(objects, R"("1386": 1391, "1340": 1e308)");
  // Every mesh has corners off the origin; the spot's tiny square is sized down by the scale
  // and so stays finite.
  EXPECT_EQ(scene, (std::vector<std::string>{"mesh Spot", "model Spot"}));
  EXPECT_EQ(Skipped(),
            (std::vector<std::string>{
                std::string("Camera \"Cam") + kNotFinite, std::string("Object \"Plate") + kNotFinite,
                std::string("Object \"Dot") + kNotFinite, std::string("Object \"Ball") + kNotFinite,
                std::string("Light \"Bulb") + kNotFinite, std::string("Light \"Panel") + kNotFinite,
                "Not exported for coordinates that are not finite: 6"}));
  // The camera stands in as a missing one does.
  EXPECT_EQ(cameraPos, "0.000000 0.000000 0.000000");
  ExpectNothingNonFiniteWritten();
}

TEST_F(NonFiniteTest, MotionThatRunsOffToInfinityLeavesTheModelOut) {
  // Finite at the exported frame, beyond the doubles one frame later.
  const std::string runaway = R"({"type": 5100, "name": "Runaway", "tags": [{"type": 5636}],
      "keys": [{"frame": 0, "position": [0, 0, 0]}, {"frame": 1, "position": [1e308, 0, 0]}],
      "points": [[0, 0, 0], [1, 0, 0], [1, 0, 1]], "polygons": [[0, 1, 2]]})";
  const std::vector<std::string> scene = Export(runaway, R"("1386": 1391, "1340": 10.0)");
  EXPECT_EQ(scene, (std::vector<std::string>{"mesh Runaway"}));
  EXPECT_EQ(Skipped(), (std::vector<std::string>{std::string("Object \"Runaway") + kNotFinite,
                                                 "Not exported for coordinates that are not finite: 1"}));
  ExpectNothingNonFiniteWritten();
}

}  // namespace
