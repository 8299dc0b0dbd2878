// The material's host messages: forwarding to the albedo shader, channel switches after a change,
// marking of blend partners and their replacement.
#include <gtest/gtest.h>

#include <vector>

#include "host_undo.h"
#include "material_test_support.h"

namespace {

constexpr LONG kListeningShader = 1099101;
std::vector<LONG> g_heard;

struct ListeningShader : ShaderData {
  static NodeData* Alloc() { return new ListeningShader; }
  Bool Message(GeListNode*, LONG type, void*) override {
    g_heard.push_back(type);
    return true;
  }
};

constexpr LONG kMark = 0x40000004;
constexpr LONG kMarkBit = 4;

class MessageTest : public MaterialTest {};

TEST_F(MessageTest, EveryMessageReachesTheAlbedoShaderOnlyAndAChangeSetsTheSwitches) {
  ASSERT_TRUE(RegisterShaderPlugin(kListeningShader, "Listening", 0, ListeningShader::Alloc, "", 0));
  g_heard.clear();
  BaseMaterial* mat = Add("M");
  BaseContainer* bc = mat->GetDataInstance();
  BaseShader* albedo = BaseShader::Alloc(kListeningShader);
  BaseShader* bump = BaseShader::Alloc(kListeningShader);
  mat->InsertShader(albedo);
  mat->InsertShader(bump);
  bc->SetLink(MAT_ALBEDO_SHADER, albedo);
  bc->SetLink(MAT_BUMP_SHADER, bump);
  EXPECT_TRUE(mat->Message(1234));
  bc->SetLong(MAT_TYPE, MAT_TYPE_PHONG);
  EXPECT_FALSE(bc->GetBool(MAT_USE_EXPONENT));
  EXPECT_TRUE(mat->Message(20));
  EXPECT_EQ(g_heard, (std::vector<LONG>{1234, 20}));
  EXPECT_TRUE(bc->GetBool(MAT_USE_EXPONENT));
  EXPECT_TRUE(bc->GetBool(MAT_SHOW_PHONG));
}

TEST_F(MessageTest, MarkingFollowsTypeAndAlphaSwitch) {
  const struct {
    LONG type;
    Bool alpha;
    bool a, b;
  } kTable[] = {
      {MAT_TYPE_BLEND, FALSE, true, true},
      {MAT_TYPE_DIFFUSE, FALSE, false, false},
      {MAT_TYPE_DIFFUSE, TRUE, true, false},
      {MAT_TYPE_NULL, TRUE, true, false},
  };
  BaseMaterial* a = Add("A");
  BaseMaterial* b = Add("B");
  for (const auto& row : kTable) {
    a->DelBit(kMarkBit);
    b->DelBit(kMarkBit);
    a->SetBit(BIT_ACTIVE);
    BaseMaterial* mat = Add("M", row.type);
    mat->GetDataInstance()->SetBool(MAT_USE_ALPHA, row.alpha);
    mat->GetDataInstance()->SetLink(MAT_BLEND_A, a);
    mat->GetDataInstance()->SetLink(MAT_BLEND_B, b);
    EXPECT_TRUE(mat->Message(kMark, nullptr));
    EXPECT_EQ(a->GetBit(kMarkBit) != 0, row.a) << row.type;
    EXPECT_EQ(b->GetBit(kMarkBit) != 0, row.b) << row.type;
    EXPECT_TRUE(a->GetBit(BIT_ACTIVE));  // other bits stay
  }
}

TEST_F(MessageTest, ReplacementRepointsBothPartnerLinks) {
  BaseMaterial* old = Add("Old");
  BaseMaterial* other = Add("Other");
  BaseMaterial* fresh = Add("New");
  BaseMaterial* mat = Add("M", MAT_TYPE_BLEND);
  BaseContainer* bc = mat->GetDataInstance();
  bc->SetLink(MAT_BLEND_A, old);
  bc->SetLink(MAT_BLEND_B, old);
  BaseMaterial* pair[2] = {old, fresh};
  const size_t before = host::UndoSteps(doc).size();
  EXPECT_TRUE(mat->Message(kMark, pair));
  EXPECT_EQ(bc->GetLink(MAT_BLEND_A, doc), fresh);
  EXPECT_EQ(bc->GetLink(MAT_BLEND_B, doc), fresh);
  // One undo step per link: undoing the last one gives partner b back alone, then partner a.
  ASSERT_EQ(host::UndoSteps(doc).size(), before + 2);
  EXPECT_FALSE(host::UndoStepOpen(doc));
  ASSERT_TRUE(doc->DoUndo());
  EXPECT_EQ(bc->GetLink(MAT_BLEND_A, doc), fresh);
  EXPECT_EQ(bc->GetLink(MAT_BLEND_B, doc), old);
  ASSERT_TRUE(doc->DoUndo());
  EXPECT_EQ(bc->GetLink(MAT_BLEND_A, doc), old);
  EXPECT_TRUE(mat->Message(kMark, pair));

  bc->SetLink(MAT_BLEND_B, other);
  BaseMaterial* back[2] = {fresh, old};
  EXPECT_TRUE(mat->Message(kMark, back));
  EXPECT_EQ(bc->GetLink(MAT_BLEND_A, doc), old);
  EXPECT_EQ(bc->GetLink(MAT_BLEND_B, doc), other);
  EXPECT_EQ(host::UndoSteps(doc).size(), before + 3);

  // Outside a document nothing changes.
  BaseMaterial* loose = BaseMaterial::Alloc(ID_CUSTOMORVANEMATERIAL);
  loose->GetDataInstance()->SetLink(MAT_BLEND_A, old);
  EXPECT_TRUE(loose->Message(kMark, back));
  BaseMaterial::Free(loose);
}

}  // namespace
