// The OVL code shader inside the host: no defaults, white without an image, an image sampled in
// bounds for any texture coordinate, and copies.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "shader/ovlshader.h"
#include "shader/ovlshaderdata.h"
#include "support/host_fixture.h"

namespace {

class CodeShaderTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    ASSERT_TRUE(RegisterOVL());
    sh = BaseShader::Alloc(ID_OVLSHADER);
    ASSERT_NE(sh, nullptr);
    data = dynamic_cast<OVLData*>(sh->GetNodeData());
    ASSERT_NE(data, nullptr);
  }
  void TearDown() override {
    BaseShader::Free(sh);
    HostTest::TearDown();
  }
  LVector SampleAt(double u, double v) {
    ChannelData cd;
    cd.p = LVector(u, v, 0.0);
    return sh->Sample(&cd);
  }
  // A 2 x 2 image: red, green / blue, grey (51, 102, 153).
  static MultipassBitmap* FourPixels() {
    MultipassBitmap* bm = MultipassBitmap::Alloc(2, 2);
    bm->SetPixel(0, 0, 255, 0, 0);
    bm->SetPixel(1, 0, 0, 255, 0);
    bm->SetPixel(0, 1, 0, 0, 255);
    bm->SetPixel(1, 1, 51, 102, 153);
    return bm;
  }

  BaseShader* sh = nullptr;
  OVLData* data = nullptr;
};

void ExpectColour(const LVector& got, double r, double g, double b) {
  EXPECT_DOUBLE_EQ(got.x, r);
  EXPECT_DOUBLE_EQ(got.y, g);
  EXPECT_DOUBLE_EQ(got.z, b);
}

TEST_F(CodeShaderTest, NewShaderHasNoParametersAndSamplesWhite) {
  const BaseContainer* bc = sh->GetDataInstance();
  for (LONG id : {OVL_CODE, OVL_TEXTURE1, OVL_TEXTURE2, OVL_TEXTURE3})
    EXPECT_EQ(bc->GetDataPointer(id), nullptr) << id;
  EXPECT_EQ(data->GetImage(), nullptr);
  for (double u : {0.0, 0.5, 1.5, -3.25}) ExpectColour(SampleAt(u, u), 1.0, 1.0, 1.0);
  EXPECT_EQ(data->GetRenderInfo(sh), 0);
  EXPECT_FALSE(IsOVLShader(sh));
}

TEST(CodeShaderPixelTest, PixelIndexStaysInsideTheImage) {
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    double coord;
    LONG size;
    LONG index;
  } cases[] = {
      {0.0, 4, 0},       {0.24, 4, 0}, {0.25, 4, 1},   {0.999999, 4, 3},     {1.0, 4, 0}, {2.5, 4, 2},
      {-0.25, 4, 3},     {-1.0, 4, 0}, {-1e-17, 4, 0}, {-0.999, 4, 0},       {0.7, 1, 0}, {0.5, 0, 0},
      {1e300, 16384, 0}, {inf, 4, 0},  {-inf, 4, 0},   {std::nan(""), 4, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(OVLData::PixelIndex(c.coord, c.size), c.index) << c.coord;
  // Just below one: the last pixel, never one past it.
  EXPECT_EQ(OVLData::PixelIndex(std::nextafter(1.0, 0.0), 16384), 16383);
}

TEST_F(CodeShaderTest, ImageIsSampledAndRepeatsInUAndV) {
  data->SetImage(FourPixels());
  const double k = 1.0 / 255.0;
  ExpectColour(SampleAt(0.25, 0.25), 1.0, 0.0, 0.0);
  ExpectColour(SampleAt(0.75, 0.25), 0.0, 1.0, 0.0);
  ExpectColour(SampleAt(0.25, 0.75), 0.0, 0.0, 1.0);
  ExpectColour(SampleAt(0.75, 0.75), 51 * k, 102 * k, 153 * k);
  // Outside 0..1 the image repeats; the far edge is the next period's first pixel.
  ExpectColour(SampleAt(-0.25, 1.25), 0.0, 1.0, 0.0);
  ExpectColour(SampleAt(1.0, 1.0), 1.0, 0.0, 0.0);
  ExpectColour(SampleAt(std::nextafter(1.0, 0.0), -0.0001), 51 * k, 102 * k, 153 * k);
}

TEST_F(CodeShaderTest, CopiesCarryTheParametersAndTheImage) {
  sh->GetDataInstance()->SetString(OVL_CODE, String("def eval() real: 0.5"));
  BaseShader* plain = static_cast<BaseShader*>(sh->GetClone());
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(plain->GetDataInstance()->GetString(OVL_CODE), String("def eval() real: 0.5"));
  EXPECT_EQ(dynamic_cast<OVLData*>(plain->GetNodeData())->GetImage(), nullptr);
  BaseShader::Free(plain);

  data->SetImage(FourPixels());
  BaseShader* copy = static_cast<BaseShader*>(sh->GetClone());
  ASSERT_NE(copy, nullptr);
  const MultipassBitmap* image = dynamic_cast<OVLData*>(copy->GetNodeData())->GetImage();
  ASSERT_NE(image, nullptr);
  EXPECT_NE(image, data->GetImage());
  LONG r, g, b;
  image->GetPixel(1, 1, &r, &g, &b);
  EXPECT_EQ(std::vector<LONG>({r, g, b}), std::vector<LONG>({51, 102, 153}));
  BaseShader::Free(copy);
}

}  // namespace
