// The gradient shader: its OVL texts per parameter, and the host values along u, v and radially
// (starting from the defaults a new shader holds).
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "shader_scene.h"

namespace {

class OVLGradientTest : public ShaderSceneTest {};

// The texts of the default gradient along u, v and radially are pinned inside the blend and
// export tests; these are the fall-back direction and the other parameters.
TEST_F(OVLGradientTest, TextsFollowTheParameters) {
  struct Case {
    LONG direction;
    double brightness;
    LVector a, b;
    OVLReturnType type;
    const char* text;
  } cases[] = {
      {1234, 1.0, LVector(1, 1, 1), LVector(0, 0, 0), OVL_RETURN_VEC3,
       "lerp(vec3(1.00000, 1.00000, 1.00000), vec3(0.00000, 0.00000, 0.00000), "
       "doti(getTexCoords(0))) * 1.00000"},
      {OVLGRADIENT_DIRECTION_U, 0.75, LVector(1, 1, 1), LVector(0, 0, 0), OVL_RETURN_VEC3,
       "lerp(vec3(1.00000, 1.00000, 1.00000), vec3(0.00000, 0.00000, 0.00000), "
       "doti(getTexCoords(0))) * 0.75000"},
      {OVLGRADIENT_DIRECTION_V, -2.5, LVector(0.2, 0.4, 0.6), LVector(1.5, -0.5, 0.125), OVL_RETURN_REAL,
       "Vec3ToReal(lerp(vec3(0.20000, 0.40000, 0.60000), vec3(1.50000, -0.50000, 0.12500), "
       "dotj(getTexCoords(0)))) * -2.50000"},
  };
  for (const Case& c : cases) {
    BaseShader* sh = Make(ID_OVLGRADIENT);
    BaseContainer* bc = sh->GetDataInstance();
    bc->SetLong(OVLGRADIENT_DIRECTION, c.direction);
    bc->SetReal(OVLGRADIENT_BRIGHTNESS, c.brightness);
    bc->SetVector(OVLGRADIENT_COLOR_A, c.a);
    bc->SetVector(OVLGRADIENT_COLOR_B, c.b);
    EXPECT_EQ(Code(sh, c.type), c.text) << c.direction << " " << c.type;
  }
}

TEST_F(OVLGradientTest, HostValues) {
  BaseShader* sh = Make(ID_OVLGRADIENT);  // a new one: white to black along u, brightness 1
  BaseContainer* bc = sh->GetDataInstance();
  sh->InitRender(nullptr);
  EXPECT_EQ(Sample(sh, LVector(0, 0.9, 0)), LVector(1, 1, 1));
  EXPECT_EQ(Sample(sh, LVector(1, 0.1, 0)), LVector(0, 0, 0));
  EXPECT_EQ(Sample(sh, LVector(0.25, 0.6, 0)), LVector(0.75, 0.75, 0.75));
  EXPECT_EQ(Sample(sh, LVector(1.5, 0, 0)), LVector(-0.5, -0.5, -0.5));  // not clamped

  bc->SetLong(OVLGRADIENT_DIRECTION, OVLGRADIENT_DIRECTION_V);
  bc->SetReal(OVLGRADIENT_BRIGHTNESS, 2.0);
  bc->SetVector(OVLGRADIENT_COLOR_A, LVector(0, 0.5, 1));
  bc->SetVector(OVLGRADIENT_COLOR_B, LVector(1, 0.5, 0));
  sh->InitRender(nullptr);
  EXPECT_EQ(Sample(sh, LVector(0.9, 0.25, 0)), LVector(0.5, 1.0, 1.5));

  bc->SetLong(OVLGRADIENT_DIRECTION, OVLGRADIENT_DIRECTION_RADIAL);
  bc->SetReal(OVLGRADIENT_BRIGHTNESS, 1.0);
  bc->SetVector(OVLGRADIENT_COLOR_A, LVector(1, 1, 1));
  bc->SetVector(OVLGRADIENT_COLOR_B, LVector(0, 0, 0));
  sh->InitRender(nullptr);
  EXPECT_EQ(Sample(sh, LVector(0.5, 0.5, 0)), LVector(1, 1, 1));
  const double corner = 1.0 - 2.0 * std::sqrt(0.5);  // t = 1.41421..., beyond colour B
  ExpectNear(Sample(sh, LVector(0, 0, 0)), LVector(corner, corner, corner));
  // The host also counts w.
  EXPECT_EQ(Sample(sh, LVector(0.5, 0.5, 0.25)), LVector(0.5, 0.5, 0.5));
  sh->FreeRender();
}

}  // namespace
