// Texture coordinates from a texture tag's projection.
#include <algorithm>
#include <cmath>

#include "c4d_baseobject.h"
#include "c4d_texturetag.h"

namespace {

constexpr Real kPi = 3.14159265358979323846;

// A copy of the object's own UVW tag, one entry per polygon; null when it has none.
UVWTag* CopyObjectUvw(PolygonObject* op, LONG count) {
  const UVWTag* src = static_cast<const UVWTag*>(op->GetTag(Tuvw));
  if (!src) return nullptr;
  UVWTag* dst = UVWTag::Alloc(count);
  if (!dst) return nullptr;
  const LONG n = std::min(count, src->GetDataCount());
  for (LONG i = 0; i < n; ++i) dst->SetSlow(i, src->GetSlow(i));
  return dst;
}

// Longitude around the placement's y axis: 0.5 looking along -z, growing towards +x.
Real Longitude(const LVector& q) {
  if (q.x == 0.0 && q.z == 0.0) return 0.5;
  return 0.5 + std::atan2(q.x, -q.z) / (2.0 * kPi);
}

LVector Flat(Real s, Real t) { return LVector(0.5 + 0.5 * s, 0.5 - 0.5 * t, 0.0); }

LVector Spherical(const LVector& q) {
  const Real r = Len(q);
  if (r == 0.0) return LVector(0.5, 0.5, 0.0);
  const Real lat = std::asin(std::clamp(q.y / r, -1.0, 1.0));
  return LVector(Longitude(q), 0.5 - lat / kPi, 0.0);
}

LVector Cylindrical(const LVector& q) { return LVector(Longitude(q), 0.5 - 0.5 * q.y, 0.0); }

// A polygon that crosses the seam of a wrapped projection gets its small u values moved past 1,
// so that it does not stretch across the whole texture.
void MendSeam(LVector* c, int corners) {
  Real lo = c[0].x, hi = c[0].x;
  for (int k = 1; k < corners; ++k) {
    lo = std::min(lo, c[k].x);
    hi = std::max(hi, c[k].x);
  }
  if (hi - lo <= 0.5) return;
  for (int k = 0; k < corners; ++k)
    if (c[k].x < 0.5) c[k].x += 1.0;
}

// Cubic: each polygon gets a flat projection along the placement axis its normal is closest to.
void Cubic(LVector* q, LVector* out) {
  const LVector nrm = (q[2] - q[0]) % (q[3] - q[1]);
  const Real ax = std::fabs(nrm.x), ay = std::fabs(nrm.y), az = std::fabs(nrm.z);
  for (int k = 0; k < 4; ++k) {
    if (ax > ay && ax > az)
      out[k] = Flat(q[k].z, q[k].y);
    else if (ay > az && ay >= ax)
      out[k] = Flat(q[k].x, q[k].z);
    else
      out[k] = Flat(q[k].x, q[k].y);
  }
}

}  // namespace

UVWTag* GenerateUVW(PolygonObject* op, const LMatrix& opmg, TextureTag* tag, const LMatrix& texopmg,
                    BaseDraw* /*view*/) {
  if (!op || !tag) return nullptr;
  const LONG count = op->GetPolygonCount();
  const LONG projection = tag->GetDataInstance()->GetLong(TEXTURETAG_PROJECTION, TEXTURETAG_PROJECTION_UVW);
  switch (projection) {
    case TEXTURETAG_PROJECTION_FLAT:
    case TEXTURETAG_PROJECTION_SPHERICAL:
    case TEXTURETAG_PROJECTION_CYLINDRICAL:
    case TEXTURETAG_PROJECTION_CUBIC: break;
    default:
      // UVW, and the projections this host does not compute (frontal and camera mapping need a
      // view, spatial and shrink wrap a reference object).
      return CopyObjectUvw(op, count);
  }

  const LMatrix placement = texopmg * tag->GetMl();
  if (placement.v1 * (placement.v2 % placement.v3) == 0.0) return nullptr;  // no extent
  // Object space to placement space.
  const LMatrix toTexture = !placement * opmg;

  UVWTag* out = UVWTag::Alloc(count);
  if (!out) return nullptr;
  const LVector* points = op->GetPointR();
  const LONG pointCount = op->GetPointCount();
  const CPolygon* polygons = op->GetPolygonR();
  auto corner = [&](LONG index) {
    return index >= 0 && index < pointCount ? toTexture * points[index] : toTexture * LVector();
  };
  for (LONG i = 0; i < count; ++i) {
    const CPolygon& poly = polygons[i];
    LVector q[4] = {corner(poly.a), corner(poly.b), corner(poly.c), corner(poly.d)};
    LVector uv[4];
    switch (projection) {
      case TEXTURETAG_PROJECTION_FLAT:
        for (int k = 0; k < 4; ++k) uv[k] = Flat(q[k].x, q[k].y);
        break;
      case TEXTURETAG_PROJECTION_SPHERICAL:
        for (int k = 0; k < 4; ++k) uv[k] = Spherical(q[k]);
        MendSeam(uv, 4);
        break;
      case TEXTURETAG_PROJECTION_CYLINDRICAL:
        for (int k = 0; k < 4; ++k) uv[k] = Cylindrical(q[k]);
        MendSeam(uv, 4);
        break;
      default: Cubic(q, uv); break;
    }
    out->SetSlow(i, UVWStruct{uv[0], uv[1], uv[2], uv[3]});
  }
  return out;
}
