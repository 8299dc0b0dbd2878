// The gradient shader: its defaults, the exact OVL texts per direction and parameter for both
// return types, and the host values along u, v and radially.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "shader_scene.h"

namespace {

class OVLGradientTest : public ShaderSceneTest {};

TEST_F(OVLGradientTest, InitWritesTheDefaults) {
  BaseShader* sh = Make(ID_OVLGRADIENT);
  const BaseContainer* bc = sh->GetDataInstance();
  EXPECT_EQ(bc->GetLong(OVLGRADIENT_DIRECTION), OVLGRADIENT_DIRECTION_U);
  EXPECT_EQ(bc->GetReal(OVLGRADIENT_BRIGHTNESS, -1.0), 1.0);
  EXPECT_EQ(bc->GetVector(OVLGRADIENT_COLOR_A), LVector(1, 1, 1));
  EXPECT_EQ(bc->GetVector(OVLGRADIENT_COLOR_B, LVector(7, 7, 7)), LVector(0, 0, 0));
}

TEST_F(OVLGradientTest, OneTextPerParameterChange) {
  struct Case {
    LONG direction;
    double brightness;
    LVector a, b;
    OVLReturnType type;
    const char* text;
  } cases[] = {
      {OVLGRADIENT_DIRECTION_U, 1.0, LVector(1, 1, 1), LVector(0, 0, 0), OVL_RETURN_VEC3,
       "lerp(vec3(1.00000, 1.00000, 1.00000), vec3(0.00000, 0.00000, 0.00000), "
       "doti(getTexCoords(0))) * 1.00000"},
      {OVLGRADIENT_DIRECTION_U, 1.0, LVector(1, 1, 1), LVector(0, 0, 0), OVL_RETURN_REAL,
       "Vec3ToReal(lerp(vec3(1.00000, 1.00000, 1.00000), vec3(0.00000, 0.00000, 0.00000), "
       "doti(getTexCoords(0)))) * 1.00000"},
      {OVLGRADIENT_DIRECTION_V, 1.0, LVector(1, 1, 1), LVector(0, 0, 0), OVL_RETURN_VEC3,
       "lerp(vec3(1.00000, 1.00000, 1.00000), vec3(0.00000, 0.00000, 0.00000), "
       "dotj(getTexCoords(0))) * 1.00000"},
      {OVLGRADIENT_DIRECTION_RADIAL, 1.0, LVector(1, 1, 1), LVector(0, 0, 0), OVL_RETURN_REAL,
       "Vec3ToReal(lerp(vec3(1.00000, 1.00000, 1.00000), vec3(0.00000, 0.00000, 0.00000), "
       "length(vec2(0.5,0.5) - getTexCoords(0)) * 2.0 )) * 1.00000"},
      {OVLGRADIENT_DIRECTION_RADIAL, 1.0, LVector(1, 1, 1), LVector(0, 0, 0), OVL_RETURN_VEC3,
       "lerp(vec3(1.00000, 1.00000, 1.00000), vec3(0.00000, 0.00000, 0.00000), "
       "length(vec2(0.5,0.5) - getTexCoords(0)) * 2.0 ) * 1.00000"},
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
  BaseShader* sh = Make(ID_OVLGRADIENT);
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
