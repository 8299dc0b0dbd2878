// The host's standard material: its defaults, its channel states (also from document files),
// copies of it, the shaders a node owns, and plug-in data that knows its node.
#include <gtest/gtest.h>

#include <string>

#include "c4d.h"
#include "host_control.h"
#include "host_document_file.h"

namespace {

constexpr LONG kMaterialPlugin = 1000777;

// Plug-in data that records the node its Init was called for.
class RecordingMaterial : public MaterialData {
 public:
  static NodeData* Alloc() { return new RecordingMaterial; }
  Bool Init(GeListNode* node) override {
    seen = node;
    return true;
  }
  GeListNode* seen = nullptr;
};

class StandardMaterialTest : public ::testing::Test {
 protected:
  void SetUp() override { host::ResetAll(); }
  void TearDown() override { host::ResetAll(); }
};

TEST_F(StandardMaterialTest, ANewMaterialHoldsTheHostsDefaults) {
  BaseMaterial* mat = BaseMaterial::Alloc(Mmaterial);
  ASSERT_NE(mat, nullptr);
  Material* standard = dynamic_cast<Material*>(mat);
  ASSERT_NE(standard, nullptr);
  const BaseContainer* bc = mat->GetDataInstance();

  const struct {
    LONG channel;
    bool on;
  } channels[] = {{CHANNEL_COLOR, true},       {CHANNEL_LUMINANCE, false},     {CHANNEL_TRANSPARENCY, false},
                  {CHANNEL_REFLECTION, false}, {CHANNEL_BUMP, false},          {CHANNEL_ALPHA, false},
                  {CHANNEL_SPECULAR, true},    {CHANNEL_SPECULARCOLOR, false}, {CHANNEL_DISPLACEMENT, false}};
  for (const auto& c : channels) {
    EXPECT_EQ(standard->GetChannelState(c.channel), c.on) << c.channel;
    EXPECT_EQ(bc->GetBool(MATERIAL_USE_BASE + c.channel, !c.on), c.on) << c.channel;
  }

  const struct {
    LONG id;
    double value;
  } reals[] = {{MATERIAL_COLOR_BRIGHTNESS, 1.0},        {MATERIAL_LUMINANCE_BRIGHTNESS, 1.0},
               {MATERIAL_TRANSPARENCY_BRIGHTNESS, 1.0}, {MATERIAL_TRANSPARENCY_REFRACTION, 1.0},
               {MATERIAL_TRANSPARENCY_BLURRINESS, 0.0}, {MATERIAL_REFLECTION_BRIGHTNESS, 1.0},
               {MATERIAL_REFLECTION_BLURRINESS, 0.0},   {MATERIAL_SPECULAR_WIDTH, 0.5},
               {MATERIAL_SPECULAR_HEIGHT, 0.5},         {MATERIAL_BUMP_STRENGTH, 1.0},
               {MATERIAL_DISPLACEMENT_HEIGHT, 1.0}};
  for (const auto& r : reals) {
    ASSERT_NE(bc->GetDataPointer(r.id), nullptr) << r.id;
    EXPECT_DOUBLE_EQ(bc->GetReal(r.id, -1.0), r.value) << r.id;
  }
  EXPECT_EQ(bc->GetVector(MATERIAL_COLOR_COLOR), LVector(0.8));
  EXPECT_EQ(bc->GetVector(MATERIAL_LUMINANCE_COLOR), LVector(1.0));
  EXPECT_EQ(bc->GetVector(MATERIAL_TRANSPARENCY_COLOR), LVector(1.0));
  EXPECT_EQ(bc->GetLong(MATERIAL_ILLUMINATION_MODEL, -1), MATERIAL_ILLUMINATION_PHONG);
  EXPECT_EQ(bc->GetBool(MATERIAL_ALPHA_INVERT, TRUE), FALSE);
  EXPECT_EQ(bc->GetDataPointer(MATERIAL_COLOR_SHADER), nullptr);

  // Without an entry a channel falls back to the host's default; unknown channels are off.
  mat->GetDataInstance()->RemoveData(MATERIAL_USE_SPECULAR);
  mat->GetDataInstance()->RemoveData(MATERIAL_USE_BUMP);
  EXPECT_TRUE(standard->GetChannelState(CHANNEL_SPECULAR));
  EXPECT_FALSE(standard->GetChannelState(CHANNEL_BUMP));
  EXPECT_FALSE(standard->GetChannelState(4));
  EXPECT_FALSE(standard->GetChannelState(-1));
  standard->SetChannelState(4, TRUE);
  EXPECT_EQ(bc->GetDataPointer(MATERIAL_USE_BASE + 4), nullptr);
  standard->SetChannelState(CHANNEL_BUMP, TRUE);
  standard->SetChannelState(CHANNEL_COLOR, FALSE);
  EXPECT_TRUE(standard->GetChannelState(CHANNEL_BUMP));
  EXPECT_FALSE(standard->GetChannelState(CHANNEL_COLOR));

  // A copy is a standard material with the same states.
  BaseMaterial* copy = static_cast<BaseMaterial*>(mat->GetClone());
  Material* standardCopy = dynamic_cast<Material*>(copy);
  ASSERT_NE(standardCopy, nullptr);
  EXPECT_TRUE(standardCopy->GetChannelState(CHANNEL_BUMP));
  EXPECT_FALSE(standardCopy->GetChannelState(CHANNEL_COLOR));
  BaseMaterial::Free(copy);
  BaseMaterial::Free(mat);
}

TEST_F(StandardMaterialTest, DocumentFilesSetChannelsAndParameters) {
  std::string error;
  BaseDocument* doc = host::LoadDocumentText(
      R"({"materials": [{"name": "Glass", "parameters": {"3002": true, "3008": false, "2100": [1, 0, 0],
                                                        "2101": 0.5, "1005": 1.33}},
                        {"name": "Plain"}]})",
      "test", &error);
  ASSERT_NE(doc, nullptr) << error;
  Material* glass = static_cast<Material*>(doc->SearchMaterial(String("Glass")));
  Material* plain = static_cast<Material*>(doc->SearchMaterial(String("Plain")));
  ASSERT_NE(glass, nullptr);
  ASSERT_NE(plain, nullptr);
  EXPECT_TRUE(glass->GetChannelState(CHANNEL_TRANSPARENCY));
  EXPECT_FALSE(glass->GetChannelState(CHANNEL_SPECULAR));
  EXPECT_TRUE(glass->GetChannelState(CHANNEL_COLOR));
  EXPECT_EQ(glass->GetDataInstance()->GetVector(MATERIAL_COLOR_COLOR), LVector(1, 0, 0));
  EXPECT_DOUBLE_EQ(glass->GetDataInstance()->GetReal(MATERIAL_COLOR_BRIGHTNESS), 0.5);
  EXPECT_DOUBLE_EQ(glass->GetDataInstance()->GetReal(MATERIAL_TRANSPARENCY_REFRACTION), 1.33);
  EXPECT_DOUBLE_EQ(glass->GetDataInstance()->GetReal(MATERIAL_SPECULAR_WIDTH), 0.5);
  EXPECT_FALSE(plain->GetChannelState(CHANNEL_TRANSPARENCY));
  EXPECT_TRUE(plain->GetChannelState(CHANNEL_SPECULAR));
  EXPECT_EQ(plain->GetDataInstance()->GetVector(MATERIAL_COLOR_COLOR), LVector(0.8));
  BaseDocument::Free(doc);
}

TEST_F(StandardMaterialTest, ShadersAreInsertedUnderTheirNode) {
  BaseMaterial* mat = BaseMaterial::Alloc(Mmaterial);
  BaseShader* a = BaseShader::Alloc(Xbitmap);
  BaseShader* b = BaseShader::Alloc(Xbitmap);
  BaseShader* c = BaseShader::Alloc(Xbitmap);
  mat->InsertShader(a);
  mat->InsertShader(b);     // first without a predecessor
  mat->InsertShader(c, b);  // after b
  EXPECT_EQ(mat->GetDown(), b);
  EXPECT_EQ(b->GetNext(), c);
  EXPECT_EQ(c->GetNext(), a);
  for (BaseShader* s : {a, b, c}) EXPECT_EQ(s->GetUp(), mat);
  BaseMaterial::Free(mat);  // frees the shaders with it
}

TEST_F(StandardMaterialTest, PluginDataKnowsItsNode) {
  ASSERT_TRUE(RegisterMaterialPlugin(kMaterialPlugin, "Recording", 0, RecordingMaterial::Alloc, "", 0));
  BaseMaterial* mat = BaseMaterial::Alloc(kMaterialPlugin);
  ASSERT_NE(mat, nullptr);
  auto* data = static_cast<RecordingMaterial*>(mat->GetNodeData());
  EXPECT_EQ(data->seen, mat);
  EXPECT_EQ(data->Get(), mat);
  BaseMaterial* copy = static_cast<BaseMaterial*>(mat->GetClone());
  EXPECT_EQ(copy->GetNodeData()->Get(), copy);
  BaseMaterial::Free(copy);
  BaseMaterial::Free(mat);
  RecordingMaterial loose;
  EXPECT_EQ(loose.Get(), nullptr);
}

}  // namespace
