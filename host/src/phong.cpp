// Smoothed (phong) normals of polygon objects. Large objects are worked on several threads: each
// thread owns a range of points and gathers the polygons around them, so no two threads write the
// same memory.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include "c4d_baseobject.h"
#include "host_state.h"

namespace {

constexpr double kDefaultAngle = 80.0 * 3.14159265358979323846 / 180.0;
constexpr LONG kPolygonsPerThread = 16384;
constexpr int kMaxThreads = 8;

struct Normal {
  float x, y, z;
};

bool ValidIndex(LONG i, LONG count) { return i >= 0 && i < count; }

// Corner point indices of a polygon; answers the number of corners (3 for a triangle).
int Corners(const CPolygon& v, LONG (&idx)[4]) {
  idx[0] = v.a;
  idx[1] = v.b;
  idx[2] = v.c;
  idx[3] = v.d;
  return v.c == v.d ? 3 : 4;
}

// The unit normal of a polygon, or zero for a degenerate one or one with a point out of range.
Normal FaceNormal(const CPolygon& v, const LVector* p, LONG pointCount) {
  if (!ValidIndex(v.a, pointCount) || !ValidIndex(v.b, pointCount) || !ValidIndex(v.c, pointCount) ||
      !ValidIndex(v.d, pointCount))
    return Normal{0, 0, 0};
  LVector n = v.c == v.d ? (p[v.b] - p[v.a]) % (p[v.c] - p[v.a]) : (p[v.c] - p[v.a]) % (p[v.d] - p[v.b]);
  Real len = Len(n);
  if (!(len > 0.0) || !std::isfinite(len)) return Normal{0, 0, 0};
  return Normal{static_cast<float>(n.x / len), static_cast<float>(n.y / len), static_cast<float>(n.z / len)};
}

SVector Unit(double x, double y, double z) {
  double len = std::sqrt(x * x + y * y + z * z);
  if (!(len > 0.0) || !std::isfinite(len)) return SVector();
  return SVector{static_cast<float>(x / len), static_cast<float>(y / len), static_cast<float>(z / len)};
}

template <typename Work>
void Parallel(int count, Work work) {
  std::vector<std::thread> threads;
  for (int t = 1; t < count; ++t) threads.emplace_back(work, t);
  work(0);
  for (std::thread& t : threads) t.join();
}

// [begin, end) of part `t` of `n` items split into `parts`.
LONG PartBegin(LONG n, int t, int parts) { return static_cast<LONG>(static_cast<int64_t>(n) * t / parts); }

}  // namespace

SVector* PolygonObject::CreatePhongNormals() const {
  const BaseTag* phong = GetTag(Tphong);
  const LONG polyCount = GetPolygonCount();
  const LONG pointCount = GetPointCount();
  if (!phong || polyCount <= 0) return nullptr;
  const LVector* points = GetPointR();
  const CPolygon* polys = GetPolygonR();

  // Released with GeFree.
  void* memory = host::AllocateLarge(static_cast<size_t>(polyCount) * 4 * sizeof(SVector));
  if (!memory) return nullptr;
  auto* out = static_cast<SVector*>(memory);

  const int hardware = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  const int parts =
      std::clamp(static_cast<int>(polyCount / kPolygonsPerThread), 1, std::min(hardware, kMaxThreads));
  const LONG points0 = std::max<LONG>(pointCount, 0);

  // Working arrays are left uninitialised: each thread fills (and so first touches) its own part.
  std::unique_ptr<Normal[]> faces(new Normal[static_cast<size_t>(polyCount)]);
  // The range of points each part of the polygons uses.
  std::vector<LONG> windowLo(static_cast<size_t>(parts), pointCount),
      windowHi(static_cast<size_t>(parts), -1);
  Parallel(parts, [&](int t) {
    LONG idx[4];
    LONG lo = pointCount, hi = -1;  // kept apart from the other threads' until the end
    for (LONG i = PartBegin(polyCount, t, parts); i < PartBegin(polyCount, t + 1, parts); ++i) {
      faces[i] = FaceNormal(polys[i], points, pointCount);
      int n = Corners(polys[i], idx);
      for (int k = 0; k < n; ++k)
        if (ValidIndex(idx[k], pointCount)) {
          lo = std::min(lo, idx[k]);
          hi = std::max(hi, idx[k]);
        }
    }
    windowLo[static_cast<size_t>(t)] = lo;
    windowHi[static_cast<size_t>(t)] = hi;
  });
  size_t windowed = 0;
  for (int t = 0; t < parts; ++t)
    if (windowHi[static_cast<size_t>(t)] >= windowLo[static_cast<size_t>(t)])
      windowed +=
          static_cast<size_t>(windowHi[static_cast<size_t>(t)] - windowLo[static_cast<size_t>(t)] + 1);

  const BaseContainer* bc = phong->GetDataInstance();
  const bool limited = bc->GetBool(PHONGTAG_PHONG_ANGLELIMIT);
  const double cosLimit = std::cos(bc->GetReal(PHONGTAG_PHONG_ANGLE, kDefaultAngle));

  // Without a limit every polygon around a point smooths it: sum the polygons' normals per point,
  // each thread over its own points.
  std::unique_ptr<float[]> sums;
  // With a limit each corner takes the polygons around its point that lie within the limit of its
  // own polygon: each thread lists the polygons around its points (start offsets and polygons).
  std::vector<LONG> start;
  if (!limited) {
    sums.reset(new float[static_cast<size_t>(points0) * 3]);
  } else {
    start.assign(static_cast<size_t>(points0) + 1, 0);
  }
  std::vector<std::vector<LONG>> aroundParts(static_cast<size_t>(parts));

  // Without a limit, when the polygons of each part use points close to each other (the usual
  // order of a mesh), each part sums into a window of its own points and the windows are added
  // up per point; otherwise each thread sums its own points over all polygons.
  std::vector<std::unique_ptr<float[]>> windows;
  if (!limited && windowed <= 2 * static_cast<size_t>(points0) + static_cast<size_t>(parts)) {
    windows.resize(static_cast<size_t>(parts));
    Parallel(parts, [&](int t) {
      const LONG lo = windowLo[static_cast<size_t>(t)], hi = windowHi[static_cast<size_t>(t)];
      if (hi < lo) return;
      const size_t size = static_cast<size_t>(hi - lo + 1) * 3;
      float* w = new float[size];
      windows[static_cast<size_t>(t)].reset(w);
      std::fill(w, w + size, 0.0f);
      LONG idx[4];
      for (LONG i = PartBegin(polyCount, t, parts); i < PartBegin(polyCount, t + 1, parts); ++i) {
        int n = Corners(polys[i], idx);
        for (int k = 0; k < n; ++k) {
          if (!ValidIndex(idx[k], pointCount)) continue;
          float* s = w + static_cast<size_t>(idx[k] - lo) * 3;
          s[0] += faces[i].x;
          s[1] += faces[i].y;
          s[2] += faces[i].z;
        }
      }
    });
  }

  Parallel(parts, [&](int t) {
    const LONG lo = PartBegin(points0, t, parts), hi = PartBegin(points0, t + 1, parts);
    LONG idx[4];
    if (!limited && !windows.empty()) {
      std::vector<int> covering;
      for (int w = 0; w < parts; ++w)
        if (windowLo[static_cast<size_t>(w)] < hi && windowHi[static_cast<size_t>(w)] >= lo)
          covering.push_back(w);
      for (LONG p = lo; p < hi; ++p) {
        float x = 0, y = 0, z = 0;
        for (int w : covering) {
          const LONG wlo = windowLo[static_cast<size_t>(w)];
          if (p < wlo || p > windowHi[static_cast<size_t>(w)]) continue;
          const float* s = windows[static_cast<size_t>(w)].get() + static_cast<size_t>(p - wlo) * 3;
          x += s[0];
          y += s[1];
          z += s[2];
        }
        const SVector n = Unit(x, y, z);
        float* s = &sums[static_cast<size_t>(p) * 3];
        s[0] = n.x;
        s[1] = n.y;
        s[2] = n.z;
      }
      return;
    }
    if (!limited) {
      std::fill(&sums[static_cast<size_t>(lo) * 3], &sums[static_cast<size_t>(hi) * 3], 0.0f);
      for (LONG i = 0; i < polyCount; ++i) {
        int n = Corners(polys[i], idx);
        for (int k = 0; k < n; ++k) {
          if (idx[k] < lo || idx[k] >= hi) continue;
          float* s = &sums[static_cast<size_t>(idx[k]) * 3];
          s[0] += faces[i].x;
          s[1] += faces[i].y;
          s[2] += faces[i].z;
        }
      }
      // Every corner at a point gets the same normal: make it unit once here.
      for (LONG p = lo; p < hi; ++p) {
        float* s = &sums[static_cast<size_t>(p) * 3];
        const SVector n = Unit(s[0], s[1], s[2]);
        s[0] = n.x;
        s[1] = n.y;
        s[2] = n.z;
      }
      return;
    }
    for (LONG i = 0; i < polyCount; ++i) {
      int n = Corners(polys[i], idx);
      for (int k = 0; k < n; ++k)
        if (idx[k] >= lo && idx[k] < hi) ++start[idx[k] + 1];
    }
    LONG total = 0;
    for (LONG p = lo; p < hi; ++p) {
      LONG count = start[p + 1];
      start[p + 1] = total;  // the fill position for now; the end offset once filled
      total += count;
    }
    std::vector<LONG>& list = aroundParts[static_cast<size_t>(t)];
    list.resize(static_cast<size_t>(total));
    for (LONG i = 0; i < polyCount; ++i) {
      int n = Corners(polys[i], idx);
      for (int k = 0; k < n; ++k)
        if (idx[k] >= lo && idx[k] < hi) list[start[idx[k] + 1]++] = i;
    }
  });

  // The polygons around point p lie in part t's list from (p == lo ? 0 : start[p]) to start[p + 1].
  Parallel(parts, [&](int t) {
    LONG idx[4];
    for (LONG i = PartBegin(polyCount, t, parts); i < PartBegin(polyCount, t + 1, parts); ++i) {
      SVector* o = out + 4 * static_cast<size_t>(i);
      int n = Corners(polys[i], idx);
      for (int k = 0; k < n; ++k) {
        const LONG p = idx[k];
        if (!ValidIndex(p, pointCount)) {
          o[k] = SVector();
          continue;
        }
        if (!limited) {
          const float* s = &sums[static_cast<size_t>(p) * 3];
          o[k] = SVector{s[0], s[1], s[2]};
          continue;
        }
        // The part that owns p, found from the even split of the points.
        int owner = static_cast<int>(static_cast<int64_t>(p) * parts / points0);
        while (owner > 0 && p < PartBegin(points0, owner, parts)) --owner;
        while (owner + 1 < parts && p >= PartBegin(points0, owner + 1, parts)) ++owner;
        const std::vector<LONG>& list = aroundParts[static_cast<size_t>(owner)];
        const LONG from = p == PartBegin(points0, owner, parts) ? 0 : start[p];
        const Normal& own = faces[i];
        double x = 0, y = 0, z = 0;
        for (LONG s = from; s < start[p + 1]; ++s) {
          const Normal& f = faces[list[s]];
          if (list[s] == i || static_cast<double>(f.x) * own.x + static_cast<double>(f.y) * own.y +
                                      static_cast<double>(f.z) * own.z >=
                                  cosLimit) {
            x += f.x;
            y += f.y;
            z += f.z;
          }
        }
        o[k] = Unit(x, y, z);
      }
      if (n == 3) o[3] = o[2];
    }
  });
  return out;
}
