// The mesh builder against a plain one-pass conversion with ordered maps, on random meshes full
// of shared positions, zeros of both signs, NaN and broken indices, on one and on several threads.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <random>
#include <vector>

#include "export/meshbuilder.h"

using namespace Orvane;

namespace {

struct PolygonRun {
  LONG first, last;
  uint32_t material;
  MeshUVSource uv;
};

uint32_t Bits(float f) {
  if (f != f) f = std::numeric_limits<float>::quiet_NaN();
  if (f == 0.0f) f = 0.0f;
  uint32_t b;
  std::memcpy(&b, &f, 4);
  return b;
}

// The conversion done the slow, obvious way: every corner looked up in ordered maps of bits.
OrvaneMesh Reference(const std::vector<LVector>& points, const std::vector<CPolygon>& polygons,
                     const SVector* phong, double scale, const std::vector<PolygonRun>& runs) {
  OrvaneMesh mesh;
  std::map<std::array<uint32_t, 6>, uint32_t> vertices;
  std::map<std::array<uint32_t, 2>, uint32_t> uvs;
  const LONG pc = static_cast<LONG>(points.size());
  auto valid = [&](LONG i) { return i >= 0 && i < pc; };
  for (const PolygonRun& run : runs) {
    for (LONG i = std::max<LONG>(run.first, 0);
         i <= std::min<LONG>(run.last, static_cast<LONG>(polygons.size()) - 1); ++i) {
      const CPolygon& v = polygons[i];
      if (!valid(v.a) || !valid(v.b) || !valid(v.c) || !valid(v.d)) continue;
      UVWStruct uvw{};
      if (run.uv.uvw && i < run.uv.count) uvw = run.uv.uvw[i];
      const LVector* corners[4] = {&uvw.a, &uvw.b, &uvw.c, &uvw.d};
      const LONG idx[4] = {v.a, v.b, v.c, v.d};
      uint32_t vi[4], ti[4];
      for (int k = 0; k < (v.c == v.d ? 3 : 4); ++k) {
        const LVector& p = points[idx[k]];
        Vec3f pos{static_cast<float>(p.x * scale), static_cast<float>(p.z * scale),
                  static_cast<float>(p.y * scale)};
        Vec3f nrm{0, 0, 0};
        if (phong) {
          const SVector& s = phong[4 * i + k];
          double x = s.x, y = s.y, z = s.z, len = std::sqrt(x * x + y * y + z * z);
          if (std::isnan(len) || len < 1e-7) {
            x = 1;
            y = z = 0;
          } else if (std::fabs(len - 1) >= 1e-7) {
            x /= len;
            y /= len;
            z /= len;
          }
          nrm = Vec3f{static_cast<float>(x), static_cast<float>(z), static_cast<float>(y)};
        }
        std::array<uint32_t, 6> key{Bits(pos.x), Bits(pos.y), Bits(pos.z),
                                    Bits(nrm.x), Bits(nrm.y), Bits(nrm.z)};
        auto found = vertices.emplace(key, static_cast<uint32_t>(vertices.size()));
        if (found.second) {
          mesh.positions.push_back(pos);
          if (phong) mesh.normals.push_back(nrm);
        }
        vi[k] = found.first->second;
        double u = corners[k]->x, w = corners[k]->y;
        if (run.uv.transform) {
          double fu = 1.0 / run.uv.lengthU, fv = 1.0 / run.uv.lengthV;
          u = (u - run.uv.offsetU) * (std::isfinite(fu) ? fu : 1.0);
          w = (w - run.uv.offsetV) * (std::isfinite(fv) ? fv : 1.0);
        }
        Vec2f t{static_cast<float>(u), static_cast<float>(1.0 - w)};
        auto foundUv =
            uvs.emplace(std::array<uint32_t, 2>{Bits(t.x), Bits(t.y)}, static_cast<uint32_t>(uvs.size()));
        if (foundUv.second) mesh.uvs.push_back(t);
        ti[k] = foundUv.first->second;
      }
      mesh.triangles.push_back(Triangle{{vi[2], vi[1], vi[0]}, {ti[2], ti[1], ti[0]}, run.material});
      if (v.c != v.d)
        mesh.triangles.push_back(Triangle{{vi[0], vi[3], vi[2]}, {ti[0], ti[3], ti[2]}, run.material});
    }
  }
  return mesh;
}

template <typename A>
void ExpectSameBits(const A& a, const A& b, const char* what) {
  ASSERT_EQ(a.size(), b.size()) << what;
  for (size_t i = 0; i < a.size(); ++i) {
    const float* x = reinterpret_cast<const float*>(&a[i]);
    const float* y = reinterpret_cast<const float*>(&b[i]);
    for (size_t k = 0; k < sizeof a[i] / 4; ++k)
      ASSERT_EQ(Bits(x[k]), Bits(y[k])) << what << " " << i << " component " << k;
  }
}

void ExpectSameMesh(const OrvaneMesh& got, const OrvaneMesh& want) {
  ExpectSameBits(got.positions, want.positions, "position");
  ExpectSameBits(got.normals, want.normals, "normal");
  ExpectSameBits(got.uvs, want.uvs, "uv");
  ASSERT_EQ(got.triangles.size(), want.triangles.size());
  for (size_t i = 0; i < got.triangles.size(); ++i)
    ASSERT_EQ(std::memcmp(&got.triangles[i], &want.triangles[i], sizeof(Triangle)), 0) << "triangle " << i;
}

struct Case {
  const char* name;
  LONG points, polygons;
  bool phong;
  bool oddValues;  // NaN, zeros of both signs, zero-length normals, zero texture lengths
};

TEST(MeshBuilderTest, MatchesAOnePassConversionOnAnyNumberOfThreads) {
  const Case cases[] = {
      {"small without normals", 30, 60, false, false},
      {"small with normals", 30, 60, true, false},
      {"odd values", 40, 300, true, true},
      {"larger, few shared values", 5000, 20000, true, false},
      {"larger, odd values, no normals", 3000, 20000, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::mt19937 rng(static_cast<unsigned>(c.points * 7 + c.polygons));
    const double values[] = {0.0, -0.0, 1.0, 2.5, -3.0, 1e-3, 7.0, c.oddValues ? std::nan("") : 4.0};
    auto value = [&] { return values[rng() % 8]; };
    auto coordinate = [&] { return rng() % 3 ? static_cast<double>(rng() % 50) * 0.25 : value(); };
    std::vector<LVector> points(static_cast<size_t>(c.points));
    for (LVector& p : points) p = LVector(coordinate(), coordinate(), coordinate());
    std::vector<CPolygon> polygons(static_cast<size_t>(c.polygons));
    for (CPolygon& v : polygons) {
      // Mostly nearby points, some repeated corners, rarely an index outside the object.
      LONG base = static_cast<LONG>(rng() % static_cast<unsigned>(c.points));
      auto near = [&] { return (base + static_cast<LONG>(rng() % 9)) % c.points; };
      v = CPolygon(near(), near(), near(), near());
      if (rng() % 4 == 0) v.d = v.c;
      if (rng() % 97 == 0) v.b = rng() % 2 ? -1 : c.points;
    }
    std::vector<SVector> phong(4 * polygons.size());
    for (SVector& n : phong) {
      n = SVector{static_cast<float>(rng() % 3), static_cast<float>(rng() % 2), 1.0f};
      if (c.oddValues && rng() % 10 == 0) n = SVector{0, 0, 0};
      if (c.oddValues && rng() % 15 == 0) n.x = std::nanf("");
    }
    std::vector<UVWStruct> uvw(polygons.size());
    for (UVWStruct& s : uvw)
      for (LVector* t : {&s.a, &s.b, &s.c, &s.d}) *t = LVector((rng() % 8) * 0.125, value(), 0);

    // Runs as selection groups make them: out of order, beyond the object, some without
    // coordinates or with coordinates shorter than the object.
    MeshUVSource plain, moved, none, shortSource;
    plain.uvw = moved.uvw = shortSource.uvw = uvw.data();
    plain.count = moved.count = c.polygons;
    shortSource.count = c.polygons / 2;
    moved.transform = true;
    moved.offsetU = 0.5;
    moved.offsetV = -0.25;
    moved.lengthU = 2.0;
    moved.lengthV = c.oddValues ? 0.0 : 0.5;
    const LONG n = c.polygons;
    std::vector<PolygonRun> runs = {{n / 2, n / 2 + n / 5, 0, moved},
                                    {-5, n / 4, 1, plain},
                                    {n / 2 + n / 5 + 1, n + 10, 2, none},
                                    {n / 4 + 1, n / 2 - 1, 1, shortSource}};

    OrvaneMesh want = Reference(points, polygons, c.phong ? phong.data() : nullptr, 0.01, runs);
    for (int threads : {1, 3, 8}) {
      SCOPED_TRACE(threads);
      OrvaneMesh got;
      MeshBuilder builder(got, points.data(), c.points, polygons.data(), n, c.phong ? phong.data() : nullptr,
                          0.01);
      for (const PolygonRun& r : runs) builder.AddPolygons(r.first, r.last, r.material, r.uv);
      builder.Build(threads);
      ExpectSameMesh(got, want);
      for (const Vec2f& t : got.uvs) {
        EXPECT_FALSE(std::isinf(t.x) || std::isinf(t.y));
      }
    }
  }
}

TEST(MeshBuilderTest, SelectionsAndMaterialNames) {
  std::vector<LVector> points = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
  std::vector<CPolygon> polygons(6, CPolygon(0, 1, 2, 3));
  OrvaneMesh mesh;
  MeshBuilder builder(mesh, points.data(), 4, polygons.data(), 6, nullptr, 1.0);
  EXPECT_EQ(builder.AddMaterial("a"), 0u);
  EXPECT_EQ(builder.AddMaterial("b"), 1u);
  EXPECT_EQ(builder.AddMaterial("a"), 0u);
  BaseSelect selection;
  selection.SelectAll(4, 9);  // beyond the object: only 4 and 5 exist
  selection.Select(1);
  builder.AddPolygons(selection, 1, MeshUVSource());
  builder.Build();
  EXPECT_EQ(mesh.materialNames, (std::vector<std::string>{"a", "b"}));
  ASSERT_EQ(mesh.triangles.size(), 6u);
  for (const Triangle& t : mesh.triangles) EXPECT_EQ(t.materialIndex, 1u);
  EXPECT_EQ(mesh.positions.size(), 4u);
  EXPECT_EQ(mesh.uvs.size(), 1u);  // every corner at (0, 1 - 0)
  EXPECT_TRUE(mesh.normals.empty());
}

// The builder tells whether its mesh holds a number that is not finite as a float, on one and on
// several threads, wherever the number lies.
TEST(MeshBuilderTest, FiniteTellsWhetherEveryNumberIsFinite) {
  const LONG n = 40000;  // enough polygons for several threads
  struct Case {
    const char* name;
    size_t where;  // the polygon that gets the odd number
    int kind;      // 0 none, 1 a position beyond float range, 2 an infinite normal, 3 an infinite u
    bool finite;
  };
  const Case cases[] = {{"all finite", 0, 0, true},
                        {"position", 3, 1, false},
                        {"normal", n / 2, 2, false},
                        {"texture coordinate", n - 1, 3, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<LVector> points(static_cast<size_t>(n) + 3);
    for (size_t i = 0; i < points.size(); ++i) points[i] = LVector(static_cast<double>(i), 1.0, 2.0);
    std::vector<CPolygon> polygons(static_cast<size_t>(n));
    for (LONG i = 0; i < n; ++i) polygons[static_cast<size_t>(i)] = CPolygon(i, i + 1, i + 2, i + 3);
    std::vector<SVector> phong(4 * polygons.size(), SVector{0.0f, 1.0f, 0.0f});
    std::vector<UVWStruct> uvw(polygons.size());
    const CPolygon& odd = polygons[c.where];
    if (c.kind == 1) points[static_cast<size_t>(odd.c)].x = 1e300;
    if (c.kind == 2) phong[4 * c.where + 1].y = std::numeric_limits<float>::infinity();
    if (c.kind == 3) uvw[c.where].d.x = 1e300;
    MeshUVSource uv;
    uv.uvw = uvw.data();
    uv.count = n;
    for (int threads : {1, 4}) {
      SCOPED_TRACE(threads);
      OrvaneMesh mesh;
      MeshBuilder builder(mesh, points.data(), static_cast<LONG>(points.size()), polygons.data(), n,
                          phong.data(), 1.0);
      builder.AddPolygons(0, n - 1, builder.AddMaterial("m"), uv);
      builder.Build(threads);
      EXPECT_EQ(builder.Finite(), c.finite);
    }
  }
}

}  // namespace
