// The camera-normal shader: its text from the active view's camera (identity, rotated, moved),
// the identity without a document, and host values from the matrix captured at InitRender.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "c4d_basedraw.h"
#include "shader_scene.h"

namespace {

class OVLNormalTest : public ShaderSceneTest {
 protected:
  void SetCamera(const LMatrix& m) { doc->GetActiveBaseDraw()->GetEditorCamera()->SetMg(m); }
  static LVector Normal(BaseShader* sh, const LVector& n) {
    ChannelData cd;
    cd.n = n;
    return sh->Sample(&cd);
  }
};

const char kIdentity[] =
    "(mat3x3(1.00000000, 0.00000000, 0.00000000, 0.00000000, 1.00000000, 0.00000000, 0.00000000, "
    "0.00000000, 1.00000000) * normalise(normalWS()))";

TEST_F(OVLNormalTest, TextsFromTheActiveViewsCamera) {
  BaseShader* sh = Make(ID_OVLNORMAL);
  SetCamera(LMatrix());
  EXPECT_EQ(Code(sh, OVL_RETURN_VEC3), kIdentity);
  EXPECT_EQ(Code(sh, OVL_RETURN_REAL), std::string("Vec3ToReal(") + kIdentity + ")");
  // The camera's position has no effect.
  SetCamera(LMatrix(LVector(100, -20, 3), LVector(1, 0, 0), LVector(0, 1, 0), LVector(0, 0, 1)));
  EXPECT_EQ(Code(sh, OVL_RETURN_VEC3), kIdentity);
  // Axes X, Y, Z; nine numbers X.x Z.x Y.x, X.z Z.z Y.z, X.y Z.y Y.y.
  SetCamera(
      LMatrix(LVector(5, 5, 5), LVector(0.1, 0.2, 0.3), LVector(0.4, 0.5, 0.6), LVector(0.7, 0.8, -0.9)));
  EXPECT_EQ(Code(sh, OVL_RETURN_VEC3),
            "(mat3x3(0.10000000, 0.70000000, 0.40000000, 0.30000000, -0.90000000, 0.60000000, "
            "0.20000000, 0.80000000, 0.50000000) * normalise(normalWS()))");
}

TEST_F(OVLNormalTest, WithoutADocumentTheMatrixIsTheIdentity) {
  BaseShader* loose = BaseShader::Alloc(ID_OVLNORMAL);
  EXPECT_EQ(Code(loose, OVL_RETURN_VEC3), kIdentity);
  EXPECT_EQ(loose->InitRender(nullptr), INITRENDERRESULT_OK);
  ExpectNear(Normal(loose, LVector(0, 0, 2)), LVector(0, 1, 0));
  loose->FreeRender();
  BaseShader::Free(loose);
}

TEST_F(OVLNormalTest, HostValuesUseTheMatrixCapturedAtInitRender) {
  BaseShader* sh = Make(ID_OVLNORMAL);
  // A camera turned a quarter around y: X = (0, 0, -1), Y = (0, 1, 0), Z = (1, 0, 0).
  SetCamera(LMatrix(LVector(1, 2, 3), LVector(0, 0, -1), LVector(0, 1, 0), LVector(1, 0, 0)));
  ASSERT_EQ(sh->InitRender(nullptr), INITRENDERRESULT_OK);
  // n = (3, 0, 4): normalised and reordered (0.6, 0.8, -0) -> 0.6 X + 0.8 Y - 0 Z.
  ExpectNear(Normal(sh, LVector(3, 0, 4)), LVector(0, 0.8, -0.6));
  // n = (0, -2, 0): (0, 0, 1) -> Z.
  ExpectNear(Normal(sh, LVector(0, -2, 0)), LVector(1, 0, 0));
  EXPECT_EQ(Normal(sh, LVector(0, 0, 0)), LVector(0, 0, 0));
  // Moving the camera during the render changes nothing sampled.
  SetCamera(LMatrix());
  ExpectNear(Normal(sh, LVector(0, -2, 0)), LVector(1, 0, 0));
  sh->FreeRender();
  ASSERT_EQ(sh->InitRender(nullptr), INITRENDERRESULT_OK);
  ExpectNear(Normal(sh, LVector(0, -2, 0)), LVector(0, 0, 1));
  sh->FreeRender();
}

}  // namespace
