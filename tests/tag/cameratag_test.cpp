// The camera tag: defaults, description rules, the obstacle-map switch, the render-region drawing,
// the focal plane and the camera's colour on freeing.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "host_draw.h"
#include "support/host_fixture.h"
#include "tag/cameratag.h"

namespace {

class CameraTagTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    ASSERT_TRUE(RegisterCameraTag(nullptr));
    doc = BaseDocument::Alloc();
    camera = BaseObject::Alloc(Ocamera);
    doc->InsertObject(camera, nullptr, nullptr);
    tag = camera->MakeTag(ID_CAMERATAG);
    ASSERT_NE(tag, nullptr);
    view = doc->GetRenderBaseDraw();
    view->SetSceneCamera(camera);
    host::SetViewFrame(view, 0, 0, 799, 599);
  }
  void TearDown() override {
    BaseDocument::Free(doc);
    HostTest::TearDown();
  }
  CameraTag* Data() const { return static_cast<CameraTag*>(tag->GetNodeData()); }
  BaseContainer* Settings() const { return tag->GetDataInstance(); }
  void SetImage(LONG w, LONG h) {
    doc->GetActiveRenderData()->GetDataInstance()->SetLong(5008, w);
    doc->GetActiveRenderData()->GetDataInstance()->SetLong(5009, h);
  }
  Description Describe() {
    Description d;
    LONG flags = 0;
    EXPECT_TRUE(Data()->GetDDescription(tag, &d, flags));
    EXPECT_TRUE(flags & DESCFLAGS_DESC_LOADED);
    return d;
  }
  // The drawn lines as x1 y1 x2 y2 quadruples.
  std::vector<std::vector<Real>> Lines() const {
    std::vector<std::vector<Real>> out;
    for (const host::DrawRecord& r : host::DrawRecords(view)) {
      EXPECT_EQ(r.kind, host::DrawKind::Line2D);
      EXPECT_EQ(r.colors.at(0), LVector(1, 0, 0));
      out.push_back({r.points[0].x, r.points[0].y, r.points[1].x, r.points[1].y});
    }
    return out;
  }

  BaseDocument* doc = nullptr;
  BaseObject* camera = nullptr;
  BaseTag* tag = nullptr;
  BaseDraw* view = nullptr;
};

TEST_F(CameraTagTest, ObstacleMapFileIsEditableOnlyWhileTheMapIsOn) {
  // A new tag has no obstacle map: neither switch nor file.
  EXPECT_EQ(Settings()->GetDataPointer(CAMTAG_USE_OBSTACLE_MAP), nullptr);
  EXPECT_EQ(Settings()->GetDataPointer(CAMTAG_OBSTACLE_MAP), nullptr);
  auto enabled = [this](LONG id) { return Data()->GetDEnabling(tag, DescLevel(id), GeData(), 0, nullptr); };
  EXPECT_FALSE(enabled(CAMTAG_OBSTACLE_MAP));
  EXPECT_TRUE(enabled(CAMTAG_USE_OBSTACLE_MAP));
  Settings()->SetBool(CAMTAG_USE_OBSTACLE_MAP, TRUE);
  EXPECT_TRUE(enabled(CAMTAG_OBSTACLE_MAP));
  EXPECT_FALSE(Data()->GetDEnabling(nullptr, DescLevel(CAMTAG_FSTOP), GeData(), 0, nullptr));
}

TEST_F(CameraTagTest, DescriptionShowsTheSettingsOfTheChosenModes) {
  struct Case {
    LONG tonemapper, shape, splat, downsize;
    bool region;
    std::vector<LONG> hidden, shown;
  } cases[] = {
      {CAMTAG_TONEMAPPER_REINHARD,
       CAMTAG_SHAPE_CIRCULAR,
       CAMTAG_FILTER_FASTBOX,
       CAMTAG_FILTER_MN_CUBIC,
       false,
       {1941, 1972, 1973, 1984, 1985, 1993, 1989},
       {1949, 1950, 1952, 1951, 1986, 1987}},
      {CAMTAG_TONEMAPPER_LINEAR,
       CAMTAG_SHAPE_GENERATED,
       CAMTAG_FILTER_MN_CUBIC,
       CAMTAG_FILTER_GAUSSIAN,
       true,
       {1950, 1952, 1941, 1942, 1973, 1971, 1986, 1987},
       {1949, 1972, 1967, 1984, 1985, 1993, 1992}},
      {CAMTAG_TONEMAPPER_CAMERA,
       CAMTAG_SHAPE_IMAGE,
       CAMTAG_FILTER_GAUSSIAN,
       CAMTAG_FILTER_MN_CUBIC,
       false,
       {1951, 1949, 1950, 1952, 1972, 1984},
       {1941, 1942, 1943, 1944, 1973, 1971, 1986}},
      // Values outside the cycles leave the resource's layout as it is.
      {4711, 4712, 0, 0, false, {1984, 1985, 1986, 1987}, {1941, 1951, 1950, 1972, 1973}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("tonemapper " + std::to_string(c.tonemapper));
    Settings()->SetLong(CAMTAG_TONEMAPPER, c.tonemapper);
    Settings()->SetLong(CAMTAG_APERTURE_SHAPE, c.shape);
    Settings()->SetLong(CAMTAG_SPLAT_FILTER, c.splat);
    Settings()->SetLong(CAMTAG_DOWNSIZE_FILTER, c.downsize);
    Settings()->SetBool(CAMTAG_RENDER_REGION, c.region);
    Description d = Describe();
    for (LONG id : c.hidden) EXPECT_TRUE(d.IsHidden(id)) << id;
    for (LONG id : c.shown) EXPECT_FALSE(d.IsHidden(id)) << id;
  }
}

TEST_F(CameraTagTest, DescriptionDeclaresEveryParameterAndCycleValue) {
  Description d = Describe();
  for (LONG id : {1917, 1925, 1926, 1927, 1941, 1942, 1943, 1944, 1945, 1949, 1950, 1951, 1952, 1960,
                  1961, 1962, 1963, 1967, 1968, 1969, 1970, 1971, 1972, 1973, 1977, 1978, 1979, 1980,
                  1984, 1985, 1986, 1987, 1988, 1989, 1990, 1991, 1992, 1993, 1994, 1996})
    EXPECT_NE(d.GetParameter(DescLevel(id)), nullptr) << id;
  struct Cycle {
    LONG id;
    std::vector<LONG> values;
  } cycles[] = {
      {1945, {1946, 1947, 1948}},
      {1963, {1964, 1965, 1966}},
      {1977, {1974, 1975, 1976}},
      {1978, {1974, 1976}},
      {1962, {1982, 1983}},
      {1917, {1905, 1906, 1907, 1908, 1909, 1910, 1911, 1912, 1913, 1914, 1915, 1916}},
  };
  for (const Cycle& c : cycles) {
    const BaseContainer* values = d.GetParameter(DescLevel(c.id))->GetContainerInstance(DESC_CYCLE);
    ASSERT_NE(values, nullptr) << c.id;
    EXPECT_EQ(values->GetCount(), static_cast<LONG>(c.values.size())) << c.id;
    for (LONG v : c.values) EXPECT_TRUE(values->GetString(v).Content()) << c.id << " " << v;
  }
}

TEST_F(CameraTagTest, RenderRegionIsDrawnThroughTheSafeFrame) {
  Settings()->SetBool(CAMTAG_RENDER_REGION, TRUE);
  Settings()->SetLong(CAMTAG_REGION_X1, 100);
  Settings()->SetLong(CAMTAG_REGION_X2, 300);
  Settings()->SetLong(CAMTAG_REGION_Y1, 50);
  Settings()->SetLong(CAMTAG_REGION_Y2, 250);
  struct Case {
    LONG width, height;
    LONG from, to, orientation;  // orientation -1: worked out by the view
    Real x1, y1, x2, y2;
  } cases[] = {
      // 1600 x 600 in an 800 x 600 view: full width, rows 150 to 449.
      {1600, 600, 0, 0, -1, 100 * 799.0 / 1600, 50 * 299.0 / 600 + 151, 300 * 799.0 / 1600,
       250 * 299.0 / 600 + 151},
      // 400 x 600: full height, columns 200 to 599.
      {400, 600, 0, 0, -1, 100 * 399.0 / 400 + 201, 50 * 599.0 / 600, 300 * 399.0 / 400 + 201,
       250 * 599.0 / 600},
      // No safe frame: the image pixels are drawn as they are.
      {400, 600, 0, 0, SAFEFRAME_NONE, 100, 50, 300, 250},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
    SetImage(c.width, c.height);
    if (c.orientation >= 0)
      host::SetSafeFrame(view, c.from, c.to, c.orientation);
    else
      host::ClearSafeFrame(view);
    host::ClearDrawRecords(view);
    EXPECT_EQ(host::DrawDocument(doc), 0);
    std::vector<std::vector<Real>> lines = Lines();
    ASSERT_EQ(lines.size(), 4u);
    std::vector<std::vector<Real>> expected = {{c.x1, c.y1, c.x2, c.y1},
                                               {c.x1, c.y2, c.x2, c.y2},
                                               {c.x1, c.y1, c.x1, c.y2},
                                               {c.x2, c.y1, c.x2, c.y2}};
    for (size_t i = 0; i < 4; ++i)
      for (size_t k = 0; k < 4; ++k) EXPECT_NEAR(lines[i][k], expected[i][k], 1e-9) << i << " " << k;
  }
}

TEST_F(CameraTagTest, RenderRegionIsDrawnOnlyForTheViewsOwnCamera) {
  SetImage(800, 600);
  BaseDrawHelp bh(view, doc);
  // Off by default.
  EXPECT_TRUE(Data()->Draw(tag, camera, view, &bh));
  EXPECT_TRUE(host::DrawRecords(view).empty());

  Settings()->SetBool(CAMTAG_RENDER_REGION, TRUE);
  view->SetSceneCamera(nullptr);  // the editor camera
  EXPECT_TRUE(Data()->Draw(tag, camera, view, &bh));
  EXPECT_TRUE(host::DrawRecords(view).empty());

  BaseObject* other = BaseObject::Alloc(Ocamera);
  doc->InsertObject(other, nullptr, nullptr);
  view->SetSceneCamera(other);
  EXPECT_TRUE(Data()->Draw(tag, camera, view, &bh));
  EXPECT_TRUE(host::DrawRecords(view).empty());

  // A tag on a null object draws nothing either.
  BaseObject* null = BaseObject::Alloc(Onull);
  doc->InsertObject(null, nullptr, nullptr);
  BaseTag* nullTag = null->MakeTag(ID_CAMERATAG);
  nullTag->GetDataInstance()->SetBool(CAMTAG_RENDER_REGION, TRUE);
  EXPECT_TRUE(Data()->Draw(nullTag, null, view, &bh));
  EXPECT_TRUE(host::DrawRecords(view).empty());

  view->SetSceneCamera(camera);
  EXPECT_TRUE(Data()->Draw(tag, camera, view, &bh));
  EXPECT_EQ(host::DrawRecords(view).size(), 4u);

  // A tag outside any document cannot draw.
  BaseTag* loose = BaseTag::Alloc(ID_CAMERATAG);
  EXPECT_FALSE(Data()->Draw(loose, camera, view, &bh));
  BaseTag::Free(loose);
}

TEST_F(CameraTagTest, ImageWithoutSizeDrawsNoRegion) {
  Settings()->SetBool(CAMTAG_RENDER_REGION, TRUE);
  BaseDrawHelp bh(view, doc);
  for (LONG orientation : {SAFEFRAME_ROWS, SAFEFRAME_COLUMNS}) {
    for (auto size : {std::pair<LONG, LONG>{0, 600}, {800, 0}, {0, 0}}) {
      SetImage(size.first, size.second);
      host::SetSafeFrame(view, 10, 500, orientation);
      host::ClearDrawRecords(view);
      EXPECT_TRUE(Data()->Draw(tag, camera, view, &bh));
      EXPECT_TRUE(host::DrawRecords(view).empty()) << orientation;
    }
  }
}

TEST_F(CameraTagTest, FocalPlaneIsATranslucentQuadrangle) {
  double distance = 10.0, fov = 2.0 * std::atan(0.5), aspect = 2.0;
  LMatrix m(LVector(1, 2, 3), LVector(1, 0, 0), LVector(0, 1, 0), LVector(0, 0, 1));
  DrawFocalPlane(distance, fov, aspect, m, view);
  std::vector<host::DrawRecord> drawn = host::DrawRecords(view);
  ASSERT_EQ(drawn.size(), 1u);
  EXPECT_EQ(drawn[0].kind, host::DrawKind::Polygon);
  EXPECT_EQ(drawn[0].transparency, 150);
  // Width 2 * 0.5 * 10 = 10, height 5, centred 10 along Z.
  const LVector expected[4] = {{6, 4.5, 13}, {6, -0.5, 13}, {-4, -0.5, 13}, {-4, 4.5, 13}};
  ASSERT_EQ(drawn[0].points.size(), 4u);
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(drawn[0].points[i].x, expected[i].x, 1e-12) << i;
    EXPECT_NEAR(drawn[0].points[i].y, expected[i].y, 1e-12) << i;
    EXPECT_NEAR(drawn[0].points[i].z, expected[i].z, 1e-12) << i;
    EXPECT_EQ(drawn[0].colors[i], LVector(0.29412, 0.0, 0.5098));
  }
  // A zero aspect has no plane.
  aspect = 0.0;
  DrawFocalPlane(distance, fov, aspect, m, view);
  EXPECT_EQ(host::DrawRecords(view).size(), 1u);
}

TEST_F(CameraTagTest, FreeingGivesACameraItsPlainColourBack) {
  ObjectColorProperties red;
  red.usecolor = 2;
  red.color = LVector(1, 0, 0);
  red.xray = TRUE;
  camera->SetColorProperties(&red);
  BaseObject* null = BaseObject::Alloc(Onull);
  doc->InsertObject(null, nullptr, nullptr);
  null->SetColorProperties(&red);
  null->MakeTag(ID_CAMERATAG);

  null->KillTag(ID_CAMERATAG);
  camera->KillTag(ID_CAMERATAG);
  ObjectColorProperties c;
  camera->GetColorProperties(&c);
  EXPECT_EQ(c.usecolor, 0);
  EXPECT_EQ(c.color, LVector(1, 1, 1));
  EXPECT_FALSE(c.xray);
  null->GetColorProperties(&c);
  EXPECT_EQ(c.usecolor, 2);
  EXPECT_EQ(c.color, LVector(1, 0, 0));
  EXPECT_TRUE(c.xray);
}

}  // namespace
