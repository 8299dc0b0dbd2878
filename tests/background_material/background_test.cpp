// The background lighting mode with the material export in place (here a test double of it).
#include <gtest/gtest.h>

#include <tinyxml.h>

#include "background_material/exportbasematerial_double.h"
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
    ClearExportBaseMaterialCalls();
    ASSERT_TRUE(RegisterCustomOrvaneMaterial());
    ASSERT_TRUE(RegisterRenderSettingsVP(nullptr));
    doc = BaseDocument::Alloc();
    BaseVideoPost* vp = BaseVideoPost::Alloc(1020896);
    ASSERT_TRUE(vp);
    doc->GetActiveRenderData()->InsertVideoPost(vp);
    settings = vp->GetDataInstance();
    settings->SetLong(RS_LIGHTING_MODE, RS_LIGHTING_MODE_BACKGROUND);
    sky = BaseMaterial::Alloc(ID_CUSTOMORVANEMATERIAL);
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

  BaseDocument* doc = nullptr;
  BaseContainer* settings = nullptr;
  BaseMaterial* sky = nullptr;
  OrvaneSceneExporter exporter;
};

TEST_F(BackgroundTest, AnEmittingMaterialBecomesTheBackground) {
  BaseContainer* bc = sky->GetDataInstance();
  bc->SetBool(MAT_USE_EMISSION, true);
  EXPECT_EQ(exporter.SceneExportLighting(), 1);
  EXPECT_EQ(Scene(),
            "<background_settings><background_material><material><name>background_material</name>"
            "<double>Sky</double></material></background_material></background_settings>");
  ASSERT_EQ(ExportBaseMaterialCalls().size(), 1u);
  const ExportBaseMaterialCall& call = ExportBaseMaterialCalls()[0];
  EXPECT_EQ(call.material, sky);
  EXPECT_EQ(call.parent, "background_material");
  EXPECT_EQ(call.done, nullptr) << "no list of written materials";
  EXPECT_EQ(call.sceneData, exporter.sceneData);
  EXPECT_EQ(call.preview, 0);
  EXPECT_EQ(call.background, 1);

  // Its emission scale follows the material, under the background's name.
  exporter.sceneElement->Clear();
  bc->SetBool(MAT_EMISSION_SCALE, true);
  bc->SetLong(MAT_EMISSION_SCALE_MEASURE, MAT_MEASURE_LUMINANCE);
  bc->SetReal(MAT_EMISSION_SCALE_VALUE, 5000);
  EXPECT_EQ(exporter.SceneExportLighting(), 1);
  EXPECT_EQ(Scene(),
            "<background_settings><background_material><material><name>background_material</name>"
            "<double>Sky</double></material></background_material><emission_scale>"
            "<material_name>background_material</material_name><measure>luminance</measure>"
            "<value>5000.000000</value></emission_scale></background_settings>");
}

TEST_F(BackgroundTest, WithoutEmissionNothingIsWritten) {
  EXPECT_EQ(exporter.SceneExportLighting(), 0);
  sky->GetDataInstance()->SetBool(MAT_USE_EMISSION, false);
  EXPECT_EQ(exporter.SceneExportLighting(), 0);
  EXPECT_EQ(Scene(), "");
  EXPECT_TRUE(ExportBaseMaterialCalls().empty());
}

}  // namespace
