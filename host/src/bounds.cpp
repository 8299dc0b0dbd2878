// Bounding boxes of objects.
#include <algorithm>

#include "c4d_nodedata.h"
#include "primitives.h"

namespace {

// Centre and half size of the points, zero for none.
void PointBounds(const PolygonObject* op, LVector* mp, LVector* rad) {
  *mp = *rad = LVector();
  LONG count = op->GetPointCount();
  const LVector* p = op->GetPointR();
  if (count <= 0 || !p) return;
  LVector lo = p[0], hi = p[0];
  for (LONG i = 1; i < count; ++i) {
    lo = LVector(std::min(lo.x, p[i].x), std::min(lo.y, p[i].y), std::min(lo.z, p[i].z));
    hi = LVector(std::max(hi.x, p[i].x), std::max(hi.y, p[i].y), std::max(hi.z, p[i].z));
  }
  *mp = (lo + hi) * 0.5;
  *rad = (hi - lo) * 0.5;
}

void Bounds(BaseObject* op, LVector* mp, LVector* rad) {
  *mp = *rad = LVector();
  if (op->GetType() == Opolygon) {
    PointBounds(static_cast<PolygonObject*>(op), mp, rad);
  } else if (host::IsPrimitiveType(op->GetType())) {
    BaseObject* mesh = host::GeneratePrimitiveMesh(op);
    if (mesh) PointBounds(static_cast<PolygonObject*>(mesh), mp, rad);
    BaseObject::Free(mesh);
  } else if (auto* data = dynamic_cast<ObjectData*>(op->GetNodeData())) {
    data->GetDimension(op, mp, rad);
  }
}

}  // namespace

LVector BaseObject::GetMp() {
  LVector mp, rad;
  Bounds(this, &mp, &rad);
  return mp;
}

LVector BaseObject::GetRad() {
  LVector mp, rad;
  Bounds(this, &mp, &rad);
  return rad;
}
