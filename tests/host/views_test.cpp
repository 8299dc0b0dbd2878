// Views: the safe frame, scene and editor cameras, the drawing records and the redraw of tags.
#include <gtest/gtest.h>

#include "c4d.h"
#include "host_control.h"
#include "host_draw.h"

namespace {

class ViewsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::ResetAll();
    doc = BaseDocument::Alloc();
    view = doc->GetRenderBaseDraw();
  }
  void TearDown() override {
    BaseDocument::Free(doc);
    host::ResetAll();
  }
  void SetImage(LONG w, LONG h) {
    doc->GetActiveRenderData()->GetDataInstance()->SetLong(5008, w);
    doc->GetActiveRenderData()->GetDataInstance()->SetLong(5009, h);
  }
  BaseDocument* doc = nullptr;
  BaseDraw* view = nullptr;
};

TEST_F(ViewsTest, SafeFrameFollowsTheImageShape) {
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(doc->GetActiveBaseDraw(), view);
  EXPECT_EQ(view->GetDocument(), doc);
  host::SetViewFrame(view, 10, 20, 409, 319);  // 400 x 300
  struct Case {
    LONG w, h, from, to, orientation;
  } cases[] = {
      {800, 300, 95, 244, SAFEFRAME_ROWS},     // 400 x 150 band, centred in 300 rows
      {400, 300, 20, 319, SAFEFRAME_ROWS},     // same shape: the whole frame
      {300, 300, 60, 359, SAFEFRAME_COLUMNS},  // 300 x 300 square, centred in 400 columns
      {0, 300, 0, 0, SAFEFRAME_NONE},          // no image size: no safe frame
  };
  for (const Case& c : cases) {
    SetImage(c.w, c.h);
    LONG from = -1, to = -1, orientation = -1;
    view->GetSafeFrame(&from, &to, &orientation);
    EXPECT_EQ(from, c.from) << c.w << "x" << c.h;
    EXPECT_EQ(to, c.to) << c.w << "x" << c.h;
    EXPECT_EQ(orientation, c.orientation) << c.w << "x" << c.h;
  }
  host::SetSafeFrame(view, 1, 2, 7);
  LONG from, to, orientation;
  view->GetSafeFrame(&from, &to, &orientation);
  EXPECT_EQ(from + to + orientation, 10);
  LONG l, t, r, b;
  view->GetFrame(&l, &t, &r, &b);
  EXPECT_EQ(l + t + r + b, 10 + 20 + 409 + 319);
}

TEST_F(ViewsTest, SceneCameraIsACameraOfTheDocument) {
  BaseObject* cam = BaseObject::Alloc(Ocamera);
  cam->SetPos(LVector(1, 2, 3));
  BaseObject* null = BaseObject::Alloc(Onull);
  doc->InsertObject(cam, nullptr, nullptr);
  doc->InsertObject(null, nullptr, nullptr);
  BaseObject* editor = view->GetEditorCamera();
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->GetType(), Ocamera);
  EXPECT_EQ(editor->GetDocument(), nullptr);
  EXPECT_EQ(view->GetSceneCamera(doc), nullptr);
  EXPECT_EQ(view->GetMg(), editor->GetMg());

  view->SetSceneCamera(cam);
  EXPECT_EQ(view->GetSceneCamera(doc), cam);
  EXPECT_EQ(view->GetMg().off, LVector(1, 2, 3));
  BaseDocument* other = BaseDocument::Alloc();
  EXPECT_EQ(view->GetSceneCamera(other), nullptr);
  BaseDocument::Free(other);

  view->SetSceneCamera(null);  // not a camera
  EXPECT_EQ(view->GetSceneCamera(doc), nullptr);
  view->SetSceneCamera(cam);
  BaseObject::Free(cam);  // the link does not outlive the camera
  EXPECT_EQ(view->GetSceneCamera(doc), nullptr);
}

TEST_F(ViewsTest, DrawingIsRecordedWithTheViewsState) {
  view->SetPen(LVector(0, 1, 0));
  view->SetTransparency(300);  // clamped
  LMatrix m(LVector(5, 0, 0), LVector(1, 0, 0), LVector(0, 1, 0), LVector(0, 0, 1));
  view->SetMatrix_Matrix(nullptr, m);
  const LVector tri[3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  view->DrawPolygon(tri, nullptr, FALSE);
  std::vector<host::DrawRecord> r = host::DrawRecords(view);
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].kind, host::DrawKind::Polygon);
  EXPECT_EQ(r[0].transparency, 255);
  EXPECT_EQ(r[0].matrix, m);
  EXPECT_EQ(r[0].colors, std::vector<LVector>(3, LVector(0, 1, 0)));
}

// A tag that draws one line per call and fails on objects named "fail".
class LineTag : public TagData {
 public:
  static NodeData* Alloc() { return new LineTag; }
  Bool Draw(BaseTag*, BaseObject* op, BaseDraw* bd, BaseDrawHelp* bh) override {
    bd->DrawLine2D(LVector(bh->GetDocument() ? 1 : 0, 0, 0), LVector());
    return op->GetName() != String("fail");
  }
};

TEST_F(ViewsTest, RedrawCallsEveryPluginTagInTreeOrder) {
  ASSERT_TRUE(RegisterTagPlugin(1000010, "Line", 0, LineTag::Alloc, "", nullptr, 0));
  BaseObject* parent = BaseObject::Alloc(Onull);
  BaseObject* child = BaseObject::Alloc(Onull);
  child->SetName("fail");
  doc->InsertObject(parent, nullptr, nullptr);
  doc->InsertObject(child, parent, nullptr);
  parent->MakeTag(1000010);
  parent->MakeTag(Tmotionblur);  // not a plug-in: not drawn
  child->MakeTag(1000010);
  EXPECT_EQ(host::DrawDocument(doc), 1);
  EXPECT_EQ(host::DrawRecords(view).size(), 2u);
  EXPECT_EQ(host::DrawDocument(nullptr), 0);
}

}  // namespace
