// Smoothed (phong) normals of polygon objects. Large objects are worked on several threads, one
// set of threads for all steps: each thread owns a range of polygons and a range of points, so no
// two threads write the same memory. Working memory comes from the host's store of large blocks.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
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

// Holds each of a fixed number of threads until all have reached it.
class Barrier {
 public:
  explicit Barrier(int count) : count_(count) {}

  void Wait() {
    std::unique_lock<std::mutex> hold(lock_);
    const unsigned generation = generation_;
    if (++arrived_ == count_) {
      arrived_ = 0;
      ++generation_;
      hold.unlock();
      all_.notify_all();
      return;
    }
    all_.wait(hold, [&] { return generation_ != generation; });
  }

 private:
  std::mutex lock_;
  std::condition_variable all_;
  const int count_;
  int arrived_ = 0;
  unsigned generation_ = 0;
};

// Runs `work(t, barrier)` for t = 0 .. count-1 on as many threads at once, so that the steps of
// the work can be separated by `barrier.Wait()`.
template <typename Work>
void Parallel(int count, Work work) {
  Barrier barrier(count);
  std::vector<std::thread> threads;
  for (int t = 1; t < count; ++t) threads.emplace_back([&, t] { work(t, barrier); });
  work(0, barrier);
  for (std::thread& t : threads) t.join();
}

// A block of the host's large-block store, given back (and kept there for the next call) at the
// end of its scope; uninitialised.
class Scratch {
 public:
  Scratch() = default;
  explicit Scratch(size_t bytes) { Take(bytes); }
  ~Scratch() { host::ReleaseLarge(block_); }
  /// Replaces the block with one of `bytes` bytes (null when memory runs out).
  void Take(size_t bytes) {
    host::ReleaseLarge(block_);
    block_ = host::AllocateLarge(bytes ? bytes : 1);
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  template <typename T>
  T* As() const {
    return static_cast<T*>(block_);
  }

 private:
  void* block_ = nullptr;
};

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
  const LONG points0 = std::max<LONG>(pointCount, 0);
  const BaseContainer* bc = phong->GetDataInstance();
  const bool limited = bc->GetBool(PHONGTAG_PHONG_ANGLELIMIT);
  const double cosLimit = std::cos(bc->GetReal(PHONGTAG_PHONG_ANGLE, kDefaultAngle));

  // Released with GeFree.
  void* memory = host::AllocateLarge(static_cast<size_t>(polyCount) * 4 * sizeof(SVector));
  if (!memory) return nullptr;
  auto* out = static_cast<SVector*>(memory);

  const int hardware = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  const int parts =
      std::clamp(static_cast<int>(polyCount / kPolygonsPerThread), 1, std::min(hardware, kMaxThreads));

  // Each polygon's unit normal (unless the windows below make it on the way). Without a limit,
  // each point's unit sum of the polygons around it; with a limit each corner takes the polygons
  // around its point that lie within the limit of its own polygon, from lists of the polygons
  // around each point (start offsets and polygons).
  Scratch faceMemory;
  Scratch sumMemory;
  if (limited)
    faceMemory.Take(static_cast<size_t>(polyCount) * sizeof(Normal));
  else
    sumMemory.Take(static_cast<size_t>(points0) * 3 * sizeof(float));
  Normal* faces = faceMemory.As<Normal>();
  float* sums = sumMemory.As<float>();
  if (limited ? !faces : !sums) {
    GeFree(memory);
    return nullptr;
  }
  std::vector<LONG> start;
  if (limited) start.assign(static_cast<size_t>(points0) + 1, 0);
  std::vector<std::vector<LONG>> aroundParts(static_cast<size_t>(parts));
  // The range of points the polygons of each part use, and that part's sums over it.
  std::vector<LONG> windowLo(static_cast<size_t>(parts), pointCount),
      windowHi(static_cast<size_t>(parts), -1);
  std::vector<Scratch> windows(static_cast<size_t>(parts));
  std::atomic<bool> failed{false};

  Parallel(parts, [&](int t, Barrier& barrier) {
    const LONG first = PartBegin(polyCount, t, parts), last = PartBegin(polyCount, t + 1, parts);
    const LONG lo = PartBegin(points0, t, parts), hi = PartBegin(points0, t + 1, parts);
    const size_t own = static_cast<size_t>(t);
    LONG idx[4];
    if (limited) {
      // Each thread makes its polygons' normals and the lists of the polygons around its points;
      // the normals of other threads' polygons are read only after the next wait.
      for (LONG i = first; i < last; ++i) faces[i] = FaceNormal(polys[i], points, pointCount);
      for (LONG i = 0; i < polyCount; ++i) {
        const int n = Corners(polys[i], idx);
        for (int k = 0; k < n; ++k)
          if (idx[k] >= lo && idx[k] < hi) ++start[idx[k] + 1];
      }
      LONG total = 0;
      for (LONG p = lo; p < hi; ++p) {
        const LONG count = start[p + 1];
        start[p + 1] = total;  // the fill position for now; the end offset once filled
        total += count;
      }
      std::vector<LONG>& list = aroundParts[own];
      list.resize(static_cast<size_t>(total));
      for (LONG i = 0; i < polyCount; ++i) {
        const int n = Corners(polys[i], idx);
        for (int k = 0; k < n; ++k)
          if (idx[k] >= lo && idx[k] < hi) list[start[idx[k] + 1]++] = i;
      }
    } else {
      LONG usedLo = pointCount, usedHi = -1;  // kept apart from the other threads' until the end
      for (LONG i = first; i < last; ++i) {
        const int n = Corners(polys[i], idx);
        for (int k = 0; k < n; ++k)
          if (ValidIndex(idx[k], pointCount)) {
            usedLo = std::min(usedLo, idx[k]);
            usedHi = std::max(usedHi, idx[k]);
          }
      }
      windowLo[own] = usedLo;
      windowHi[own] = usedHi;
      barrier.Wait();
      // When the polygons of each part use points close to each other (the usual order of a
      // mesh), each part sums into a window of its own points and the windows are added up per
      // point; otherwise each thread sums its own points over all polygons.
      size_t covered = 0;
      for (int w = 0; w < parts; ++w)
        if (windowHi[static_cast<size_t>(w)] >= windowLo[static_cast<size_t>(w)])
          covered +=
              static_cast<size_t>(windowHi[static_cast<size_t>(w)] - windowLo[static_cast<size_t>(w)] + 1);
      if (covered <= 2 * static_cast<size_t>(points0) + static_cast<size_t>(parts)) {
        if (usedHi >= usedLo) {
          const size_t size = static_cast<size_t>(usedHi - usedLo + 1) * 3;
          windows[own].Take(size * sizeof(float));
          float* w = windows[own].As<float>();
          if (!w) {
            failed = true;
          } else {
            std::fill(w, w + size, 0.0f);
            for (LONG i = first; i < last; ++i) {
              const Normal f = FaceNormal(polys[i], points, pointCount);
              const int n = Corners(polys[i], idx);
              for (int k = 0; k < n; ++k) {
                if (!ValidIndex(idx[k], pointCount)) continue;
                float* s = w + static_cast<size_t>(idx[k] - usedLo) * 3;
                s[0] += f.x;
                s[1] += f.y;
                s[2] += f.z;
              }
            }
          }
        }
        barrier.Wait();
        if (!failed) {
          std::vector<int> covering;
          for (int w = 0; w < parts; ++w)
            if (windowLo[static_cast<size_t>(w)] < hi && windowHi[static_cast<size_t>(w)] >= lo)
              covering.push_back(w);
          for (LONG p = lo; p < hi; ++p) {
            float x = 0, y = 0, z = 0;
            for (int w : covering) {
              const LONG wlo = windowLo[static_cast<size_t>(w)];
              if (p < wlo || p > windowHi[static_cast<size_t>(w)]) continue;
              const float* s = windows[static_cast<size_t>(w)].As<float>() + static_cast<size_t>(p - wlo) * 3;
              x += s[0];
              y += s[1];
              z += s[2];
            }
            const SVector n = Unit(x, y, z);
            float* s = sums + static_cast<size_t>(p) * 3;
            s[0] = n.x;
            s[1] = n.y;
            s[2] = n.z;
          }
        }
      } else {
        std::fill(sums + static_cast<size_t>(lo) * 3, sums + static_cast<size_t>(hi) * 3, 0.0f);
        for (LONG i = 0; i < polyCount; ++i) {
          const int n = Corners(polys[i], idx);
          bool mine = false;
          for (int k = 0; k < n; ++k) mine = mine || (idx[k] >= lo && idx[k] < hi);
          if (!mine) continue;
          const Normal f = FaceNormal(polys[i], points, pointCount);
          for (int k = 0; k < n; ++k) {
            if (idx[k] < lo || idx[k] >= hi) continue;
            float* s = sums + static_cast<size_t>(idx[k]) * 3;
            s[0] += f.x;
            s[1] += f.y;
            s[2] += f.z;
          }
        }
        // Every corner at a point gets the same normal: make it unit once here.
        for (LONG p = lo; p < hi; ++p) {
          float* s = sums + static_cast<size_t>(p) * 3;
          const SVector n = Unit(s[0], s[1], s[2]);
          s[0] = n.x;
          s[1] = n.y;
          s[2] = n.z;
        }
      }
    }
    barrier.Wait();
    if (failed) return;

    // The polygons around point p lie in part t's list from (p == lo ? 0 : start[p]) to start[p + 1].
    for (LONG i = first; i < last; ++i) {
      SVector* o = out + 4 * static_cast<size_t>(i);
      const int n = Corners(polys[i], idx);
      for (int k = 0; k < n; ++k) {
        const LONG p = idx[k];
        if (!ValidIndex(p, pointCount)) {
          o[k] = SVector();
          continue;
        }
        if (!limited) {
          const float* s = sums + static_cast<size_t>(p) * 3;
          o[k] = SVector{s[0], s[1], s[2]};
          continue;
        }
        // The part that owns p, found from the even split of the points.
        int owner = static_cast<int>(static_cast<int64_t>(p) * parts / points0);
        while (owner > 0 && p < PartBegin(points0, owner, parts)) --owner;
        while (owner + 1 < parts && p >= PartBegin(points0, owner + 1, parts)) ++owner;
        const std::vector<LONG>& list = aroundParts[static_cast<size_t>(owner)];
        const LONG from = p == PartBegin(points0, owner, parts) ? 0 : start[p];
        const Normal& mine = faces[i];
        double x = 0, y = 0, z = 0;
        for (LONG s = from; s < start[p + 1]; ++s) {
          const Normal& f = faces[list[s]];
          if (list[s] == i || static_cast<double>(f.x) * mine.x + static_cast<double>(f.y) * mine.y +
                                      static_cast<double>(f.z) * mine.z >=
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
  if (failed) {
    GeFree(memory);
    return nullptr;
  }
  return out;
}
