// A test fixture for the generated OVL shaders: every shader registered, and a document with one
// material that holds the shaders a test makes, so that links between them resolve.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "c4d.h"
#include "shader/ovlblend.h"
#include "shader/ovlgradient.h"
#include "shader/ovlnoise.h"
#include "shader/ovlnormal.h"
#include "shader/ovlshader.h"
#include "support/host_fixture.h"

class ShaderSceneTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    ASSERT_TRUE(RegisterOVL());
    ASSERT_TRUE(RegisterOVLnoise());
    ASSERT_TRUE(RegisterOVLblend());
    ASSERT_TRUE(RegisterOVLgradient());
    ASSERT_TRUE(RegisterOVLnormal());
    doc = BaseDocument::Alloc();
    holder = BaseMaterial::Alloc(Mmaterial);
    doc->InsertMaterial(holder);
  }
  void TearDown() override {
    BaseDocument::Free(doc);
    HostTest::TearDown();
  }
  /// A new shader of `type` inside the document.
  BaseShader* Make(LONG type) {
    BaseShader* sh = BaseShader::Alloc(type);
    EXPECT_NE(sh, nullptr) << type;
    if (sh) holder->InsertShader(sh);
    return sh;
  }
  template <typename Data>
  static Data* DataOf(BaseShader* sh) {
    return dynamic_cast<Data*>(sh->GetNodeData());
  }
  static OVLShaderData* Generated(BaseShader* sh) { return DataOf<OVLShaderData>(sh); }
  static std::string Code(BaseShader* sh, OVLReturnType type) { return Generated(sh)->GetShaderCode(type); }
  static LVector Sample(BaseShader* sh, const LVector& uvw) {
    ChannelData cd;
    cd.p = uvw;
    return sh->Sample(&cd);
  }
  static void Link(BaseShader* blend, LONG id, BaseShader* child) {
    blend->GetDataInstance()->SetLink(id, child);
  }

  BaseDocument* doc = nullptr;
  BaseMaterial* holder = nullptr;
};

/// Expects two colours to be equal within `eps` per component.
inline void ExpectNear(const LVector& a, const LVector& b, double eps = 1e-12) {
  EXPECT_NEAR(a.x, b.x, eps);
  EXPECT_NEAR(a.y, b.y, eps);
  EXPECT_NEAR(a.z, b.z, eps);
}
