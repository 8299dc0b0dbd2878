// The container material in the host's renderer: it shades from its root node, grey without one,
// and forgets the root when the render ends.
#include <gtest/gtest.h>

#include "material/advancedorvanematerial.h"
#include "material/material_test_support.h"
#include "material/orvanecontainermaterial.h"

namespace {

constexpr LONG kRampShader = 1099011;  // answers (u, u, u)

struct RampShader : ShaderData {
  static NodeData* Alloc() { return new RampShader; }
  LVector Output(BaseShader*, ChannelData* cd) override { return LVector(cd->p.x, cd->p.x, cd->p.x); }
};

class ContainerShadingTest : public MaterialTest {
 protected:
  void SetUp() override {
    MaterialTest::SetUp();
    ASSERT_TRUE(RegisterAdvancedOrvaneMaterial());
    ASSERT_TRUE(RegisterOrvaneContainerMaterial());
    ASSERT_TRUE(RegisterShaderPlugin(kRampShader, "Ramp", 0, RampShader::Alloc, "", 0));
    mat = BaseMaterial::Alloc(ID_ORVANECONTAINERMATERIAL);
    doc->InsertMaterial(mat, nullptr);
    root = static_cast<BaseShader*>(mat->GetDataInstance()->GetLink(MAT_CONTAINER_ROOT, doc, Xbase));
    ASSERT_NE(root, nullptr);
    BaseContainer* data = root->GetDataInstance();
    data->SetVector(MAT_ALBEDO_COLOR + NODE_ID_OFFSET, LVector(1.0, 0.5, 0.0));
    data->SetReal(MAT_ALBEDO_BRIGHTNESS + NODE_ID_OFFSET, 0.8);
    vd.ray = &ray;
    vd.bumpn = LVector(0.0, 0.0, -1.0);
    vd.SetIllumination([](const VolumeData&, LVector* d, LVector* s, Real) {
      *d = LVector(0.5, 1.0, 1.0);
      *s = LVector(7.0, 7.0, 7.0);  // never used
    });
    vd.SetProjection([](TexData*, const RayHitID&, const LVector&, const LVector&, LVector* uvw) {
      *uvw = LVector(0.5, 0.0, 0.0);
      return TRUE;
    });
  }
  OrvaneContainerMaterial* Container() { return static_cast<OrvaneContainerMaterial*>(mat->GetNodeData()); }
  LONG Init() { return Container()->InitRender(mat, InitRenderStruct(doc)); }

  BaseMaterial* mat = nullptr;
  BaseShader* root = nullptr;
  Ray ray;
  VolumeData vd;
};

void ExpectNear(const LVector& a, const LVector& b) {
  EXPECT_NEAR(a.x, b.x, 1e-9);
  EXPECT_NEAR(a.y, b.y, 1e-9);
  EXPECT_NEAR(a.z, b.z, 1e-9);
}

TEST_F(ContainerShadingTest, ShadesFromTheRootAndForgetsItAfterTheRender) {
  struct Row {
    const char* what;
    bool shader;  // link a ramp shader as the root's albedo shader, mapped 2·v² + 0·v + 0.1
    bool noRoot;  // clear the root link
    LVector col;
  };
  const std::vector<Row> rows = {
      {"leaf root: its albedo colour", false, false, LVector(0.4, 0.4, 0.0)},  // (0.8, 0.4, 0) × d
      {"albedo shader mapped", true, false, LVector(0.3, 0.6, 0.6)},           // 2·0.25 + 0.1
      {"no root: grey 0.8", false, true, LVector(0.4, 0.8, 0.8)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    BaseContainer* data = root->GetDataInstance();
    data->SetLink(MAT_ALBEDO_SHADER + NODE_ID_OFFSET, nullptr);
    if (row.shader) {
      BaseShader* ramp = BaseShader::Alloc(kRampShader);
      root->InsertShader(ramp);
      data->SetLink(MAT_ALBEDO_SHADER + NODE_ID_OFFSET, ramp);
      data->SetReal(MAT_ALBEDO_TEX_A + NODE_ID_OFFSET, 2.0);
      data->SetReal(MAT_ALBEDO_TEX_B + NODE_ID_OFFSET, 0.0);
      data->SetReal(MAT_ALBEDO_TEX_C + NODE_ID_OFFSET, 0.1);
    }
    if (row.noRoot) mat->GetDataInstance()->SetLink(MAT_CONTAINER_ROOT, nullptr);
    const size_t lines = Console().size();
    ASSERT_EQ(Init(), INITRENDERRESULT_OK);
    EXPECT_EQ(Container()->RenderRoot(), row.noRoot ? nullptr : root);
    Container()->CalcSurface(mat, &vd);
    ExpectNear(vd.col, row.col);
    ExpectNear(vd.trans, LVector());
    EXPECT_EQ(Console().size(), lines);  // sampling prints nothing
    Container()->FreeRender(mat);
    EXPECT_EQ(Container()->RenderRoot(), nullptr);
  }
}

TEST_F(ContainerShadingTest, NodeSwitchesFollowTheType) {
  constexpr int O = NODE_ID_OFFSET;
  struct Row {
    LONG type;
    bool alpha, albedo, absorption, bump;
  };
  // Alpha only for blend; absorption layer left alone for specular and glossy, off otherwise;
  // bump left alone except for blend and null.
  const std::vector<Row> rows = {
      {MAT_TYPE_DIFFUSE, false, true, false, true},  {MAT_TYPE_PHONG, false, true, false, true},
      {MAT_TYPE_SPECULAR, false, false, true, true}, {MAT_TYPE_GLOSSY_TRANSPARENT, false, false, true, true},
      {MAT_TYPE_BLEND, true, false, false, false},   {MAT_TYPE_NULL, false, false, false, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.type);
    BaseContainer bc;
    for (int id : {MAT_USE_ALPHA, MAT_USE_ALBEDO, MAT_USE_ABSORPTION_LAYER, MAT_USE_BUMP})
      bc.SetBool(O + id, true);
    bc.SetLong(O + MAT_TYPE, O + row.type);
    AdvancedOrvaneMaterial::SetChannels(&bc);
    EXPECT_EQ(bc.GetBool(O + MAT_USE_ALPHA), row.alpha);
    EXPECT_EQ(bc.GetBool(O + MAT_USE_ALBEDO), row.albedo);
    EXPECT_EQ(bc.GetBool(O + MAT_USE_ABSORPTION_LAYER), row.absorption);
    EXPECT_EQ(bc.GetBool(O + MAT_USE_BUMP), row.bump);
    // The plug-in material's own IDs are untouched.
    EXPECT_EQ(bc.GetData(MAT_USE_ALBEDO).GetType(), DA_NIL);
  }
}

}  // namespace
