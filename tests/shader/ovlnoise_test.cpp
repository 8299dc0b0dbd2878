// The noise shader: the exact OVL texts of a new shader and per parameter change in both return
// types, the host evaluation in texture and position space, the interface enabling, and texts read
// without touching what a running render samples.
#include <gtest/gtest.h>

#include <string>

#include "main/helpers.h"
#include "shader/perlinnoise.h"
#include "shader_scene.h"

namespace {

class OVLNoiseTest : public ShaderSceneTest {
 protected:
  void SetUp() override {
    ShaderSceneTest::SetUp();
    sh = Make(ID_OVLNOISE);
    bc = sh->GetDataInstance();
  }
  BaseShader* sh = nullptr;
  BaseContainer* bc = nullptr;
};

const std::string kUV = "mulCompVec2(getTexCoords(0) * 10.0, vec2(1.00000, 1.00000))";
// White to black by `t`.
std::string Lerp(const std::string& t) {
  return "lerp(vec3(1.00000, 1.00000, 1.00000), vec3(0.00000, 0.00000, 0.00000), " + t + ")";
}

TEST_F(OVLNoiseTest, OneTextPerParameterChange) {
  struct Case {
    const char* what;
    void (*change)(BaseContainer*);
    OVLReturnType type;
    std::string text;
  } cases[] = {
      {"defaults", [](BaseContainer*) {}, OVL_RETURN_VEC3,
       "(" + Lerp("noise01(" + kUV + ")") + " * 1.00000)"},
      {"defaults real", [](BaseContainer*) {}, OVL_RETURN_REAL,
       "(Vec3ToReal(" + Lerp("noise01(" + kUV + ")") + ") * 1.00000)"},
      {"fBm", [](BaseContainer* c) { c->SetLong(OVLNOISE_TYPE, OVLNOISE_TYPE_FBM); }, OVL_RETURN_VEC3,
       "(" + Lerp("fbm01(" + kUV + ",8)") + " * 1.00000)"},
      {"unknown type", [](BaseContainer* c) { c->SetLong(OVLNOISE_TYPE, 4711); }, OVL_RETURN_REAL,
       "(Vec3ToReal(" + Lerp("noise01(" + kUV + ")") + ") * 1.00000)"},
      {"unknown space", [](BaseContainer* c) { c->SetLong(OVLNOISE_SPACE, 0); }, OVL_RETURN_VEC3,
       "(" + Lerp("noise01(" + kUV + ")") + " * 1.00000)"},
      {"scale in uv", [](BaseContainer* c) { c->SetVector(OVLNOISE_SCALE, LVector(2, 3, 4)); },
       OVL_RETURN_VEC3,
       "(" + Lerp("noise01(mulCompVec2(getTexCoords(0) * 10.0, vec2(2.00000, 3.00000)))") + " * 1.00000)"},
      {"grey", [](BaseContainer* c) { c->SetLong(OVLNOISE_COLOR_MODE, 1510); }, OVL_RETURN_VEC3,
       "(vec3(noise(" + kUV + ")) * 1.00000)"},
      {"grey real", [](BaseContainer* c) { c->SetLong(OVLNOISE_COLOR_MODE, 1510); }, OVL_RETURN_REAL,
       "(noise(" + kUV + ") * 1.00000)"},
      {"grey fBm",
       [](BaseContainer* c) {
         c->SetLong(OVLNOISE_COLOR_MODE, 0);
         c->SetLong(OVLNOISE_TYPE, OVLNOISE_TYPE_FBM);
       },
       OVL_RETURN_VEC3, "(vec3(fbm(" + kUV + ",8)) * 1.00000)"},
      {"colours",
       [](BaseContainer* c) {
         c->SetVector(OVLNOISE_COLOR_A, LVector(0.1, 0.2, 0.3));
         c->SetVector(OVLNOISE_COLOR_B, LVector(-1, 0.5, 2));
       },
       OVL_RETURN_VEC3,
       "(lerp(vec3(0.10000, 0.20000, 0.30000), vec3(-1.00000, 0.50000, 2.00000), noise01(" + kUV +
           ")) * 1.00000)"},
      {"fBm, grey, position, scale (1, 2, 3), brightness 0.5",
       [](BaseContainer* c) {
         c->SetLong(OVLNOISE_TYPE, OVLNOISE_TYPE_FBM);
         c->SetLong(OVLNOISE_COLOR_MODE, 1510);
         c->SetLong(OVLNOISE_SPACE, OVLNOISE_SPACE_POSITION);
         c->SetVector(OVLNOISE_SCALE, LVector(1, 2, 3));
         c->SetReal(OVLNOISE_BRIGHTNESS, 0.5);
       },
       OVL_RETURN_REAL, "(fbm(mulCompVec3(pos, vec3(1.00000, 3.00000, 2.00000)),8) * 0.50000)"},
      {"two colours in position, scale (2, 3, 4), brightness 0.25",
       [](BaseContainer* c) {
         c->SetLong(OVLNOISE_SPACE, OVLNOISE_SPACE_POSITION);
         c->SetVector(OVLNOISE_SCALE, LVector(2, 3, 4));
         c->SetReal(OVLNOISE_BRIGHTNESS, 0.25);
       },
       OVL_RETURN_VEC3,
       "(" + Lerp("noise01(mulCompVec3(pos, vec3(2.00000, 4.00000, 3.00000)))") + " * 0.25000)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BaseShader* s = Make(ID_OVLNOISE);
    c.change(s->GetDataInstance());
    const std::string text = Code(s, c.type);
    EXPECT_EQ(text, c.text);
    EXPECT_EQ(text.find('\n'), std::string::npos);
  }
}

TEST_F(OVLNoiseTest, HostValuesInTextureSpace) {
  // (0, 1, 0) is the noise's origin, a lattice point: the midpoint of A and B, or 0 in grey.
  bc->SetVector(OVLNOISE_SCALE, LVector(3, 5, 7));
  bc->SetReal(OVLNOISE_BRIGHTNESS, 2.0);
  bc->SetVector(OVLNOISE_COLOR_A, LVector(1, 0, 0.5));
  bc->SetVector(OVLNOISE_COLOR_B, LVector(0, 1, 0.25));
  sh->InitRender(nullptr);
  EXPECT_EQ(Sample(sh, LVector(0, 1, 0)), LVector(1.0, 1.0, 0.75));

  const LVector uvw(0.03, 0.2, 0.05);
  const double n = PerlinNoise::noise<double>(10.0 * 3 * 0.03, 10.0 * 5 * (1.0 - 0.2), 10.0 * 7 * 0.05);
  ASSERT_NE(n, 0.0);
  const double t = (n + 1.0) * 0.5;
  ExpectNear(Sample(sh, uvw), LVector((1 - t) * 2, t * 2, (0.5 - 0.25 * t) * 2));

  bc->SetLong(OVLNOISE_COLOR_MODE, 1510);  // grey: the raw noise, negative values kept
  bc->SetLong(OVLNOISE_TYPE, OVLNOISE_TYPE_FBM);
  sh->InitRender(nullptr);
  EXPECT_EQ(Sample(sh, LVector(0, 1, 0)), LVector(0, 0, 0));
  const double f = PerlinNoise::FBM<double>(10.0 * 3 * 0.03, 10.0 * 5 * (1.0 - 0.2), 10.0 * 7 * 0.05, 8);
  ExpectNear(Sample(sh, uvw), LVector(f * 2, f * 2, f * 2));
  sh->FreeRender();
}

TEST_F(OVLNoiseTest, HostValuesInPositionSpace) {
  bc->SetLong(OVLNOISE_SPACE, OVLNOISE_SPACE_POSITION);
  bc->SetLong(OVLNOISE_COLOR_MODE, 1510);
  bc->SetVector(OVLNOISE_SCALE, LVector(0.5, 0.25, 0.125));
  sh->InitRender(nullptr);
  const double k = Helpers::GetGlobalScale(Helpers::GetOrvaneRenderSettingsData(doc));
  VolumeData vd;
  vd.p = LVector(1.3, 2.9, -4.1);
  ChannelData cd;
  cd.p = LVector(0.1, 0.7, 0.0);
  cd.vd = &vd;
  // The noise's second axis is the host's z, its third the host's y.
  const double n = PerlinNoise::noise<double>(k * 0.5 * 1.3, k * 0.125 * -4.1, k * 0.25 * 2.9);
  ASSERT_NE(n, 0.0);
  EXPECT_EQ(sh->Sample(&cd), LVector(n, n, n));
  // Without the surface (a flat preview) the texture coordinate stands in.
  cd.vd = nullptr;
  const double m = PerlinNoise::noise<double>(10.0 * 0.5 * 0.1, 10.0 * 0.25 * (1.0 - 0.7), 0.0);
  EXPECT_EQ(sh->Sample(&cd), LVector(m, m, m));
}

TEST_F(OVLNoiseTest, ColoursAreEnabledOnlyInTwoColourMode) {
  OVLnoise* data = DataOf<OVLnoise>(sh);
  const GeData none;
  for (LONG mode : {LONG(OVLNOISE_COLOR_MODE_TWO_COLORS), LONG(1510), LONG(0)}) {
    bc->SetLong(OVLNOISE_COLOR_MODE, mode);
    const bool two = mode == OVLNOISE_COLOR_MODE_TWO_COLORS;
    EXPECT_EQ(data->GetDEnabling(sh, DescID(OVLNOISE_COLOR_A), none, 0, nullptr), two) << mode;
    EXPECT_EQ(data->GetDEnabling(sh, DescID(OVLNOISE_COLOR_B), none, 0, nullptr), two) << mode;
    for (LONG id : std::initializer_list<LONG>{OVLNOISE_TYPE, OVLNOISE_SPACE, OVLNOISE_SCALE,
                                               OVLNOISE_BRIGHTNESS, OVLNOISE_COLOR_MODE, 1520})
      EXPECT_TRUE(data->GetDEnabling(sh, DescID(id), none, 0, nullptr)) << id;
  }
  EXPECT_FALSE(data->GetDEnabling(nullptr, DescID(OVLNOISE_TYPE), none, 0, nullptr));
}

TEST_F(OVLNoiseTest, TextsFollowTheContainerWithoutDisturbingARender) {
  sh->InitRender(nullptr);
  const LVector before = Sample(sh, LVector(0, 1, 0));
  EXPECT_EQ(before, LVector(0.5, 0.5, 0.5));
  bc->SetVector(OVLNOISE_COLOR_A, LVector(0, 0, 1));
  EXPECT_EQ(Code(sh, OVL_RETURN_VEC3),
            "(lerp(vec3(0.00000, 0.00000, 1.00000), vec3(0.00000, 0.00000, 0.00000), "
            "noise01(mulCompVec2(getTexCoords(0) * 10.0, vec2(1.00000, 1.00000)))) * 1.00000)");
  // The render samples what it was prepared with until it is prepared again.
  EXPECT_EQ(Sample(sh, LVector(0, 1, 0)), before);
  sh->FreeRender();
  sh->InitRender(nullptr);
  EXPECT_EQ(Sample(sh, LVector(0, 1, 0)), LVector(0, 0, 0.5));
}

}  // namespace
