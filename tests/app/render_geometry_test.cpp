// The runner's render command on a document with shared meshes, a sphere and an exit portal: the
// scene names every piece of geometry, and each mesh file is written once and reads back whole.
#include <gtest/gtest.h>

#include <tinyxml.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "export/orvanemesh.h"
#include "support/host_fixture.h"

namespace fs = std::filesystem;

namespace {

std::string Cube(const std::string& name, const std::string& extra) {
  return R"({"type": 5100, "name": ")" + name + R"(", )" + extra +
         R"("points": [[-1,-1,-1],[1,-1,-1],[1,1,-1],[-1,1,-1],[-1,-1,1],[1,-1,1],[1,1,1],[-1,1,1]],
            "polygons": [[0,1,2,3],[4,7,6,5],[0,4,5,1],[3,2,6,7],[0,3,7,4],[1,5,6,2]]})";
}

TEST(RenderGeometryTest, EveryPolygonObjectSphereAndPortalStandsInTheScene) {
  TempDir write, renderer, docs;
  const std::string document = docs / "geometry.json";
  std::ofstream(document) << R"({"objects": [)" << Cube("Left", "") << ", "
                          << R"({"type": 5140, "name": "Group", "position": [10, 0, 0], "children": [)"
                          << Cube("Right", "") << "]}, " << Cube("Window", R"("tags": [{"type": 1021223}], )")
                          << ", "
                          << R"({"type": 5160, "name": "Ball", "parameters": {"1110": 50.0}}]})";
  const fs::path macos = fs::path(renderer.path()) / "Orvane.app/Contents/MacOS";
  fs::create_directories(macos);
  fs::copy_file(fs::path(CORVANE_RENDERER_DIR) / "Orvane.app/Contents/MacOS/Orvane", macos / "Orvane");

  std::string out;
  const int status =
      RunCommand(std::string(CORVANE_HOST_EXE) + " render --plugin-dir " + CORVANE_PLUGIN_DIR +
                     " --write-path " + write.path() + " --renderer-dir " + renderer.path() + " " + document,
                 &out);
  ASSERT_EQ(status, 0) << out;
  // One conversion for the two equal cubes and the portal (the same geometry), one reuse.
  size_t exported = 0;
  for (size_t at = out.find("--Exported mesh_"); at != std::string::npos;
       at = out.find("--Exported mesh_", at + 1))
    ++exported;
  EXPECT_EQ(exported, 1u) << out;
  EXPECT_NE(out.find("Instances exported: 2\n"), std::string::npos) << out;

  TiXmlDocument xml;
  ASSERT_TRUE(xml.LoadFile((write / "quickrender/quickrender.ovs").c_str())) << xml.ErrorDesc();
  std::map<std::string, int> kinds;
  std::string meshPath;
  for (const TiXmlElement* e = xml.RootElement()->FirstChildElement(); e; e = e->NextSiblingElement()) {
    ++kinds[e->Value()];
    if (std::string(e->Value()) == "mesh")
      meshPath = e->FirstChildElement("external")->FirstChildElement("path")->GetText();
  }
  EXPECT_EQ(kinds["mesh"], 1);
  EXPECT_EQ(kinds["model"], 2);
  EXPECT_EQ(kinds["exit_portal"], 1);
  EXPECT_EQ(kinds["sphere"], 1);

  Orvane::OrvaneMesh mesh;
  ASSERT_TRUE(Orvane::OrvaneMesh::readFromFile(meshPath, mesh)) << meshPath;
  EXPECT_EQ(mesh.triangles.size(), 12u);
  EXPECT_EQ(mesh.positions.size(), 8u);
  EXPECT_EQ(mesh.materialNames, (std::vector<std::string>{"defaultMat"}));
  EXPECT_EQ(fs::path(meshPath).parent_path(), fs::path(write / "quickrender/models.quickrender"));
}

}  // namespace
