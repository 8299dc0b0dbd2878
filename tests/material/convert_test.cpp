// Conversion of host standard materials into the plug-in material: the model each combination of
// host channels gives, the values taken over, and the shaders copied.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "c4d.h"
#include "host_document_file.h"
#include "material/customorvanematerial.h"
#include "support/host_fixture.h"

namespace {

class ConvertTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    ASSERT_TRUE(RegisterCustomOrvaneMaterial());
  }
  void TearDown() override {
    BaseDocument::Free(doc);
    HostTest::TearDown();
  }
  // A document holding the standard material "Host" with `parameters` (JSON members), then a new
  // plug-in material that receives the conversion.
  void Load(const std::string& parameters) {
    BaseDocument::Free(doc);
    std::string error;
    doc = host::LoadDocumentText(
        R"({"materials": [{"type": 5703, "name": "Host", "parameters": {)" + parameters + "}}]}", "test",
        &error);
    ASSERT_NE(doc, nullptr) << error;
    src = doc->GetFirstMaterial();
    target = BaseMaterial::Alloc(ID_CUSTOMORVANEMATERIAL);
    ASSERT_NE(target, nullptr);
    doc->InsertMaterial(target, src);
    plugin = static_cast<CustomOrvaneMaterial*>(target->GetNodeData());
    data = target->GetDataInstance();
  }
  // A bitmap shader under the host material, in its link `id`.
  BaseShader* HostShader(LONG id) {
    BaseShader* sh = BaseShader::Alloc(Xbitmap);
    sh->GetDataInstance()->SetFilename(BITMAPSHADER_FILENAME,
                                       Filename("/tex/" + std::to_string(id) + ".png"));
    sh->InsertUnderLast(src);
    src->GetDataInstance()->SetLink(id, sh);
    return sh;
  }
  // The copy in the target's link `id`: a shader of the target, not the host's own.
  BaseShader* Copied(LONG id) { return static_cast<BaseShader*>(data->GetLink(id, doc, Xbase)); }
  std::vector<BaseMaterial*> Materials() const {
    std::vector<BaseMaterial*> out;
    for (BaseMaterial* m = doc->GetFirstMaterial(); m; m = m->GetNext()) out.push_back(m);
    return out;
  }

  BaseDocument* doc = nullptr;
  BaseMaterial* src = nullptr;
  BaseMaterial* target = nullptr;
  CustomOrvaneMaterial* plugin = nullptr;
  BaseContainer* data = nullptr;
};

TEST_F(ConvertTest, TheModelAndItsValuesForEachBranch) {
  struct Case {
    const char* what;
    std::string parameters;
    int type;
    double exponent, exponentTexB, phongIor, mediumIor;
    LVector albedo;
    double brightness;
    bool useAlbedo, useExponent, showMedium;
  } cases[] = {
      {"glossy transparency", R"("3002": true, "8020": 0.5, "1005": 1.33, "2400": [1, 1, 1], "2401": 1.0)",
       MAT_TYPE_GLOSSY_TRANSPARENT, 2525.0, 15.0, 1.6, 1.33, LVector(1.0), 0.8, false, true, true},
      {"sharp transparency", R"("3002": true, "8020": 0.0, "1005": 1.5)", MAT_TYPE_SPECULAR, 1000.0, 1.0, 1.6,
       1.5, LVector(1.0), 0.8, false, false, true},
      {"transparency wins", R"("3002": true, "3003": true, "3008": true, "2100": [1, 0, 0])",
       MAT_TYPE_SPECULAR, 1000.0, 1.0, 1.6, 1.0, LVector(1.0), 0.8, false, false, true},
      {"sharp reflection", R"("3003": true, "2501": 0.5, "8021": 0.0, "2100": [1, 0, 0], "2101": 0.5)",
       MAT_TYPE_PHONG, 100000.0, 15.0, 3.5, 1.6, LVector(1, 0, 0), 0.5, true, true, false},
      {"blurred reflection", R"("3003": true, "2501": 0.0, "8021": 0.2)", MAT_TYPE_PHONG, 4025.0, 15.0, 1.0,
       1.6, LVector(0.8), 1.0, true, true, false},
      {"specular", R"("1016": 0.5, "1017": 0.71, "2100": [0, 0, 1], "2101": 2.0)", MAT_TYPE_PHONG, 62.5, 15.0,
       1.5, 1.6, LVector(0, 0, 1), 2.0, true, true, false},
      {"host defaults", "", MAT_TYPE_PHONG, 62.5, 15.0, 1.0 + 0.5 / 1.42, 1.6, LVector(0.8), 1.0, true, true,
       false},
      {"oren-nayar", R"("3008": false, "1134": 2, "2100": [0, 1, 0])", MAT_TYPE_OREN_NAYAR, 1000.0, 1.0, 1.6,
       1.6, LVector(0, 1, 0), 1.0, true, false, false},
      {"diffuse", R"("3008": false, "1134": 1)", MAT_TYPE_DIFFUSE, 1000.0, 1.0, 1.6, 1.6, LVector(0.8), 1.0,
       true, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Load(c.parameters);
    const std::vector<BaseMaterial*> before = Materials();
    EXPECT_TRUE(plugin->ConvertBaseMaterial(src));
    EXPECT_EQ(Materials(), before);
    EXPECT_EQ(target->GetName(), String("Host"));
    EXPECT_EQ(data->GetLong(MAT_TYPE), c.type);
    EXPECT_DOUBLE_EQ(data->GetReal(MAT_EXPONENT), c.exponent);
    EXPECT_DOUBLE_EQ(data->GetReal(MAT_EXPONENT_TEX_B), c.exponentTexB);
    EXPECT_NEAR(data->GetReal(MAT_PHONG_IOR), c.phongIor, 1e-12);
    EXPECT_DOUBLE_EQ(data->GetReal(MAT_MEDIUM_IOR), c.mediumIor);
    EXPECT_EQ(data->GetVector(MAT_ALBEDO_COLOR), c.albedo);
    EXPECT_DOUBLE_EQ(data->GetReal(MAT_ALBEDO_BRIGHTNESS), c.brightness);
    EXPECT_EQ(data->GetBool(MAT_USE_ALBEDO), c.useAlbedo);
    EXPECT_EQ(data->GetBool(MAT_USE_EXPONENT), c.useExponent);
    EXPECT_EQ(data->GetBool(MAT_SHOW_MEDIUM), c.showMedium);
  }
}

TEST_F(ConvertTest, ChannelShadersAreCopiedWhereTheirChannelsAllow) {
  struct Case {
    const char* what;
    std::string parameters;
    std::vector<LONG> hostLinks;
    std::vector<LONG> copiedTo;  // target links that hold a copy afterwards
  } cases[] = {
      {"albedo of a diffuse", R"("3008": false)", {MATERIAL_COLOR_SHADER}, {MAT_ALBEDO_SHADER}},
      {"no albedo for a transparency", R"("3002": true)", {MATERIAL_COLOR_SHADER}, {}},
      {"alpha whatever the channels", R"("3007": false)", {MATERIAL_ALPHA_SHADER}, {MAT_ALPHA_SHADER}},
      {"no alpha for a transparency", R"("3002": true, "8020": 0.5)", {MATERIAL_ALPHA_SHADER}, {}},
      {"specular of a phong", R"("3009": true)", {MATERIAL_SPECULARCOLOR_SHADER}, {MAT_EXPONENT_SHADER}},
      {"specular colour switched off", R"("3009": false)", {MATERIAL_SPECULARCOLOR_SHADER}, {}},
      {"specular colour of a diffuse", R"("3008": false, "3009": true)", {MATERIAL_SPECULARCOLOR_SHADER}, {}},
      {"luminance", R"("3001": true)", {MATERIAL_LUMINANCE_SHADER}, {MAT_EMISSION_SHADER}},
      {"bump, displacement",
       R"("3006": true, "3011": true)",
       {MATERIAL_BUMP_SHADER, MATERIAL_DISPLACEMENT_SHADER},
       {MAT_BUMP_SHADER, MAT_DISPLACEMENT_SHADER}},
      {"bump and displacement off", "", {MATERIAL_BUMP_SHADER, MATERIAL_DISPLACEMENT_SHADER}, {}},
  };
  const LONG targetLinks[] = {MAT_ALBEDO_SHADER,   MAT_ALPHA_SHADER, MAT_EXPONENT_SHADER,
                              MAT_EMISSION_SHADER, MAT_BUMP_SHADER,  MAT_DISPLACEMENT_SHADER};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Load(c.parameters);
    std::vector<BaseShader*> originals;
    for (LONG id : c.hostLinks) originals.push_back(HostShader(id));
    plugin->ConvertBaseMaterial(src);
    for (LONG id : targetLinks) {
      const bool expected = std::find(c.copiedTo.begin(), c.copiedTo.end(), id) != c.copiedTo.end();
      BaseShader* copy = Copied(id);
      EXPECT_EQ(copy != nullptr, expected) << id;
      if (!copy) continue;
      EXPECT_EQ(copy->GetUp(), target);
      EXPECT_EQ(copy->GetType(), Xbitmap);
      for (BaseShader* original : originals) EXPECT_NE(copy, original);
    }
    // The host material keeps its own shaders.
    for (size_t i = 0; i < originals.size(); ++i) {
      EXPECT_EQ(src->GetDataInstance()->GetLink(c.hostLinks[i], doc), originals[i]);
      EXPECT_EQ(originals[i]->GetUp(), src);
    }
  }
}

TEST_F(ConvertTest, ValuesThatGoWithTheChannels) {
  // Transparency becomes the absorption of the medium.
  Load(R"("3002": true, "2400": [0.25, 0.5, 1], "2401": 0.3)");
  plugin->ConvertBaseMaterial(src);
  EXPECT_EQ(data->GetLong(MAT_ABSORPTION_SPECTRUM), MAT_SPECTRUM_RGB);
  EXPECT_EQ(data->GetVector(MAT_ABSORPTION_COLOR), LVector(0.25, 0.5, 1));
  EXPECT_DOUBLE_EQ(data->GetReal(MAT_ABSORPTION_SCALE), 3.0);

  // Luminance switches the emission on with or without a shader.
  Load(R"("3001": true, "2300": [1, 0.5, 0], "2301": 3.0)");
  plugin->ConvertBaseMaterial(src);
  EXPECT_TRUE(data->GetBool(MAT_USE_EMISSION));
  EXPECT_EQ(data->GetLong(MAT_EMISSION_SPECTRUM), MAT_SPECTRUM_RGB);
  EXPECT_EQ(data->GetVector(MAT_EMISSION_COLOR), LVector(1, 0.5, 0));
  EXPECT_DOUBLE_EQ(data->GetReal(MAT_EMISSION_BRIGHTNESS), 3.0);

  // Bump and displacement need a shader; their strength is taken with it.
  Load(R"("3006": true, "3011": true, "1009": 0.5, "1025": 20.0)");
  plugin->ConvertBaseMaterial(src);
  EXPECT_FALSE(data->GetBool(MAT_USE_BUMP));
  EXPECT_FALSE(data->GetBool(MAT_USE_DISPLACEMENT));
  EXPECT_DOUBLE_EQ(data->GetReal(MAT_BUMP_TEX_B), 0.001);
  EXPECT_DOUBLE_EQ(data->GetReal(MAT_DISPLACEMENT_TEX_B), 0.001);
  Load(R"("3006": true, "3011": true, "1009": 0.5, "1025": 20.0)");
  HostShader(MATERIAL_BUMP_SHADER);
  HostShader(MATERIAL_DISPLACEMENT_SHADER);
  plugin->ConvertBaseMaterial(src);
  EXPECT_TRUE(data->GetBool(MAT_USE_BUMP));
  EXPECT_TRUE(data->GetBool(MAT_USE_DISPLACEMENT));
  EXPECT_DOUBLE_EQ(data->GetReal(MAT_BUMP_TEX_B), 0.005);
  EXPECT_DOUBLE_EQ(data->GetReal(MAT_DISPLACEMENT_TEX_B), 0.2);

  // The alpha: inverted texture values unless the host inverts already.
  for (bool invert : {false, true}) {
    Load(invert ? R"("1014": true)" : "");
    HostShader(MATERIAL_ALPHA_SHADER);
    plugin->ConvertBaseMaterial(src);
    EXPECT_TRUE(data->GetBool(MAT_USE_ALPHA));
    EXPECT_DOUBLE_EQ(data->GetReal(MAT_ALPHA_TEX_B), invert ? 1.0 : -1.0);
    EXPECT_DOUBLE_EQ(data->GetReal(MAT_ALPHA_TEX_C), invert ? 0.0 : 1.0);
  }
}

TEST_F(ConvertTest, GuardsAndOtherMaterialTypes) {
  Load(R"("3002": true)");
  EXPECT_FALSE(plugin->ConvertBaseMaterial(nullptr));

  // A source outside any document changes nothing.
  BaseMaterial* loose = BaseMaterial::Alloc(Mmaterial);
  loose->SetName(String("Loose"));
  static_cast<Material*>(loose)->SetChannelState(CHANNEL_TRANSPARENCY, TRUE);
  EXPECT_FALSE(plugin->ConvertBaseMaterial(loose));
  EXPECT_EQ(target->GetName(), String("Orvane Material"));  // the name it was made with
  EXPECT_EQ(data->GetLong(MAT_TYPE), MAT_TYPE_DIFFUSE);
  BaseMaterial::Free(loose);

  // Plug-in data that belongs to no material converts nothing.
  CustomOrvaneMaterial detached;
  EXPECT_FALSE(detached.ConvertBaseMaterial(src));

  // A material of another type lends its name only.
  BaseMaterial* other = BaseMaterial::Alloc(ID_CUSTOMORVANEMATERIAL);
  other->SetName(String("Other"));
  other->GetDataInstance()->SetLong(MAT_TYPE, MAT_TYPE_SPECULAR);
  doc->InsertMaterial(other);
  const BaseContainer before = *data;
  EXPECT_TRUE(plugin->ConvertBaseMaterial(other));
  EXPECT_EQ(target->GetName(), String("Other"));
  EXPECT_EQ(data->GetLong(MAT_TYPE), MAT_TYPE_DIFFUSE);
  EXPECT_EQ(data->GetCount(), before.GetCount());
}

}  // namespace
