// The plug-in material's attribute page: which switches and groups show for each type and value,
// and which constants and texture values a linked shader greys out.
#include <gtest/gtest.h>

#include <string>

#include "material/materiallayout.h"
#include "material_test_support.h"
#include "shader/ovlshader.h"

using namespace MaterialLayout;

namespace {

class LayoutTest : public MaterialTest {
 protected:
  // The page of `mat` as the host builds it; `ok` receives what GetDDescription answered.
  Description* Page(BaseMaterial* mat, bool* ok = nullptr) {
    page.reset(Description::Alloc());
    LONG flags = 0;
    const bool r = Data(mat)->GetDDescription(mat, page.get(), flags);
    if (ok) *ok = r;
    return page.get();
  }
  // "+" for each shown, "-" for each hidden entry of `ids`.
  std::string Visible(std::initializer_list<LONG> ids) const {
    std::string out;
    for (LONG id : ids) {
      const BaseContainer* bc = page->GetParameter(DescID(DescLevel(id)));
      out += !bc ? '?' : bc->GetBool(DESC_HIDE) ? '-' : '+';
    }
    return out;
  }
  bool Enabled(BaseMaterial* mat, LONG id) {
    return Data(mat)->GetDEnabling(mat, DescID(DescLevel(id)), GeData(), 0, nullptr) != FALSE;
  }

  std::unique_ptr<Description> page;
};

// The eleven switches in page order, then the second partner.
const std::initializer_list<LONG> kSwitchIds = {MAT_USE_ALPHA,     MAT_USE_ALBEDO,           MAT_SHOW_PHONG,
                                                MAT_SHOW_MEDIUM,   MAT_USE_EXPONENT,         MAT_USE_SIGMA,
                                                MAT_USE_BUMP,      MAT_USE_DISPLACEMENT,     MAT_USE_EMISSION,
                                                MAT_SHOW_SPECULAR, MAT_USE_ABSORPTION_LAYER, MAT_BLEND_B};
// The groups of those switches, in the same order.
const std::initializer_list<LONG> kGroupIds = {
    MAT_GROUP_ALPHA,    MAT_GROUP_ALBEDO,          MAT_GROUP_PHONG,
    MAT_GROUP_MEDIUM,   MAT_GROUP_EXPONENT,        MAT_GROUP_SIGMA,
    MAT_GROUP_BUMP,     MAT_GROUP_DISPLACEMENT,    MAT_GROUP_EMISSION,
    MAT_GROUP_SPECULAR, MAT_GROUP_ABSORPTION_LAYER};

TEST_F(LayoutTest, SwitchesAndGroupsOfANewMaterialOfEachType) {
  // Switches as kSwitchIds, groups as kGroupIds, for the switches a new material of the type holds.
  const struct {
    LONG type;
    const char *shown, *groups;
  } kTable[] = {
      {MAT_TYPE_DIFFUSE, "++----+++---", "-+---------"},
      {MAT_TYPE_DIFFUSE_TRANSMITTER, "++----+++---", "-+---------"},
      {MAT_TYPE_OREN_NAYAR, "++---++++---", "-+---+-----"},
      {MAT_TYPE_PHONG, "+++-+-+++---", "-++-+------"},
      {MAT_TYPE_SPECULAR, "+--+--+++++-", "---+-----+-"},
      {MAT_TYPE_GLOSSY_TRANSPARENT, "+--++-+++-+-", "---++------"},
      {MAT_TYPE_BLEND, "+----------+", "+----------"},
      {MAT_TYPE_NULL, "+-----------", "+----------"},
  };
  for (const auto& row : kTable) {
    SCOPED_TRACE(row.type);
    Page(Add("M", row.type));
    EXPECT_EQ(Visible(kSwitchIds), row.shown);
    EXPECT_EQ(Visible(kGroupIds), row.groups);
  }
  // A value that is no type hides the second partner and leaves the switches as the resource has them.
  BaseMaterial* odd = Add("Odd");
  odd->GetDataInstance()->SetLong(MAT_TYPE, 1234);
  Page(odd);
  EXPECT_EQ(Visible(kSwitchIds), "+++++++++++-");
}

TEST_F(LayoutTest, GroupsFollowTheirSwitchesAndAbsentSwitchesReadOff) {
  BaseMaterial* mat = Add("M");
  BaseContainer* bc = mat->GetDataInstance();
  Page(mat);
  EXPECT_EQ(Visible(kGroupIds), "-+---------");

  // A switch hidden by the type still governs its group; a switch turned off hides its group.
  bc->SetBool(MAT_USE_SIGMA, TRUE);
  bc->SetBool(MAT_USE_ALBEDO, FALSE);
  bc->SetBool(MAT_USE_EMISSION, TRUE);
  Page(mat);
  EXPECT_EQ(Visible(kGroupIds), "-----+--+--");
  EXPECT_EQ(Visible({MAT_USE_SIGMA, MAT_USE_ALBEDO}), "-+");

  // A material whose container lacks the switches shows none of their groups.
  bc->FlushAll();
  Page(mat);
  EXPECT_EQ(Visible(kGroupIds), "-----------");
}

TEST_F(LayoutTest, SpectrumMediumSubsurfaceAndNkGroups) {
  BaseMaterial* mat = Add("M", MAT_TYPE_SPECULAR);
  BaseContainer* bc = mat->GetDataInstance();
  const std::initializer_list<LONG> emission = {MAT_GROUP_EMISSION_RGB, MAT_GROUP_EMISSION_BLACKBODY,
                                                MAT_GROUP_EMISSION_PEAK, MAT_GROUP_EMISSION_UNIFORM,
                                                MAT_GROUP_EMISSION_TABULATED};
  const std::initializer_list<LONG> absorption = {6211, 6212, 6213, 6214, 6215};
  const std::initializer_list<LONG> scattering = {6218, 6219, 6220, 6221, 6222};
  const struct {
    LONG kind;
    const char* shown;
  } kSpectra[] = {{MAT_SPECTRUM_RGB, "+----"},
                  {MAT_SPECTRUM_BLACKBODY, "-+---"},
                  {MAT_SPECTRUM_PEAK, "--+--"},
                  {MAT_SPECTRUM_UNIFORM, "---+-"},
                  {MAT_SPECTRUM_TABULATED, "----+"}};
  for (const auto& row : kSpectra) {
    bc->SetLong(MAT_EMISSION_SPECTRUM, row.kind);
    bc->SetLong(MAT_ABSORPTION_SPECTRUM, row.kind);
    bc->SetLong(MAT_SCATTERING_SPECTRUM, row.kind);
    Page(mat);
    EXPECT_EQ(Visible(emission), row.shown) << row.kind;
    EXPECT_EQ(Visible(absorption), row.shown) << row.kind;
    EXPECT_EQ(Visible(scattering), row.shown) << row.kind;
  }
  // Peak and uniform of the emission: 6239 and 6238.
  bc->SetLong(MAT_EMISSION_SPECTRUM, MAT_SPECTRUM_PEAK);
  Page(mat);
  EXPECT_EQ(Visible({6239, 6238}), "+-");
  // A selector outside the kinds leaves the groups as the resource has them (all shown).
  bc->SetLong(MAT_EMISSION_SPECTRUM, 0);
  Page(mat);
  EXPECT_EQ(Visible(emission), "+++++");

  const struct {
    LONG medium;
    const char* shown;  // basic dermis epidermis atmosphere
  } kMedia[] = {{MAT_MEDIUM_BASIC, "+---"},
                {MAT_MEDIUM_DERMIS, "-+--"},
                {MAT_MEDIUM_EPIDERMIS, "--+-"},
                {MAT_MEDIUM_ATMOSPHERE, "---+"},
                {4711, "+---"}};
  for (const auto& row : kMedia) {
    bc->SetLong(MAT_MEDIUM_TYPE, row.medium);
    Page(mat);
    EXPECT_EQ(Visible({6123, 6124, 6125, 6286}), row.shown) << row.medium;
  }

  // Subsurface off hides its group and leaves Henyey-Greenstein as the resource has it.
  const struct {
    Bool subsurface;
    LONG phase;
    const char* shown;
  } kSubsurface[] = {{FALSE, MAT_PHASE_UNIFORM, "-+"},
                     {TRUE, MAT_PHASE_UNIFORM, "+-"},
                     {TRUE, MAT_PHASE_HENYEY_GREENSTEIN, "++"}};
  for (const auto& row : kSubsurface) {
    bc->SetBool(MAT_USE_SUBSURFACE, row.subsurface);
    bc->SetLong(MAT_PHASE_FUNCTION, row.phase);
    Page(mat);
    EXPECT_EQ(Visible({MAT_GROUP_SUBSURFACE, MAT_GROUP_HENYEY_GREENSTEIN}), row.shown) << row.phase;
  }

  // nk data: file, "no nk" group, phong IOR.
  const struct {
    Bool nk, specular;
    const char* shown;
  } kNk[] = {{TRUE, TRUE, "+-+"}, {TRUE, FALSE, "+-+"}, {FALSE, FALSE, "-++"}, {FALSE, TRUE, "-+-"}};
  for (const auto& row : kNk) {
    bc->SetBool(MAT_USE_NK, row.nk);
    bc->SetBool(MAT_ALBEDO_IS_SPECULAR, row.specular);
    Page(mat);
    EXPECT_EQ(Visible({MAT_NK_FILE, MAT_GROUP_NK_OFF, MAT_PHONG_IOR}), row.shown);
  }

  // Emission scale and IES profile follow their switches.
  bc->SetBool(MAT_EMISSION_SCALE, TRUE);
  bc->SetBool(MAT_USE_IES_PROFILE, FALSE);
  Page(mat);
  EXPECT_EQ(Visible({MAT_GROUP_EMISSION_SCALE, MAT_IES_PROFILE_FILE}), "+-");
}

TEST_F(LayoutTest, LightLayerNamesNeedADocumentButThePageDoesNot) {
  BaseMaterial* mat = Add("M");
  bool ok = false;
  Page(mat, &ok);
  EXPECT_TRUE(ok);
  const BaseContainer* layer = page->GetParameter(DescID(DescLevel(MAT_LIGHT_LAYER)));
  ASSERT_NE(layer, nullptr);
  EXPECT_EQ(host::ToUtf8(layer->GetContainer(DESC_CYCLE).GetString(0)), "Layer 1");
  EXPECT_EQ(host::ToUtf8(layer->GetContainer(DESC_CYCLE).GetString(9)), "Layer 10");

  // Outside a document: the rules still apply, the layers keep the resource's entry.
  BaseMaterial* loose = BaseMaterial::Alloc(ID_CUSTOMORVANEMATERIAL);
  loose->GetDataInstance()->SetLong(MAT_TYPE, MAT_TYPE_BLEND);
  CustomOrvaneMaterial::SetChannels(loose->GetDataInstance());
  Page(loose, &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(Visible(kSwitchIds), "+----------+");
  BaseMaterial::Free(loose);
}

TEST_F(LayoutTest, LinkedShadersGreyOutWhatTheyOverride) {
  ASSERT_TRUE(RegisterOVL());
  BaseMaterial* mat = Add("M");
  BaseContainer* bc = mat->GetDataInstance();
  // Nothing linked: constants editable, texture values and step blend greyed out.
  EXPECT_TRUE(Enabled(mat, MAT_ALBEDO_COLOR));
  EXPECT_FALSE(Enabled(mat, MAT_ALBEDO_TEX_A));
  EXPECT_FALSE(Enabled(mat, MAT_STEP_BLEND));
  // Parameters the page leaves to the host stay editable.
  EXPECT_TRUE(Enabled(mat, MAT_TYPE));
  EXPECT_TRUE(Enabled(mat, MAT_EMISSION_COLOR));

  // A host shader (baked or a bitmap): constants greyed out, texture values editable.
  BaseShader* color = BaseShader::Alloc(Xcolor);
  mat->InsertShader(color);
  const LONG links[] = {MAT_ALBEDO_SHADER, MAT_EXPONENT_SHADER,         MAT_SIGMA_SHADER,
                        MAT_ALPHA_SHADER,  MAT_ABSORPTION_LAYER_SHADER, MAT_EMISSION_SHADER,
                        MAT_BUMP_SHADER,   MAT_DISPLACEMENT_SHADER};
  for (LONG link : links) bc->SetLink(link, color);
  const LONG constants[] = {MAT_ALBEDO_COLOR,
                            MAT_ALBEDO_BRIGHTNESS,
                            MAT_ALBEDO_GAMMA,
                            MAT_EXPONENT,
                            MAT_SIGMA,
                            MAT_ALPHA_VALUE,
                            MAT_ABSORPTION_LAYER_COLOR,
                            MAT_ABSORPTION_LAYER_BRIGHTNESS,
                            MAT_ABSORPTION_LAYER_GAMMA};
  const LONG textures[] = {MAT_ALBEDO_TEX_EXPONENT, MAT_ALBEDO_TEX_C, MAT_EXPONENT_TEX_A,
                           MAT_SIGMA_TEX_B,         MAT_ALPHA_TEX_A,  MAT_ABSORPTION_LAYER_TEX_C,
                           MAT_EMISSION_TEX_A,      MAT_BUMP_TEX_B,   MAT_DISPLACEMENT_TEX_EXPONENT};
  for (LONG id : constants) EXPECT_FALSE(Enabled(mat, id)) << id;
  for (LONG id : textures) EXPECT_TRUE(Enabled(mat, id)) << id;
  EXPECT_TRUE(Enabled(mat, MAT_STEP_BLEND));

  // A code shader: the program overrides both.
  BaseShader* code = BaseShader::Alloc(ID_OVLSHADER);
  ASSERT_NE(code, nullptr);
  mat->InsertShader(code);
  for (LONG link : links) bc->SetLink(link, code);
  for (LONG id : constants) EXPECT_FALSE(Enabled(mat, id)) << id;
  for (LONG id : textures) EXPECT_FALSE(Enabled(mat, id)) << id;
  EXPECT_FALSE(Data(mat)->GetDEnabling(nullptr, DescID(DescLevel(MAT_TYPE)), GeData(), 0, nullptr));
}

}  // namespace
