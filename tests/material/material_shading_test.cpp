// The plug-in material in the host's renderer and viewport: colours, refraction, reflection,
// emission and transparency of surface samples, and the viewport image with its alpha.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#include "material_test_support.h"

namespace {

constexpr LONG kGreyShader = 1099001;     // answers a fixed colour, counts its renders
constexpr LONG kFailingShader = 1099002;  // cannot render

std::atomic<int> g_inits{0}, g_frees{0};
LVector g_grey(0.5, 0.5, 0.5);

struct GreyShader : ShaderData {
  static NodeData* Alloc() { return new GreyShader; }
  LONG InitRender(BaseShader*, InitRenderStruct*) override {
    ++g_inits;
    return INITRENDERRESULT_OK;
  }
  void FreeRender(BaseShader*) override { ++g_frees; }
  LVector Output(BaseShader*, ChannelData* cd) override {
    // The u coordinate brightens the right half, so that pixels can be told apart.
    return cd->p.x >= 0.5 ? g_grey * 2.0 : g_grey;
  }
};
struct FailingShader : ShaderData {
  static NodeData* Alloc() { return new FailingShader; }
  LONG InitRender(BaseShader*, InitRenderStruct*) override { return INITRENDERRESULT_ASSETMISSING; }
  LVector Output(BaseShader*, ChannelData*) override { return LVector(9.0, 9.0, 9.0); }
};

class ShadingTest : public MaterialTest {
 protected:
  void SetUp() override {
    MaterialTest::SetUp();
    ASSERT_TRUE(RegisterShaderPlugin(kGreyShader, "Grey", 0, GreyShader::Alloc, "", 0));
    ASSERT_TRUE(RegisterShaderPlugin(kFailingShader, "Failing", 0, FailingShader::Alloc, "", 0));
    g_inits = g_frees = 0;
    g_grey = LVector(0.5, 0.5, 0.5);
    mat = Add("M");
    bc = mat->GetDataInstance();
    bc->SetVector(MAT_ALBEDO_COLOR, LVector(1.0, 0.5, 0.0));
    bc->SetReal(MAT_ALBEDO_BRIGHTNESS, 0.8);
    ray.v = LVector(0.0, 0.0, 1.0);
    vd.ray = &ray;
    vd.tray = &tray;
    vd.rray = &rray;
    vd.bumpn = LVector(0.0, 0.0, -1.0);
    vd.SetIllumination([](const VolumeData&, LVector* d, LVector* s, Real) {
      *d = LVector(0.5, 1.0, 1.0);
      *s = LVector(7.0, 7.0, 7.0);  // never used
    });
  }
  BaseShader* Link(LONG type, LONG id) {
    BaseShader* sh = BaseShader::Alloc(type);
    mat->InsertShader(sh);
    bc->SetLink(id, sh);
    return sh;
  }
  LONG Init() { return Data(mat)->InitRender(mat, InitRenderStruct(doc)); }
  void Shade() { Data(mat)->CalcSurface(mat, &vd); }

  BaseMaterial* mat = nullptr;
  BaseContainer* bc = nullptr;
  Ray ray, tray, rray;
  VolumeData vd;
};

void ExpectNear(const LVector& a, const LVector& b) {
  EXPECT_NEAR(a.x, b.x, 1e-9);
  EXPECT_NEAR(a.y, b.y, 1e-9);
  EXPECT_NEAR(a.z, b.z, 1e-9);
}

TEST_F(ShadingTest, AlbedoShaderIsMappedAndProjectedCoordinatesAreSampled) {
  Link(kGreyShader, MAT_ALBEDO_SHADER);
  bc->SetReal(MAT_ALBEDO_TEX_A, 0.0);
  bc->SetReal(MAT_ALBEDO_TEX_B, 1.0);
  bc->SetReal(MAT_ALBEDO_TEX_C, 0.0);
  ASSERT_EQ(Init(), INITRENDERRESULT_OK);
  EXPECT_EQ(g_inits.load(), 1);
  vd.SetProjection([](TexData*, const RayHitID&, const LVector&, const LVector&, LVector* uvw) {
    *uvw = LVector(0.25, 0.5, 0.0);
    return TRUE;
  });
  Shade();
  ExpectNear(vd.col, LVector(0.25, 0.5, 0.5));
  // a·s² + b·s + c with a = 1, b = 0, c = 0.1.
  bc->SetReal(MAT_ALBEDO_TEX_A, 1.0);
  bc->SetReal(MAT_ALBEDO_TEX_B, 0.0);
  bc->SetReal(MAT_ALBEDO_TEX_C, 0.1);
  ASSERT_EQ(Init(), INITRENDERRESULT_OK);
  EXPECT_EQ(g_frees.load(), 1);  // the earlier render's records were released first
  Shade();
  ExpectNear(vd.col, LVector(0.175, 0.35, 0.35));
  Data(mat)->FreeRender(mat);
  EXPECT_EQ(g_frees.load(), 2);
  EXPECT_EQ(Data(mat)->albedoSampler, nullptr);
}

// The diffuse colour is lit by the host's diffuse light; emission is added only when switched on.
TEST_F(ShadingTest, DiffuseColourAndEmissionOnlyWhenSwitchedOnAndOnlyFromAShaderThatRenders) {
  bc->SetVector(MAT_EMISSION_COLOR, LVector(1.0, 1.0, 1.0));
  bc->SetReal(MAT_EMISSION_BRIGHTNESS, 0.5);
  Link(kFailingShader, MAT_EMISSION_SHADER);
  ASSERT_EQ(Init(), INITRENDERRESULT_OK);
  EXPECT_EQ(Data(mat)->emissionSampler, nullptr);
  LVector mp;
  Multipass pass;
  pass.vp_mat_color = &mp;
  vd.multipass = &pass;
  Shade();
  ExpectNear(vd.col, LVector(0.4, 0.4, 0.0));  // (0.8, 0.4, 0) × (0.5, 1, 1)
  ExpectNear(mp, vd.col);
  ExpectNear(vd.trans, LVector());
  EXPECT_EQ(vd.SurfacePointInits(), 1);

  bc->SetBool(MAT_USE_EMISSION, TRUE);
  ASSERT_EQ(Init(), INITRENDERRESULT_OK);  // the failing emission shader is not reported...
  Shade();
  ExpectNear(vd.col, LVector(0.9, 0.9, 0.5));  // ...and its colour stands in for it

  Link(kGreyShader, MAT_EMISSION_SHADER);
  bc->SetReal(MAT_EMISSION_TEX_B, 2.0);
  ASSERT_EQ(Init(), INITRENDERRESULT_OK);
  Shade();
  ExpectNear(vd.col, LVector(1.4, 1.4, 1.0));

  // A failing albedo shader is the render's answer.
  Link(kFailingShader, MAT_ALBEDO_SHADER);
  EXPECT_EQ(Init(), INITRENDERRESULT_ASSETMISSING);
  Data(mat)->FreeRender(mat);
}

TEST_F(ShadingTest, TransmissionPerTypeAndRequest) {
  const struct {
    LONG type;
    Bool transparent;
    double trans;
    bool refracts;
  } kTable[] = {
      {MAT_TYPE_DIFFUSE, FALSE, 0.0, false},
      {MAT_TYPE_OREN_NAYAR, FALSE, 0.0, false},
      {MAT_TYPE_PHONG, FALSE, 0.0, false},
      {MAT_TYPE_DIFFUSE_TRANSMITTER, FALSE, 0.0, false},
      {MAT_TYPE_SPECULAR, FALSE, 0.0, false},
      {MAT_TYPE_SPECULAR, TRUE, 1.0, true},
      {MAT_TYPE_GLOSSY_TRANSPARENT, FALSE, 1.0, true},
  };
  for (const auto& row : kTable) {
    bc->SetLong(MAT_TYPE, row.type);
    bc->SetBool(MAT_TRANSPARENT, row.transparent);
    ASSERT_EQ(Init(), INITRENDERRESULT_OK);
    tray.v = LVector(9.0, 9.0, 9.0);
    vd.calc_trans = CALC_PLAIN;
    Shade();
    ExpectNear(vd.trans, LVector(row.trans, row.trans, row.trans));
    ExpectNear(tray.v, row.refracts ? ray.v : LVector(9.0, 9.0, 9.0));
    if (row.refracts || row.type == MAT_TYPE_SPECULAR) ExpectNear(vd.col, LVector());
  }
  // Another request leaves the transmission ray alone.
  tray.v = LVector(9.0, 9.0, 9.0);
  vd.calc_trans = CALC_NONE;
  Shade();
  ExpectNear(tray.v, LVector(9.0, 9.0, 9.0));
}

TEST_F(ShadingTest, RefractionFollowsSnellAndTotalInternalReflectionMirrors) {
  bc->SetLong(MAT_TYPE, MAT_TYPE_GLOSSY_TRANSPARENT);
  vd.calc_trans = CALC_REFRACT;
  vd.bumpn = LVector(0.0, 1.0, 0.0);
  const double s = std::sqrt(0.5);
  const struct {
    const char* what;
    double materialIor, rayIor;
    LVector in, out;
    double outIor;
  } kTable[] = {
      // sin t = sin 45 / 1.5
      {"entering at 45 degrees from air", 1.5, 1.0, LVector(s, -s, 0.0),
       LVector(s / 1.5, -std::sqrt(1.0 - 0.5 / 2.25), 0.0), 1.5},
      // The ray travels along the normal's side: the ratio is the ray's own index, sin t = 1.5 · 0.3.
      {"leaving", 1.5, 1.5, LVector(0.3, std::sqrt(0.91), 0.0),
       LVector(0.45, std::sqrt(1.0 - 0.45 * 0.45), 0.0), 1.0},
      {"grazing into a lower index: mirrored", 1.0, 1.5, LVector(0.9, -std::sqrt(0.19), 0.0),
       LVector(0.9, std::sqrt(0.19), 0.0), 1.0},
  };
  for (const auto& row : kTable) {
    SCOPED_TRACE(row.what);
    bc->SetReal(MAT_MEDIUM_IOR, row.materialIor);
    ASSERT_EQ(Init(), INITRENDERRESULT_OK);
    ray.v = row.in;
    ray.ior = row.rayIor;
    Shade();
    ExpectNear(tray.v, row.out);
    EXPECT_NEAR(tray.ior, row.outIor, 1e-12);
  }
}

TEST_F(ShadingTest, ReflectionOnlyWhenAskedForShallowNonGiRaysOfReflectingTypes) {
  LVector traced;
  double maxdist = 0.0;
  vd.SetTracer([&](const Ray& r, Real dist, const RayHitID&, SurfaceIntersection*) {
    traced = r.v;
    maxdist = dist;
    return LVector(1.0, 2.0, 4.0);
  });
  vd.bumpn = LVector(0.0, 1.0, 0.0);
  ray.v = LVector(std::sqrt(0.5), -std::sqrt(0.5), 0.0);
  const struct {
    LONG type, request, depth, bits;
    bool reflects;
  } kTable[] = {
      {MAT_TYPE_PHONG, CALC_REFRACT, 0, 0, true},
      {MAT_TYPE_PHONG, CALC_REFRACT, 3, 0, true},
      {MAT_TYPE_PHONG, CALC_REFRACT, 4, 0, false},
      {MAT_TYPE_PHONG, CALC_PLAIN, 0, 0, false},
      {MAT_TYPE_PHONG, CALC_REFRACT, 0, RAYBIT_GI, false},
      {MAT_TYPE_SPECULAR, CALC_REFRACT, 1, RAYBIT_REFLECTION, true},
      {MAT_TYPE_GLOSSY_TRANSPARENT, CALC_REFRACT, 2, 0, true},
      {MAT_TYPE_DIFFUSE, CALC_REFRACT, 0, 0, false},
      {MAT_TYPE_OREN_NAYAR, CALC_REFRACT, 0, 0, false},
      {MAT_TYPE_DIFFUSE_TRANSMITTER, CALC_REFRACT, 0, 0, false},
  };
  for (const auto& row : kTable) {
    bc->SetLong(MAT_TYPE, row.type);
    ASSERT_EQ(Init(), INITRENDERRESULT_OK);
    vd.refl = LVector(-1.0, -1.0, -1.0);
    vd.calc_refl = row.request;
    vd.raydepth = row.depth;
    vd.raybits = row.bits;
    Shade();
    if (row.reflects) {
      ExpectNear(vd.refl, LVector(0.15, 0.3, 0.6));
      ExpectNear(rray.v, LVector(std::sqrt(0.5), std::sqrt(0.5), 0.0));
      EXPECT_EQ(maxdist, 1e8);
    } else {
      ExpectNear(vd.refl, LVector(-1.0, -1.0, -1.0));
    }
  }
}

TEST_F(ShadingTest, ManyThreadsShadeAlikeFromOneRender) {
  Link(kGreyShader, MAT_ALBEDO_SHADER);
  bc->SetReal(MAT_ALBEDO_TEX_B, 1.0);
  bc->SetLong(MAT_TYPE, MAT_TYPE_PHONG);
  ASSERT_EQ(Init(), INITRENDERRESULT_OK);
  std::vector<std::thread> threads;
  std::atomic<int> wrong{0};
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 500; ++i) {
        Ray in, tr, rr;
        in.v = LVector(0.0, -1.0, 0.0);
        VolumeData v;
        v.ray = &in;
        v.tray = &tr;
        v.rray = &rr;
        v.bumpn = LVector(0.0, 1.0, 0.0);
        v.p = LVector((t + i % 2) % 2 ? 0.75 : 0.25, 0.0, 0.0);
        v.calc_refl = CALC_REFRACT;
        v.SetTracer(
            [](const Ray&, Real, const RayHitID&, SurfaceIntersection*) { return LVector(1.0, 1.0, 1.0); });
        Data(mat)->CalcSurface(mat, &v);
        const double want = v.p.x >= 0.5 ? 1.0 : 0.5;
        if (v.col != LVector(want, want, want) || v.refl != LVector(0.15, 0.15, 0.15)) ++wrong;
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(wrong.load(), 0);
  Data(mat)->FreeRender(mat);
}

class GlImageTest : public ShadingTest {
 protected:
  struct Thread : BaseThread {
    Bool TestBreak() override { return false; }
  } thread;
  std::unique_ptr<BaseBitmap> bmp{BaseBitmap::Alloc()};

  Bool Draw(LONG w = 4, LONG h = 2) {
    bmp->Init(w, h, 24);
    return Data(mat)->InitGLImage(mat, doc, &thread, bmp.get(), 0, FALSE);
  }
  std::vector<LONG> Pixel(LONG x, LONG y) const {
    LONG r, g, b;
    bmp->GetPixel(x, y, &r, &g, &b);
    return {r, g, b};
  }
  LONG Alpha(LONG x, LONG y) const { return bmp->GetAlphaPixel(bmp->GetInternalChannel(), x, y); }
};

TEST_F(GlImageTest, ColourAndShaderPixelsUseTheClampedEightBitRule) {
  ASSERT_TRUE(Draw());
  EXPECT_EQ(Pixel(0, 0), (std::vector<LONG>{204, 102, 0}));
  EXPECT_EQ(Pixel(3, 1), (std::vector<LONG>{204, 102, 0}));
  EXPECT_EQ(bmp->GetInternalChannel(), nullptr);

  // Brighter than white clamps to 255, also for the colour constant.
  bc->SetVector(MAT_ALBEDO_COLOR, LVector(1.0, 1.0, -0.5));
  bc->SetReal(MAT_ALBEDO_BRIGHTNESS, 2.0);
  ASSERT_TRUE(Draw());
  EXPECT_EQ(Pixel(1, 1), (std::vector<LONG>{255, 255, 0}));

  // A shader of 0.5 grey gives 127; its right half (1.0 mapped to 2.0) 255.
  Link(kGreyShader, MAT_ALBEDO_SHADER);
  bc->SetReal(MAT_ALBEDO_TEX_B, 1.0);
  ASSERT_TRUE(Draw());
  EXPECT_EQ(Pixel(0, 0), (std::vector<LONG>{127, 127, 127}));
  EXPECT_EQ(Pixel(3, 0), (std::vector<LONG>{255, 255, 255}));
  EXPECT_EQ(g_inits.load(), g_frees.load());

  // A shader that cannot render draws nothing.
  Link(kFailingShader, MAT_ALBEDO_SHADER);
  EXPECT_FALSE(Draw());
  // Missing arguments.
  EXPECT_FALSE(Data(mat)->InitGLImage(mat, nullptr, &thread, bmp.get(), 0, FALSE));
  EXPECT_FALSE(Data(mat)->InitGLImage(mat, doc, nullptr, bmp.get(), 0, FALSE));
  EXPECT_FALSE(Data(mat)->InitGLImage(mat, doc, &thread, nullptr, 0, FALSE));
}

TEST_F(GlImageTest, BlendFactorBecomesAlpha) {
  bc->SetBool(MAT_USE_ALPHA, TRUE);
  bc->SetReal(MAT_ALPHA_VALUE, 0.5);
  bc->SetBool(MAT_STEP_BLEND, TRUE);  // not applied to the constant
  ASSERT_TRUE(Draw());
  ASSERT_NE(bmp->GetInternalChannel(), nullptr);
  EXPECT_EQ(Alpha(0, 0), 127);
  EXPECT_EQ(Alpha(3, 1), 127);

  // A blend shader: the mean of the mapped components; with step blend 0.5..1 becomes 255.
  Link(kGreyShader, MAT_ALPHA_SHADER);
  bc->SetReal(MAT_ALPHA_TEX_B, 1.0);
  const struct {
    LVector grey;
    Bool step;
    LONG left, right;  // u < 0.5 samples grey, u >= 0.5 twice grey
  } kTable[] = {
      {LVector(0.5, 0.5, 0.5), TRUE, 255, 255},   // means 0.5 and 1.0: both in 0.5..1
      {LVector(0.49, 0.49, 0.49), TRUE, 0, 255},  // 0.49 and 0.98
      {LVector(0.6, 0.6, 0.6), TRUE, 255, 0},     // 0.6 and 1.2 (above 1 is 0)
      {LVector(0.2, 0.4, 0.6), FALSE, 102, 204},  // means 0.4 and 0.8
  };
  for (const auto& row : kTable) {
    g_grey = row.grey;
    bc->SetBool(MAT_STEP_BLEND, row.step);
    ASSERT_TRUE(Draw());
    EXPECT_EQ(Alpha(0, 0), row.left);
    EXPECT_EQ(Alpha(3, 0), row.right);
  }
}

}  // namespace
