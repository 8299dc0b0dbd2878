// The scene camera: finding it with its camera tag, and the "camera" element with the image and
// filter settings of "renderer_settings".
#include <cmath>

#include "export/orvanesceneexporter.h"
#include "export/xmlbuilders.h"
#include "main/helpers.h"
#include "tag/cameratagids.h"

namespace {

// Parameters of the host's camera object and render data.
constexpr LONG kCameraFocalLength = 500;   // millimetres
constexpr LONG kCameraSensorWidth = 1006;  // millimetres
constexpr LONG kCameraFocusDistance = 1010;
constexpr LONG kCameraFilmOffsetX = 1118;  // fraction of the sensor width
constexpr LONG kCameraFilmOffsetY = 1119;  // fraction of the sensor height
constexpr LONG kRenderDataWidth = 5008;
constexpr LONG kRenderDataHeight = 5009;

// What stands in for a lens value the camera lacks or holds as zero: the host camera's own
// 36 mm lens on a 36 mm sensor, and the camera tag's default f-number.
constexpr double kDefaultLensMm = 36.0;
constexpr double kDefaultFNumber = 16.0;

// The text of a white-balance illuminant; "" for a value outside the cycle.
const char* WhiteBalanceName(LONG value) {
  static const char* const kNames[] = {"E", "D50", "D55",  "D65", "D75", "A",
                                       "B", "C",   "9300", "F2",  "F7",  "F11"};
  if (value < CAMTAG_WB_E || value > CAMTAG_WB_F11) return "";
  return kNames[value - CAMTAG_WB_E];
}

// A camera length in millimetres: the stored value, the default when none is stored, and the
// default with a warning when the stored one is not a positive number.
double LensMillimetres(const BaseContainer& camera, LONG id, const char* what) {
  if (!camera.GetDataPointer(id)) return kDefaultLensMm;
  const double v = camera.GetReal(id);
  if (v > 0.0 && std::isfinite(v)) return v;
  GePrint(String("Warning: the camera's ") + what + " is " + String::RealToString(v) + " mm; using 36 mm");
  return kDefaultLensMm;
}

TiXmlElement* AddElement(const char* name, TiXmlElement* parent) {
  TiXmlElement* e = new TiXmlElement(name);
  parent->LinkEndChild(e);
  return e;
}

}  // namespace

void OrvaneSceneExporter::GetSceneCameraData() {
  BaseDocument* doc = sceneData->document;
  BaseDraw* view = doc ? doc->GetRenderBaseDraw() : nullptr;
  camera = view ? view->GetSceneCamera(doc) : nullptr;
  if (!camera && view) {
    // The view looks through its own camera: export what the user sees.
    camera = view->GetEditorCamera();
    if (camera) GePrint("No scene camera: exporting the view's editor camera");
  }
  if (!camera) {
    GePrint("No camera: exporting a camera at the origin");
    return;
  }
  cameraData = camera->GetData();
  BaseTag* tag = camera->GetTag(ID_CAMERATAG);
  if (!tag) return;
  cameraTagData = tag->GetData();
  hasCameraTag = 1;
}

bool OrvaneSceneExporter::CameraIsFinite() {
  if (!camera) return true;
  const LMatrix mg = camera->GetMg();
  if (!PlacementIsFinite(mg) ||
      !std::isfinite(cameraData.GetReal(kCameraFocusDistance, 0.0) * sceneData->globalScale))
    return false;
  double strength = 1.0;
  if (!ObjectHasMotionBlurTag(camera, strength)) return true;
  // The keyframes as the camera will have them, written aside.
  const double exposure = sceneData->exposureDuration;
  if (hasCameraTag) sceneData->exposureDuration = cameraTagData.GetReal(CAMTAG_EXPOSURE_DURATION, 0.0);
  TiXmlElement aside("camera");
  placementNotFinite = false;
  SceneExportObjectMotionBlur(&aside, camera, mg);
  sceneData->exposureDuration = exposure;
  return !placementNotFinite;
}

int OrvaneSceneExporter::SceneExportCamera(TiXmlElement* rendererSettings) {
  if (!CameraIsFinite()) {
    // As though there were no camera at all.
    ReportNotFinite("Camera", camera);
    GePrint("No camera: exporting a camera at the origin");
    camera = nullptr;
    cameraData = BaseContainer();
    cameraTagData = BaseContainer();
    hasCameraTag = 0;
  }
  TiXmlElement* cameraElement = new TiXmlElement("camera");
  const BaseContainer& tag = cameraTagData;
  const double scale = sceneData->globalScale;

  if (hasCameraTag) {
    SceneExportLongValue("super_sample_factor", tag.GetLong(CAMTAG_SUPER_SAMPLE_FACTOR, 1), rendererSettings);

    TiXmlElement* splat = AddElement("splat_filter", rendererSettings);
    switch (tag.GetLong(CAMTAG_SPLAT_FILTER, 0)) {
      case CAMTAG_FILTER_FASTBOX: AddElement("fastbox", splat); break;
      case CAMTAG_FILTER_GAUSSIAN: AddElement("gaussian", splat); break;
      case CAMTAG_FILTER_MN_CUBIC: {
        TiXmlElement* cubic = AddElement("mn_cubic", splat);
        SceneExportRealValue("ring", tag.GetReal(CAMTAG_SPLAT_RING, 0.0), cubic);
        SceneExportRealValue("blur", tag.GetReal(CAMTAG_SPLAT_BLUR, 0.0), cubic);
        break;
      }
      default: break;
    }

    TiXmlElement* downsize = AddElement("downsize_filter", rendererSettings);
    switch (tag.GetLong(CAMTAG_DOWNSIZE_FILTER, 0)) {
      case CAMTAG_FILTER_MN_CUBIC: {
        TiXmlElement* cubic = AddElement("mn_cubic", downsize);
        SceneExportRealValue("ring", tag.GetReal(CAMTAG_DOWNSIZE_RING, 0.0), cubic);
        SceneExportRealValue("blur", tag.GetReal(CAMTAG_DOWNSIZE_BLUR, 0.0), cubic);
        break;
      }
      case CAMTAG_FILTER_GAUSSIAN: AddElement("gaussian", downsize); break;
      default: break;
    }

    SceneExportBoolValue("watermark", tag.GetBool(CAMTAG_WATERMARK, FALSE), rendererSettings);
    SceneExportBoolValue("info_overlay", tag.GetBool(CAMTAG_INFO_OVERLAY, FALSE), rendererSettings);
    if (tag.GetBool(CAMTAG_RENDER_REGION, FALSE)) {
      TiXmlElement* region = AddElement("render_region", rendererSettings);
      SceneExportLongValue("x1", tag.GetLong(CAMTAG_REGION_X1, 0), region);
      SceneExportLongValue("x2", tag.GetLong(CAMTAG_REGION_X2, 0), region);
      SceneExportLongValue("y1", tag.GetLong(CAMTAG_REGION_Y1, 0), region);
      SceneExportLongValue("y2", tag.GetLong(CAMTAG_REGION_Y2, 0), region);
    }
  }

  RenderData* rd = sceneData->document ? sceneData->document->GetActiveRenderData() : nullptr;
  const BaseContainer* image = rd ? rd->GetDataInstance() : nullptr;
  const LONG width = image ? image->GetLong(kRenderDataWidth, 0) : 0;
  const LONG height = image ? image->GetLong(kRenderDataHeight, 0) : 0;
  SceneExportLongValue("width", width, rendererSettings);
  SceneExportLongValue("height", height, rendererSettings);

  double aspect = height != 0 ? static_cast<double>(width) / height : 0.0;
  if (!(aspect > 0.0)) {
    GePrint(String("Warning: an image of ") + String::LongToString(width) + " x " +
            String::LongToString(height) + " pixels has no aspect ratio; using 1");
    aspect = 1.0;
  }
  SceneExportRealValue("aspect_ratio", aspect, cameraElement);

  if (hasCameraTag) sceneData->exposureDuration = tag.GetReal(CAMTAG_EXPOSURE_DURATION, 0.0);
  SceneExportRealValue("exposure_duration", sceneData->exposureDuration, cameraElement);

  const LMatrix mg = camera ? camera->GetMg() : LMatrix();
  if (camera && SceneExportObjectMotionBlur(cameraElement, camera, mg)) {
    SceneExportStringValue("up", "0 0 1", cameraElement);
    SceneExportStringValue("forwards", "0 1 0", cameraElement);
  } else {
    SceneExportVectorValue("pos", mg.off * scale, cameraElement, 1);
    SceneExportVectorValue("up", mg.v2, cameraElement, 1);
    SceneExportVectorValue("forwards", mg.v3, cameraElement, 1);
  }

  SceneExportRealValue("focus_distance", cameraData.GetReal(kCameraFocusDistance, 0.0) * scale,
                       cameraElement);

  const double sensorMm = LensMillimetres(cameraData, kCameraSensorWidth, "sensor width");
  const double focalMm = LensMillimetres(cameraData, kCameraFocalLength, "focal length");
  const double sensorWidth = hasCameraTag ? sensorMm * 0.001 : 0.036;
  SceneExportRealValue("sensor_width", sensorWidth, cameraElement);
  const double lensSensorDist = sensorWidth / (2.0 * std::tan(std::atan(0.5 * sensorMm / focalMm)));
  SceneExportRealValue("lens_sensor_dist", lensSensorDist, cameraElement);

  double apertureRadius = lensSensorDist / 16.0;
  if (hasCameraTag) {
    double fNumber = tag.GetReal(CAMTAG_FSTOP, 0.0);
    if (!(fNumber > 0.0 && std::isfinite(fNumber))) {
      GePrint(String("Warning: the camera tag's f-number is ") + String::RealToString(fNumber) +
              "; using 16");
      fNumber = kDefaultFNumber;
    }
    apertureRadius = lensSensorDist / (2.0 * fNumber);
  }
  SceneExportRealValue("aperture_radius", apertureRadius, cameraElement);

  const LONG diffraction = tag.GetLong(CAMTAG_DIFFRACTION, 0);
  SceneExportBoolValue("post_process_diffraction", diffraction != CAMTAG_DIFFRACTION_APERTURE,
                       rendererSettings);
  SceneExportBoolValue("aperture_diffraction", diffraction == CAMTAG_DIFFRACTION_APERTURE, rendererSettings);

  TiXmlElement* shape = AddElement("aperture_shape", cameraElement);
  switch (tag.GetLong(CAMTAG_APERTURE_SHAPE, CAMTAG_SHAPE_CIRCULAR)) {
    case CAMTAG_SHAPE_GENERATED: {
      TiXmlElement* generated = AddElement("generated", shape);
      SceneExportLongValue("num_blades", tag.GetLong(CAMTAG_NUM_BLADES, 0), generated);
      SceneExportRealValue("blade_offset", tag.GetReal(CAMTAG_BLADE_OFFSET, 0.0), generated);
      SceneExportRealValue("blade_curvature_radius", tag.GetReal(CAMTAG_BLADE_CURVATURE_RADIUS, 0.0),
                           generated);
      SceneExportRealValue("start_angle", tag.GetReal(CAMTAG_START_ANGLE, 0.0), generated);
      break;
    }
    case CAMTAG_SHAPE_IMAGE: {
      TiXmlElement* imageShape = AddElement("image", shape);
      SceneExportStringValue(
          "path", tag.GetFilename(CAMTAG_APERTURE_IMAGE, Filename("element not found")).GetString(),
          imageShape);
      break;
    }
    case CAMTAG_SHAPE_CIRCULAR: AddElement("circular", shape); break;
    default: break;
  }

  if (tag.GetBool(CAMTAG_USE_OBSTACLE_MAP, FALSE)) {
    TiXmlElement* obstacle = AddElement("obstacle_map", cameraElement);
    SceneExportStringValue(
        "path", tag.GetFilename(CAMTAG_OBSTACLE_MAP, Filename("element not found")).GetString(), obstacle);
  }

  SceneExportStringValue("white_balance",
                         hasCameraTag ? WhiteBalanceName(tag.GetLong(CAMTAG_WHITE_BALANCE, 0)) : "D65",
                         cameraElement);
  if (!hasCameraTag || tag.GetBool(CAMTAG_AUTOFOCUS, FALSE)) AddElement("autofocus", cameraElement);

  // (0 - x rather than -x: no offset is written as a positive zero.)
  SceneExportRealValue("lens_shift_up_distance",
                       0.0 - cameraData.GetReal(kCameraFilmOffsetY, 0.0) * sensorWidth / aspect,
                       cameraElement);
  SceneExportRealValue("lens_shift_right_distance", cameraData.GetReal(kCameraFilmOffsetX, 0.0) * sensorWidth,
                       cameraElement);

  sceneElement->LinkEndChild(cameraElement);
  return 1;
}
