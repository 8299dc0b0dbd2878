// The exit-portal, subdivision and animation tags: their initial parameters and the enabling of
// the subdivision tag's pixel threshold.
#include <gtest/gtest.h>

#include "support/host_fixture.h"
#include "tag/animationtag.h"
#include "tag/myexitportal.h"
#include "tag/mysubdivision.h"

namespace {

class SceneTagsTest : public HostTest {};

TEST_F(SceneTagsTest, NewTagsHoldExactlyTheirInitialParameters) {
  ASSERT_TRUE(RegisterMyExitPortal());
  ASSERT_TRUE(RegisterMySubdivision());
  ASSERT_TRUE(RegisterAnimationTag());

  BaseContainer portal;
  portal.SetBool(PORTAL_ENABLED, TRUE);
  BaseContainer subdivision;
  subdivision.SetLong(SUBDIV_MAX_NUM_SUBDIVISIONS, 3);
  subdivision.SetReal(SUBDIV_CURVATURE_THRESHOLD, 0.1);
  subdivision.SetReal(SUBDIV_DISPLACEMENT_ERROR_THRESHOLD, 0.0);
  subdivision.SetBool(SUBDIV_WRAP_U, FALSE);
  subdivision.SetBool(SUBDIV_WRAP_V, FALSE);
  BaseContainer animation;
  animation.SetLong(ANIMATIONTAG_VALUE1, 0);
  animation.SetLong(ANIMATIONTAG_VALUE2, 0);

  struct Case {
    LONG type;
    const BaseContainer* expected;
  } cases[] = {{ID_MYEXITPORTAL, &portal}, {ID_MYSUBDIVISION, &subdivision}, {ID_ANIMATIONTAG, &animation}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    BaseTag* tag = BaseTag::Alloc(c.type);
    ASSERT_NE(tag, nullptr);
    EXPECT_TRUE(tag->GetData() == *c.expected);
    // The tags take no part in the document's evaluation.
    auto* data = static_cast<TagData*>(tag->GetNodeData());
    EXPECT_EQ(data->Execute(tag, nullptr, nullptr, nullptr, 0, 0), EXECUTIONRESULT_OK);
    BaseTag::Free(tag);
  }
}

TEST_F(SceneTagsTest, PixelThresholdFollowsViewDependence) {
  ASSERT_TRUE(RegisterMySubdivision());
  BaseTag* tag = BaseTag::Alloc(ID_MYSUBDIVISION);
  ASSERT_NE(tag, nullptr);
  auto* data = static_cast<MySubdivision*>(tag->GetNodeData());
  const LONG ids[] = {SUBDIV_MAX_NUM_SUBDIVISIONS,
                      SUBDIV_PIXEL_THRESHOLD,
                      SUBDIV_CURVATURE_THRESHOLD,
                      SUBDIV_SMOOTHING,
                      SUBDIV_VIEW_DEPENDENT,
                      SUBDIV_DISPLACEMENT_ERROR_THRESHOLD,
                      SUBDIV_WRAP_U,
                      SUBDIV_WRAP_V};
  for (Bool viewDependent : {false, true}) {
    tag->GetDataInstance()->SetBool(SUBDIV_VIEW_DEPENDENT, viewDependent);
    for (LONG id : ids) {
      SCOPED_TRACE(testing::Message() << "parameter " << id << ", view dependent " << viewDependent);
      bool expected = id != SUBDIV_PIXEL_THRESHOLD || viewDependent;
      EXPECT_EQ(data->GetDEnabling(tag, DescID(DescLevel(id)), GeData(), 0, nullptr), expected);
    }
  }
  EXPECT_FALSE(data->GetDEnabling(nullptr, DescID(DescLevel(SUBDIV_WRAP_U)), GeData(), 0, nullptr));
  BaseTag::Free(tag);
}

}  // namespace

namespace {

TEST_F(SceneTagsTest, DescriptionsHoldEveryParameter) {
  ASSERT_TRUE(RegisterMyExitPortal());
  ASSERT_TRUE(RegisterMySubdivision());
  ASSERT_TRUE(RegisterAnimationTag());
  struct Case {
    LONG type;
    std::vector<LONG> ids;
  } cases[] = {
      {ID_MYEXITPORTAL, {PORTAL_ENABLED}},
      {ID_MYSUBDIVISION,
       {SUBDIV_MAX_NUM_SUBDIVISIONS, SUBDIV_PIXEL_THRESHOLD, SUBDIV_CURVATURE_THRESHOLD, SUBDIV_SMOOTHING,
        SUBDIV_VIEW_DEPENDENT, SUBDIV_DISPLACEMENT_ERROR_THRESHOLD, SUBDIV_WRAP_U, SUBDIV_WRAP_V}},
      {ID_ANIMATIONTAG, {ANIMATIONTAG_VALUE1, ANIMATIONTAG_VALUE2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    BaseTag* tag = BaseTag::Alloc(c.type);
    ASSERT_NE(tag, nullptr);
    Description d;
    LONG flags = 0;
    EXPECT_TRUE(tag->GetNodeData()->GetDDescription(tag, &d, flags));
    EXPECT_EQ(flags, 0);
    EXPECT_EQ(d.GetCount(), static_cast<LONG>(c.ids.size()));
    for (LONG id : c.ids) EXPECT_NE(d.GetParameter(DescID(DescLevel(id))), nullptr) << id;
    EXPECT_FALSE(tag->GetNodeData()->GetDDescription(tag, nullptr, flags));
    BaseTag::Free(tag);
  }
}

}  // namespace
