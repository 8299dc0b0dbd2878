// The emission channel: its spectrum kinds, light layers and texture placement.
#include <gtest/gtest.h>

#include <map>

#include "channel_fixture.h"

namespace channeltest {
namespace {

const std::string kLayer0 = ";layer=0";
const std::string kBgCoords =
    "tex_coord_generation{spherical{rotation{axis_rotation{axis=0.000000 0.000000 "
    "1.000000;angle=1.600000}}}}";

class EmissionTest : public ChannelTest {
 protected:
  std::string Emit() {
    return Write([](CustomOrvaneMaterial& m, String n, BaseContainer* d, TiXmlElement* p) {
      m.MaterialExportEmission(n, d, p);
    });
  }
};

TEST_F(EmissionTest, EverySpectrumKind) {
  data.SetBool(MAT_USE_EMISSION, TRUE);
  const struct {
    LONG kind;
    std::string constant;
  } rows[] = {
      {MAT_SPECTRUM_RGB, "rgb{rgb=0.800000 0.800000 0.800000;gamma=1.000000}"},
      {MAT_SPECTRUM_BLACKBODY, "blackbody{temperature=6500.000000;gain=1.000000}"},
      {MAT_SPECTRUM_PEAK,
       "peak{peak_min=100.000000;peak_width=600.000000;base_value=1.000000;peak_value=1.000000}"},
      {MAT_SPECTRUM_UNIFORM, "uniform{value=1.000000}"},
      {MAT_SPECTRUM_TABULATED, "regular_tabulated{start_wavelength=;end_wavelength=;num_values=0;values=}"},
  };
  for (const auto& row : rows) {
    data.SetLong(MAT_EMISSION_SPECTRUM, row.kind);
    EXPECT_EQ(Emit(), "base_emission{constant{" + row.constant + "}}" + kLayer0) << row.kind;
  }
  data.SetLong(MAT_EMISSION_SPECTRUM, 6103);
  EXPECT_EQ(Emit(), "base_emission{constant}" + kLayer0);

  // Changed values, and the tabulated texts written as they stand.
  data.SetLong(MAT_EMISSION_SPECTRUM, MAT_SPECTRUM_RGB);
  data.SetVector(MAT_EMISSION_COLOR, LVector(0.5, 1.0, 0.0));
  data.SetReal(MAT_EMISSION_BRIGHTNESS, 3.0);
  data.SetReal(MAT_EMISSION_GAMMA, 2.2);
  EXPECT_EQ(Emit(), "base_emission{constant{rgb{rgb=1.500000 3.000000 0.000000;gamma=2.200000}}}" + kLayer0);
  data.SetLong(MAT_EMISSION_SPECTRUM, MAT_SPECTRUM_TABULATED);
  data.SetString(MAT_EMISSION_TAB_START, String("380"));
  data.SetString(MAT_EMISSION_TAB_END, String("720.5"));
  data.SetLong(MAT_EMISSION_TAB_COUNT, 4);
  data.SetString(MAT_EMISSION_TAB_VALUES, String("0.1 0.2 x"));
  EXPECT_EQ(Emit(),
            "base_emission{constant{regular_tabulated{start_wavelength=380;end_wavelength=720.5;"
            "num_values=4;values=0.1 0.2 x}}}" +
                kLayer0);
}

TEST_F(EmissionTest, LightLayersGetDenseIndicesInOrderOfFirstUse) {
  data.SetBool(MAT_USE_EMISSION, TRUE);
  std::vector<std::string> layers;
  for (LONG layer : {3, 1, 3, 0}) {
    data.SetLong(MAT_LIGHT_LAYER, layer);
    Emit();
    layers.push_back(model.FirstChildElement("layer")->GetText());
  }
  EXPECT_EQ(layers, (std::vector<std::string>{"0", "1", "0", "2"}));
  EXPECT_EQ(sd.lightLayers, (std::map<int, int>{{3, 0}, {1, 1}, {0, 2}}));

  // Switched off, the material registers no layer.
  OrvaneSceneData other;
  other.document = doc;
  material->sceneData = &other;
  data.SetBool(MAT_USE_EMISSION, FALSE);
  data.SetLong(MAT_LIGHT_LAYER, 7);
  EXPECT_EQ(Emit(), "");
  EXPECT_TRUE(other.lightLayers.empty());
  material->sceneData = &sd;
}

TEST_F(EmissionTest, BackgroundMaterialTexturesGetBackgroundCoordinates) {
  data.SetBool(MAT_USE_EMISSION, TRUE);
  const std::string base =
      "base_emission{constant{rgb{rgb=0.800000 0.800000 0.800000;gamma=1.000000}}}" + kLayer0;
  const std::string values = "exponent=2.200000;a=0.000000;b=1.000000;c=0.000000";
  const std::string baked = textures + "/Sky_0_emission.jpg";
  for (int background : {0, 1}) {
    material->background = background;
    material->textureIndex = 0;
    const std::string tail = background ? ";" + kBgCoords : "";
    Link(MAT_EMISSION_SHADER, Xbitmap);
    EXPECT_EQ(Emit(), base + ";" + TextureText(wood, values + tail) + ";emission{texture{texture_index=0}}");
    Link(MAT_EMISSION_SHADER, Xgradient);
    EXPECT_EQ(Write([](CustomOrvaneMaterial& m, String n, BaseContainer* d,
                       TiXmlElement* p) { m.MaterialExportEmission(n, d, p); },
                    String("Sky")),
              base + ";emission{texture{texture_index=1}};" + TextureText(baked, values + tail));
    EXPECT_EQ(material->textureIndex, 2);
  }
  DecodedImage image;
  ASSERT_TRUE(ReadJpegFile(baked, &image));
  EXPECT_EQ(image.components, 3);
}

TEST_F(EmissionTest, FailedBakeKeepsBaseEmissionAndLayer) {
  data.SetBool(MAT_USE_EMISSION, TRUE);
  data.SetLong(MAT_LIGHT_LAYER, 4);
  Link(MAT_EMISSION_SHADER, kFailingShader);
  material->textureIndex = 2;
  EXPECT_EQ(Emit(), "base_emission{constant{rgb{rgb=0.800000 0.800000 0.800000;gamma=1.000000}}}" + kLayer0);
  EXPECT_EQ(material->textureIndex, 2);
  EXPECT_EQ(sd.lightLayers.count(4), 1u);
  EXPECT_EQ(Console(), std::vector<std::string>{"Could not bake the emission channel of material Mat"});
  EXPECT_TRUE(BakedFiles().empty());
}

}  // namespace
}  // namespace channeltest
