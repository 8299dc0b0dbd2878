// The material file: its layout, its textures folder, its failures, and the system's own material
// readers on what the writers wrote for a fresh material of every model.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "export/orvanesceneexporter.h"
#include "material/material_test_support.h"
#include "orvane_utils/OrvaneMaterialCheck.h"

namespace fs = std::filesystem;

namespace {

class MaterialFileTest : public MaterialTest {
 protected:
  std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  TempDir dir;
  OrvaneSceneExporter exporter;
};

TEST_F(MaterialFileTest, LayoutNameAndTexturesFolder) {
  BaseMaterial* mat = Add("Wood", MAT_TYPE_SPECULAR);
  fs::create_directories(dir / "textures.wood");
  std::ofstream(dir / "textures.wood/old.jpg") << "old";
  host::ClearConsole();

  EXPECT_EQ(exporter.exportOVM(doc, mat, Filename(String(dir / "wood.txt")), 0), 1);
  EXPECT_TRUE(fs::is_directory(dir / "textures.wood"));
  EXPECT_FALSE(fs::exists(dir / "textures.wood/old.jpg")) << "the folder is emptied";
  EXPECT_FALSE(fs::exists(dir / "wood.txt"));
  EXPECT_EQ(Console(), (std::vector<std::string>{"* Exporting OVM..."}));
  EXPECT_EQ(exporter.sceneData, nullptr);

  TiXmlDocument file;
  ASSERT_TRUE(file.LoadFile((dir / "wood.ovm").c_str())) << file.ErrorDesc();
  const TiXmlElement* top = file.RootElement();
  ASSERT_TRUE(top);
  EXPECT_EQ(top->ValueStr(), "scenedata");
  std::vector<std::string> kinds;
  for (const TiXmlNode* n = top->FirstChild(); n; n = n->NextSibling())
    kinds.push_back(n->Type() == TiXmlNode::TINYXML_COMMENT ? "#" : n->ValueStr());
  const std::vector<std::string> expected{"#", "#", "#", "material", "medium", "material"};
  EXPECT_EQ(kinds, expected);
  EXPECT_EQ(XmlText(top->FirstChildElement("material")),
            "<material><name>nullMat</name><null_material /></material>");
  EXPECT_STREQ(top->LastChild()->FirstChildElement("name")->GetText(), "Wood_mid0");

  // As a preview the material is named so.
  EXPECT_EQ(exporter.exportOVM(doc, mat, Filename(String(dir / "wood.ovm")), 1), 1);
  ASSERT_TRUE(file.LoadFile((dir / "wood.ovm").c_str()));
  EXPECT_STREQ(file.RootElement()->LastChild()->FirstChildElement("name")->GetText(), "previewMat");
}

TEST_F(MaterialFileTest, FailuresAreReportedAndNothingRelativeIsDeleted) {
  BaseMaterial* mat = Add("M");
  host::ClearConsole();
  EXPECT_EQ(exporter.exportOVM(nullptr, mat, Filename(String(dir / "m.ovm")), 0), 0);
  EXPECT_EQ(exporter.exportOVM(doc, nullptr, Filename(String(dir / "m.ovm")), 0), 0);
  EXPECT_TRUE(Console().empty());

  // A file that cannot be saved: a folder stands in its place.
  fs::create_directories(dir / "m.ovm");
  EXPECT_EQ(exporter.exportOVM(doc, mat, Filename(String(dir / "m.ovm")), 0), 0);
  EXPECT_EQ(Console().back(), "Could not save material file: " + (dir / "m.ovm") + ": Is a directory");
  EXPECT_EQ(exporter.sceneData, nullptr);

  // A relative or empty path: nothing beside the working directory is touched.
  const std::string relative = "corvane-material-file-test";
  fs::create_directories("textures." + relative);
  std::ofstream("textures." + relative + "/keep.jpg") << "keep";
  host::ClearConsole();
  EXPECT_EQ(exporter.exportOVM(doc, mat, Filename(String(relative + ".ovm")), 0), 0);
  EXPECT_EQ(exporter.exportOVM(doc, mat, Filename(String("")), 0), 0);
  EXPECT_TRUE(fs::exists("textures." + relative + "/keep.jpg"));
  EXPECT_FALSE(fs::exists(relative + ".ovm"));
  fs::remove_all("textures." + relative);
  ASSERT_EQ(Console().size(), 2u);
  EXPECT_EQ(Console()[0], "Could not save material file: " + relative + ".ovm (not an absolute path)");

  // What an interrupted export left is freed first (the sanitizer sees a leak otherwise).
  exporter.sceneData = new OrvaneSceneData();
  EXPECT_EQ(exporter.exportOVM(doc, mat, Filename(String(dir / "n.ovm")), 0), 1);
  EXPECT_EQ(exporter.sceneData, nullptr);
}

// Whatever the writers write, the readers read: a fresh material of every model, with and without
// its alpha wrapper, each in a material file, checked as the runner's "check-material" checks it.
// The runner itself reads a diffuse one and the models without a channel: specular, and the null
// material with its alpha off.
TEST_F(MaterialFileTest, EveryModelReadsBack) {
  int n = 0;
  for (LONG type : {MAT_TYPE_DIFFUSE, MAT_TYPE_OREN_NAYAR, MAT_TYPE_PHONG, MAT_TYPE_DIFFUSE_TRANSMITTER,
                    MAT_TYPE_SPECULAR, MAT_TYPE_BLEND, MAT_TYPE_GLOSSY_TRANSPARENT, MAT_TYPE_NULL}) {
    for (bool alpha : {false, true}) {
      SCOPED_TRACE(std::to_string(type) + (alpha ? " with alpha" : ""));
      BaseMaterial* mat = Add("M", type);
      mat->GetDataInstance()->SetBool(MAT_USE_ALPHA, alpha || type == MAT_TYPE_BLEND);
      const std::string path = dir / ("m" + std::to_string(n++) + ".ovm");
      ASSERT_EQ(exporter.exportOVM(doc, mat, Filename(String(path)), 0), 1);
      std::ostringstream report;
      EXPECT_EQ(Orvane::OrvaneMaterialCheck::checkText(Read(path), report), 0) << report.str();
      if (alpha || (type != MAT_TYPE_DIFFUSE && type != MAT_TYPE_SPECULAR && type != MAT_TYPE_NULL)) continue;
      std::string output;
      EXPECT_EQ(RunCommand(std::string(CORVANE_HOST_EXE) + " check-material " + path, &output), 0) << output;
      if (type == MAT_TYPE_SPECULAR) {
        // Named after its place among the document's materials.
        EXPECT_NE(output.find("M_mid" + std::to_string(n - 1) + ": specular"), std::string::npos) << output;
      }
    }
  }
}

}  // namespace
