// Document animation, axis-angle rotations, and animation keys and the scene camera in document
// files.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "c4d.h"
#include "host_control.h"
#include "host_document_file.h"

namespace {

const Real kPi = 3.14159265358979323846;

void ExpectNear(const LVector& a, const LVector& b, Real eps = 1e-9) {
  EXPECT_NEAR(a.x, b.x, eps);
  EXPECT_NEAR(a.y, b.y, eps);
  EXPECT_NEAR(a.z, b.z, eps);
}

void ExpectNear(const LMatrix& a, const LMatrix& b, Real eps = 1e-9) {
  ExpectNear(a.off, b.off, eps);
  ExpectNear(a.v1, b.v1, eps);
  ExpectNear(a.v2, b.v2, eps);
  ExpectNear(a.v3, b.v3, eps);
}

TEST(RotationTest, AxisAndAngleRoundTrip) {
  struct Case {
    LVector axis;
    Real angle;
  } cases[] = {
      {{0, 1, 0}, kPi / 2}, {{1, 0, 0}, 0.3},       {{0, 0, 1}, kPi},
      {{1, 2, 3}, 2.0},     {{-1, 0.5, 0.25}, 3.0}, {{0, -1, 0}, 1e-3},
  };
  for (const Case& c : cases) {
    LMatrix m = RotAxisToMatrix(c.axis, c.angle);
    LVector axis;
    Real angle = -1;
    MatrixToRotAxis(m, &axis, &angle);
    EXPECT_NEAR(angle, c.angle, 1e-9);
    // At half a turn the axis may come back reversed.
    LVector want = Normalize(c.axis);
    if (std::fabs(c.angle - kPi) < 1e-12 && axis * want < 0) want = -want;
    ExpectNear(axis, want);
    ExpectNear(RotAxisToMatrix(axis, angle), m);
  }
}

TEST(RotationTest, AnglesTurnByTheLeftHandRule) {
  // +X turned towards +Z by a quarter turn about +Y.
  LMatrix m(LVector(), LVector(0, 0, 1), LVector(0, 1, 0), LVector(-1, 0, 0));
  LVector axis;
  Real angle;
  MatrixToRotAxis(m, &axis, &angle);
  ExpectNear(axis, LVector(0, 1, 0));
  EXPECT_NEAR(angle, kPi / 2, 1e-12);
  // Scale does not count.
  LMatrix scaled(LVector(4, 5, 6), m.v1 * 3.0, m.v2 * 0.5, m.v3 * 7.0);
  MatrixToRotAxis(scaled, &axis, &angle);
  ExpectNear(axis, LVector(0, 1, 0));
  EXPECT_NEAR(angle, kPi / 2, 1e-12);
  // No rotation, and a degenerate matrix.
  MatrixToRotAxis(LMatrix(), &axis, &angle);
  EXPECT_EQ(axis, LVector(0, 0, 1));
  EXPECT_EQ(angle, 0.0);
  MatrixToRotAxis(LMatrix(LVector(), LVector(), LVector(), LVector()), &axis, &angle);
  EXPECT_EQ(angle, 0.0);
  EXPECT_EQ(RotAxisToMatrix(LVector(), 1.0), LMatrix());
}

class AnimationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::ResetAll();
    doc = BaseDocument::Alloc();
    doc->SetFps(25);
    op = BaseObject::Alloc(Onull);
    doc->InsertObject(op, nullptr, nullptr);
  }
  void TearDown() override {
    BaseDocument::Free(doc);
    host::ResetAll();
  }
  BaseTime Frame(Real f) const { return BaseTime(f, doc->GetFps()); }
  BaseDocument* doc = nullptr;
  BaseObject* op = nullptr;
};

TEST_F(AnimationTest, KeysAreSortedAndInterpolatedLinearly) {
  LMatrix a, b;
  a.off = LVector(0, 0, 0);
  b.off = LVector(100, -50, 10);
  b.v1 = LVector(2, 0, 0);  // X axis grows to twice its length
  op->SetMatrixKeys({{Frame(10), b}, {Frame(0), a}, {Frame(10), b}});
  ASSERT_EQ(op->GetMatrixKeys().size(), 2u);
  EXPECT_EQ(op->GetMatrixKeys()[0].time, Frame(0));

  struct Case {
    Real frame;
    LVector off;
    Real xLength;
  } cases[] = {
      {-5, {0, 0, 0}, 1},     {0, {0, 0, 0}, 1},       {2.5, {25, -12.5, 2.5}, 1.25},
      {5, {50, -25, 5}, 1.5}, {10, {100, -50, 10}, 2}, {99, {100, -50, 10}, 2},
  };
  for (const Case& c : cases) {
    doc->AnimateObject(op, Frame(c.frame), 0);
    ExpectNear(op->GetMl().off, c.off);
    EXPECT_NEAR(Len(op->GetMl().v1), c.xLength, 1e-12) << c.frame;
    ExpectNear(op->GetMl().v2, LVector(0, 1, 0));
  }
}

TEST_F(AnimationTest, RotationFollowsTheShortestArc) {
  LMatrix start;
  LMatrix end = RotAxisToMatrix(LVector(0, 1, 0), kPi / 2);
  end.v3 = end.v3 * 2.0;  // and the Z axis doubles
  op->SetMatrixKeys({{Frame(0), start}, {Frame(4), end}});
  doc->AnimateObject(op, Frame(2), 0);
  LVector axis;
  Real angle;
  MatrixToRotAxis(op->GetMl(), &axis, &angle);
  ExpectNear(axis, LVector(0, 1, 0));
  EXPECT_NEAR(angle, kPi / 4, 1e-12);
  EXPECT_NEAR(Len(op->GetMl().v1), 1.0, 1e-12);
  EXPECT_NEAR(Len(op->GetMl().v3), 1.5, 1e-12);
}

TEST_F(AnimationTest, OnlyTheGivenObjectMoves) {
  BaseObject* child = BaseObject::Alloc(Onull);
  doc->InsertObject(child, op, nullptr);
  LMatrix moved;
  moved.off = LVector(0, 0, 7);
  child->SetMatrixKeys({{Frame(0), LMatrix()}, {Frame(1), moved}});
  op->SetMatrixKeys({{Frame(0), LMatrix()}, {Frame(1), moved}});
  doc->AnimateObject(op, Frame(1), 0);
  EXPECT_EQ(op->GetMl().off, LVector(0, 0, 7));
  EXPECT_EQ(child->GetMl().off, LVector());
  EXPECT_EQ(child->GetMg().off, LVector(0, 0, 7));
  // An object without keys stays where it is.
  BaseObject* still = BaseObject::Alloc(Onull);
  still->SetPos(LVector(3, 3, 3));
  doc->InsertObject(still, nullptr, nullptr);
  doc->AnimateObject(still, Frame(1), 0);
  doc->AnimateObject(nullptr, Frame(1), 0);
  EXPECT_EQ(still->GetMl().off, LVector(3, 3, 3));
  // Nor does a time that is not finite move anything.
  doc->AnimateObject(op, BaseTime(std::nan("")), 0);
  EXPECT_EQ(op->GetMl().off, LVector(0, 0, 7));
}

TEST_F(AnimationTest, EvaluatingTheDocumentAnimatesEveryObject) {
  BaseObject* child = BaseObject::Alloc(Onull);
  doc->InsertObject(child, op, nullptr);
  LMatrix moved;
  moved.off = LVector(0, 10, 0);
  op->SetMatrixKeys({{Frame(0), LMatrix()}, {Frame(10), moved}});
  child->SetMatrixKeys({{Frame(0), LMatrix()}, {Frame(10), moved}});
  doc->SetTime(Frame(5));
  EXPECT_TRUE(doc->ExecutePasses(nullptr, FALSE, FALSE, FALSE, 0));
  EXPECT_EQ(child->GetMg().off, LVector());
  EXPECT_TRUE(doc->ExecutePasses(nullptr, TRUE, FALSE, FALSE, 0));
  EXPECT_EQ(child->GetMg().off, LVector(0, 10, 0));
  // Nodes other than objects have nothing to animate.
  doc->AnimateObject(doc->GetActiveRenderData(), Frame(1), 0);
}

// --- Document files ---------------------------------------------------------------

BaseDocument* Load(const std::string& json, std::string* error) {
  return host::LoadDocumentText(json, "test.json", error);
}

TEST(DocumentFileAnimationTest, KeysPlaceTheObjectAtTheDocumentsFrame) {
  std::string error;
  BaseDocument* doc = Load(R"({"fps": 25, "frame": 5, "objects": [
    {"type": 5140, "name": "Mover", "position": [9, 9, 9],
     "keys": [{"frame": 0, "position": [0, 0, 0]},
              {"frame": 10, "matrix": {"off": [100, 0, 0], "v1": [2, 0, 0]}},
              {"frame": 2.5, "position": [0, 40, 0]}]},
    {"type": 5103, "name": "Cam"}],
    "sceneCamera": "Cam"})",
                           &error);
  ASSERT_NE(doc, nullptr) << error;
  BaseObject* mover = doc->SearchObject("Mover");
  ASSERT_EQ(mover->GetMatrixKeys().size(), 3u);
  EXPECT_EQ(mover->GetMatrixKeys()[1].time, BaseTime(2.5, 25));
  // Frame 5 lies a third of the way from the key at 2.5 to the key at 10.
  ExpectNear(mover->GetMl().off, LVector(100.0 / 3, 40.0 * 2 / 3, 0));
  EXPECT_EQ(doc->GetRenderBaseDraw()->GetSceneCamera(doc), doc->SearchObject("Cam"));
  BaseDocument::Free(doc);
}

TEST(DocumentFileAnimationTest, BadKeysAndCamerasAreRefused) {
  struct Case {
    const char* json;
    const char* message;
  } cases[] = {
      {R"({"objects": [{"type": 5140, "keys": [{"frame": 1, "position": [0,0,0]}, {"frame": 1, "position": [1,0,0]}]}]})",
       "test.json: /objects/0/keys/1/frame: two keys at one frame"},
      {R"({"objects": [{"type": 5140, "keys": [{"frame": 1}]}]})",
       "test.json: /objects/0/keys/0: a key needs a matrix or a position"},
      {R"({"objects": [{"type": 5140, "keys": [{"position": [0,0,0]}]}]})",
       "test.json: /objects/0/keys/0: a key needs a frame"},
      {R"({"objects": [{"type": 5140, "keys": [{"frame": 0, "position": [0,0,0], "matrix": {}}]}]})",
       "test.json: /objects/0/keys/0/position: give either matrix or position, not both"},
      {R"({"objects": [{"type": 5140, "keys": [{"frame": 0, "time": 1}]}]})",
       "test.json: /objects/0/keys/0/time: unknown field"},
      {R"({"objects": [{"type": 5140, "name": "N"}], "sceneCamera": "N"})",
       "test.json: /sceneCamera: object \"N\" is not a camera (type 5103)"},
      {R"({"sceneCamera": "Nobody"})", "test.json: /sceneCamera: no object named \"Nobody\""},
  };
  for (const Case& c : cases) {
    std::string error;
    BaseDocument* doc = Load(c.json, &error);
    EXPECT_EQ(doc, nullptr);
    EXPECT_EQ(error, c.message);
    BaseDocument::Free(doc);
  }
}

}  // namespace
