#include "tag/cameratag.h"
#include "main/helpers.h"

#include <cmath>

namespace {

OrvaneDLLWrapper* orvaneClass = nullptr;

constexpr LONG kRenderDataWidth = 5008;   // image width in pixels
constexpr LONG kRenderDataHeight = 5009;  // image height in pixels

}  // namespace

Bool CameraTag::Init(GeListNode* node) {
  BaseContainer* data = static_cast<BaseList2D*>(node)->GetDataInstance();
  data->SetLong(CAMTAG_WHITE_BALANCE, CAMTAG_WB_D65);
  data->SetBool(CAMTAG_AUTOFOCUS, TRUE);
  data->SetReal(CAMTAG_EXPOSURE_DURATION, 0.05);
  data->SetReal(CAMTAG_FSTOP, 16.0);
  data->SetBool(CAMTAG_UNREAD_FLAG, FALSE);
  data->SetReal(CAMTAG_FILM_ISO, 400.0);
  data->SetReal(CAMTAG_EV_ADJUST, 0.0);
  data->SetLong(CAMTAG_TONEMAPPER, CAMTAG_TONEMAPPER_REINHARD);
  data->SetReal(CAMTAG_PRE_SCALE, 3.0);
  data->SetReal(CAMTAG_POST_SCALE, 1.0);
  data->SetReal(CAMTAG_BURN, 10.0);
  data->SetLong(CAMTAG_SUPER_SAMPLE_FACTOR, 2);
  data->SetBool(CAMTAG_WATERMARK, FALSE);
  data->SetBool(CAMTAG_INFO_OVERLAY, FALSE);
  data->SetLong(CAMTAG_APERTURE_SHAPE, CAMTAG_SHAPE_CIRCULAR);
  data->SetLong(CAMTAG_NUM_BLADES, 6);
  data->SetReal(CAMTAG_BLADE_OFFSET, 0.4);
  data->SetReal(CAMTAG_BLADE_CURVATURE_RADIUS, 3.0);
  data->SetReal(CAMTAG_START_ANGLE, 0.2);
  data->SetLong(CAMTAG_SPLAT_FILTER, CAMTAG_FILTER_FASTBOX);
  data->SetLong(CAMTAG_DOWNSIZE_FILTER, CAMTAG_FILTER_MN_CUBIC);
  data->SetLong(CAMTAG_DIFFRACTION, CAMTAG_DIFFRACTION_POST_PROCESS);
  data->SetReal(CAMTAG_SPLAT_RING, 0.2);
  data->SetReal(CAMTAG_SPLAT_BLUR, 0.6);
  data->SetReal(CAMTAG_DOWNSIZE_RING, 0.2);
  data->SetReal(CAMTAG_DOWNSIZE_BLUR, 0.6);
  data->SetBool(CAMTAG_RENDER_REGION, FALSE);
  data->SetLong(CAMTAG_REGION_X1, 0);
  data->SetLong(CAMTAG_REGION_Y1, 0);
  data->SetLong(CAMTAG_REGION_X2, 150);
  data->SetLong(CAMTAG_REGION_Y2, 150);
  data->SetFilename(CAMTAG_RESPONSE_FUNCTION, Filename("data/camera_response_functions/Advantix-100CD.txt"));
  return TRUE;
}

void CameraTag::Free(GeListNode* node) {
  BaseObject* op = node ? static_cast<BaseTag*>(node)->GetObject() : nullptr;
  if (!op || op->GetType() != Ocamera) return;
  ObjectColorProperties color;
  op->GetColorProperties(&color);
  color.usecolor = 0;
  color.color = LVector(1.0, 1.0, 1.0);
  color.xray = FALSE;
  op->SetColorProperties(&color);
}

Bool CameraTag::Message(GeListNode*, LONG, void*) { return TRUE; }

Bool CameraTag::GetDDescription(GeListNode* node, Description* description, LONG& flags) {
  if (!description || !description->LoadDescription(ID_CAMERATAG)) return FALSE;
  const BaseContainer* data = static_cast<BaseList2D*>(node)->GetDataInstance();

  switch (data->GetLong(CAMTAG_TONEMAPPER)) {
    case CAMTAG_TONEMAPPER_REINHARD:
      Helpers::HideDescriptionEntry(description, CAMTAG_POST_SCALE, FALSE);
      Helpers::HideDescriptionEntry(description, CAMTAG_BURN, FALSE);
      Helpers::HideDescriptionEntry(description, CAMTAG_CAMERA_TONEMAPPER_GROUP, TRUE);
      break;
    case CAMTAG_TONEMAPPER_CAMERA:
      Helpers::HideDescriptionEntry(description, CAMTAG_SCALE_TONEMAPPER_GROUP, TRUE);
      Helpers::HideDescriptionEntry(description, CAMTAG_CAMERA_TONEMAPPER_GROUP, FALSE);
      break;
    case CAMTAG_TONEMAPPER_LINEAR:
      Helpers::HideDescriptionEntry(description, CAMTAG_POST_SCALE, TRUE);
      Helpers::HideDescriptionEntry(description, CAMTAG_BURN, TRUE);
      Helpers::HideDescriptionEntry(description, CAMTAG_CAMERA_TONEMAPPER_GROUP, TRUE);
      break;
    default: break;
  }

  switch (data->GetLong(CAMTAG_APERTURE_SHAPE)) {
    case CAMTAG_SHAPE_GENERATED:
      Helpers::HideDescriptionEntry(description, CAMTAG_GENERATED_APERTURE_GROUP, FALSE);
      Helpers::HideDescriptionEntry(description, CAMTAG_IMAGE_APERTURE_GROUP, TRUE);
      break;
    case CAMTAG_SHAPE_IMAGE:
      Helpers::HideDescriptionEntry(description, CAMTAG_GENERATED_APERTURE_GROUP, TRUE);
      Helpers::HideDescriptionEntry(description, CAMTAG_IMAGE_APERTURE_GROUP, FALSE);
      break;
    case CAMTAG_SHAPE_CIRCULAR:
      Helpers::HideDescriptionEntry(description, CAMTAG_GENERATED_APERTURE_GROUP, TRUE);
      Helpers::HideDescriptionEntry(description, CAMTAG_IMAGE_APERTURE_GROUP, TRUE);
      break;
    default: break;
  }

  const Bool splatCubic = data->GetLong(CAMTAG_SPLAT_FILTER) == CAMTAG_FILTER_MN_CUBIC;
  Helpers::HideDescriptionEntry(description, CAMTAG_SPLAT_RING, !splatCubic);
  Helpers::HideDescriptionEntry(description, CAMTAG_SPLAT_BLUR, !splatCubic);
  const Bool downsizeCubic = data->GetLong(CAMTAG_DOWNSIZE_FILTER) == CAMTAG_FILTER_MN_CUBIC;
  Helpers::HideDescriptionEntry(description, CAMTAG_DOWNSIZE_RING, !downsizeCubic);
  Helpers::HideDescriptionEntry(description, CAMTAG_DOWNSIZE_BLUR, !downsizeCubic);

  Helpers::HideDescriptionEntry(description, CAMTAG_RENDER_REGION_GROUP,
                                !data->GetBool(CAMTAG_RENDER_REGION));

  flags |= DESCFLAGS_DESC_LOADED;
  return TRUE;
}

Bool CameraTag::GetDParameter(GeListNode* node, const DescID& id, GeData& value, LONG& flags) {
  return TagData::GetDParameter(node, id, value, flags);
}

Bool CameraTag::GetDEnabling(GeListNode* node, const DescID& id, const GeData& value, LONG flags,
                             const BaseContainer* itemdesc) {
  if (!node) return FALSE;
  if (id[0].id == CAMTAG_OBSTACLE_MAP)
    return static_cast<BaseList2D*>(node)->GetDataInstance()->GetBool(CAMTAG_USE_OBSTACLE_MAP);
  return TagData::GetDEnabling(node, id, value, flags, itemdesc);
}

Bool CameraTag::SetDParameter(GeListNode* node, const DescID& id, const GeData& value, LONG& flags) {
  return TagData::SetDParameter(node, id, value, flags);
}

Bool CameraTag::Draw(BaseTag* tag, BaseObject* op, BaseDraw* bd, BaseDrawHelp*) {
  BaseDocument* doc = tag ? tag->GetDocument() : nullptr;
  if (!doc || !bd) return FALSE;
  RenderData* rd = doc->GetActiveRenderData();
  const BaseContainer* rdata = rd ? rd->GetDataInstance() : nullptr;
  if (!rdata) return FALSE;
  const LONG width = rdata->GetLong(kRenderDataWidth);
  const LONG height = rdata->GetLong(kRenderDataHeight);

  const BaseContainer* data = tag->GetDataInstance();
  if (!data->GetBool(CAMTAG_RENDER_REGION) || !op || op->GetType() != Ocamera ||
      bd->GetSceneCamera(doc) != op)
    return TRUE;

  LONG left = 0, top = 0, right = 0, bottom = 0;
  bd->GetFrame(&left, &top, &right, &bottom);
  LONG from = 0, to = 0, orientation = 0;
  bd->GetSafeFrame(&from, &to, &orientation);

  Real x1 = data->GetReal(CAMTAG_REGION_X1, 10.0);
  Real x2 = data->GetReal(CAMTAG_REGION_X2, 10.0);
  Real y1 = data->GetReal(CAMTAG_REGION_Y1, 20.0);
  Real y2 = data->GetReal(CAMTAG_REGION_Y2, 20.0);

  // Image pixels become view pixels through the safe frame; an image without a size has no
  // region to show.
  if (orientation == SAFEFRAME_ROWS || orientation == SAFEFRAME_COLUMNS) {
    if (width <= 0 || height <= 0) return TRUE;
  }
  if (orientation == SAFEFRAME_ROWS) {
    const Real sx = static_cast<Real>(right) / width;
    const Real sy = static_cast<Real>(to - from) / height;
    x1 *= sx;
    x2 *= sx;
    y1 = y1 * sy + from + 1;
    y2 = y2 * sy + from + 1;
  } else if (orientation == SAFEFRAME_COLUMNS) {
    const Real sx = static_cast<Real>(to - from) / width;
    const Real sy = static_cast<Real>(bottom) / height;
    x1 = x1 * sx + from + 1;
    x2 = x2 * sx + from + 1;
    y1 *= sy;
    y2 *= sy;
  }

  bd->SetPen(LVector(1.0, 0.0, 0.0));
  bd->DrawLine2D(LVector(x1, y1, 0.0), LVector(x2, y1, 0.0));
  bd->DrawLine2D(LVector(x1, y2, 0.0), LVector(x2, y2, 0.0));
  bd->DrawLine2D(LVector(x1, y1, 0.0), LVector(x1, y2, 0.0));
  bd->DrawLine2D(LVector(x2, y1, 0.0), LVector(x2, y2, 0.0));
  return TRUE;
}

void DrawFocalPlane(double& distance, double& fieldOfView, double& aspect, LMatrix& cameraMatrix,
                    BaseDraw* view) {
  if (!view) return;
  const double t = std::tan(0.5 * fieldOfView);
  const double w = 2.0 * t * distance;
  const double h = w / aspect;
  // A zero aspect or a field of view of half a turn has no plane to show.
  if (!std::isfinite(w) || !std::isfinite(h)) return;
  view->SetTransparency(150);
  const LVector c = cameraMatrix.off + cameraMatrix.v3 * distance;
  const LVector x = cameraMatrix.v1 * (0.5 * w);
  const LVector y = cameraMatrix.v2 * (0.5 * h);
  const LVector corners[4] = {c + x + y, c + x - y, c - x - y, c - x + y};
  const LVector color(0.29412, 0.0, 0.5098);
  const LVector colors[4] = {color, color, color, color};
  view->DrawPolygon(corners, colors, TRUE);
}

Bool RegisterCameraTag(OrvaneDLLWrapper* connection) {
  orvaneClass = connection;
  String name = GeLoadString(10009);
  if (!name.Content()) return true;
  return RegisterTagPlugin(1022083, name, TAG_VISIBLE, CameraTag::Alloc, "TCameraTag",
                           AutoBitmap("CameraTag.tif"), 0);
}
