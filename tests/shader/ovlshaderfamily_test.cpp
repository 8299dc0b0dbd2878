// The OVL shader family: the type test, the render information, the fall-back texts, the number
// and colour format of OVL text, and the five registrations with their descriptions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shader/ovlblend.h"
#include "shader/ovlformat.h"
#include "shader/ovlgradient.h"
#include "shader/ovlnoise.h"
#include "shader/ovlnormal.h"
#include "shader/ovlshader.h"
#include "shader/ovlshaderdata.h"
#include "support/comma_locale.h"
#include "support/host_fixture.h"

namespace {

class OVLFamilyTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    ASSERT_TRUE(RegisterOVL());
    ASSERT_TRUE(RegisterOVLnoise());
    ASSERT_TRUE(RegisterOVLblend());
    ASSERT_TRUE(RegisterOVLgradient());
    ASSERT_TRUE(RegisterOVLnormal());
  }
};

TEST_F(OVLFamilyTest, IsOVLShaderAcceptsTheFourGeneratedTypesOnly) {
  struct Case {
    LONG type;
    bool generated;
  } cases[] = {{ID_OVLNOISE, true},  {ID_OVLBLEND, true},   {ID_OVLGRADIENT, true},
               {ID_OVLNORMAL, true}, {ID_OVLSHADER, false}, {Xbitmap, false}};
  for (const Case& c : cases) {
    BaseShader* sh = BaseShader::Alloc(c.type);
    ASSERT_NE(sh, nullptr) << c.type;
    EXPECT_EQ(IsOVLShader(sh), c.generated) << c.type;
    // The render information: 16 for a generated shader, the host's 0 for the others.
    ShaderData* data = dynamic_cast<ShaderData*>(sh->GetNodeData());
    EXPECT_EQ(data ? data->GetRenderInfo(sh) : 0, c.generated ? 16 : 0) << c.type;
    BaseShader::Free(sh);
  }
  EXPECT_FALSE(IsOVLShader(nullptr));
}

TEST_F(OVLFamilyTest, DataWithoutANodeAnswersTheFallBackTexts) {
  OVLnoise noise;
  OVLblend blend;
  OVLgradient gradient;
  OVLnormal normal;
  for (OVLShaderData* d : std::vector<OVLShaderData*>{&noise, &blend, &gradient}) {
    EXPECT_EQ(d->GetShaderCode(OVL_RETURN_VEC3), "Vector(1.0)");
    EXPECT_EQ(d->GetShaderCode(OVL_RETURN_REAL), "1.0");
  }
  EXPECT_EQ(normal.GetShaderCode(OVL_RETURN_VEC3), "Vector(1.0)");
  EXPECT_EQ(normal.GetShaderCode(OVL_RETURN_REAL), "(1.0)");
}

TEST(OVLFormatTest, NumbersHaveFiveDecimalsAndAPointInAnyLocale) {
  struct Case {
    double value;
    int decimals;
    const char* text;
  } cases[] = {
      {1.0, 5, "1.00000"},
      {0.5, 5, "0.50000"},
      {-2.25, 5, "-2.25000"},
      {0.0, 5, "0.00000"},
      {123456.789, 5, "123456.78900"},
      {0.123456, 5, "0.12346"},
      {2.999999, 5, "3.00000"},
      {-0.000004, 5, "0.00000"},
      {-0.0, 5, "0.00000"},
      {-0.00001, 5, "-0.00001"},
      {1e7, 5, "10000000.00000"},
      {1.0, 8, "1.00000000"},
      {-0.5, 8, "-0.50000000"},
  };
  CommaLocale comma;
  for (const Case& c : cases) EXPECT_EQ(OVLNumber(c.value, c.decimals), c.text) << c.value;
  EXPECT_EQ(OVLColor(LVector(1.0, 0.5, -2.25)), "vec3(1.00000, 0.50000, -2.25000)");
  EXPECT_EQ(OVLColor(LVector()), "vec3(0.00000, 0.00000, 0.00000)");
}

TEST_F(OVLFamilyTest, RegistrationsAndTheirDescriptions) {
  struct Expected {
    LONG id;
    const char* name;
    const char* description;
    std::vector<std::pair<LONG, LONG>> parameters;  // ID and value type
  } expected[] = {
      {ID_OVLSHADER,
       "OVL Code",
       "xcorvaneovlshader",
       {{1405, DTYPE_STRING}, {1400, DTYPE_FILENAME}, {1401, DTYPE_FILENAME}, {1402, DTYPE_FILENAME}}},
      {ID_OVLNOISE,
       "OVL Noise",
       "xovlnoise",
       {{1500, DTYPE_LONG},
        {1503, DTYPE_LONG},
        {1506, DTYPE_VECTOR},
        {1507, DTYPE_REAL},
        {1508, DTYPE_LONG},
        {1511, DTYPE_COLOR},
        {1512, DTYPE_COLOR}}},
      {ID_OVLBLEND,
       "OVL Blend",
       "xovlblend",
       {{1600, DTYPE_BASELISTLINK}, {1601, DTYPE_BASELISTLINK}, {1602, DTYPE_LONG}, {1606, DTYPE_REAL}}},
      {ID_OVLGRADIENT,
       "OVL Gradient",
       "xovlgradient",
       {{1604, DTYPE_LONG}, {1605, DTYPE_COLOR}, {1606, DTYPE_COLOR}, {1600, DTYPE_REAL}}},
      {ID_OVLNORMAL, "OVL Normal", "xovlnormal", {}},
  };
  std::vector<host::Registration> regs = host::Registrations();
  ASSERT_EQ(regs.size(), std::size(expected));
  for (size_t i = 0; i < regs.size(); ++i) {
    const Expected& e = expected[i];
    SCOPED_TRACE(e.description);
    EXPECT_EQ(regs[i].kind, host::PluginKind::Shader);
    EXPECT_EQ(regs[i].id, e.id);
    EXPECT_EQ(regs[i].name, e.name);
    EXPECT_EQ(regs[i].info, 0);
    EXPECT_EQ(regs[i].description, e.description);
    EXPECT_EQ(regs[i].disklevel, 0);

    // What a shader of the type describes itself with.
    BaseShader* sh = BaseShader::Alloc(e.id);
    Description d;
    ASSERT_TRUE(sh->GetDescription(&d));
    BaseShader::Free(sh);
    EXPECT_EQ(d.GetName(), String(e.description));
    std::vector<std::pair<LONG, LONG>> parameters;
    for (LONG k = 0; k < d.GetCount(); ++k)
      if (d.GetIndexId(k)[0].dtype != DTYPE_GROUP)
        parameters.emplace_back(d.GetIndexId(k)[0].id, d.GetIndexId(k)[0].dtype);
    EXPECT_EQ(parameters, e.parameters);
  }
  // Option values of the cycles that the shaders test.
  Description noise;
  ASSERT_TRUE(noise.LoadDescription(ID_OVLNOISE));
  const BaseContainer* mode = noise.GetParameter(DescID(1508));
  ASSERT_NE(mode, nullptr);
  EXPECT_NE(mode->GetContainer(DESC_CYCLE).GetDataPointer(1509), nullptr);
  Description blend;
  ASSERT_TRUE(blend.LoadDescription(ID_OVLBLEND));
  BaseContainer modes = blend.GetParameter(DescID(1602))->GetContainer(DESC_CYCLE);
  for (LONG v : {1603, 1604, 1605}) EXPECT_NE(modes.GetDataPointer(v), nullptr) << v;
}

}  // namespace
