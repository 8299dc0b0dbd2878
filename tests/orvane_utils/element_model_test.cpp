// Tests of the element model: construction, tags,
// defaults and ownership through Reference handles.

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "orvane_utils/OrvaneElementModel.h"

using namespace Orvane;

namespace {

// ---- spectra

TEST(SpectrumTest, TagsThroughTheBaseHandle) {
  const std::vector<Reference<OrvaneSpectrum>> spectra = {
      new OrvaneRGBSpectrum(new Vec3(1, 1, 1), 2.2),
      new OrvaneUniformSpectrum(0.7),
      new OrvaneBlackBodySpectrum(6500, 1),
      new OrvanePeakSpectrum(500, 20, 1, 0),
      new OrvaneRegularSpectrum(380, 720, 3, {0.1, 0.2, 0.3}),
  };
  for (size_t i = 0; i < spectra.size(); ++i) EXPECT_EQ(spectra[i]->GetType(), static_cast<int>(i));
}

// The fault of the issue: the product of the largest counts the parser allows
// (10^12) overflows 32 bits, and reserving it up front cannot succeed.
TEST(TabulatedSpectralDataTest, HugeRowsTimesColumnsIsComputedIn64BitsAndNeverReserved) {
  EXPECT_EQ(OrvaneTabulatedSpectralData::valueCount(1000000, 1000000), INT64_C(1000000000000));
  EXPECT_EQ(OrvaneTabulatedSpectralData::valueCount(INT32_MAX, INT32_MAX),
            static_cast<int64_t>(INT32_MAX) * static_cast<int64_t>(INT32_MAX));
  EXPECT_EQ(OrvaneTabulatedSpectralData::valueCount(65536, 65536),
            INT64_C(4294967296));  // wraps to 0 in 32 bits
  EXPECT_EQ(OrvaneTabulatedSpectralData::valueCount(-2, 3), 0);
  EXPECT_EQ(OrvaneTabulatedSpectralData::valueCount(0, 3), 0);

  // Building a table that announces 10^12 values allocates only what it is given.
  Reference<OrvaneTabulatedSpectralData> t(
      new OrvaneTabulatedSpectralData(4e-7, 7e-7, 1000000, 1000000, {0.5, 0.25}));
  EXPECT_EQ(t->valueCount(), INT64_C(1000000000000));
  EXPECT_EQ(t->values.size(), 2u);
  EXPECT_LE(t->values.capacity(), 2u);
}

// ---- material parameters

TEST(ParameterTest, EachOfTheNineFormsGivesItsTagThroughItsFamilyBase) {
  const Reference<OrvaneWavelengthIndependentParam> scalar[] = {
      new OrvaneConstantWavelengthIndependentParam(20),
      new OrvaneShaderWavelengthIndependentParam("def eval() real: 1.0"),
      new OrvaneTextureWavelengthIndependentParam(1),
  };
  const Reference<OrvaneWavelengthDependentParam> spectral[] = {
      new OrvaneConstantWavelengthDependentParam(new OrvaneUniformSpectrum(0.7)),
      new OrvaneShaderWavelengthDependentParam("shader text"),
      new OrvaneTextureWavelengthDependentParam(0),
  };
  const Reference<OrvaneDisplacementParam> displacement[] = {
      new OrvaneConstantDisplacementParam(0.5),
      new OrvaneShaderDisplacementParam("s"),
      new OrvaneTextureDisplacementParam(2),
  };
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(scalar[i]->GetType(), i);
    EXPECT_EQ(spectral[i]->GetType(), 3 + i);
    EXPECT_EQ(displacement[i]->GetType(), 6 + i);
  }
}

// ---- textures, generators, rotations

Reference<OrvaneTexCoordGenerator> makeIdentityUV() {
  return new OrvaneUVTexCoordGenerator(new Matrix2(1, 0, 0, 1), new Vec2(0, 0));
}

TEST(TextureTest, CopyingATextureListRaisesEveryGeneratorByOne) {
  std::vector<OrvaneTexture> list(3);
  for (size_t i = 0; i < list.size(); ++i) {
    list[i].path = "tex" + std::to_string(i);
    list[i].tex_coord_generation = makeIdentityUV();
  }
  {
    const std::vector<OrvaneTexture> copy = list;
    for (size_t i = 0; i < list.size(); ++i) {
      EXPECT_EQ(copy[i].path, "tex" + std::to_string(i));  // order kept
      EXPECT_EQ(list[i].tex_coord_generation->getRefCount(), 2);
    }
  }
  for (const OrvaneTexture& t : list) EXPECT_EQ(t.tex_coord_generation->getRefCount(), 1);
}

// ---- media

TEST(MediumTest, DroppingABasicMediumFreesWhatNothingElseHolds) {
  Reference<OrvaneSpectrum> scattering(new OrvaneUniformSpectrum(2));
  Reference<OrvanePhaseFunction> phase(
      new OrvaneHenyeyGreensteinPhaseFunction(new OrvaneUniformSpectrum(0.3)));
  Reference<OrvaneMedium> medium(new OrvaneBasicMedium("glass", 2, 1.5, 0, new OrvaneUniformSpectrum(0.1),
                                                       new OrvaneSubsurfaceScattering(scattering, phase)));
  EXPECT_EQ(scattering->getRefCount(), 2);
  EXPECT_EQ(phase->getRefCount(), 2);
  EXPECT_EQ(medium->name, "glass");
  EXPECT_EQ(medium->precedence, 2);
  medium = Reference<OrvaneMedium>();
  EXPECT_EQ(scattering->getRefCount(), 1);
  EXPECT_EQ(phase->getRefCount(), 1);
}

// ---- materials

const OrvaneRGBSpectrum& defaultAlbedoSpectrum(const Reference<OrvaneWavelengthDependentParam>& albedo) {
  EXPECT_EQ(albedo->GetType(), OrvaneConstantWavelengthDependentParam::TYPE);
  const auto* c = static_cast<const OrvaneConstantWavelengthDependentParam*>(albedo.getPointer());
  EXPECT_EQ(c->spectrum->GetType(), OrvaneRGBSpectrum::TYPE);
  return *static_cast<const OrvaneRGBSpectrum*>(c->spectrum.getPointer());
}

double constantScalar(const Reference<OrvaneWavelengthIndependentParam>& p) {
  EXPECT_EQ(p->GetType(), OrvaneConstantWavelengthIndependentParam::TYPE);
  return static_cast<const OrvaneConstantWavelengthIndependentParam*>(p.getPointer())->value;
}

// The defaults the importer relies on; the writer tests show those of Phong and Oren-Nayar.
TEST(MaterialTest, ConstructorDefaults) {
  const OrvaneDiffuse diffuse;
  EXPECT_EQ(diffuse.albedo.getPointer(), nullptr);
  EXPECT_FALSE(diffuse.random_triangle_colours);

  const OrvaneDiffuseTransmitter transmitter;
  const OrvaneRGBSpectrum& s = defaultAlbedoSpectrum(transmitter.albedo);
  EXPECT_EQ(std::vector<double>({s.rgb->x, s.rgb->y, s.rgb->z, s.gamma}),
            std::vector<double>({0.5, 0.5, 0.5, 2.2}));
  EXPECT_EQ(constantScalar(OrvaneGlossyTransparent().exponent), 5000.0);

  const OrvaneSpecularMaterial specular;
  EXPECT_TRUE(specular.transparent);
  EXPECT_FALSE(specular.arch_glass);
  EXPECT_EQ(specular.tabulated_external_reflection_coefficient.getPointer(), nullptr);
  EXPECT_EQ(specular.tabulated_internal_reflection_coefficient.getPointer(), nullptr);
  EXPECT_EQ(specular.tabulated_transmission_coefficient.getPointer(), nullptr);
}

TEST(MaterialTest, TwoDefaultOrenNayarMaterialsHoldDistinctAlbedos) {
  OrvaneOrenNayarMaterial a;
  const OrvaneOrenNayarMaterial b;
  EXPECT_NE(a.albedo.getPointer(), b.albedo.getPointer());
  auto* ca = static_cast<OrvaneConstantWavelengthDependentParam*>(a.albedo.getPointer());
  auto* sa = static_cast<OrvaneRGBSpectrum*>(ca->spectrum.getPointer());
  sa->rgb->x = 0.9;
  sa->gamma = 1.0;
  EXPECT_EQ(defaultAlbedoSpectrum(b.albedo).rgb->x, 0.5);
  EXPECT_EQ(defaultAlbedoSpectrum(b.albedo).gamma, 2.2);
}

TEST(MaterialTest, ReplacingTheDefaultAlbedoFreesItsParameterSpectrumAndVector) {
  OrvaneDiffuseTransmitter m;
  Reference<OrvaneWavelengthDependentParam> param = m.albedo;
  auto* c = static_cast<OrvaneConstantWavelengthDependentParam*>(param.getPointer());
  Reference<OrvaneSpectrum> spectrum = c->spectrum;
  Reference<Vec3> vec = static_cast<OrvaneRGBSpectrum*>(spectrum.getPointer())->rgb;
  EXPECT_EQ(param->getRefCount(), 2);
  EXPECT_EQ(spectrum->getRefCount(), 2);
  EXPECT_EQ(vec->getRefCount(), 2);

  m.albedo = new OrvaneConstantWavelengthDependentParam(new OrvaneUniformSpectrum(0.7));
  EXPECT_EQ(param->getRefCount(), 1);  // only ours remain
  param = Reference<OrvaneWavelengthDependentParam>();
  EXPECT_EQ(spectrum->getRefCount(), 1);
  spectrum = Reference<OrvaneSpectrum>();
  EXPECT_EQ(vec->getRefCount(), 1);
}

TEST(MaterialTest, XMLTypeOfEveryModelThroughTheBaseHandle) {
  const std::vector<std::pair<Reference<OrvaneMaterial>, std::string>> cases = {
      {new OrvaneDiffuse, "diffuse"},
      {new OrvaneDiffuseTransmitter, "diffuse_transmitter"},
      {new OrvaneOrenNayarMaterial, "oren_nayar"},
      {new OrvanePhongMaterial, "phong"},
      {new OrvaneSpecularMaterial, "specular"},
      {new OrvaneGlossyTransparent, "glossy_transparent"},
      {new OrvaneBlendMaterial, "blend"},
      {new OrvaneNullMaterial, "null_material"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.first->XMLType(), c.second);
}

TEST(MaterialTest, DroppingAMaterialReleasesItsTexturesAndParameters) {
  Reference<OrvaneTexCoordGenerator> gen = makeIdentityUV();
  Reference<OrvaneWavelengthDependentParam> emission(
      new OrvaneConstantWavelengthDependentParam(new OrvaneBlackBodySpectrum(6500, 1)));
  {
    Reference<OrvaneMaterial> handle;
    {
      OrvanePhongMaterial* phong = new OrvanePhongMaterial;
      handle = phong;
      OrvaneTexture t;
      t.tex_coord_generation = gen;
      phong->textures.push_back(t);
      phong->emission = emission;
    }
    EXPECT_EQ(gen->getRefCount(), 2);
    EXPECT_EQ(emission->getRefCount(), 2);
  }
  EXPECT_EQ(gen->getRefCount(), 1);
  EXPECT_EQ(emission->getRefCount(), 1);
}

}  // namespace
