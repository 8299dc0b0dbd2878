// The exporter's default materials, the material of lights, the sky or background, and the
// emission scaling and IES profiles of emitting materials and lights.
#include <gtest/gtest.h>

#include <tinyxml.h>

#include <string>
#include <vector>

#include "export/orvanesceneexporter.h"
#include "material/customorvanematerial.h"
#include "material/materialparams.h"
#include "object/myrendersettings.h"
#include "object/rendersettingsids.h"
#include "support/host_fixture.h"
#include "tag/mylighttag.h"
#include "tag/mylighttagids.h"

namespace {

// An element and everything in it as one line of XML.
std::string Xml(const TiXmlNode* node) {
  TiXmlPrinter printer;
  printer.SetStreamPrinting();
  node->Accept(&printer);
  return printer.CStr();
}

// The children of `parent` as XML, one string each.
std::vector<std::string> Children(const TiXmlElement* parent) {
  std::vector<std::string> out;
  for (const TiXmlNode* n = parent->FirstChild(); n; n = n->NextSibling()) out.push_back(Xml(n));
  return out;
}

std::string Rgb(const std::string& rgb, const std::string& gamma) {
  return "<rgb><rgb>" + rgb + "</rgb><gamma>" + gamma + "</gamma></rgb>";
}

// A "defaultLight" material as the exporter writes it.
std::string LightMaterial(const std::string& emission, int layer) {
  return "<material><name>defaultLight</name><diffuse><albedo><constant>" +
         Rgb("0.000000 0.000000 0.000000", "2.200000") + "</constant></albedo><base_emission><constant>" +
         emission + "</constant></base_emission><layer>" + std::to_string(layer) +
         "</layer></diffuse></material>";
}

class LightingTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    ASSERT_TRUE(RegisterMyLightTag());
    ASSERT_TRUE(RegisterCustomOrvaneMaterial());
    doc = BaseDocument::Alloc();
    exporter.sceneData = new OrvaneSceneData();
    exporter.sceneData->document = doc;
    exporter.sceneData->sceneDir = Filename("/work/scenes/shot");
    exporter.sceneElement = new TiXmlElement("scene");
    exporter.xmlDocument.LinkEndChild(exporter.sceneElement);
  }
  void TearDown() override {
    BaseDocument::Free(doc);
    HostTest::TearDown();
  }

  std::vector<std::string> Scene() const { return Children(exporter.sceneElement); }

  // Adds the render-settings video post and lets the exporter read it.
  BaseContainer* AddRenderSettings() {
    EXPECT_TRUE(RegisterRenderSettingsVP(nullptr));
    BaseVideoPost* vp = BaseVideoPost::Alloc(1020896);
    EXPECT_TRUE(vp);
    doc->GetActiveRenderData()->InsertVideoPost(vp);
    exporter.renderSettings = vp->GetDataInstance();
    return exporter.renderSettings;
  }

  BaseObject* Light(BaseObject* parent = nullptr) {
    BaseObject* light = BaseObject::Alloc(Olight);
    doc->InsertObject(light, parent, nullptr);
    return light;
  }

  BaseMaterial* Material(LONG type, const char* name) {
    BaseMaterial* mat = BaseMaterial::Alloc(type);
    EXPECT_TRUE(mat);
    mat->SetName(name);
    BaseMaterial* last = doc->GetFirstMaterial();
    while (last && last->GetNext()) last = last->GetNext();
    doc->InsertMaterial(mat, last);
    return mat;
  }

  BaseDocument* doc = nullptr;
  OrvaneSceneExporter exporter;
};

TEST_F(LightingTest, DefaultMaterialsWithAndWithoutClay) {
  exporter.SceneExportDefaultMats();
  exporter.sceneData->clayMode = 1;
  exporter.sceneData->clayAlbedo = LVector(0.5, 0.25, 1);
  exporter.SceneExportDefaultMats();
  const std::string nullMat = "<material><name>nullMat</name><null_material /></material>";
  EXPECT_EQ(Scene(), (std::vector<std::string>{
                         "<material><name>defaultMat</name><diffuse><albedo><constant>" +
                             Rgb("0.800000 0.800000 0.800000", "2.200000") +
                             "</constant></albedo></diffuse></material>",
                         nullMat,
                         "<material><name>defaultMat</name><oren_nayar><albedo><constant>" +
                             Rgb("0.500000 0.250000 1.000000", "2.200000") +
                             "</constant></albedo><sigma><constant>0.300000</constant></sigma></oren_nayar>"
                             "</material>",
                         nullMat}));
}

TEST_F(LightingTest, LightMaterialTakesItsSpectrumFromTheTagOrTheLight) {
  BaseObject* plain = Light();
  plain->GetDataInstance()->SetVector(LIGHT_COLOR, LVector(1, 0.5, 0.25));
  plain->GetDataInstance()->SetReal(LIGHT_BRIGHTNESS, 2.0);

  struct Case {
    const char* what;
    LONG type;  // emission type of the tag; 0: no tag
    std::string emission;
  };
  const Case cases[] = {
      {"no tag: colour times brightness", 0, Rgb("2.000000 1.000000 0.500000", "2.200000")},
      {"peak", LIGHTTAG_EMISSION_PEAK,
       "<peak><peak_min>300.000000</peak_min><peak_width>550.000000</peak_width>"
       "<base_value>0.000000</base_value><peak_value>200.000000</peak_value></peak>"},
      {"rgb", LIGHTTAG_EMISSION_RGB, Rgb("1.000000 1.000000 1.000000", "2.200000")},
      {"blackbody", LIGHTTAG_EMISSION_BLACKBODY,
       "<blackbody><temperature>6500.000000</temperature><gain>1.000000</gain></blackbody>"},
      {"uniform", LIGHTTAG_EMISSION_UNIFORM, "<uniform><value>1.000000</value></uniform>"},
      {"unknown type: rgb", 4711, Rgb("1.000000 1.000000 1.000000", "2.200000")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    exporter.sceneElement->Clear();
    BaseObject* light = plain;
    if (c.type) {
      light = Light();
      light->MakeTag(ID_MYLIGHTTAG)->GetDataInstance()->SetLong(LIGHTTAG_EMISSION_TYPE, c.type);
    }
    EXPECT_EQ(exporter.SceneExportDefaultLightMaterial(light), 1);
    EXPECT_EQ(Scene(), std::vector<std::string>{LightMaterial(c.emission, 0)});
  }
  exporter.sceneElement->Clear();
  EXPECT_EQ(exporter.SceneExportDefaultLightMaterial(nullptr), 0);
  EXPECT_TRUE(Scene().empty());
}

TEST_F(LightingTest, LightLayersGetDenseIndicesInOrderOfFirstUse) {
  // Layers 4, 0, 4 again, then a light without a tag (layer 0), then stored values outside the
  // ten layers, which count as layer 0.
  const LONG layers[] = {4, 0, 4, -1, 10, 12};
  for (LONG layer : layers) {
    BaseObject* light = Light();
    light->MakeTag(ID_MYLIGHTTAG)->GetDataInstance()->SetLong(LIGHTTAG_LAYER, layer);
    exporter.SceneExportDefaultLightMaterial(light);
  }
  exporter.SceneExportDefaultLightMaterial(Light());
  std::vector<std::string> indices;
  for (TiXmlElement* m = exporter.sceneElement->FirstChildElement("material"); m; m = m->NextSiblingElement())
    indices.push_back(m->FirstChildElement("diffuse")->FirstChildElement("layer")->GetText());
  EXPECT_EQ(indices, (std::vector<std::string>{"0", "1", "0", "1", "1", "1", "1"}));
  EXPECT_EQ(exporter.sceneData->lightLayers, (std::map<int, int>{{0, 1}, {4, 0}}));
}

TEST_F(LightingTest, EmissionScaleNamesItsMeasure) {
  struct Case {
    LONG material, tag;
    const char* measure;
  };
  const Case cases[] = {
      {MAT_MEASURE_LUMINOUS_FLUX, LIGHTTAG_MEASURE_LUMINOUS_FLUX, "luminous_flux"},
      {MAT_MEASURE_LUMINOUS_INTENSITY, LIGHTTAG_MEASURE_LUMINOUS_INTENSITY, "luminous_intensity"},
      {MAT_MEASURE_LUMINANCE, LIGHTTAG_MEASURE_LUMINANCE, "luminance"},
      {MAT_MEASURE_LUMINOUS_EMITTANCE, LIGHTTAG_MEASURE_LUMINOUS_EMITTANCE, "luminous_emittance"},
      {1303, 1303, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.measure);
    exporter.sceneElement->Clear();
    BaseContainer mat;
    mat.SetBool(MAT_EMISSION_SCALE, true);
    mat.SetLong(MAT_EMISSION_SCALE_MEASURE, c.material);
    mat.SetReal(MAT_EMISSION_SCALE_VALUE, 42.5);
    exporter.SceneExportEmissionScaleElement(exporter.sceneElement, &mat, String("Lamp_mid0"));
    BaseContainer tag;
    tag.SetBool(LIGHTTAG_EMISSION_SCALE, true);
    tag.SetLong(LIGHTTAG_SCALE_MEASURE, c.tag);
    exporter.SceneExportEmissionScaleElementLT(exporter.sceneElement, &tag);
    const std::string measure =
        *c.measure ? std::string("<measure>") + c.measure + "</measure>" : "<measure></measure>";
    EXPECT_EQ(Scene(),
              (std::vector<std::string>{"<emission_scale><material_name>Lamp_mid0</material_name>" + measure +
                                            "<value>42.500000</value></emission_scale>",
                                        "<emission_scale><material_name>defaultLight</material_name>" +
                                            measure + "<value>100.000000</value></emission_scale>"}));
  }

  // Switched off, or no container: nothing.
  exporter.sceneElement->Clear();
  BaseContainer off;
  exporter.SceneExportEmissionScaleElement(exporter.sceneElement, &off, String("x"));
  exporter.SceneExportEmissionScaleElementLT(exporter.sceneElement, &off);
  exporter.SceneExportEmissionScaleElementLT(exporter.sceneElement, nullptr);
  EXPECT_TRUE(Scene().empty());
}

TEST_F(LightingTest, ScalingAndProfilesOfPluginMaterialsOnly) {
  BaseMaterial* host = Material(Mmaterial, "Host");
  BaseMaterial* lamp = Material(ID_CUSTOMORVANEMATERIAL, "Lamp");
  BaseMaterial* plain = Material(ID_CUSTOMORVANEMATERIAL, "Plain");
  BaseMaterial* noFile = Material(ID_CUSTOMORVANEMATERIAL, "NoFile");
  for (BaseMaterial* m : {host, lamp}) {
    BaseContainer* bc = m->GetDataInstance();
    bc->SetBool(MAT_EMISSION_SCALE, true);
    bc->SetLong(MAT_EMISSION_SCALE_MEASURE, MAT_MEASURE_LUMINOUS_FLUX);
    bc->SetReal(MAT_EMISSION_SCALE_VALUE, 800);
    bc->SetBool(MAT_USE_IES_PROFILE, true);
    bc->SetFilename(MAT_IES_PROFILE_FILE, Filename("/work/scenes/shot/ies/lamp.ies"));
  }
  noFile->GetDataInstance()->SetBool(MAT_USE_IES_PROFILE, true);

  std::vector<BaseMaterial*> materials{host, nullptr, lamp, plain, noFile};
  exporter.SceneExportLigthScaling(exporter.sceneElement, materials);
  EXPECT_EQ(Scene(), (std::vector<std::string>{
                         "<emission_scale><material_name>Lamp_mid1</material_name><measure>luminous_flux"
                         "</measure><value>800.000000</value></emission_scale>",
                         "<ies_profile><material_name>Lamp_mid1</material_name><path>ies/lamp.ies</path>"
                         "</ies_profile>"}));
}

TEST_F(LightingTest, LightTagProfileIsRelativeToTheScene) {
  BaseObject* light = Light();
  BaseTag* tag = light->MakeTag(ID_MYLIGHTTAG);
  BaseContainer* bc = tag->GetDataInstance();

  exporter.SceneExportLigthScalingLT(exporter.sceneElement, nullptr);
  exporter.SceneExportLigthScalingLT(exporter.sceneElement, tag);
  EXPECT_TRUE(Scene().empty()) << "a new tag scales nothing and has no profile";

  bc->SetBool(LIGHTTAG_IES, true);
  exporter.SceneExportLigthScalingLT(exporter.sceneElement, tag);
  EXPECT_TRUE(Scene().empty()) << "the profile switch without a file";

  bc->SetFilename(LIGHTTAG_IES_FILE, Filename("/work/scenes/lights/spot.ies"));
  bc->SetBool(LIGHTTAG_EMISSION_SCALE, true);
  exporter.SceneExportLigthScalingLT(exporter.sceneElement, tag);
  EXPECT_EQ(Scene(), (std::vector<std::string>{
                         "<emission_scale><material_name>defaultLight</material_name><measure>luminance"
                         "</measure><value>100.000000</value></emission_scale>",
                         "<ies_profile><material_name>defaultLight</material_name>"
                         "<path>../lights/spot.ies</path></ies_profile>"}));
}

TEST_F(LightingTest, WithoutRenderSettingsTheBackgroundIsUniform) {
  EXPECT_EQ(exporter.SceneExportLighting(), 1);
  EXPECT_EQ(Scene(),
            std::vector<std::string>{
                "<background><spectrum><uniform><value>1.000000</value></uniform></spectrum></background>"});
}

TEST_F(LightingTest, SunAndSkyWithAndWithoutLayersOfTheirOwn) {
  BaseContainer* rs = AddRenderSettings();
  rs->SetLong(RS_LIGHTING_MODE, RS_LIGHTING_MODE_SUNSKY);
  rs->SetReal(RS_TURBIDITY, 2.5);
  BaseObject* sun = BaseObject::Alloc(Olight);
  doc->InsertObject(sun, nullptr, nullptr);
  // Tilted: its Z axis points along +Y and a little along +X, and it is scaled.
  sun->SetMl(LMatrix(LVector(), LVector(0, 0, 2), LVector(2, 0, 0), LVector(0.5, 1, 0)));

  struct Case {
    const char* what;
    bool layers;
    bool linked;
    std::vector<std::string> scene;
    std::map<int, int> lightLayers;
  };
  const std::string layerName = "<layer_name><layer_name>";
  const Case cases[] = {
      {"own layers, no sun object",
       true,
       false,
       {layerName + "Sun</layer_name><layer_index>0</layer_index></layer_name>",
        layerName + "Sky</layer_name><layer_index>1</layer_index></layer_name>",
        "<skylight><sundir>1.000000 1.000000 1.000000</sundir><turbidity>2.500000</turbidity>"
        "<extra_atmospheric>false</extra_atmospheric><sun_layer>0</sun_layer><sky_layer>1</sky_layer>"
        "</skylight>"},
       {{-2, 0}, {-1, 1}}},
      {"one layer, with the sun object",
       false,
       true,
       {layerName + "Sun/Sky</layer_name><layer_index>0</layer_index></layer_name>",
        "<skylight><sundir>-0.500000 0.000000 -1.000000</sundir><turbidity>2.500000</turbidity>"
        "<extra_atmospheric>true</extra_atmospheric><sun_layer>0</sun_layer><sky_layer>0</sky_layer>"
        "</skylight>"},
       {{-1, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    exporter.sceneElement->Clear();
    exporter.sceneData->lightLayers.clear();
    rs->SetBool(RS_SUNSKY_LAYERS, c.layers);
    rs->SetBool(RS_EXTRA_ATMOSPHERIC, c.linked);
    rs->SetLink(RS_SUN_OBJECT, c.linked ? sun : nullptr);
    EXPECT_EQ(exporter.SceneExportLighting(), 1);
    EXPECT_EQ(Scene(), c.scene);
    EXPECT_EQ(exporter.sceneData->lightLayers, c.lightLayers);
  }

  // Light layers come after the sky's.
  EXPECT_EQ(exporter.sceneData->AddLightLayer(0), 1u) << "after the single sun/sky layer";
}

TEST_F(LightingTest, BackgroundMaterialMustBeAnEmittingPluginMaterial) {
  BaseContainer* rs = AddRenderSettings();
  EXPECT_EQ(exporter.SceneExportLighting(), 1) << "the default mode writes nothing";
  EXPECT_TRUE(Scene().empty());

  rs->SetLong(RS_LIGHTING_MODE, RS_LIGHTING_MODE_BACKGROUND);
  BaseMaterial* host = Material(Mmaterial, "Host");
  host->GetDataInstance()->SetBool(MAT_USE_EMISSION, true);
  BaseMaterial* dark = Material(ID_CUSTOMORVANEMATERIAL, "Dark");
  BaseMaterial* sky = Material(ID_CUSTOMORVANEMATERIAL, "Sky");
  sky->GetDataInstance()->SetBool(MAT_USE_EMISSION, true);
  for (BaseMaterial* m : {static_cast<BaseMaterial*>(nullptr), host, dark}) {
    rs->SetLink(RS_BACKGROUND_MATERIAL, m);
    EXPECT_EQ(exporter.SceneExportLighting(), 0);
    EXPECT_TRUE(Scene().empty());
  }
  // An emitting plug-in material is written as the background material.
  rs->SetLink(RS_BACKGROUND_MATERIAL, sky);
  host::ClearConsole();
  EXPECT_EQ(exporter.SceneExportLighting(), 1);
  const std::vector<std::string> scene = Scene();
  ASSERT_EQ(scene.size(), 1u);
  EXPECT_EQ(scene[0].rfind(
                "<background_settings><background_material><material><name>background_material</name>", 0),
            0u)
      << scene[0];
  EXPECT_TRUE(Console().empty());
}

}  // namespace
