// Views: frames, cameras and the recording of what plug-ins draw.
#include "c4d_basedraw.h"

#include <algorithm>
#include <cmath>

#include "c4d_basedocument.h"
#include "c4d_layer.h"
#include "c4d_nodedata.h"
#include "host_draw.h"
#include "host_state.h"

namespace {

constexpr LONG kViewType = 110058;        // the host's type number of a view
constexpr LONG kRenderDataWidth = 5008;   // image width in pixels
constexpr LONG kRenderDataHeight = 5009;  // image height in pixels

struct PlainBaseDraw : BaseDraw {};

// The camera a new view looks through: at the origin, looking along +Z, with a 36 mm lens on a
// 36 mm sensor.
BaseObject* NewEditorCamera() {
  BaseObject* cam = BaseObject::Alloc(Ocamera);
  if (!cam) return nullptr;
  cam->SetName("Editor Camera");
  BaseContainer* bc = cam->GetDataInstance();
  bc->SetReal(500, 36.0);     // focal length, mm
  bc->SetReal(1006, 36.0);    // sensor width, mm
  bc->SetReal(1010, 2000.0);  // focus distance
  return cam;
}

}  // namespace

namespace host {

struct ViewAccess {
  static std::vector<DrawRecord>& Records(BaseDraw* bd) { return bd->records_; }
  static const std::vector<DrawRecord>& Records(const BaseDraw* bd) { return bd->records_; }
  static void Record(BaseDraw* bd, DrawKind kind, std::vector<LVector> points, std::vector<LVector> colors) {
    bd->records_.push_back(
        DrawRecord{kind, std::move(points), std::move(colors), bd->transparency_, bd->matrix_, bd->space_});
  }
  static void SetFrame(BaseView* v, LONG l, LONG t, LONG r, LONG b) {
    v->frame_[0] = l;
    v->frame_[1] = t;
    v->frame_[2] = r;
    v->frame_[3] = b;
  }
  static void SetSafe(BaseView* v, bool on, LONG from, LONG to, LONG orientation) {
    v->safeOverride_ = on;
    v->safe_[0] = from;
    v->safe_[1] = to;
    v->safe_[2] = orientation;
  }
};

GeListNode* NewBaseDraw() { return new PlainBaseDraw(); }

std::vector<DrawRecord> DrawRecords(const BaseDraw* bd) {
  return bd ? ViewAccess::Records(bd) : std::vector<DrawRecord>();
}

void ClearDrawRecords(BaseDraw* bd) {
  if (bd) ViewAccess::Records(bd).clear();
}

void SetViewFrame(BaseDraw* bd, LONG left, LONG top, LONG right, LONG bottom) {
  if (bd) ViewAccess::SetFrame(bd, left, top, right, bottom);
}

void SetSafeFrame(BaseDraw* bd, LONG from, LONG to, LONG orientation) {
  if (bd) ViewAccess::SetSafe(bd, true, from, to, orientation);
}

void ClearSafeFrame(BaseDraw* bd) {
  if (bd) ViewAccess::SetSafe(bd, false, 0, 0, SAFEFRAME_NONE);
}

namespace {
LONG DrawObjects(BaseObject* op, BaseDraw* bd, BaseDrawHelp* bh) {
  LONG failures = 0;
  for (; op; op = op->GetNext()) {
    if (auto* data = dynamic_cast<ObjectData*>(op->GetNodeData())) {
      bh->SetMg(op->GetMg());
      if (data->Draw(op, DRAWPASS_OBJECT, bd, bh) == DRAWRESULT_ERROR) ++failures;
    }
    for (BaseTag* tag = op->GetFirstTag(); tag; tag = tag->GetNext()) {
      auto* data = dynamic_cast<TagData*>(tag->GetNodeData());
      if (data && !data->Draw(tag, op, bd, bh)) ++failures;
    }
    failures += DrawObjects(op->GetDown(), bd, bh);
  }
  return failures;
}
}  // namespace

LONG DrawDocument(BaseDocument* doc, BaseDraw* bd) {
  if (!doc) return 0;
  if (!bd) bd = doc->GetActiveBaseDraw();
  if (!bd) return 0;
  BaseDrawHelp bh(bd, doc);
  return DrawObjects(doc->GetFirstObject(), bd, &bh);
}

}  // namespace host

// --- BaseView -------------------------------------------------------------------

void BaseView::GetFrame(LONG* cl, LONG* ct, LONG* cr, LONG* cb) const {
  if (cl) *cl = frame_[0];
  if (ct) *ct = frame_[1];
  if (cr) *cr = frame_[2];
  if (cb) *cb = frame_[3];
}

void BaseView::GetSafeFrame(LONG* from, LONG* to, LONG* orientation) const {
  LONG f = 0, t = 0, o = SAFEFRAME_NONE;
  if (safeOverride_) {
    f = safe_[0];
    t = safe_[1];
    o = safe_[2];
  } else {
    const LONG left = frame_[0], top = frame_[1];
    const double viewW = static_cast<double>(frame_[2]) - left + 1.0;
    const double viewH = static_cast<double>(frame_[3]) - top + 1.0;
    BaseDocument* doc = GetDocument();
    RenderData* rd = doc ? doc->GetActiveRenderData() : nullptr;
    const double imageW = rd ? rd->GetDataInstance()->GetLong(kRenderDataWidth) : 0;
    const double imageH = rd ? rd->GetDataInstance()->GetLong(kRenderDataHeight) : 0;
    if (imageW > 0 && imageH > 0 && viewW > 0 && viewH > 0) {
      const double aspect = imageW / imageH;
      if (aspect >= viewW / viewH) {
        // Wider than the view: full width, bars above and below.
        const double h = viewW / aspect;
        f = top + static_cast<LONG>(std::lround((viewH - h) * 0.5));
        t = f + static_cast<LONG>(std::lround(h)) - 1;
        o = SAFEFRAME_ROWS;
      } else {
        const double w = viewH * aspect;
        f = left + static_cast<LONG>(std::lround((viewW - w) * 0.5));
        t = f + static_cast<LONG>(std::lround(w)) - 1;
        o = SAFEFRAME_COLUMNS;
      }
    }
  }
  if (from) *from = f;
  if (to) *to = t;
  if (orientation) *orientation = o;
}

LMatrix BaseView::GetMg() const { return CameraMatrix(); }

// --- BaseDraw ---------------------------------------------------------------------

BaseDraw::BaseDraw() : BaseView(kViewType), editorCamera_(NewEditorCamera()) {
  sceneCamera_.SetBaseList2D(nullptr);
}

void BaseDraw::FreeBranches() { BaseObject::Free(editorCamera_); }

LMatrix BaseDraw::CameraMatrix() const {
  BaseObject* cam = GetSceneCamera(GetDocument());
  if (!cam) cam = editorCamera_;
  return cam ? cam->GetMg() : LMatrix();
}

BaseObject* BaseDraw::GetSceneCamera(const BaseDocument* doc) const {
  BaseList2D* node = sceneCamera_.GetLink(doc, Ocamera);
  return node ? static_cast<BaseObject*>(node) : nullptr;
}

void BaseDraw::SetSceneCamera(BaseObject* op) { sceneCamera_.SetBaseList2D(op); }

void BaseDraw::SetPen(const LVector& color) { pen_ = color; }

void BaseDraw::SetTransparency(LONG trans) { transparency_ = trans < 0 ? 0 : trans > 255 ? 255 : trans; }

void BaseDraw::SetMatrix_Matrix(BaseObject*, const LMatrix& mg) {
  matrix_ = mg;
  space_ = DRAWSPACE_WORLD;
}

void BaseDraw::SetMatrix_Screen() {
  matrix_ = LMatrix();
  space_ = DRAWSPACE_SCREEN;
}

void BaseDraw::DrawLine2D(const LVector& p1, const LVector& p2) {
  host::ViewAccess::Record(this, host::DrawKind::Line2D, {p1, p2}, {pen_});
}

void BaseDraw::DrawLine(const LVector& p1, const LVector& p2, LONG) {
  host::ViewAccess::Record(this, host::DrawKind::Line3D, {p1, p2}, {pen_});
}

void BaseDraw::DrawPolygon(const LVector* p, const LVector* f, Bool quad) {
  if (!p) return;
  const int n = quad ? 4 : 3;
  std::vector<LVector> points(p, p + n);
  std::vector<LVector> colors = f ? std::vector<LVector>(f, f + n) : std::vector<LVector>(n, pen_);
  host::ViewAccess::Record(this, host::DrawKind::Polygon, std::move(points), std::move(colors));
}

LVector BaseDraw::CheckColor(const LVector& col) const {
  auto clamp = [](Real v) { return std::isfinite(v) ? (v < 0.0 ? 0.0 : v > 1.0 ? 1.0 : v) : 0.0; };
  return LVector(clamp(col.x), clamp(col.y), clamp(col.z));
}

LONG BaseDraw::DrawPolygonObject(BaseDrawHelp* bh, BaseObject* op, LONG, LONG, BaseObject*,
                                 const LVector& col) {
  if (!op || op->GetType() != Opolygon) return DRAWRESULT_SKIP;
  auto* poly = static_cast<PolygonObject*>(op);
  const LVector* p = poly->GetPointR();
  const CPolygon* v = poly->GetPolygonR();
  const LONG points = poly->GetPointCount();
  const LMatrix mg = bh ? bh->GetMg() : LMatrix();
  for (LONG i = 0; i < poly->GetPolygonCount(); ++i) {
    const CPolygon& q = v[i];
    const LONG idx[4] = {q.a, q.b, q.c, q.d};
    if (std::any_of(idx, idx + 4, [points](LONG k) { return k < 0 || k >= points; })) continue;
    const int n = q.c == q.d ? 3 : 4;
    std::vector<LVector> corners;
    for (int k = 0; k < n; ++k) corners.push_back(p[idx[k]]);
    records_.push_back(host::DrawRecord{host::DrawKind::Polygon, std::move(corners),
                                        std::vector<LVector>(n, col), transparency_, mg, DRAWSPACE_WORLD});
  }
  return DRAWRESULT_OK;
}

LVector BaseDrawHelp::GetObjectColor(BaseObject* op) const {
  const LayerData* layer = op ? op->GetLayerData(doc_) : nullptr;
  return layer ? layer->color : LVector(0.8, 0.8, 0.8);
}

// --- The document's views ---------------------------------------------------------

BaseDraw* BaseDocument::GetActiveBaseDraw() const { return static_cast<BaseDraw*>(views_.GetFirst()); }

BaseDraw* BaseDocument::GetRenderBaseDraw() const { return GetActiveBaseDraw(); }
