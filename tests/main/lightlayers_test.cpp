// The light-layer drop-down of light tags and emitting materials.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "main/lightlayers.h"
#include "object/myrendersettings.h"
#include "object/rendersettingsids.h"
#include "support/host_fixture.h"
#include "tag/mylighttagids.h"

namespace {

class LightLayersTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    doc = BaseDocument::Alloc();
    ASSERT_TRUE(description.LoadDescription(String("tMyLightTag")));
  }
  void TearDown() override {
    BaseDocument::Free(doc);
    HostTest::TearDown();
  }

  BaseContainer* AddRenderSettings() {
    EXPECT_TRUE(RegisterRenderSettingsVP(nullptr));
    BaseVideoPost* vp = BaseVideoPost::Alloc(1020896);
    doc->GetActiveRenderData()->InsertVideoPost(vp);
    return vp->GetDataInstance();
  }

  // The labels of the layer drop-down, by entry.
  std::vector<std::string> Labels() const {
    std::vector<std::string> labels;
    const BaseContainer* entry = description.GetParameter(DescID(DescLevel(LIGHTTAG_LAYER)));
    if (!entry) return labels;
    BaseContainer cycle = entry->GetContainer(DESC_CYCLE);
    for (LONG i = 0; i < cycle.GetCount(); ++i)
      labels.push_back(std::to_string(cycle.GetIndexId(i)) + " " +
                       host::ToUtf8(cycle.GetIndexData(i)->GetString()));
    return labels;
  }

  BaseDocument* doc = nullptr;
  Description description;
  BaseContainer data;
};

TEST_F(LightLayersTest, WithoutRenderSettingsTheLayersHaveNoNames) {
  ASSERT_TRUE(Helpers::AddLightLayerContainer(&description, &data, LIGHTTAG_LAYER, doc));
  EXPECT_EQ(Labels(),
            (std::vector<std::string>{"0 Layer 1", "1 Layer 2", "2 Layer 3", "3 Layer 4", "4 Layer 5",
                                      "5 Layer 6", "6 Layer 7", "7 Layer 8", "8 Layer 9", "9 Layer 10"}));
  const LONG index = [&] {
    for (LONG i = 0; i < description.GetCount(); ++i)
      if (description.GetIndexId(i)[0].id == LIGHTTAG_LAYER) return i;
    return LONG(-1);
  }();
  ASSERT_GE(index, 0);
  EXPECT_EQ(description.GetIndexId(index)[0].dtype, DTYPE_LONG);
  const BaseContainer* entry = description.GetIndexSettings(index);
  EXPECT_EQ(entry->GetString(DESC_NAME), String("Light layer")) << "the resource's name stays";
  EXPECT_EQ(entry->GetLong(DESC_PARENTGROUP), 803);
}

TEST_F(LightLayersTest, LayerNamesComeFromTheRenderSettings) {
  BaseContainer* settings = AddRenderSettings();
  settings->SetString(RS_LIGHT_LAYER_NAME + 1, "Fill");
  settings->SetString(RS_LIGHT_LAYER_NAME + 4, "");
  ASSERT_TRUE(Helpers::AddLightLayerContainer(&description, &data, LIGHTTAG_LAYER, doc));
  const std::vector<std::string> labels = Labels();
  ASSERT_EQ(labels.size(), 10u);
  EXPECT_EQ(labels[0], "0 Layer 1: Layer 1");
  EXPECT_EQ(labels[1], "1 Layer 2: Fill");
  EXPECT_EQ(labels[4], "4 Layer 5: ");
  EXPECT_EQ(labels[9], "9 Layer 10: Layer 10");
}

TEST_F(LightLayersTest, ValuesOutsideTheTenLayersBecomeTheFirst) {
  const struct { LONG stored, kept; } cases[] = {{-3, 0}, {0, 0}, {7, 7}, {9, 9}, {10, 0}, {11, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored);
    data.SetLong(LIGHTTAG_LAYER, c.stored);
    ASSERT_TRUE(Helpers::AddLightLayerContainer(&description, &data, LIGHTTAG_LAYER, doc));
    EXPECT_EQ(data.GetLong(LIGHTTAG_LAYER, -99), c.kept);
  }
}

TEST_F(LightLayersTest, ADescriptionWithoutTheParameterStaysAsItIs) {
  const LONG count = description.GetCount();
  data.SetLong(4711, 15);
  EXPECT_TRUE(Helpers::AddLightLayerContainer(&description, &data, 4711, doc));
  EXPECT_EQ(description.GetCount(), count);
  EXPECT_EQ(description.GetParameter(DescID(DescLevel(4711))), nullptr);
  EXPECT_EQ(data.GetLong(4711), 15);

  EXPECT_FALSE(Helpers::AddLightLayerContainer(nullptr, &data, LIGHTTAG_LAYER, doc));
  EXPECT_FALSE(Helpers::AddLightLayerContainer(&description, nullptr, LIGHTTAG_LAYER, doc));
  EXPECT_FALSE(Helpers::AddLightLayerContainer(&description, &data, LIGHTTAG_LAYER, nullptr));
  EXPECT_TRUE(Labels().empty()) << "the refused calls described nothing";
}

}  // namespace
