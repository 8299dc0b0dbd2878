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
  const LVector lowColour = low->GetVector(MAT_ABSORPTION_COLOR);
  EXPECT_DOUBLE_EQ(lowColour.x, 0.8);
  EXPECT_DOUBLE_EQ(lowColour.y, 0.6);
  EXPECT_DOUBLE_EQ(lowColour.z, 0.5);
  EXPECT_EQ(low->GetReal(MAT_ABSORPTION_SCALE), 1.0);
  EXPECT_EQ(low->GetData(MAT_USE_SUBSURFACE), Fresh(MAT_USE_SUBSURFACE));

  BaseContainer* high = Data("High");
  const LVector highColour = high->GetVector(MAT_ABSORPTION_COLOR);  // absorption inverted
  EXPECT_DOUBLE_EQ(highColour.x, 0.0);
  EXPECT_DOUBLE_EQ(highColour.y, 0.5);
  EXPECT_DOUBLE_EQ(highColour.z, 0.75);
  EXPECT_EQ(high->GetReal(MAT_ABSORPTION_SCALE), 2.0);
  EXPECT_TRUE(high->GetBool(MAT_USE_SUBSURFACE));
  const LVector scattering = high->GetVector(MAT_SCATTERING_COLOR);  // scattering not
  EXPECT_DOUBLE_EQ(scattering.x, 1.0);
  EXPECT_DOUBLE_EQ(scattering.y, 0.5);
  EXPECT_DOUBLE_EQ(scattering.z, 0.25);
  EXPECT_EQ(high->GetReal(MAT_SCATTERING_SCALE), 2.0);
  EXPECT_EQ(high->GetReal(MAT_SCATTERING_GAMMA), 1.5);
  EXPECT_EQ(high->GetLong(MAT_PHASE_FUNCTION), MAT_PHASE_HENYEY_GREENSTEIN);
  EXPECT_DOUBLE_EQ(high->GetVector(MAT_PHASE_G).y, 0.5);  // rgb after uniform
  EXPECT_EQ(high->GetReal(MAT_PHASE_G_GAMMA), 2.0);

  EXPECT_EQ(Data("None")->GetData(MAT_MEDIUM_PRECEDENCE), Fresh(MAT_MEDIUM_PRECEDENCE));
  // Missing components read as 0.0, whatever the blanks.
  const LVector shortColour = Data("Short")->GetVector(MAT_ABSORPTION_COLOR);
  EXPECT_DOUBLE_EQ(shortColour.x, 0.5);
  EXPECT_DOUBLE_EQ(shortColour.y, 1.0);
  EXPECT_DOUBLE_EQ(shortColour.z, 1.0);
}

// The medium settings of a material before the writer writes them.
struct MediumCase {
  const char* name;
  void (*set)(BaseContainer*);
};

void SetCommon(BaseContainer* bc) {
  bc->SetLong(MAT_MEDIUM_TYPE, MAT_MEDIUM_BASIC);
  bc->SetLong(MAT_MEDIUM_PRECEDENCE, 12);
  bc->SetReal(MAT_MEDIUM_IOR, 1.52);
  bc->SetReal(MAT_MEDIUM_CAUCHY_B, 0.004);
}

TEST_F(ImportTest, MediaWrittenByTheMaterialComeBackTheSame) {
  const MediumCase cases[] = {
      {"RgbLow",
       [](BaseContainer* bc) {
         bc->SetLong(MAT_ABSORPTION_SPECTRUM, MAT_SPECTRUM_RGB);
         bc->SetVector(MAT_ABSORPTION_COLOR, LVector(0.75, 0.5, 0.25));
         bc->SetReal(MAT_ABSORPTION_GAMMA, 2.2);
         bc->SetReal(MAT_ABSORPTION_SCALE, 1.0);
       }},
      {"RgbHigh",
       [](BaseContainer* bc) {
         bc->SetLong(MAT_ABSORPTION_SPECTRUM, MAT_SPECTRUM_RGB);
         bc->SetVector(MAT_ABSORPTION_COLOR, LVector(0.5, 0.0, 0.75));
         bc->SetReal(MAT_ABSORPTION_GAMMA, 1.0);
         bc->SetReal(MAT_ABSORPTION_SCALE, 4.0);
       }},
      {"Uniform",
       [](BaseContainer* bc) {
         bc->SetLong(MAT_ABSORPTION_SPECTRUM, MAT_SPECTRUM_UNIFORM);
         bc->SetReal(MAT_ABSORPTION_UNIFORM, 0.125);
       }},
      {"Blackbody",
       [](BaseContainer* bc) {
         bc->SetLong(MAT_ABSORPTION_SPECTRUM, MAT_SPECTRUM_BLACKBODY);
         bc->SetReal(MAT_ABSORPTION_TEMPERATURE, 5500.0);
         bc->SetReal(MAT_ABSORPTION_GAIN, 0.5);
       }},
      {"Peak",
       [](BaseContainer* bc) {
         bc->SetLong(MAT_ABSORPTION_SPECTRUM, MAT_SPECTRUM_PEAK);
         bc->SetReal(MAT_ABSORPTION_PEAK_MIN, 4e-7);
         bc->SetReal(MAT_ABSORPTION_PEAK_WIDTH, 5e-8);
         bc->SetReal(MAT_ABSORPTION_BASE_VALUE, 0.1);
         bc->SetReal(MAT_ABSORPTION_PEAK_VALUE, 0.9);
       }},
      {"Tabulated",
       [](BaseContainer* bc) {
         bc->SetLong(MAT_ABSORPTION_SPECTRUM, MAT_SPECTRUM_TABULATED);
         bc->SetString(MAT_ABSORPTION_TAB_START, "3.8e-7");
         bc->SetString(MAT_ABSORPTION_TAB_END, "7.2e-7");
         bc->SetLong(MAT_ABSORPTION_TAB_COUNT, 3);
         bc->SetString(MAT_ABSORPTION_TAB_VALUES, "0.1 0.2 0.3");
       }},
      {"Scattering",
       [](BaseContainer* bc) {
         bc->SetLong(MAT_ABSORPTION_SPECTRUM, MAT_SPECTRUM_UNIFORM);
         bc->SetReal(MAT_ABSORPTION_UNIFORM, 0.0);
         bc->SetBool(MAT_USE_SUBSURFACE, TRUE);
         bc->SetLong(MAT_SCATTERING_SPECTRUM, MAT_SPECTRUM_RGB);
         bc->SetVector(MAT_SCATTERING_COLOR, LVector(1.0, 0.5, 0.25));
         bc->SetReal(MAT_SCATTERING_GAMMA, 1.0);
         bc->SetReal(MAT_SCATTERING_SCALE, 3.0);
         bc->SetLong(MAT_PHASE_FUNCTION, MAT_PHASE_HENYEY_GREENSTEIN);
         bc->SetVector(MAT_PHASE_G, LVector(0.25, 0.5, 0.75));
         bc->SetReal(MAT_PHASE_G_GAMMA, 1.0);
       }},
  };
  OrvaneSceneData sceneData;
  CustomOrvaneMaterial writer;
  writer.sceneData = &sceneData;
  for (const MediumCase& c : cases) {
    BaseMaterial* mat = BaseMaterial::Alloc(ID_CUSTOMORVANEMATERIAL);
    ASSERT_NE(mat, nullptr);
    SetCommon(mat->GetDataInstance());
    c.set(mat->GetDataInstance());
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
