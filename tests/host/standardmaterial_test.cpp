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

// Channel states: a new material's and a document file's, the host's default for a missing entry,
// and a copy's.
TEST_F(StandardMaterialTest, ChannelStatesFollowTheirEntriesAndTheHostsDefaults) {
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
  const struct {
    LONG channel;
    bool plain, glass;
  } channels[] = {{CHANNEL_COLOR, true, true},         {CHANNEL_LUMINANCE, false, false},
                  {CHANNEL_TRANSPARENCY, false, true}, {CHANNEL_REFLECTION, false, false},
                  {CHANNEL_BUMP, false, false},        {CHANNEL_ALPHA, false, false},
                  {CHANNEL_SPECULAR, true, false},     {CHANNEL_SPECULARCOLOR, false, false},
                  {CHANNEL_DISPLACEMENT, false, false}};
  for (const auto& c : channels) {
    SCOPED_TRACE(c.channel);
    EXPECT_EQ(plain->GetChannelState(c.channel), c.plain);
    EXPECT_EQ(plain->GetDataInstance()->GetBool(MATERIAL_USE_BASE + c.channel, !c.plain), c.plain);
    EXPECT_EQ(glass->GetChannelState(c.channel), c.glass);
  }
  EXPECT_EQ(glass->GetDataInstance()->GetVector(MATERIAL_COLOR_COLOR), LVector(1, 0, 0));
  EXPECT_DOUBLE_EQ(glass->GetDataInstance()->GetReal(MATERIAL_COLOR_BRIGHTNESS), 0.5);
  EXPECT_DOUBLE_EQ(glass->GetDataInstance()->GetReal(MATERIAL_TRANSPARENCY_REFRACTION), 1.33);
  EXPECT_DOUBLE_EQ(glass->GetDataInstance()->GetReal(MATERIAL_SPECULAR_WIDTH), 0.5);

  // Without an entry a channel falls back to the host's default; unknown channels are off.
  BaseContainer* bc = plain->GetDataInstance();
  bc->RemoveData(MATERIAL_USE_SPECULAR);
  bc->RemoveData(MATERIAL_USE_BUMP);
  EXPECT_TRUE(plain->GetChannelState(CHANNEL_SPECULAR));
  EXPECT_FALSE(plain->GetChannelState(CHANNEL_BUMP));
  EXPECT_FALSE(plain->GetChannelState(4));
  EXPECT_FALSE(plain->GetChannelState(-1));
  plain->SetChannelState(4, TRUE);
  EXPECT_EQ(bc->GetDataPointer(MATERIAL_USE_BASE + 4), nullptr);
  plain->SetChannelState(CHANNEL_BUMP, TRUE);
  plain->SetChannelState(CHANNEL_COLOR, FALSE);

  // A copy is a standard material with the same states.
  BaseMaterial* copy = static_cast<BaseMaterial*>(plain->GetClone());
  Material* standardCopy = dynamic_cast<Material*>(copy);
  ASSERT_NE(standardCopy, nullptr);
  EXPECT_TRUE(standardCopy->GetChannelState(CHANNEL_BUMP));
  EXPECT_FALSE(standardCopy->GetChannelState(CHANNEL_COLOR));
  BaseMaterial::Free(copy);
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

// A new plug-in material is named after its type; one from a document file without a name has none.
TEST_F(StandardMaterialTest, ANewPluginMaterialIsNamedAfterItsType) {
  ASSERT_TRUE(RegisterMaterialPlugin(kMaterialPlugin, "Recording", 0, RecordingMaterial::Alloc, "", 0));
  BaseMaterial* mat = BaseMaterial::Alloc(kMaterialPlugin);
  ASSERT_NE(mat, nullptr);
  EXPECT_EQ(mat->GetName(), String("Recording"));
  BaseMaterial::Free(mat);
  std::string error;
  BaseDocument* doc = host::LoadDocumentText(
      R"({"materials": [{"type": )" + std::to_string(kMaterialPlugin) + "}]}", "m.json", &error);
  ASSERT_NE(doc, nullptr) << error;
  EXPECT_EQ(doc->GetFirstMaterial()->GetName(), String());
  BaseDocument::Free(doc);
}

}  // namespace
