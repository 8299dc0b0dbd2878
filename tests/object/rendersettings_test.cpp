// The render-settings video post: defaults, description rules, enabling, the background-material
// warning and the extra buffer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "c4d_videopost.h"
#include "host_prefs.h"
#include "host_user.h"
#include "object/myrendersettings.h"
#include "support/host_fixture.h"

namespace {

class RenderSettingsTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    ASSERT_TRUE(RegisterRenderSettingsVP(nullptr));
    doc = BaseDocument::Alloc();
    vp = BaseVideoPost::Alloc(ID_RENDERSETTINGS);
    ASSERT_NE(vp, nullptr);
    doc->GetActiveRenderData()->InsertVideoPostLast(vp);
  }
  void TearDown() override {
    BaseDocument::Free(doc);
    HostTest::TearDown();
  }
  RenderSettingsNode* Node() const { return static_cast<RenderSettingsNode*>(vp->GetNodeData()); }
  BaseContainer* Data() const { return vp->GetDataInstance(); }

  // The description as the attribute view would build it now.
  Description Describe() {
    Description d;
    LONG flags = 0;
    EXPECT_TRUE(Node()->GetDDescription(vp, &d, flags));
    EXPECT_TRUE(flags & DESCFLAGS_DESC_LOADED);
    return d;
  }
  Bool Enabled(LONG id) { return Node()->GetDEnabling(vp, DescLevel(id), GeData(), 0, nullptr); }

  BaseDocument* doc = nullptr;
  BaseVideoPost* vp = nullptr;
};

// The exported defaults are checked with the scene export; these are the ones it does not show.
TEST_F(RenderSettingsTest, NewNodeHoldsTheDefaultsTheExportDoesNotShow) {
  const BaseContainer& bc = *Data();
  for (LONG i = 0; i < 10; ++i)
    EXPECT_EQ(bc.GetString(RS_LIGHT_LAYER_NAME + i), String("Layer ") + String::LongToString(i + 1));
  EXPECT_EQ(bc.GetVector(RS_CLAY_COLOR), LVector(0.71, 0.62, 0.53));
  EXPECT_EQ(bc.GetLong(RS_NUM_THREADS), GeGetCPUCount());
  EXPECT_EQ(bc.GetLong(RS_NETWORK_PORT), 7100);
  EXPECT_EQ(bc.GetLong(RS_LAUNCH_FLAG_A), 1);
  EXPECT_EQ(bc.GetDataPointer(RS_DISPLAY_PERIOD)->GetType(), DA_REAL);  // exported as an integer
  EXPECT_EQ(bc.GetDataPointer(RS_EXPORT_FILENAME)->GetType(), DA_FILENAME);
  // Left to their readers' defaults.
  for (LONG id : {RS_SUN_OBJECT, RS_BACKGROUND_MATERIAL, RS_SAVE_IMAGE, RS_OUTPUT_FILENAME, RS_RENDERS_DIR})
    EXPECT_EQ(bc.GetDataPointer(id), nullptr) << id;
}

TEST_F(RenderSettingsTest, SceneUnitFollowsTheHostsUnitPreference) {
  // The host's own default is centimetres.
  EXPECT_EQ(Data()->GetLong(RS_SCALE_UNIT), RS_UNIT_CM);
  struct Case {
    LONG hostUnit, sceneUnit;
  } cases[] = {
      {UNIT_KM, RS_UNIT_KM},       {UNIT_M, RS_UNIT_M},       {UNIT_CM, RS_UNIT_CM}, {UNIT_MM, RS_UNIT_MM},
      {UNIT_INCH, RS_UNIT_CUSTOM}, {UNIT_UM, RS_UNIT_CUSTOM}, {0, RS_UNIT_CUSTOM},
  };
  for (const Case& c : cases) {
    BaseContainer prefs;
    prefs.SetLong(WPREF_UNITS, c.hostUnit);
    host::SetWorldContainer(prefs);
    BaseVideoPost* fresh = BaseVideoPost::Alloc(ID_RENDERSETTINGS);
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(fresh->GetDataInstance()->GetLong(RS_SCALE_UNIT), c.sceneUnit) << c.hostUnit;
    EXPECT_EQ(fresh->GetDataInstance()->GetReal(RS_CUSTOM_SCALE), 1.0);
    BaseVideoPost::Free(fresh);
  }
}

TEST_F(RenderSettingsTest, DescriptionHidesWhatTheSwitchesMakeIrrelevant) {
  struct Case {
    LONG unit, lighting;
    bool autoThreads;
    bool customScaleHidden, sunSkyHidden, backgroundHidden, threadsHidden;
  } cases[] = {
      {RS_UNIT_M, RS_LIGHTING_MODE_NONE, true, true, true, true, true},
      {RS_UNIT_CUSTOM, RS_LIGHTING_MODE_SUNSKY, false, false, false, true, false},
      {RS_UNIT_KM, RS_LIGHTING_MODE_BACKGROUND, true, true, true, false, true},
      // An unknown lighting mode keeps what the resource declares: both groups shown.
      {RS_UNIT_CUSTOM, 4711, false, false, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("unit " + std::to_string(c.unit) + ", lighting " + std::to_string(c.lighting));
    Data()->SetLong(RS_SCALE_UNIT, c.unit);
    Data()->SetLong(RS_LIGHTING_MODE, c.lighting);
    Data()->SetBool(RS_AUTO_CHOOSE_NUM_THREADS, c.autoThreads);
    Description d = Describe();
    EXPECT_EQ(d.IsHidden(RS_CUSTOM_SCALE), c.customScaleHidden);
    EXPECT_EQ(d.IsHidden(RS_GROUP_SUNSKY), c.sunSkyHidden);
    EXPECT_EQ(d.IsHidden(RS_TURBIDITY), c.sunSkyHidden);  // inside the group
    EXPECT_EQ(d.IsHidden(RS_GROUP_BACKGROUND), c.backgroundHidden);
    EXPECT_EQ(d.IsHidden(RS_BACKGROUND_MATERIAL), c.backgroundHidden);
    EXPECT_EQ(d.IsHidden(RS_NUM_THREADS), c.threadsHidden);
  }
  // Without a stored unit the custom scale counts as centimetres: hidden.
  Data()->RemoveData(RS_SCALE_UNIT);
  EXPECT_TRUE(Describe().IsHidden(RS_CUSTOM_SCALE));
}

TEST_F(RenderSettingsTest, DescriptionDeclaresEveryParameterGroupAndCycleValue) {
  Description d = Describe();
  const LONG ids[] = {1301, 1303, 1330, 1331, 1332, 1333, 1334, 1340, 1350, 1351, 1352, 1353,
                      1354, 1355, 1356, 1357, 1358, 1359, 1361, 1362, 1366, 1367, 1368, 1381,
                      1382, 1383, 1384, 1386, 1392, 1393, 1394, 1397, 1398, 1399, 1400, 1402,
                      1403, 1408, 1410, 1411, 1412, 1413, 1414, 1415, 1416, 1417, 1418, 1419,
                      1420, 1421, 1422, 1423, 1424, 1426, 1427, 1428, 1429};
  for (LONG id : ids) EXPECT_NE(d.GetParameter(DescLevel(id)), nullptr) << id;
  EXPECT_EQ(d.GetIndexId(0).GetDepth(), 1);
  EXPECT_EQ(d.GetParameter(DescLevel(RS_GROUP_SUNSKY))->GetLong(DESC_PARENTGROUP),
            d.GetParameter(DescLevel(RS_GROUP_BACKGROUND))->GetLong(DESC_PARENTGROUP));
  struct Cycle {
    LONG id;
    std::vector<LONG> values;
  } cycles[] = {
      {RS_RENDER_MODE, {1335, 1336, 1337, 1338}},
      {RS_LIGHTING_MODE, {1364, 1365, 1379}},
      {RS_SCALE_UNIT, {1387, 1388, 1389, 1390, 1391}},
  };
  for (const Cycle& c : cycles) {
    const BaseContainer* bc = d.GetParameter(DescLevel(c.id));
    ASSERT_NE(bc, nullptr) << c.id;
    const BaseContainer* values = bc->GetContainerInstance(DESC_CYCLE);
    ASSERT_NE(values, nullptr) << c.id;
    EXPECT_EQ(values->GetCount(), static_cast<LONG>(c.values.size())) << c.id;
    for (LONG v : c.values) EXPECT_TRUE(values->GetString(v).Content()) << c.id << " " << v;
  }
}

TEST_F(RenderSettingsTest, DescriptionFailsWithoutItsResource) {
  host::SetPluginPath("/nonexistent");
  Description d;
  LONG flags = 0;
  EXPECT_FALSE(Node()->GetDDescription(vp, &d, flags));
  EXPECT_EQ(flags & DESCFLAGS_DESC_LOADED, 0);
}

TEST_F(RenderSettingsTest, EnablingFollowsTheSwitches) {
  struct Case {
    bool scenePath, documentPath, saveImage, rendersDir, clay;
    LONG mode;
    // Expected: export file, document path, output file, renders dir, clay colour, Metropolis.
    bool exportFile, useDocument, outputFile, renders, clayColor, metropolis;
  } cases[] = {
      {false, false, false, false, false, RS_MODE_BIDIR, false, false, false, false, false, false},
      {true, false, true, false, true, RS_MODE_MLT, true, true, true, true, true, true},
      {true, true, true, true, false, RS_MODE_BIDIR_MLT, false, true, false, true, false, true},
      {false, true, true, true, false, RS_MODE_PT, false, false, false, false, false, false},
  };
  for (const Case& c : cases) {
    Data()->SetBool(RS_USE_SCENE_PATH, c.scenePath);
    Data()->SetBool(RS_USE_DOCUMENT_PATH, c.documentPath);
    Data()->SetBool(RS_SAVE_IMAGE, c.saveImage);
    Data()->SetBool(RS_RENDERS_DIR, c.rendersDir);
    Data()->SetBool(RS_CLAY_MODE, c.clay);
    Data()->SetLong(RS_RENDER_MODE, c.mode);
    SCOPED_TRACE(std::to_string(&c - cases));
    EXPECT_EQ(Enabled(RS_EXPORT_FILENAME), c.exportFile);
    EXPECT_EQ(Enabled(RS_USE_DOCUMENT_PATH), c.useDocument);
    EXPECT_EQ(Enabled(RS_OUTPUT_FILENAME), c.outputFile);
    EXPECT_EQ(Enabled(RS_RENDERS_DIR), c.renders);
    EXPECT_EQ(Enabled(RS_CLAY_COLOR), c.clayColor);
    for (LONG id : {RS_MAX_NUM_CONSEC_REJECTIONS, RS_LARGE_MUTATION_PROB, RS_MAX_CHANGE})
      EXPECT_EQ(Enabled(id), c.metropolis) << id;
    EXPECT_FALSE(Enabled(RS_HYBRID));
    EXPECT_TRUE(Enabled(RS_MAX_DEPTH));
  }
  // Without a stored mode the Metropolis settings count as in use.
  Data()->RemoveData(RS_RENDER_MODE);
  EXPECT_TRUE(Enabled(RS_MAX_CHANGE));
  EXPECT_FALSE(Node()->GetDEnabling(nullptr, DescLevel(RS_MAX_DEPTH), GeData(), 0, nullptr));
}

TEST_F(RenderSettingsTest, BackgroundMaterialWithoutEmissionWarnsButIsStored) {
  BaseMaterial* plain = BaseMaterial::Alloc(Mmaterial);
  plain->SetName("Plain");
  doc->InsertMaterial(plain);
  BaseMaterial* glowing = BaseMaterial::Alloc(Mmaterial);
  glowing->GetDataInstance()->SetBool(6007, TRUE);
  doc->InsertMaterial(glowing);

  auto link = [](BaseList2D* node) {
    GeData v;
    v.SetBaseList2D(node);
    return v;
  };
  auto messages = [] {
    std::vector<std::string> out;
    for (const host::Shown& s : host::user::History())
      if (s.prompt == host::Prompt::Message) out.push_back(s.text);
    return out;
  };

  ASSERT_TRUE(vp->SetParameter(DescLevel(RS_BACKGROUND_MATERIAL), link(plain)));
  EXPECT_EQ(messages(), std::vector<std::string>{"Emission must be enabled!"});
  EXPECT_EQ(Data()->GetLink(RS_BACKGROUND_MATERIAL, doc), plain);

  ASSERT_TRUE(vp->SetParameter(DescLevel(RS_BACKGROUND_MATERIAL), link(glowing)));
  ASSERT_TRUE(vp->SetParameter(DescLevel(RS_BACKGROUND_MATERIAL), link(nullptr)));
  EXPECT_EQ(messages().size(), 1u);
  EXPECT_EQ(Data()->GetLink(RS_BACKGROUND_MATERIAL, doc), nullptr);

  // Other parameters never warn.
  ASSERT_TRUE(vp->SetParameter(DescLevel(RS_SUN_OBJECT), link(plain)));
  EXPECT_EQ(messages().size(), 1u);
}

TEST_F(RenderSettingsTest, AsksTheRenderForItsByteColourBuffer) {
  Render render(64, 48);
  EXPECT_TRUE(Node()->AllocateBuffers(vp, &render, doc));
  VPBuffer* buffer = render.GetBuffer(VPBUFFER_RGBA, 0);
  ASSERT_NE(buffer, nullptr);
  EXPECT_EQ(buffer->GetInfo(VPGETINFO_BITDEPTH), 8);
  EXPECT_EQ(Node()->GetRenderInfo(vp), 0);
}

}  // namespace
