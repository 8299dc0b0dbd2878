// Placements in the scene: static positions and matrices, scale-only matrices, and keyframes of
// motion-blurred objects sampled across the exposure.
#include <gtest/gtest.h>

#include <tinyxml.h>

#include <clocale>
#include <cmath>
#include <locale>
#include <string>
#include <vector>

#include "export/orvanesceneexporter.h"
#include "host_cache.h"
#include "support/host_fixture.h"
#include "support/xml_text.h"
#include "support/comma_locale.h"

namespace {

const double kPi = 3.14159265358979323846;

class TransformTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    doc = BaseDocument::Alloc();
    doc->SetFps(25);
    exporter.sceneData = new OrvaneSceneData();
    exporter.sceneData->document = doc;
    element = new TiXmlElement("model");
  }
  void TearDown() override {
    delete element;
    BaseDocument::Free(doc);
    HostTest::TearDown();
  }
  BaseObject* Add(BaseObject* parent = nullptr) {
    BaseObject* op = BaseObject::Alloc(Onull);
    doc->InsertObject(op, parent, nullptr);
    return op;
  }
  // Keys moving `op` by `perFrame` along X from the origin at frame 0 to frame 100.
  static void Slide(BaseObject* op, double perFrame, double fps = 25) {
    LMatrix end;
    end.off = LVector(100 * perFrame, 0, 0);
    op->SetMatrixKeys({{BaseTime(0.0, fps), LMatrix()}, {BaseTime(100.0, fps), end}});
  }
  // The keyframes written into `element`: time and pos texts.
  std::vector<std::pair<std::string, std::string>> Keyframes() const {
    std::vector<std::pair<std::string, std::string>> out;
    for (const TiXmlElement* k = element->FirstChildElement("keyframe"); k;
         k = k->NextSiblingElement("keyframe"))
      out.emplace_back(k->FirstChildElement("time")->GetText(), k->FirstChildElement("pos")->GetText());
    return out;
  }
  std::vector<std::string> Comments() const {
    std::vector<std::string> out;
    for (const TiXmlNode* n = element->FirstChild(); n; n = n->NextSibling())
      if (n->ToComment()) out.push_back(n->Value());
    return out;
  }

  BaseDocument* doc = nullptr;
  OrvaneSceneExporter exporter;
  TiXmlElement* element = nullptr;
};

TEST_F(TransformTest, StaticPlacementExchangesYAndZ) {
  struct Case {
    LMatrix m;
    double scale;
    const char* flat;
  } cases[] = {
      {LMatrix(LVector(1, 2, 3), LVector(1, 0, 0), LVector(0, 1, 0), LVector(0, 0, 1)), 1.0,
       "pos=1.000000 3.000000 2.000000;rotation{matrix=1.00000000 0.00000000 0.00000000 0.00000000 "
       "1.00000000 0.00000000 0.00000000 0.00000000 1.00000000}"},
      // A scaled object keeps its axis lengths in the matrix.
      {LMatrix(LVector(), LVector(2, 0, 0), LVector(0, 3, 0), LVector(0, 0, 4)), 1.0,
       "pos=0.000000 0.000000 0.000000;rotation{matrix=2.00000000 0.00000000 0.00000000 0.00000000 "
       "4.00000000 0.00000000 0.00000000 0.00000000 3.00000000}"},
      {LMatrix(LVector(), LVector(0, 0, -1), LVector(0, 1, 0), LVector(1, 0, 0)), 1.0,
       "pos=0.000000 0.000000 0.000000;rotation{matrix=0.00000000 1.00000000 0.00000000 -1.00000000 "
       "0.00000000 0.00000000 0.00000000 0.00000000 1.00000000}"},
      // The scene scale moves positions only.
      {LMatrix(LVector(100, 200, 300), LVector(0.5, 0, 0), LVector(0, 0.5, 0), LVector(0, 0, 0.5)), 0.01,
       "pos=1.000000 3.000000 2.000000;rotation{matrix=0.50000000 0.00000000 0.00000000 0.00000000 "
       "0.50000000 0.00000000 0.00000000 0.00000000 0.50000000}"},
      // Rounding noise is not written as a negative zero.
      {LMatrix(LVector(), LVector(1, -1e-17, 0), LVector(0, 1, 0), LVector(0, 0, 1)), 1.0,
       "pos=0.000000 0.000000 0.000000;rotation{matrix=1.00000000 0.00000000 0.00000000 0.00000000 "
       "1.00000000 0.00000000 0.00000000 0.00000000 1.00000000}"},
  };
  for (const Case& c : cases) {
    element->Clear();
    exporter.sceneData->globalScale = c.scale;
    EXPECT_TRUE(exporter.SceneExportPosAndMatrix(element, c.m));
    EXPECT_EQ(Flatten(element), c.flat);
  }
}

TEST_F(TransformTest, ScaleOnlyMatrix) {
  LMatrix m(LVector(7, 8, 9), LVector(2, 0, 0), LVector(0, 3, 0), LVector(0, 0, 4));
  EXPECT_TRUE(exporter.SceneExportMoBlurMatrix(element, m));
  EXPECT_EQ(Flatten(element), "rotation{matrix=2.00000000 0 0  0 4.00000000 0  0 0 3.00000000}");
  element->Clear();
  // Lengths, whatever the rotation.
  m = LMatrix(LVector(), LVector(0, 0, -2), LVector(0, 3, 0), LVector(4, 0, 0));
  exporter.SceneExportMoBlurMatrix(element, m);
  EXPECT_EQ(Flatten(element), "rotation{matrix=2.00000000 0 0  0 4.00000000 0  0 0 3.00000000}");
}

TEST_F(TransformTest, KeyframeHoldsTimePositionAndRotation) {
  exporter.sceneData->globalScale = 0.5;
  exporter.SceneExportKeyframe(0.25, element, 1.5, LVector(0, 1, 0), LVector(2, 4, 6));
  EXPECT_EQ(Flatten(element),
            "keyframe{time=0.250000;pos=1.000000 3.000000 2.000000;"
            "rotation_quaternion{axis=0.000000 0.000000 1.000000;angle=1.500000}}");
}

TEST_F(TransformTest, MotionBlurTagOnTheObjectOrAnAncestor) {
  BaseObject* parent = Add();
  BaseObject* child = Add(parent);
  double strength = -1;
  EXPECT_FALSE(exporter.ObjectHasMotionBlurTag(child, strength));
  EXPECT_FALSE(exporter.ObjectHasMotionBlurTag(nullptr, strength));
  EXPECT_EQ(strength, -1);
  BaseTag* tag = parent->MakeTag(Tmotionblur);
  EXPECT_TRUE(exporter.ObjectHasMotionBlurTag(child, strength));
  EXPECT_EQ(strength, 1.0);  // no strength stored
  tag->GetDataInstance()->SetReal(1000, 0.5);
  EXPECT_TRUE(exporter.ObjectHasMotionBlurTag(child, strength));
  EXPECT_EQ(strength, 0.5);
  // Objects of a generator's cache are blurred by a tag on the generator.
  BaseObject* generator = Add();
  generator->MakeTag(Tmotionblur)->GetDataInstance()->SetReal(1000, 2.0);
  BaseObject* cached = BaseObject::Alloc(Onull);
  host::SetCache(generator, cached);
  EXPECT_TRUE(exporter.ObjectHasMotionBlurTag(cached, strength));
  EXPECT_EQ(strength, 2.0);
  // Without a tag nothing is written.
  EXPECT_FALSE(exporter.SceneExportObjectMotionBlur(element, Add(), LMatrix()));
  EXPECT_EQ(Flatten(element), "");
}

TEST_F(TransformTest, KeyframesAcrossTheExposure) {
  struct Case {
    LONG fps;
    double exposure, strength;
    std::vector<std::string> comments;
    std::vector<std::pair<std::string, std::string>> keys;  // time, pos (10 units per frame)
  } cases[] = {
      {25,
       0.05,
       1.0,
       {"mExposure 0.05000", "step 1.00000", "strength 1.00000", "frame 4", "frame 5"},
       {{"0.000000", "40.000000 0.000000 0.000000"}, {"1.000000", "52.500000 0.000000 0.000000"}}},
      // 2.5 frames: one whole frame inside, at its true fraction of the shutter.
      {25,
       0.1,
       1.0,
       {"mExposure 0.10000", "step 0.33333", "strength 1.00000", "frame 4", "frame 5", "frame 6"},
       {{"0.000000", "40.000000 0.000000 0.000000"},
        {"0.400000", "50.000000 0.000000 0.000000"},
        {"1.000000", "65.000000 0.000000 0.000000"}}},
      {30,
       0.2,
       1.0,
       {"mExposure 0.20000", "step 0.16667", "strength 1.00000", "frame 4", "frame 5", "frame 6", "frame 7",
        "frame 8", "frame 9", "frame 10"},
       {{"0.000000", "40.000000 0.000000 0.000000"},
        {"0.166667", "50.000000 0.000000 0.000000"},
        {"0.333333", "60.000000 0.000000 0.000000"},
        {"0.500000", "70.000000 0.000000 0.000000"},
        {"0.666667", "80.000000 0.000000 0.000000"},
        {"0.833333", "90.000000 0.000000 0.000000"},
        {"1.000000", "100.000000 0.000000 0.000000"}}},
      // A shut shutter: two keyframes at the same place.
      {25,
       0.05,
       0.0,
       {"mExposure 0.05000", "step 0.00000", "strength 0.00000", "frame 4", "frame 4"},
       {{"0.000000", "40.000000 0.000000 0.000000"}, {"1.000000", "40.000000 0.000000 0.000000"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.fps) + " fps, " + std::to_string(c.exposure) + " s");
    BaseDocument::Free(doc);
    doc = BaseDocument::Alloc();
    doc->SetFps(c.fps);
    exporter.sceneData->document = doc;
    exporter.sceneData->frame = 4;
    exporter.sceneData->exposureDuration = c.exposure;
    exporter.sceneData->globalScale = 1.0;
    BaseObject* op = Add();
    op->MakeTag(Tmotionblur)->GetDataInstance()->SetReal(1000, c.strength);
    Slide(op, 10.0, c.fps);
    doc->AnimateObject(op, BaseTime(4.0, c.fps), 0);
    element->Clear();
    EXPECT_TRUE(exporter.SceneExportObjectMotionBlur(element, op, op->GetMg()));
    EXPECT_EQ(Comments(), c.comments);
    EXPECT_EQ(Keyframes(), c.keys);
    // The object stands at the exported frame again.
    EXPECT_EQ(op->GetMl().off, LVector(40, 0, 0));
  }
}

TEST_F(TransformTest, AnimatedChildOfAStillParentMoves) {
  exporter.sceneData->frame = 0;
  exporter.sceneData->exposureDuration = 0.1;  // 2.5 frames at 25 fps
  BaseObject* parent = Add();
  parent->SetPos(LVector(0, 100, 0));
  BaseObject* child = Add(parent);
  BaseObject* grandchild = Add(child);
  parent->MakeTag(Tmotionblur);
  Slide(child, 4.0);
  // The grandchild turns a quarter turn about +Y per 25 frames.
  LMatrix turned = RotAxisToMatrix(LVector(0, 1, 0), kPi / 2);
  grandchild->SetMatrixKeys({{BaseTime(0.0, 25), LMatrix()}, {BaseTime(25.0, 25), turned}});
  EXPECT_TRUE(exporter.SceneExportObjectMotionBlur(element, grandchild, grandchild->GetMg()));
  std::vector<std::pair<std::string, std::string>> keys = Keyframes();
  ASSERT_EQ(keys.size(), 3u);
  EXPECT_EQ(keys[1], (std::pair<std::string, std::string>{"0.400000", "4.000000 0.000000 100.000000"}));
  EXPECT_EQ(keys[2], (std::pair<std::string, std::string>{"1.000000", "10.000000 0.000000 100.000000"}));
  const TiXmlElement* last = element->LastChild("keyframe")->ToElement();
  EXPECT_EQ(std::string(last->FirstChildElement("rotation_quaternion")->FirstChildElement("axis")->GetText()),
            "0.000000 0.000000 1.000000");
  EXPECT_NEAR(
      std::stod(last->FirstChildElement("rotation_quaternion")->FirstChildElement("angle")->GetText()),
      kPi / 2 * 2.5 / 25, 1e-6);
  // Every object is back where it was.
  EXPECT_EQ(parent->GetMl().off, LVector(0, 100, 0));
  EXPECT_EQ(child->GetMl().off, LVector());
  EXPECT_EQ(grandchild->GetMl(), LMatrix());
}

// A locale that writes numbers with a decimal comma.
struct CommaPoint : std::numpunct<char> {
  char do_decimal_point() const override { return ','; }
};

TEST_F(TransformTest, NumberTextIgnoresTheProcessLocale) {
  CommaLocale comma;
  std::locale previous = std::locale::global(std::locale(std::locale::classic(), new CommaPoint));

  exporter.sceneData->frame = 0;
  exporter.sceneData->exposureDuration = 0.05;
  BaseObject* op = Add();
  op->MakeTag(Tmotionblur)->GetDataInstance()->SetReal(1000, 0.5);
  exporter.SceneExportPosAndMatrix(
      element, LMatrix(LVector(), LVector(0.5, 0, 0), LVector(0, 1, 0), LVector(0, 0, 1)));
  exporter.SceneExportMoBlurMatrix(
      element, LMatrix(LVector(), LVector(0.5, 0, 0), LVector(0, 1, 0), LVector(0, 0, 1)));
  exporter.SceneExportObjectMotionBlur(element, op, LMatrix());

  std::locale::global(previous);
  comma.Restore();
  const std::string flat = Flatten(element);
  EXPECT_NE(flat.find("matrix=0.50000000 0.00000000"), std::string::npos) << flat;
  EXPECT_NE(flat.find("matrix=0.50000000 0 0  0 1.00000000 0  0 0 1.00000000"), std::string::npos) << flat;
  EXPECT_NE(flat.find("#mExposure 0.05000;#step 1.00000;#strength 0.50000"), std::string::npos) << flat;
  EXPECT_EQ(flat.find(','), std::string::npos) << flat;
}

}  // namespace
