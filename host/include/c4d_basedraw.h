// Views of a document: the frame and safe frame of a view, its cameras, and drawing into it.
// The stand-in has no screen: every drawing call is recorded (see host_draw.h).
#pragma once

#include <vector>

#include "c4d_baseobject.h"

class BaseDocument;

namespace host {
/// Kinds of recorded drawing.
enum class DrawKind { Line2D, Line3D, Polygon };
/// One drawing call as the stand-in recorded it, with the view's state at the time.
struct DrawRecord {
  DrawKind kind;
  std::vector<LVector> points;  ///< End points or corners, as given.
  std::vector<LVector> colors;  ///< Corner colours of a polygon; the pen for lines.
  LONG transparency;            ///< Transparency at the time of the call.
  LMatrix matrix;               ///< Matrix of 3-D drawing at the time of the call.
  LONG space;                   ///< `DRAWSPACE_*` at the time of the call.
};
struct ViewAccess;
}  // namespace host

/// Which side of the safe frame `BaseView::GetSafeFrame` reports.
enum {
  SAFEFRAME_NONE = 0,     ///< No safe frame: the image covers the whole view unscaled.
  SAFEFRAME_COLUMNS = 1,  ///< From and to are columns: the image fills the view's height.
  SAFEFRAME_ROWS = 2,     ///< From and to are rows: the image fills the view's width.
};

/// Passes of an object's drawing (`ObjectData::Draw`).
enum {
  DRAWPASS_OBJECT = 0,      ///< The object itself.
  DRAWPASS_BOX = 1,         ///< Its bounding box.
  DRAWPASS_HANDLES = 2,     ///< Its handles.
  DRAWPASS_HIGHLIGHTS = 3,  ///< Its selection highlight.
};

/// Results of drawing.
enum {
  DRAWRESULT_ERROR = 0,  ///< Drawing failed.
  DRAWRESULT_OK = 1,     ///< Drawn.
  DRAWRESULT_SKIP = 2,   ///< Nothing to draw.
};

/// Coordinate space of what is drawn.
enum {
  DRAWSPACE_WORLD = 0,   ///< 3-D points through the current matrix.
  DRAWSPACE_SCREEN = 1,  ///< View pixels.
};

/// A view: its frame in view pixels and the part of it the rendered image covers.
class BaseView : public BaseList2D {
 public:
  /// The view's pixel rectangle: left, top, right and bottom (inclusive).
  void GetFrame(LONG* cl, LONG* ct, LONG* cr, LONG* cb) const;
  /// The part of the frame that the rendered image covers: the first and last row or column,
  /// and which of the two (`SAFEFRAME_*`). Worked out from the frame and the image size of the
  /// document's active render data.
  void GetSafeFrame(LONG* from, LONG* to, LONG* orientation) const;
  /// The matrix of the camera the view looks through (scene camera, else editor camera).
  LMatrix GetMg() const;

 protected:
  explicit BaseView(LONG type) : BaseList2D(type) {}
  friend struct host::ViewAccess;
  LONG frame_[4] = {0, 0, 639, 479};
  bool safeOverride_ = false;
  LONG safe_[3] = {0, 0, SAFEFRAME_NONE};
  virtual LMatrix CameraMatrix() const = 0;
};

class BaseDrawHelp;

/// A view of a document that plug-ins draw into.
class BaseDraw : public BaseView {
 public:
  /// The camera object the view looks through when it lies in `doc` and is a camera; null when
  /// the view uses its editor camera.
  BaseObject* GetSceneCamera(const BaseDocument* doc) const;
  /// Makes the view look through `op` (null: the editor camera).
  void SetSceneCamera(BaseObject* op);
  /// The view's own camera, used when no scene camera is set. It lies in no document.
  BaseObject* GetEditorCamera() const { return editorCamera_; }

  /// The colour of what is drawn next.
  void SetPen(const LVector& color);
  /// Transparency of what is drawn next: 0 opaque to 255.
  void SetTransparency(LONG trans);
  LONG GetTransparency() const { return transparency_; }
  /// Later 3-D drawing is in world coordinates through `mg` (`op` may be null).
  void SetMatrix_Matrix(BaseObject* op, const LMatrix& mg);
  /// Later drawing is in view pixels.
  void SetMatrix_Screen();
  /// Draws a line between two view pixels.
  void DrawLine2D(const LVector& p1, const LVector& p2);
  /// Draws a line between two 3-D points.
  void DrawLine(const LVector& p1, const LVector& p2, LONG flags);
  /// Draws a filled triangle, or a quadrangle with `quad`, with a colour per corner.
  void DrawPolygon(const LVector* p, const LVector* f, Bool quad);
  /// `col` as the view can show it: each component clamped to 0..1 (0 when not finite).
  LVector CheckColor(const LVector& col) const;
  /// Draws the polygons of the polygon object `op` in the colour `col`, standing at the matrix of
  /// `bh`: one polygon record per polygon, its corners in `op`'s own coordinates and the record's
  /// matrix that of `bh`. The stand-in does not use `flags`, `drawpass` and `parent`.
  /// `DRAWRESULT_OK`, or `DRAWRESULT_SKIP` for anything but a polygon object.
  LONG DrawPolygonObject(BaseDrawHelp* bh, BaseObject* op, LONG flags, LONG drawpass, BaseObject* parent,
                         const LVector& col);

 protected:
  BaseDraw();
  void FreeBranches() override;
  LMatrix CameraMatrix() const override;

 private:
  friend struct host::ViewAccess;
  std::vector<host::DrawRecord> records_;
  GeData sceneCamera_;
  BaseObject* editorCamera_ = nullptr;
  LVector pen_{1, 1, 1};
  LONG transparency_ = 0;
  LMatrix matrix_;
  LONG space_ = DRAWSPACE_WORLD;
};

/// What the host hands a plug-in's drawing callback along with the view.
class BaseDrawHelp {
 public:
  BaseDrawHelp(BaseDraw* bd, BaseDocument* doc) : bd_(bd), doc_(doc) {}
  BaseDocument* GetDocument() const { return doc_; }
  BaseDraw* GetBaseDraw() const { return bd_; }
  /// The matrix the object being drawn stands at (the identity until set).
  LMatrix GetMg() const { return mg_; }
  void SetMg(const LMatrix& mg) { mg_ = mg; }
  /// The colour the editor shows `op` in: the colour of its layer, else the editor's object
  /// colour (0.8, 0.8, 0.8).
  LVector GetObjectColor(BaseObject* op) const;

 private:
  BaseDraw* bd_;
  BaseDocument* doc_;
  LMatrix mg_;
};
