// The "medium" element of the plug-in material: every kind, every spectrum kind, the phase
// functions, and what the project's own readers make of it.
#include <gtest/gtest.h>
#include <tinyxml.h>

#include <string>

#include "material_test_support.h"
#include "orvane_utils/OrvaneBasicMedium.h"
#include "orvane_utils/OrvaneSceneParseUtils.h"
#include "support/xml_text.h"

namespace {

// The same values in the absorption and the scattering spectrum of every kind.
void SetSpectrumValues(BaseContainer* bc) {
  const int base[2][14] = {
      {MAT_ABSORPTION_COLOR, MAT_ABSORPTION_GAMMA, MAT_ABSORPTION_SCALE, MAT_ABSORPTION_TEMPERATURE,
       MAT_ABSORPTION_GAIN, MAT_ABSORPTION_PEAK_MIN, MAT_ABSORPTION_PEAK_WIDTH, MAT_ABSORPTION_BASE_VALUE,
       MAT_ABSORPTION_PEAK_VALUE, MAT_ABSORPTION_UNIFORM, MAT_ABSORPTION_TAB_START, MAT_ABSORPTION_TAB_END,
       MAT_ABSORPTION_TAB_COUNT, MAT_ABSORPTION_TAB_VALUES},
      {MAT_SCATTERING_COLOR, MAT_SCATTERING_GAMMA, MAT_SCATTERING_SCALE, MAT_SCATTERING_TEMPERATURE,
       MAT_SCATTERING_GAIN, MAT_SCATTERING_PEAK_MIN, MAT_SCATTERING_PEAK_WIDTH, MAT_SCATTERING_BASE_VALUE,
       MAT_SCATTERING_PEAK_VALUE, MAT_SCATTERING_UNIFORM, MAT_SCATTERING_TAB_START, MAT_SCATTERING_TAB_END,
       MAT_SCATTERING_TAB_COUNT, MAT_SCATTERING_TAB_VALUES}};
  for (const auto& id : base) {
    bc->SetVector(id[0], LVector(0.25, 0.5, 1.0));
    bc->SetReal(id[1], 2.0);
    bc->SetReal(id[2], 2.0);
    bc->SetReal(id[3], 3000.0);
    bc->SetReal(id[4], 0.5);
    bc->SetReal(id[5], 380.0);
    bc->SetReal(id[6], 50.0);
    bc->SetReal(id[7], 0.1);
    bc->SetReal(id[8], 0.9);
    bc->SetReal(id[9], 0.75);
    bc->SetString(id[10], String("3.8e-7"));
    bc->SetString(id[11], String("7.2e-7"));
    bc->SetLong(id[12], 3);
    bc->SetString(id[13], String("0.1 0.2 0.3"));
  }
}

// What the project's reader says of the first "medium" under `parent`: "<no error>" or its message.
std::string ReadBack(const TiXmlElement& parent, Reference<Orvane::OrvaneMedium>* out = nullptr) {
  const TiXmlElement* medium = parent.FirstChildElement("medium");
  if (!medium) return "<no medium>";
  try {
    Reference<Orvane::OrvaneMedium> m = Orvane::OrvaneSceneParseUtils::parseMedium(*medium);
    if (out) *out = m;
  } catch (const Orvane::OrvaneSceneParseUtilsExcep& e) {
    return e.what();
  }
  return "<no error>";
}

const std::string kInitAbsorption =
    "absorption_coefficient_spectrum{rgb{rgb=0.000000 0.000000 0.000000;gamma=1.000000}}";

// A new plug-in material in a document, its export state set.
class MediumTest : public MaterialTest {
 protected:
  void SetUp() override {
    MaterialTest::SetUp();
    mat = Add("Glass");
    plugin = Data(mat);
    data = mat->GetDataInstance();
    plugin->sceneData = &sd;
  }
  // The medium written for the material element `name`, flattened from its parent.
  std::string Written(const char* name = "Glass") {
    TiXmlElement parent("scene");
    EXPECT_TRUE(plugin->MaterialExportMedium(String(name), mat, &parent));
    return Flatten(&parent);
  }
  // The medium's reading by the project's reader.
  std::string Read(Reference<Orvane::OrvaneMedium>* out = nullptr) {
    TiXmlElement parent("scene");
    plugin->MaterialExportMedium(String("Glass"), mat, &parent);
    return ReadBack(parent, out);
  }

  BaseMaterial* mat = nullptr;
  CustomOrvaneMaterial* plugin = nullptr;
  BaseContainer* data = nullptr;
};

TEST_F(MediumTest, EveryKindAtTheNewMaterialsValues) {
  // The trees behind "medium{name=MedGlass;precedence=10".
  const std::string basic = ";basic{ior=1.600000;cauchy_b_coeff=0.000000;" + kInitAbsorption;
  const std::string sss =
      ";subsurface_scattering{scattering_coefficient_spectrum{uniform{value=0.000000}};phase_function";
  struct Case {
    int kind, subsurface, phase;
    std::string tree;
  } cases[] = {
      {MAT_MEDIUM_BASIC, 0, MAT_PHASE_UNIFORM, basic + "}"},
      {MAT_MEDIUM_BASIC, 1, MAT_PHASE_UNIFORM, basic + sss + "{uniform}}}"},
      {MAT_MEDIUM_BASIC, 1, MAT_PHASE_HENYEY_GREENSTEIN,
       basic + sss + "{henyey_greenstein{g_spectrum{rgb{rgb=0.900000 0.900000 0.900000;gamma=2.200000}}}}}}"},
      {MAT_MEDIUM_BASIC, 1, 4242, basic + sss + "}}"},
      {MAT_MEDIUM_DERMIS, 1, MAT_PHASE_UNIFORM, ";dermis{hemoglobin_fraction=0.050000}"},
      {MAT_MEDIUM_EPIDERMIS, 0, MAT_PHASE_UNIFORM,
       ";epidermis{melanin_fraction=0.250000;melanin_type_blend=0.500000}"},
      {MAT_MEDIUM_ATMOSPHERE, 0, MAT_PHASE_UNIFORM,
       ";atmosphere{turbidity=2.000000;center=0.000000 0.000000 0.000000}"},
      {4242, 1, MAT_PHASE_UNIFORM, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    data->SetLong(MAT_MEDIUM_TYPE, c.kind);
    data->SetBool(MAT_USE_SUBSURFACE, c.subsurface != 0);
    data->SetLong(MAT_PHASE_FUNCTION, c.phase);
    EXPECT_EQ(Written(), "medium{name=MedGlass;precedence=10" + c.tree + "}");
  }
  data->RemoveData(MAT_MEDIUM_TYPE);
  EXPECT_EQ(Written(), "medium{name=MedGlass;precedence=10}");
}

TEST_F(MediumTest, EverySpectrumKindOfAbsorptionAndScattering) {
  // A new material holds no tabulated texts: they are written empty.
  data->SetLong(MAT_ABSORPTION_SPECTRUM, MAT_SPECTRUM_TABULATED);
  EXPECT_EQ(Written(),
            "medium{name=MedGlass;precedence=10;basic{ior=1.600000;cauchy_b_coeff=0.000000;"
            "absorption_coefficient_spectrum{regular_tabulated{start_wavelength=;end_wavelength=;"
            "num_values=0;values=}}}}");

  SetSpectrumValues(data);
  data->SetBool(MAT_USE_SUBSURFACE, TRUE);
  data->SetLong(MAT_PHASE_FUNCTION, MAT_PHASE_UNIFORM);
  struct Case {
    int kind;
    std::string absorption;  // the absorption colour is inverted before the gain
    std::string scattering;  // the scattering colour is not
  } cases[] = {
      {MAT_SPECTRUM_RGB, "{rgb{rgb=1.500000 1.000000 0.000000;gamma=2.000000}}",
       "{rgb{rgb=0.500000 1.000000 2.000000;gamma=2.000000}}"},
      {MAT_SPECTRUM_BLACKBODY, "{blackbody{temperature=3000.000000;gain=0.500000}}", ""},
      {MAT_SPECTRUM_PEAK,
       "{peak{peak_min=380.000000;peak_width=50.000000;base_value=0.100000;peak_value=0.900000}}", ""},
      {MAT_SPECTRUM_UNIFORM, "{uniform{value=0.750000}}", ""},
      {MAT_SPECTRUM_TABULATED,
       "{regular_tabulated{start_wavelength=3.8e-7;end_wavelength=7.2e-7;num_values=3;"
       "values=0.1 0.2 0.3}}",
       ""},
      {6109, "", ""},
      {0, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    const std::string scattering = c.kind == MAT_SPECTRUM_RGB ? c.scattering : c.absorption;
    data->SetLong(MAT_ABSORPTION_SPECTRUM, c.kind);
    data->SetLong(MAT_SCATTERING_SPECTRUM, c.kind);
    EXPECT_EQ(Written(),
              "medium{name=MedGlass;precedence=10;basic{ior=1.600000;cauchy_b_coeff=0.000000;"
              "absorption_coefficient_spectrum" +
                  c.absorption + ";subsurface_scattering{scattering_coefficient_spectrum" + scattering +
                  ";phase_function{uniform}}}}");
  }
}

TEST_F(MediumTest, NamesPrecedenceTurbidityAndTheScaledCentre) {
  const std::string rest =
      ";precedence=10;basic{ior=1.600000;cauchy_b_coeff=0.000000;" + kInitAbsorption + "}}";
  EXPECT_EQ(Written("Glass_b_l_e_n_d_A"), "medium{name=MedGlass_b_l_e_n_d_A" + rest);
  EXPECT_EQ(Written(""), "medium{name=Med" + rest);
  EXPECT_EQ(Written("Gl\xC3\xA4s"), "medium{name=MedGl\xC3\xA4s" + rest);

  data->RemoveData(MAT_MEDIUM_PRECEDENCE);
  data->RemoveData(MAT_TURBIDITY);
  data->SetLong(MAT_MEDIUM_TYPE, MAT_MEDIUM_ATMOSPHERE);
  data->SetVector(MAT_ATMOSPHERE_CENTER, LVector(1, 2, 3));
  sd.globalScale = 0.01;
  EXPECT_EQ(Written(),
            "medium{name=MedGlass;precedence=1;atmosphere{turbidity=2.000000;"
            "center=0.010000 0.030000 0.020000}}");
}

TEST_F(MediumTest, WithoutSceneDataNothingIsWritten) {
  plugin->sceneData = nullptr;
  TiXmlElement parent("scene");
  EXPECT_FALSE(plugin->MaterialExportMedium(String("Glass"), mat, &parent));
  EXPECT_EQ(parent.FirstChild(), nullptr);
}

TEST_F(MediumTest, TheProjectsReaderReadsWhatIsWritten) {
  // Readable forms: each with the values the reader hands back.
  Reference<Orvane::OrvaneMedium> medium;
  ASSERT_EQ(Read(&medium), "<no error>");
  EXPECT_EQ(medium->name, "MedGlass");
  EXPECT_EQ(medium->precedence, 10);
  auto* basic = dynamic_cast<Orvane::OrvaneBasicMedium*>(medium.getPointer());
  ASSERT_NE(basic, nullptr);
  EXPECT_DOUBLE_EQ(basic->ior, 1.6);
  EXPECT_EQ(basic->subsurface_scattering.getPointer(), nullptr);

  SetSpectrumValues(data);
  data->SetBool(MAT_USE_SUBSURFACE, TRUE);
  for (int phase : {MAT_PHASE_UNIFORM, MAT_PHASE_HENYEY_GREENSTEIN}) {
    data->SetLong(MAT_PHASE_FUNCTION, phase);
    for (int kind : {MAT_SPECTRUM_RGB, MAT_SPECTRUM_BLACKBODY, MAT_SPECTRUM_PEAK, MAT_SPECTRUM_UNIFORM,
                     MAT_SPECTRUM_TABULATED}) {
      SCOPED_TRACE(kind);
      data->SetLong(MAT_ABSORPTION_SPECTRUM, kind);
      data->SetLong(MAT_SCATTERING_SPECTRUM, kind);
      EXPECT_EQ(Read(), "<no error>");
    }
  }
  for (int kind : {MAT_MEDIUM_DERMIS, MAT_MEDIUM_EPIDERMIS}) {
    data->SetLong(MAT_MEDIUM_TYPE, kind);
    EXPECT_EQ(Read(), "<no error>");
  }

  // Forms the writer keeps although the reader refuses them.
  data->SetLong(MAT_MEDIUM_TYPE, MAT_MEDIUM_ATMOSPHERE);
  EXPECT_EQ(Read(), "Atmosphere loading not supported.");
  data->SetLong(MAT_MEDIUM_TYPE, 4242);
  EXPECT_EQ(Read(), "Medium type not found.   (In element 'medium', around line 0, column 0)");
  data->SetLong(MAT_MEDIUM_TYPE, MAT_MEDIUM_BASIC);
  auto at = [](const std::string& element) {
    return "  (In element '" + element + "', around line 0, column 0)";
  };
  data->SetLong(MAT_ABSORPTION_SPECTRUM, 6109);
  EXPECT_EQ(Read(),
            "Failed to find child for element 'absorption_coefficient_spectrum' - Child should be one "
            "of 'blackbody', 'peak', 'regular_tabulated', 'rgb', 'uniform'." +
                at("absorption_coefficient_spectrum"));
  data->SetLong(MAT_ABSORPTION_SPECTRUM, MAT_SPECTRUM_UNIFORM);
  data->SetLong(MAT_PHASE_FUNCTION, 4242);
  EXPECT_EQ(Read(),
            "Failed to find child for element 'phase_function' - Child should be one of "
            "'henyey_greenstein', 'uniform'." +
                at("phase_function"));
  CustomOrvaneMaterial::WriteDefaults(data, 0);
  data->SetLong(MAT_ABSORPTION_SPECTRUM, MAT_SPECTRUM_TABULATED);
  EXPECT_EQ(Read(), "Syntax error while parsing data." + at("regular_tabulated"));
}

}  // namespace
