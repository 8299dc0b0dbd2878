// The channel importers: colour normalisation, constants per spectrum, code shaders, base
// emission, and the type importers' plain values.
#include <gtest/gtest.h>

#include "import/import_support.h"

namespace {

TEST(ColorVectorConversion, DividesByTheLargestComponentOnlyAboveOneTiesGoingToXThenY) {
  const struct {
    LVector in;
    LVector out;
    Real brightness;  // -1: left as it was
  } rows[] = {
      {LVector(0.2, 0.4, 0.6), LVector(0.2, 0.4, 0.6), -1},
      {LVector(1.0, 1.0, 1.0), LVector(1.0, 1.0, 1.0), -1},
      {LVector(1.0, 0.5, 1.0), LVector(1.0, 0.5, 1.0), -1},
      {LVector(2, 1, 0.5), LVector(1, 0.5, 0.25), 2},
      {LVector(2, 2, 1), LVector(1, 1, 0.5), 2},
      {LVector(1, 3, 3), LVector(1.0 / 3, 1, 1), 3},
      {LVector(0.5, 1.5, 4), LVector(0.125, 0.375, 1), 4},
      {LVector(1.0000001, 0, 0), LVector(1, 0, 0), 1.0000001},
  };
  for (const auto& r : rows) {
    Real brightness = -1;
    ExpectVector(ColorVectorConversion(r.in, &brightness), r.out, "colour");
    EXPECT_DOUBLE_EQ(brightness, r.brightness);
  }
  ExpectVector(ColorVectorConversion(LVector(3, 0, 0), nullptr), LVector(1, 0, 0), "null brightness");
}

const char kRgb[] = "<constant><rgb><rgb>2 1 0.5</rgb><gamma>2.2</gamma></rgb></constant>";

TEST_F(ImportTest, ConstantsOfEachSpectrumLandInTheirParameters) {
  ImportBody(
      Mat("Uniform",
          "<diffuse><albedo><constant><uniform><value>0.5</value></uniform></constant></albedo>"
          "<base_emission><constant><uniform><value>7</value></uniform></constant></base_emission></"
          "diffuse>") +
      Mat("Rgb", std::string("<diffuse><albedo>") + kRgb + "</albedo><base_emission>" + kRgb +
                     "</base_emission><layer>3</layer></diffuse>") +
      Mat("Peak",
          "<oren_nayar><sigma><constant>0.3</constant></sigma><base_emission><constant><peak><peak_min>4e-7</"
          "peak_min>"
          "<peak_width>5e-8</peak_width><base_value>0.1</base_value><peak_value>0.9</peak_value></peak></"
          "constant></base_emission></oren_nayar>") +
      Mat("Black",
          "<diffuse_transmitter><base_emission><constant><blackbody><temperature>3000</temperature>"
          "<gain>2</gain></blackbody></constant></base_emission></diffuse_transmitter>") +
      Mat("Tab",
          "<diffuse><base_emission><constant><regular_tabulated><start_wavelength>3.8e-7</start_wavelength>"
          "<end_wavelength>7.2e-7</end_wavelength><num_values>3</num_values><values>1 2.5 0.125</values>"
          "</regular_tabulated></constant></base_emission></diffuse>"));
  EXPECT_TRUE(Messages().empty());

  BaseContainer* u = Data("Uniform");
  ExpectVector(u->GetVector(MAT_ALBEDO_COLOR), LVector(0.5), "uniform albedo");
  EXPECT_EQ(u->GetReal(MAT_ALBEDO_BRIGHTNESS), 1.0);
  EXPECT_EQ(u->GetReal(MAT_ALBEDO_GAMMA), 1.0);
  EXPECT_EQ(u->GetLong(MAT_EMISSION_SPECTRUM), MAT_SPECTRUM_UNIFORM);
  EXPECT_EQ(u->GetReal(MAT_EMISSION_UNIFORM), 7.0);
  EXPECT_TRUE(u->GetBool(MAT_USE_EMISSION));

  BaseContainer* rgb = Data("Rgb");
  ExpectVector(rgb->GetVector(MAT_ALBEDO_COLOR), LVector(2, 1, 0.5), "albedo is not normalised");
  EXPECT_EQ(rgb->GetReal(MAT_ALBEDO_GAMMA), 2.2);
  ExpectVector(rgb->GetVector(MAT_EMISSION_COLOR), LVector(1, 0.5, 0.25), "emission is");
  EXPECT_EQ(rgb->GetReal(MAT_EMISSION_BRIGHTNESS), 2.0);
  EXPECT_EQ(rgb->GetReal(MAT_EMISSION_GAMMA), 2.2);
  EXPECT_EQ(rgb->GetLong(MAT_EMISSION_SPECTRUM), MAT_SPECTRUM_RGB);
  EXPECT_EQ(rgb->GetLong(MAT_LIGHT_LAYER), 3);

  BaseContainer* peak = Data("Peak");
  EXPECT_DOUBLE_EQ(peak->GetReal(MAT_SIGMA), 0.3);
  EXPECT_EQ(peak->GetLong(MAT_EMISSION_SPECTRUM), MAT_SPECTRUM_PEAK);
  EXPECT_EQ(peak->GetReal(MAT_EMISSION_BASE_VALUE), 0.1);
  EXPECT_EQ(peak->GetReal(MAT_EMISSION_PEAK_VALUE), 0.9);

  BaseContainer* black = Data("Black");
  EXPECT_EQ(black->GetLong(MAT_EMISSION_SPECTRUM), MAT_SPECTRUM_BLACKBODY);
  EXPECT_EQ(black->GetReal(MAT_EMISSION_TEMPERATURE), 3000.0);
  EXPECT_EQ(black->GetReal(MAT_EMISSION_GAIN), 2.0);

  // Wavelengths in metres with every digit; each value followed by one blank.
  BaseContainer* tab = Data("Tab");
  EXPECT_EQ(tab->GetLong(MAT_EMISSION_SPECTRUM), MAT_SPECTRUM_TABULATED);
  EXPECT_EQ(host::ToUtf8(tab->GetString(MAT_EMISSION_TAB_START)), "3.8e-07");
  EXPECT_EQ(host::ToUtf8(tab->GetString(MAT_EMISSION_TAB_END)), "7.2e-07");
  EXPECT_EQ(tab->GetLong(MAT_EMISSION_TAB_COUNT), 3);
  EXPECT_EQ(host::ToUtf8(tab->GetString(MAT_EMISSION_TAB_VALUES)), "1 2.5 0.125 ");
}

TEST_F(ImportTest, UnsupportedConstantsWarnInTheOrderMetAndWriteNothing) {
  const std::string spectra[] = {
      kRgb, "<constant><blackbody><temperature>3000</temperature><gain>1</gain></blackbody></constant>",
      "<constant><uniform><value>1</value></uniform></constant>",
      "<constant><regular_tabulated><start_wavelength>4e-7</start_wavelength><end_wavelength>7e-7</"
      "end_wavelength>"
      "<num_values>2</num_values><values>1 2</values></regular_tabulated></constant>",
      "<constant><peak><peak_min>4e-7</peak_min><peak_width>5e-8</peak_width><base_value>0</base_value>"
      "<peak_value>1</peak_value></peak></constant>"};
  std::string body;
  for (const std::string& s : spectra) body += "<emission>" + s + "</emission>";
  // Only the first emission element counts for the reader: one material per spectrum.
  for (int i = 0; i < 5; ++i)
    ImportBody(Mat("E" + std::to_string(i),
                   "<specular><internal_medium_name>m</internal_medium_name><transparent>true</"
                   "transparent><emission>" +
                       spectra[i] + "</emission><absorption_layer_transmittance>" + spectra[(i + 1) % 5] +
                       "</absorption_layer_transmittance><displacement><constant>1</constant></"
                       "displacement></specular>"),
               "e" + std::to_string(i) + ".ovm");
  EXPECT_EQ(Messages(), (std::vector<std::string>{
                            "Import warnings:\n- Displacement constant in Material \"E0\" not supported.\n- "
                            "Emission RGB spectrum in Material \"E0\" not supported.\n- Absorption layer "
                            "blackbody spectrum in Material \"E0\" not supported.",
                            "Import warnings:\n- Displacement constant in Material \"E1\" not supported.\n- "
                            "Emission blackbody spectrum in Material \"E1\" not supported.",
                            "Import warnings:\n- Displacement constant in Material \"E2\" not supported.\n- "
                            "Emission uniform spectrum in Material \"E2\" not supported.\n- Absorption layer "
                            "spectrum in Material \"E2\" not supported.",
                            "Import warnings:\n- Displacement constant in Material \"E3\" not supported.\n- "
                            "Emission tabulated spectrum in Material \"E3\" not supported.\n- Absorption "
                            "layer spectrum in Material \"E3\" not supported.",
                            "Import warnings:\n- Displacement constant in Material \"E4\" not supported.\n- "
                            "Emission peak spectrum in Material \"E4\" not supported.",
                        }));
  EXPECT_EQ(Data("E0")->GetData(MAT_EMISSION_SPECTRUM), Fresh(MAT_EMISSION_SPECTRUM));
  // A layer given as rgb or uniform is stored, its switch untouched.
  ExpectVector(Data("E1")->GetVector(MAT_ABSORPTION_LAYER_COLOR), LVector(1.0), "uniform layer");
  ExpectVector(Data("E4")->GetVector(MAT_ABSORPTION_LAYER_COLOR), LVector(2, 1, 0.5), "rgb layer");
  EXPECT_EQ(Data("E4")->GetReal(MAT_ABSORPTION_LAYER_GAMMA), 2.2);
  EXPECT_EQ(Data("E4")->GetData(MAT_USE_ABSORPTION_LAYER), Fresh(MAT_USE_ABSORPTION_LAYER));
}

TEST_F(ImportTest, ProgramsBecomeCodeShadersOfTheDocumentLinkedWithTheirChannelOn) {
  const std::string program = "<shader><shader><![CDATA[def eval() real: 0.5]]></shader></shader>";
  ImportBody(Mat("Bumpy", "<phong><exponent>" + program + "</exponent><bump>" + program +
                              "</bump><diffuse_albedo>" + program +
                              "</diffuse_albedo><ior>1.7</ior><nk_data>gold.nk</nk_data></phong>"));
  EXPECT_EQ(Messages(), std::vector<std::string>());
  BaseContainer* data = Data("Bumpy");
  const struct {
    int link, sw;
  } rows[] = {{MAT_EXPONENT_SHADER, MAT_USE_EXPONENT},
              {MAT_BUMP_SHADER, MAT_USE_BUMP},
              {MAT_ALBEDO_SHADER, MAT_USE_ALBEDO}};
  int count = 0;
  for (BaseShader* sh = static_cast<BaseShader*>(doc->GetDown()); sh; sh = sh->GetNext()) ++count;
  EXPECT_EQ(count, 3);
  for (const auto& r : rows) {
    BaseList2D* sh = data->GetLink(r.link, doc);
    ASSERT_NE(sh, nullptr) << r.link;
    EXPECT_EQ(sh->GetType(), ID_OVLSHADER);
    EXPECT_EQ(host::ToUtf8(sh->GetDataInstance()->GetString(OVL_CODE)), "def eval() real: 0.5");
    EXPECT_TRUE(data->GetBool(r.sw));
  }
  EXPECT_DOUBLE_EQ(data->GetReal(MAT_PHONG_IOR), 1.7);
  EXPECT_TRUE(data->GetBool(MAT_USE_NK));
  EXPECT_EQ(host::ToUtf8(data->GetString(MAT_NK_FILE)), "gold.nk");
}

TEST_F(ImportTest, SpecularReflectivityWinsOverTheDiffuseAlbedo) {
  ImportBody(Mat("Both",
                 "<phong><exponent><constant>10</constant></"
                 "exponent><diffuse_albedo><constant><uniform><value>0.25</value>"
                 "</uniform></constant></"
                 "diffuse_albedo><specular_reflectivity><constant><uniform><value>0.75</value>"
                 "</uniform></constant></specular_reflectivity></phong>") +
             Mat("Diffuse",
                 "<phong><exponent><constant>10</constant></exponent><diffuse_albedo><constant><uniform>"
                 "<value>0.25</value></uniform></constant></diffuse_albedo></phong>"));
  ExpectVector(Data("Both")->GetVector(MAT_ALBEDO_COLOR), LVector(0.75), "both");
  EXPECT_TRUE(Data("Both")->GetBool(MAT_ALBEDO_IS_SPECULAR));
  EXPECT_EQ(Data("Both")->GetReal(MAT_EXPONENT), 10.0);
  EXPECT_EQ(Data("Diffuse")->GetData(MAT_ALBEDO_IS_SPECULAR), Fresh(MAT_ALBEDO_IS_SPECULAR));
}

}  // namespace
