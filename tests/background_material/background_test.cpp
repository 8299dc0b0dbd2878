// The background lighting mode writes the background material through the material export.
#include <gtest/gtest.h>

#include <tinyxml.h>

#include "export/orvanesceneexporter.h"
#include "material/customorvanematerial.h"
#include "material/materialparams.h"
#include "object/myrendersettings.h"
#include "object/rendersettingsids.h"
#include "support/host_fixture.h"

namespace {

std::string Xml(const TiXmlNode* node) {
  TiXmlPrinter printer;
  printer.SetStreamPrinting();
  node->Accept(&printer);
  return printer.CStr();
}

class BackgroundTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    ASSERT_TRUE(RegisterCustomOrvaneMaterial());
    ASSERT_TRUE(RegisterRenderSettingsVP(nullptr));
    doc = BaseDocument::Alloc();
    BaseVideoPost* vp = BaseVideoPost::Alloc(1020896);
    ASSERT_TRUE(vp);
    doc->GetActiveRenderData()->InsertVideoPost(vp);
    settings = vp->GetDataInstance();
    settings->SetLong(RS_LIGHTING_MODE, RS_LIGHTING_MODE_BACKGROUND);
    sky = BaseMaterial::Alloc(ID_CUSTOMORVANEMATERIAL);
    ASSERT_TRUE(sky);
    sky->SetName("Sky");
    doc->InsertMaterial(sky);
    settings->SetLink(RS_BACKGROUND_MATERIAL, sky);

    exporter.sceneData = new OrvaneSceneData();
    exporter.sceneData->document = doc;
    exporter.sceneElement = new TiXmlElement("scene");
    exporter.xmlDocument.LinkEndChild(exporter.sceneElement);
    exporter.renderSettings = settings;
  }
  void TearDown() override {
    BaseDocument::Free(doc);
    HostTest::TearDown();
  }

  std::string Scene() const {
    std::string out;
    for (const TiXmlNode* n = exporter.sceneElement->FirstChild(); n; n = n->NextSibling()) out += Xml(n);
    return out;
  }

  // The names of the children of the one "material" inside "background_settings" /
  // "background_material"; `material` is set to that element.
  std::vector<std::string> Material(const TiXmlElement** material) const {
    const TiXmlElement* s = exporter.sceneElement->FirstChildElement("background_settings");
    const TiXmlElement* holder = s ? s->FirstChildElement("background_material") : nullptr;
    *material = holder ? holder->FirstChildElement("material") : nullptr;
    std::vector<std::string> names;
    if (!*material) return names;
    EXPECT_EQ((*material)->NextSiblingElement(), nullptr) << "one material element in " << Scene();
    EXPECT_STREQ((*material)->FirstChildElement("name")->GetText(), "background_material");
    for (const TiXmlElement* e = (*material)->FirstChildElement(); e; e = e->NextSiblingElement())
      names.push_back(e->Value());
    return names;
  }

  BaseDocument* doc = nullptr;
  BaseContainer* settings = nullptr;
  BaseMaterial* sky = nullptr;
  OrvaneSceneExporter exporter;
};

TEST_F(BackgroundTest, AnEmittingMaterialBecomesTheBackground) {
  BaseContainer* bc = sky->GetDataInstance();
  bc->SetBool(MAT_USE_EMISSION, true);
  EXPECT_EQ(exporter.SceneExportLighting(), 1);
  const TiXmlElement* material;
  EXPECT_EQ(Material(&material), (std::vector<std::string>{"name", "diffuse"})) << Scene();
  EXPECT_EQ(
      exporter.sceneElement->FirstChildElement("background_settings")->FirstChildElement("emission_scale"),
      nullptr);

  // Its emission scale follows the material, under the background's name.
  exporter.sceneElement->Clear();
  bc->SetBool(MAT_EMISSION_SCALE, true);
  bc->SetLong(MAT_EMISSION_SCALE_MEASURE, MAT_MEASURE_LUMINANCE);
  bc->SetReal(MAT_EMISSION_SCALE_VALUE, 5000);
  EXPECT_EQ(exporter.SceneExportLighting(), 1);
  const TiXmlElement* scale =
      exporter.sceneElement->FirstChildElement("background_settings")->FirstChildElement("emission_scale");
  ASSERT_TRUE(scale);
  EXPECT_EQ(Xml(scale),
            "<emission_scale><material_name>background_material</material_name><measure>luminance</measure>"
            "<value>5000.000000</value></emission_scale>");
}

// The clay render keeps the background's own model; a background that is its own blend partner is
// written once, the partner named as the background is written.
TEST_F(BackgroundTest, TheBackgroundKeepsItsModelAndIsWrittenOnce) {
  BaseContainer* bc = sky->GetDataInstance();
  bc->SetBool(MAT_USE_EMISSION, true);
  bc->SetLong(MAT_TYPE, MAT_TYPE_PHONG);
  CustomOrvaneMaterial::SetChannels(bc);
  exporter.sceneData->clayMode = 1;
  EXPECT_EQ(exporter.SceneExportLighting(), 1);
  const TiXmlElement* material;
  EXPECT_EQ(Material(&material), (std::vector<std::string>{"name", "phong"})) << Scene();

  exporter.sceneElement->Clear();
  exporter.sceneData->clayMode = 0;
  bc->SetLong(MAT_TYPE, MAT_TYPE_BLEND);
  bc->SetLink(MAT_BLEND_A, sky);
  bc->SetLink(MAT_BLEND_B, sky);
  EXPECT_EQ(exporter.SceneExportLighting(), 1);
  ASSERT_EQ(Material(&material), (std::vector<std::string>{"name", "blend"})) << Scene();
  const TiXmlElement* blend = material->FirstChildElement("blend");
  EXPECT_STREQ(blend->FirstChildElement("a_name")->GetText(), "background_material");
  EXPECT_STREQ(blend->FirstChildElement("b_name")->GetText(), "background_material");
}

TEST_F(BackgroundTest, WithoutEmissionNothingIsWritten) {
  EXPECT_EQ(exporter.SceneExportLighting(), 0);
  sky->GetDataInstance()->SetBool(MAT_USE_EMISSION, false);
  EXPECT_EQ(exporter.SceneExportLighting(), 0);
  EXPECT_EQ(Scene(), "");
}

}  // namespace
