// The plug-in material's parameter set: what a new material holds and leaves out, the channel
// switches that follow its type, and the description resource that lays every parameter out.
#include <gtest/gtest.h>

#include "material/material_test_support.h"

namespace {

class ParamsTest : public MaterialTest {};

TEST_F(ParamsTest, InitOverwritesEarlierValuesAndLeavesReaderDefaultsAbsent) {
  BaseMaterial* mat = Add("M");
  // Values written before `Init` are overwritten.
  mat->GetDataInstance()->SetReal(MAT_SIGMA, 9.0);
  ASSERT_TRUE(Data(mat)->Init(mat));
  const BaseContainer* bc = mat->GetDataInstance();
  EXPECT_DOUBLE_EQ(bc->GetReal(MAT_SIGMA), 0.2);

  // The tabulated values are empty texts.
  for (LONG id : {MAT_EMISSION_TAB_VALUES, MAT_ABSORPTION_TAB_VALUES, MAT_SCATTERING_TAB_VALUES}) {
    ASSERT_TRUE(bc->GetDataPointer(id)) << id;
    EXPECT_EQ(bc->GetDataPointer(id)->GetType(), DA_STRING) << id;
    EXPECT_EQ(host::ToUtf8(bc->GetString(id, "unset")), "") << id;
  }

  // Absent: what a reader's own default stands for.
  for (LONG id :
       {MAT_USE_ALPHA, MAT_USE_BUMP, MAT_USE_DISPLACEMENT, MAT_USE_EMISSION, MAT_USE_ABSORPTION_LAYER,
        MAT_ALBEDO_SHADER, MAT_BLEND_A, MAT_BLEND_B, MAT_EMISSION_TAB_START, MAT_EMISSION_TAB_COUNT,
        MAT_USE_IES_PROFILE, MAT_IES_PROFILE_FILE, MAT_PREVIEW_IMAGE})
    EXPECT_FALSE(bc->GetDataPointer(id)) << id;
}

TEST_F(ParamsTest, ChannelSwitchesFollowTheType) {
  // alpha, albedo, phong, medium, exponent, sigma, bump, displacement, emission, specular;
  // 'x' = left as it was (every switch starts at 2 below, an integer no write gives).
  const LONG ids[] = {MAT_USE_ALPHA,     MAT_USE_ALBEDO,          MAT_SHOW_PHONG,
                      MAT_SHOW_MEDIUM,   MAT_USE_EXPONENT,        MAT_USE_SIGMA,
                      MAT_USE_BUMP,      MAT_USE_DISPLACEMENT,    MAT_USE_EMISSION,
                      MAT_SHOW_SPECULAR, MAT_USE_ABSORPTION_LAYER};
  const struct {
    LONG type;
    const char* expected;
  } rows[] = {{MAT_TYPE_DIFFUSE, "x10000xxx0x"},
              {MAT_TYPE_DIFFUSE_TRANSMITTER, "x10000xxx0x"},
              {MAT_TYPE_OREN_NAYAR, "x10001xxx0x"},
              {MAT_TYPE_PHONG, "x11010xxx0x"},
              {MAT_TYPE_SPECULAR, "x00100xxx1x"},
              {MAT_TYPE_GLOSSY_TRANSPARENT, "x00110xxx0x"},
              {MAT_TYPE_BLEND, "1000000000x"},
              {MAT_TYPE_NULL, "1000000000x"},
              {4711, "xxxxxxxxxxx"}};
  for (const auto& row : rows) {
    BaseContainer bc;
    for (LONG id : ids) bc.SetLong(id, 2);
    bc.SetLong(MAT_TYPE, row.type);
    CustomOrvaneMaterial::SetChannels(&bc);
    std::string got;
    for (LONG id : ids) got += bc.GetLong(id) == 2 ? 'x' : bc.GetBool(id) ? '1' : '0';
    EXPECT_EQ(got, row.expected) << row.type;
  }
  // Alpha is never switched off again; without a type the material counts as diffuse.
  BaseContainer bc;
  bc.SetLong(MAT_TYPE, MAT_TYPE_NULL);
  CustomOrvaneMaterial::SetChannels(&bc);
  bc.SetLong(MAT_TYPE, MAT_TYPE_DIFFUSE);
  CustomOrvaneMaterial::SetChannels(&bc);
  EXPECT_TRUE(bc.GetBool(MAT_USE_ALPHA));
  BaseContainer none;
  CustomOrvaneMaterial::SetChannels(&none);
  EXPECT_TRUE(none.GetBool(MAT_USE_ALBEDO));
  CustomOrvaneMaterial::SetChannels(nullptr);
}

TEST_F(ParamsTest, TheDescriptionLaysOutEveryParameter) {
  Description description;
  ASSERT_TRUE(description.LoadDescription(String("Morvanematerial")));
  // Every parameter of the set, by its ID range and the few outside it.
  std::vector<LONG> ids = {MAT_PREVIEW_IMAGE};
  for (LONG id = 6002; id <= 6011; ++id) ids.push_back(id);
  const LONG more[] = {
      6024, 6032, 6280, 6114, 6081, 6115, 6118, 6119, 6120, 6121, 6122, 6039, 6040, 6200, 6201, 6202,
      6203, 6204, 6079, 6205, 6206, 6207, 6208, 6209, 6069, 6070, 6071, 6072, 6073, 6074, 6075, 6076,
      6077, 6078, 6260, 6052, 6053, 6054, 6055, 6056, 6259, 6269, 6261, 6038, 6144, 6145, 6049, 6271,
      6272, 6273, 6274, 6275, 6276, 6277, 6278, 6057, 6060, 6089, 6061, 6062, 6063, 6245, 6254, 6255,
      6256, 6257, 6241, 6242, 6243, 6244, 6064, 6065, 6066, 6067, 6068, 6090, 6080, 6083, 6088, 6281,
      6282, 6041, 6045, 6046, 6047, 6048, 6126, 6127, 6128, 6284, 6285, 6210, 6129, 6130, 6216, 6224,
      6225, 6228, 6246, 6247, 6248, 6249, 6230, 6231, 6232, 6233, 6217, 6133, 6134, 6223, 6226, 6227,
      6229, 6250, 6251, 6252, 6253, 6234, 6235, 6236, 6237, 6136, 6141, 6142, 6265, 6266, 6268, 6270};
  ids.insert(ids.end(), std::begin(more), std::end(more));
  // And the groups the layout shows and hides.
  const LONG groups[] = {6013, 6015, 6016, 6017, 6018, 6019, 6020, 6021, 6022, 6023, 6279, 6211,
                         6212, 6213, 6214, 6215, 6218, 6219, 6220, 6221, 6222, 6058, 6059, 6239,
                         6238, 6240, 6082, 6123, 6124, 6125, 6286, 6132, 6143, 6146};
  ids.insert(ids.end(), std::begin(groups), std::end(groups));
  for (LONG id : ids) EXPECT_TRUE(description.GetParameterI(DescID(DescLevel(id)), nullptr)) << id;
}

}  // namespace
