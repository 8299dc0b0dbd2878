// The runner's demo document end to end: its key light with a light tag, the sun and sky, and an
// instance of the cube reach the scene.
#include <gtest/gtest.h>

#include <tinyxml.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/host_fixture.h"

namespace fs = std::filesystem;

namespace {

std::string Text(const TiXmlElement* e, const char* child) {
  const TiXmlElement* c = e ? e->FirstChildElement(child) : nullptr;
  return c && c->GetText() ? c->GetText() : "";
}

TEST(DemoLightsTest, TheDemoSceneCarriesItsLightSkyAndInstance) {
  TempDir write, renderer;
  const fs::path macos = fs::path(renderer.path()) / "Orvane.app/Contents/MacOS";
  fs::create_directories(macos);
  fs::copy_file(fs::path(CORVANE_RENDERER_DIR) / "Orvane.app/Contents/MacOS/Orvane", macos / "Orvane");
  std::string out;
  ASSERT_EQ(RunCommand(std::string(CORVANE_HOST_EXE) + " render --plugin-dir " + CORVANE_PLUGIN_DIR +
                           " --write-path " + write.path() + " --renderer-dir " + renderer.path(),
                       &out),
            0)
      << out;
  EXPECT_NE(out.find("Instances exported: 1\n"), std::string::npos) << out;

  TiXmlDocument xml;
  ASSERT_TRUE(xml.LoadFile((write / "quickrender/quickrender.ovs").c_str())) << xml.ErrorDesc();
  std::vector<std::string> order;
  const TiXmlElement* light = nullptr;
  const TiXmlElement* sphere = nullptr;
  const TiXmlElement* sky = nullptr;
  std::vector<std::string> cubeModels;
  std::string cubeMesh;
  for (const TiXmlElement* e = xml.RootElement()->FirstChildElement(); e; e = e->NextSiblingElement()) {
    const std::string kind = e->Value();
    const std::string comment =
        e->FirstChild() && e->FirstChild()->ToComment() ? e->FirstChild()->Value() : "";
    if (kind == "layer_name")
      order.push_back("layer " + Text(e, "layer_name") + "=" + Text(e, "layer_index"));
    if (kind == "skylight") {
      order.push_back("skylight");
      sky = e;
    } else if (kind == "material" && Text(e, "name") == "defaultLight") {
      order.push_back("defaultLight");
      light = e;
    } else if (kind == "sphere") {
      order.push_back("sphere " + comment);
      sphere = e;
    } else if (kind == "mesh" && comment == "Cube") {
      order.push_back("mesh Cube");
      cubeMesh = Text(e, "name");
    }
    if (kind == "model" && comment == "Cube")
      cubeModels.push_back(Text(e, "mesh_name") + " " + Text(e, "pos"));
  }
  EXPECT_EQ(order, (std::vector<std::string>{"layer Sun=0", "layer Sky=1", "skylight", "defaultLight",
                                             "sphere Key Light", "mesh Cube", "layer Layer 2: Key=2"}));
  // The sun looks down its Z axis, tilted 45 degrees.
  EXPECT_EQ(Text(sky, "sundir"), "0.000000 -0.707100 0.707100");
  // The light tag's blackbody on its layer, after the sky's two.
  const TiXmlElement* diffuse = light ? light->FirstChildElement("diffuse") : nullptr;
  EXPECT_EQ(Text(diffuse ? diffuse->FirstChildElement("base_emission")
                               ->FirstChildElement("constant")
                               ->FirstChildElement("blackbody")
                         : nullptr,
                 "temperature"),
            "4500.000000");
  EXPECT_EQ(Text(diffuse, "layer"), "2");
  EXPECT_EQ(Text(sphere, "material_name"), "defaultLight");
  EXPECT_EQ(Text(sphere, "radius"), "0.010000");
  // The cube and its instance share one mesh.
  EXPECT_EQ(cubeModels, (std::vector<std::string>{cubeMesh + " 0.000000 0.000000 0.500000",
                                                  cubeMesh + " 2.000000 1.500000 0.500000"}));
}

}  // namespace
