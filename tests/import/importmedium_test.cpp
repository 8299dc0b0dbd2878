// The medium import: values per spectrum kind, the colour forms, and medium -> import -> medium
// through the material's medium writer.
#include <gtest/gtest.h>
#include <tinyxml.h>

#include "export/orvanescenedata.h"
#include "import/import_support.h"
#include "support/xml_text.h"

namespace {

std::string Glossy(const std::string& medium) {
  return "<glossy_transparent><exponent><constant>10</constant></exponent><internal_medium_name>" + medium +
         "</internal_medium_name></glossy_transparent>";
}

std::string Medium(const std::string& name, const std::string& inside) {
  return "<medium><name>" + name + "</name>" + inside + "</medium>";
}

TEST_F(ImportTest, MediumValuesAndColourForms) {
  const std::string sss =
      "<subsurface_scattering><scattering_coefficient_spectrum><rgb><rgb>2 1 "
      "0.5</rgb><gamma>1.5</gamma></rgb>"
      "</scattering_coefficient_spectrum><phase_function><uniform/"
      "><henyey_greenstein><g_spectrum><uniform><value>0.3</value>"
      "</uniform><rgb><rgb>0.5 0.5 "
      "0.5</rgb><gamma>2</gamma></rgb></g_spectrum></henyey_greenstein></phase_function></"
      "subsurface_scattering>";
  ImportBody(
      Mat("Low", Glossy("low")) + Mat("High", Glossy("high")) + Mat("None", Glossy("nowhere")) +
      Mat("Short", Glossy("short")) +
      Medium("low",
             "<precedence>5</precedence><basic><ior>1.33</ior><cauchy_b_coeff>0.01</cauchy_b_coeff>"
             "<absorption_coefficient_spectrum><uniform><value>3</value></uniform><rgb><rgb>0.2 0.4 0.5</rgb>"
             "<gamma>1</gamma></rgb></absorption_coefficient_spectrum></basic>") +
      Medium("low", "<precedence>99</precedence>") +
      Medium("high",
             "<precedence>7</precedence><basic><absorption_coefficient_spectrum><rgb><rgb>2 1 0.5</rgb>"
             "</rgb></absorption_coefficient_spectrum>" +
                 sss + "</basic>") +
      Medium("short",
             "<precedence>8</precedence><basic><absorption_coefficient_spectrum><rgb><rgb>  0.5 </rgb>"
             "</rgb></absorption_coefficient_spectrum></basic>"));
  BaseContainer* low = Data("Low");
  EXPECT_EQ(low->GetLong(MAT_MEDIUM_PRECEDENCE), 5);
  EXPECT_EQ(low->GetLong(MAT_MEDIUM_TYPE), MAT_MEDIUM_BASIC);
  EXPECT_EQ(low->GetReal(MAT_MEDIUM_IOR), 1.33);
  EXPECT_EQ(low->GetReal(MAT_MEDIUM_CAUCHY_B), 0.01);
  EXPECT_EQ(low->GetLong(MAT_ABSORPTION_SPECTRUM), MAT_SPECTRUM_RGB);  // rgb after uniform
  EXPECT_EQ(low->GetReal(MAT_ABSORPTION_UNIFORM), 3.0);
  ExpectVector(low->GetVector(MAT_ABSORPTION_COLOR), LVector(0.8, 0.6, 0.5), "low absorption");
  EXPECT_EQ(low->GetReal(MAT_ABSORPTION_SCALE), 1.0);
  EXPECT_EQ(low->GetData(MAT_USE_SUBSURFACE), Fresh(MAT_USE_SUBSURFACE));

  BaseContainer* high = Data("High");
  ExpectVector(high->GetVector(MAT_ABSORPTION_COLOR), LVector(0.0, 0.5, 0.75), "absorption inverted");
  EXPECT_EQ(high->GetReal(MAT_ABSORPTION_SCALE), 2.0);
  EXPECT_TRUE(high->GetBool(MAT_USE_SUBSURFACE));
  ExpectVector(high->GetVector(MAT_SCATTERING_COLOR), LVector(1.0, 0.5, 0.25), "scattering not");
  EXPECT_EQ(high->GetReal(MAT_SCATTERING_SCALE), 2.0);
  EXPECT_EQ(high->GetReal(MAT_SCATTERING_GAMMA), 1.5);
  EXPECT_EQ(high->GetLong(MAT_PHASE_FUNCTION), MAT_PHASE_HENYEY_GREENSTEIN);
  EXPECT_DOUBLE_EQ(high->GetVector(MAT_PHASE_G).y, 0.5);  // rgb after uniform
  EXPECT_EQ(high->GetReal(MAT_PHASE_G_GAMMA), 2.0);

  EXPECT_EQ(Data("None")->GetData(MAT_MEDIUM_PRECEDENCE), Fresh(MAT_MEDIUM_PRECEDENCE));
  // Missing components read as 0.0, whatever the blanks.
  ExpectVector(Data("Short")->GetVector(MAT_ABSORPTION_COLOR), LVector(0.5, 1.0, 1.0), "short");
}

TEST_F(ImportTest, MediaWrittenByTheMaterialComeBackTheSame) {
  // The medium settings of a material before the writer writes them, besides a basic medium of
  // precedence 12, index 1.52 and Cauchy B 0.004.
  const struct {
    const char* name;
    std::vector<std::pair<LONG, GeData>> set;
  } cases[] = {
      {"RgbLow",
       {{MAT_ABSORPTION_SPECTRUM, MAT_SPECTRUM_RGB},
        {MAT_ABSORPTION_COLOR, LVector(0.75, 0.5, 0.25)},
        {MAT_ABSORPTION_GAMMA, 2.2},
        {MAT_ABSORPTION_SCALE, 1.0}}},
      {"RgbHigh",
       {{MAT_ABSORPTION_SPECTRUM, MAT_SPECTRUM_RGB},
        {MAT_ABSORPTION_COLOR, LVector(0.5, 0.0, 0.75)},
        {MAT_ABSORPTION_GAMMA, 1.0},
        {MAT_ABSORPTION_SCALE, 4.0}}},
      {"Uniform", {{MAT_ABSORPTION_SPECTRUM, MAT_SPECTRUM_UNIFORM}, {MAT_ABSORPTION_UNIFORM, 0.125}}},
      {"Blackbody",
       {{MAT_ABSORPTION_SPECTRUM, MAT_SPECTRUM_BLACKBODY},
        {MAT_ABSORPTION_TEMPERATURE, 5500.0},
        {MAT_ABSORPTION_GAIN, 0.5}}},
      {"Peak",
       {{MAT_ABSORPTION_SPECTRUM, MAT_SPECTRUM_PEAK},
        {MAT_ABSORPTION_PEAK_MIN, 4e-7},
        {MAT_ABSORPTION_PEAK_WIDTH, 5e-8},
        {MAT_ABSORPTION_BASE_VALUE, 0.1},
        {MAT_ABSORPTION_PEAK_VALUE, 0.9}}},
      {"Tabulated",
       {{MAT_ABSORPTION_SPECTRUM, MAT_SPECTRUM_TABULATED},
        {MAT_ABSORPTION_TAB_START, "3.8e-7"},
        {MAT_ABSORPTION_TAB_END, "7.2e-7"},
        {MAT_ABSORPTION_TAB_COUNT, 3},
        {MAT_ABSORPTION_TAB_VALUES, "0.1 0.2 0.3"}}},
      {"Scattering",
       {{MAT_ABSORPTION_SPECTRUM, MAT_SPECTRUM_UNIFORM},
        {MAT_ABSORPTION_UNIFORM, 0.0},
        {MAT_USE_SUBSURFACE, true},
        {MAT_SCATTERING_SPECTRUM, MAT_SPECTRUM_RGB},
        {MAT_SCATTERING_COLOR, LVector(1.0, 0.5, 0.25)},
        {MAT_SCATTERING_GAMMA, 1.0},
        {MAT_SCATTERING_SCALE, 3.0},
        {MAT_PHASE_FUNCTION, MAT_PHASE_HENYEY_GREENSTEIN},
        {MAT_PHASE_G, LVector(0.25, 0.5, 0.75)},
        {MAT_PHASE_G_GAMMA, 1.0}}},
  };
  OrvaneSceneData sceneData;
  CustomOrvaneMaterial writer;
  writer.sceneData = &sceneData;
  for (const auto& c : cases) {
    BaseMaterial* mat = BaseMaterial::Alloc(ID_CUSTOMORVANEMATERIAL);
    ASSERT_NE(mat, nullptr);
    BaseContainer* bc = mat->GetDataInstance();
    bc->SetLong(MAT_MEDIUM_TYPE, MAT_MEDIUM_BASIC);
    bc->SetLong(MAT_MEDIUM_PRECEDENCE, 12);
    bc->SetReal(MAT_MEDIUM_IOR, 1.52);
    bc->SetReal(MAT_MEDIUM_CAUCHY_B, 0.004);
    for (const auto& [id, value] : c.set) bc->SetData(id, value);
    TiXmlElement first("scenedata");
    ASSERT_TRUE(writer.MaterialExportMedium(String(c.name), mat, &first));
    BaseMaterial::Free(mat);

    // Import the written medium into a fresh material and write it again.
    BaseContainer imported;
    import.ImportMedium(&imported, &first, String("Med") + String(c.name));
    BaseMaterial* again = BaseMaterial::Alloc(ID_CUSTOMORVANEMATERIAL);
    again->SetData(imported, FALSE);
    TiXmlElement second("scenedata");
    ASSERT_TRUE(writer.MaterialExportMedium(String(c.name), again, &second));
    BaseMaterial::Free(again);
    EXPECT_EQ(Flatten(&second), Flatten(&first)) << c.name;
  }
}

}  // namespace
