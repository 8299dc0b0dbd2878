// Smoothed (phong) normals of polygon objects.
#include <cmath>
#include <cstdlib>
#include <vector>

#include "c4d_baseobject.h"

namespace {

constexpr double kDefaultAngle = 80.0 * 3.14159265358979323846 / 180.0;

bool ValidIndex(LONG i, LONG count) { return i >= 0 && i < count; }

// The unit normal of a polygon, or zero for a degenerate one or one with a point out of range.
LVector FaceNormal(const CPolygon& v, const LVector* p, LONG pointCount) {
  if (!ValidIndex(v.a, pointCount) || !ValidIndex(v.b, pointCount) || !ValidIndex(v.c, pointCount) ||
      !ValidIndex(v.d, pointCount))
    return LVector();
  LVector n = v.c == v.d ? (p[v.b] - p[v.a]) % (p[v.c] - p[v.a]) : (p[v.c] - p[v.a]) % (p[v.d] - p[v.b]);
  Real len = Len(n);
  return len > 0.0 && std::isfinite(len) ? n / len : LVector();
}

SVector ToFloat(const LVector& v) {
  Real len = Len(v);
  if (!(len > 0.0) || !std::isfinite(len)) return SVector();
  return SVector{static_cast<float>(v.x / len), static_cast<float>(v.y / len), static_cast<float>(v.z / len)};
}

}  // namespace

SVector* PolygonObject::CreatePhongNormals() const {
  const BaseTag* phong = GetTag(Tphong);
  const LONG polyCount = GetPolygonCount();
  const LONG pointCount = GetPointCount();
  if (!phong || polyCount <= 0) return nullptr;
  const LVector* points = GetPointR();
  const CPolygon* polys = GetPolygonR();

  auto* out = static_cast<SVector*>(std::calloc(static_cast<size_t>(polyCount) * 4, sizeof(SVector)));
  if (!out) return nullptr;

  std::vector<LVector> faces(static_cast<size_t>(polyCount));
  for (LONG i = 0; i < polyCount; ++i) faces[i] = FaceNormal(polys[i], points, pointCount);

  auto corners = [](const CPolygon& v, LONG (&idx)[4]) {
    idx[0] = v.a;
    idx[1] = v.b;
    idx[2] = v.c;
    idx[3] = v.d;
    return v.c == v.d ? 3 : 4;
  };

  const BaseContainer* bc = phong->GetDataInstance();
  if (!bc->GetBool(PHONGTAG_PHONG_ANGLELIMIT)) {
    // Every polygon around a point smooths it.
    std::vector<LVector> sums(static_cast<size_t>(pointCount > 0 ? pointCount : 0));
    for (LONG i = 0; i < polyCount; ++i) {
      LONG idx[4];
      int n = corners(polys[i], idx);
      for (int k = 0; k < n; ++k)
        if (ValidIndex(idx[k], pointCount)) sums[idx[k]] += faces[i];
    }
    for (LONG i = 0; i < polyCount; ++i) {
      LONG idx[4];
      int n = corners(polys[i], idx);
      for (int k = 0; k < n; ++k)
        if (ValidIndex(idx[k], pointCount)) out[4 * i + k] = ToFloat(sums[idx[k]]);
      if (n == 3) out[4 * i + 3] = out[4 * i + 2];
    }
    return out;
  }

  // With an angle limit a corner takes only the polygons around its point whose normal lies
  // within the limit of its own polygon's: gather the polygons of every point first.
  const double cosLimit = std::cos(bc->GetReal(PHONGTAG_PHONG_ANGLE, kDefaultAngle));
  std::vector<LONG> start(static_cast<size_t>(pointCount > 0 ? pointCount : 0) + 1, 0);
  for (LONG i = 0; i < polyCount; ++i) {
    LONG idx[4];
    int n = corners(polys[i], idx);
    for (int k = 0; k < n; ++k)
      if (ValidIndex(idx[k], pointCount)) ++start[idx[k] + 1];
  }
  for (size_t p = 1; p < start.size(); ++p) start[p] += start[p - 1];
  std::vector<LONG> around(static_cast<size_t>(start.back()));
  std::vector<LONG> fill(start.begin(), start.end() - 1);
  for (LONG i = 0; i < polyCount; ++i) {
    LONG idx[4];
    int n = corners(polys[i], idx);
    for (int k = 0; k < n; ++k)
      if (ValidIndex(idx[k], pointCount)) around[fill[idx[k]]++] = i;
  }
  for (LONG i = 0; i < polyCount; ++i) {
    LONG idx[4];
    int n = corners(polys[i], idx);
    for (int k = 0; k < n; ++k) {
      if (!ValidIndex(idx[k], pointCount)) continue;
      LVector sum;
      for (LONG s = start[idx[k]]; s < start[idx[k] + 1]; ++s) {
        const LVector& f = faces[around[s]];
        if (around[s] == i || f * faces[i] >= cosLimit) sum += f;
      }
      out[4 * i + k] = ToFloat(sum);
    }
    if (n == 3) out[4 * i + 3] = out[4 * i + 2];
  }
  return out;
}
