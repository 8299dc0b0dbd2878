// Placements in the scene: static positions and rotation matrices, and keyframes sampled across
// the camera's exposure for objects under a motion-blur tag.
#include <algorithm>
#include <cmath>
#include <vector>

#include "export/orvanesceneexporter.h"
#include "export/xmlbuilders.h"
#include "main/helpers.h"

namespace {

constexpr LONG kMotionBlurStrength = 1000;  // real parameter of the host's motion-blur tag
// Frames sampled inside one exposure at most; a longer shutter is sampled at its ends only.
constexpr double kMaxSampledFrames = 10000.0;

// A number with `decimals` places; one that rounds to zero is written without a sign.
String Fixed(double v, int decimals) {
  if (std::fabs(v) < 0.5 * std::pow(10.0, -decimals)) v = 0.0;
  return String::RealToString(v, -1, decimals);
}

// A frame number as an integer (saturating; a frame beyond the integer range is no frame).
LONG FrameNumber(double frame) {
  if (!(frame > -2147483648.0)) return INT32_MIN;
  if (frame >= 2147483647.0) return INT32_MAX;
  return static_cast<LONG>(frame);
}

// The object's parent, or for the top object of a generator's cache the generator.
BaseObject* Ancestor(BaseObject* op) { return op->GetUp() ? op->GetUp() : op->GetCacheParent(); }

}  // namespace

bool OrvaneSceneExporter::PlacementIsFinite(const LMatrix& m) const {
  const LVector pos = m.off * sceneData->globalScale;
  const double values[12] = {pos.x,  pos.y,  pos.z,  m.v1.x, m.v1.y, m.v1.z,
                             m.v2.x, m.v2.y, m.v2.z, m.v3.x, m.v3.y, m.v3.z};
  for (double v : values)
    if (!std::isfinite(v)) return false;
  return true;
}

void OrvaneSceneExporter::ReportNotFinite(const char* kind, BaseObject* obj) {
  ++notFiniteCount;
  GePrint(String(kind) + String(" \"") + (obj ? obj->GetName() : String()) +
          String("\" not exported: its coordinates are not finite after the scene scale."));
}

bool OrvaneSceneExporter::SceneExportPosAndMatrix(TiXmlElement* parent, LMatrix m) {
  if (!PlacementIsFinite(m)) placementNotFinite = true;
  SceneExportVectorValue("pos", m.off * sceneData->globalScale, parent, 1);
  TiXmlElement* rotation = new TiXmlElement("rotation");
  parent->LinkEndChild(rotation);
  // Rows of the scene's matrix: the host axes X, Z and Y as columns, each with y and z exchanged.
  const LMatrix t = Helpers::GetTranspose(m);
  const double rows[9] = {t.v1.x, t.v1.z, t.v1.y, t.v3.x, t.v3.z, t.v3.y, t.v2.x, t.v2.z, t.v2.y};
  String text;
  for (int i = 0; i < 9; ++i) {
    if (i) text += " ";
    text += Fixed(rows[i], 8);
  }
  SceneExportStringValue("matrix", text, rotation);
  return true;
}

bool OrvaneSceneExporter::SceneExportMoBlurMatrix(TiXmlElement* parent, LMatrix m) {
  if (!std::isfinite(Len(m.v1)) || !std::isfinite(Len(m.v2)) || !std::isfinite(Len(m.v3)))
    placementNotFinite = true;
  TiXmlElement* rotation = new TiXmlElement("rotation");
  parent->LinkEndChild(rotation);
  const String text =
      Fixed(Len(m.v1), 8) + " 0 0 " + " 0 " + Fixed(Len(m.v3), 8) + " 0 " + " 0 0 " + Fixed(Len(m.v2), 8);
  SceneExportStringValue("matrix", text, rotation);
  return true;
}

bool OrvaneSceneExporter::ObjectHasMotionBlurTag(BaseObject* op, double& strength) {
  for (BaseObject* o = op; o; o = Ancestor(o)) {
    if (BaseTag* tag = o->GetTag(Tmotionblur)) {
      strength = tag->GetDataInstance()->GetReal(kMotionBlurStrength, 1.0);
      return true;
    }
  }
  return false;
}

void OrvaneSceneExporter::SceneExportKeyframe(double time, TiXmlElement* parent, double angle, LVector axis,
                                              LVector position) {
  const LVector pos = position * sceneData->globalScale;
  const double values[8] = {time, pos.x, pos.y, pos.z, axis.x, axis.y, axis.z, angle};
  for (double v : values)
    if (!std::isfinite(v)) placementNotFinite = true;
  TiXmlElement* keyframe = new TiXmlElement("keyframe");
  parent->LinkEndChild(keyframe);
  SceneExportRealValue("time", time, keyframe);
  SceneExportVectorValue("pos", pos, keyframe, 1);
  TiXmlElement* quaternion = new TiXmlElement("rotation_quaternion");
  keyframe->LinkEndChild(quaternion);
  SceneExportVectorValue("axis", axis, quaternion, 1);
  SceneExportRealValue("angle", angle, quaternion);
}

bool OrvaneSceneExporter::SceneExportObjectMotionBlur(TiXmlElement* parent, BaseObject* op, LMatrix m) {
  double strength = 1.0;
  if (!ObjectHasMotionBlurTag(op, strength)) return false;
  BaseDocument* doc = sceneData->document;
  if (!doc) return false;

  const LONG fps = doc->GetFps();
  const LONG frame = sceneData->frame;
  const double exposure = sceneData->exposureDuration;
  double open = exposure * strength * fps;  // frames the shutter stays open
  if (!std::isfinite(open)) open = 0.0;
  const double end = frame + open;
  const double samples = std::floor(open + 0.5);
  const double step = 1.0 / samples;

  SceneExportComment(String("mExposure ") + Fixed(exposure, 5), parent);
  SceneExportComment(String("step ") + Fixed(std::isfinite(step) ? step : 0.0, 5), parent);
  SceneExportComment(String("strength ") + Fixed(strength, 5), parent);
  SceneExportComment(String("frame ") + String::LongToString(frame), parent);

  // Inside an instance the object stands at `m`, the instance's place, not at its own: its
  // keyframes are that place composed with the object's own motion since the exported frame. An
  // object without extent moves by its position alone.
  const bool placed = !expandingInstances_.empty();
  const LMatrix start = op->GetMg();
  const bool invertible = start.v1 * (start.v2 % start.v3) != 0.0;
  const LMatrix toPlace = m * !start;
  auto keyframe = [&](double time) {
    LMatrix mg = op->GetMg();
    if (placed && invertible) {
      mg = toPlace * mg;
    } else if (placed) {
      const LVector moved = mg.off - start.off;
      mg = m;
      mg.off += moved;
    }
    LVector axis;
    double angle = 0.0;
    MatrixToRotAxis(mg, &axis, &angle);
    SceneExportKeyframe(time, parent, angle, axis, mg.off);
  };
  keyframe(0.0);

  // Everything that places the object moves with the samples: the document's top-level objects
  // and the object's own ancestors (a child animated under a still parent included). Their local
  // matrices are put back afterwards.
  std::vector<BaseObject*> moved;
  for (BaseObject* o = doc->GetFirstObject(); o; o = o->GetNext()) moved.push_back(o);
  for (BaseObject* o = op; o; o = Ancestor(o))
    if (std::find(moved.begin(), moved.end(), o) == moved.end()) moved.push_back(o);
  std::vector<LMatrix> saved;
  saved.reserve(moved.size());
  for (BaseObject* o : moved) saved.push_back(o->GetMl());
  auto animate = [&](double at) {
    const BaseTime time(at, fps);
    for (BaseObject* o : moved) doc->AnimateObject(o, time, 0);
  };

  // Whole frames inside the exposure, each at its true fraction of the shutter.
  const double lastSampled = std::min(end - 0.5, frame + kMaxSampledFrames);
  for (LONG i = 1; frame + static_cast<double>(i) < lastSampled; ++i) {
    animate(frame + static_cast<double>(i));
    SceneExportComment(String("frame ") + String::LongToString(FrameNumber(frame + static_cast<double>(i))),
                       parent);
    keyframe(i / open);
  }

  animate(end);
  SceneExportComment(String("frame ") + String::LongToString(FrameNumber(end)), parent);
  keyframe(1.0);

  for (size_t k = 0; k < moved.size(); ++k) moved[k]->SetMl(saved[k]);
  return true;
}
