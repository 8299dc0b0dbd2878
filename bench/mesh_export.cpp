// Converting and writing a large polygon object as a mesh file, beside one plain fwrite of the
// same number of bytes into the same folder. Reports both times and their ratio.
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "c4d.h"
#include "export/meshbuilder.h"
#include "export/orvanemesh.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

// A wavy grid of `count` polygons: 90% quadrangles, then 10% triangles (two per grid cell), with
// a UVW tag spanning the grid and a phong tag.
PolygonObject* MakeGrid(LONG count) {
  const LONG quads = count / 10 * 9;
  const LONG triangleCells = (count - quads) / 2;
  const LONG cells = quads + triangleCells;
  const LONG w = static_cast<LONG>(std::ceil(std::sqrt(static_cast<double>(cells))));
  const LONG h = (cells + w - 1) / w;
  PolygonObject* op = PolygonObject::Alloc((w + 1) * (h + 1), quads + 2 * triangleCells);
  LVector* p = op->GetPointW();
  for (LONG y = 0; y <= h; ++y)
    for (LONG x = 0; x <= w; ++x)
      p[y * (w + 1) + x] = LVector(x * 10.0, 20.0 * std::sin(x * 0.05) * std::cos(y * 0.07), y * 10.0);
  auto uv = [&](LONG x, LONG y) { return LVector(static_cast<double>(x) / w, static_cast<double>(y) / h, 0); };
  UVWTag* uvw = UVWTag::Alloc(op->GetPolygonCount());
  CPolygon* v = op->GetPolygonW();
  LONG n = 0;
  for (LONG cell = 0; cell < cells; ++cell) {
    LONG x = cell % w, y = cell / w;
    LONG a = y * (w + 1) + x, b = a + 1, c = b + w + 1, d = a + w + 1;
    UVWStruct s{uv(x, y), uv(x + 1, y), uv(x + 1, y + 1), uv(x, y + 1)};
    if (cell < quads) {
      uvw->SetSlow(n, s);
      v[n++] = CPolygon(a, b, c, d);
    } else {
      uvw->SetSlow(n, UVWStruct{s.a, s.b, s.c, s.c});
      v[n++] = CPolygon(a, b, c);
      uvw->SetSlow(n, UVWStruct{s.a, s.c, s.d, s.d});
      v[n++] = CPolygon(a, c, d);
    }
  }
  op->InsertTag(uvw);
  op->MakeTag(Tphong);
  return op;
}

struct ObjectFree {
  void operator()(PolygonObject* op) const {
    BaseObject* o = op;
    BaseObject::Free(o);
  }
};

std::string BenchDir() {
  static const std::string dir = [] {
    std::string tmpl = (std::filesystem::temp_directory_path() / "corvane-bench-XXXXXX").string();
    char* made = mkdtemp(tmpl.data());
    if (!made) std::abort();
    return std::string(made);
  }();
  return dir;
}

// Converts and writes the object; answers the file's size.
uint64_t ExportMesh(PolygonObject* op, const std::string& path) {
  Orvane::OrvaneMesh mesh;
  SVector* phong = op->CreatePhongNormals();
  {
    MeshBuilder builder(mesh, op->GetPointR(), op->GetPointCount(), op->GetPolygonR(), op->GetPolygonCount(),
                        phong, 0.01);
    const UVWTag* uvw = static_cast<const UVWTag*>(op->GetTag(Tuvw));
    MeshUVSource source;
    source.uvw = static_cast<const UVWStruct*>(uvw->GetDataAddressR());
    source.count = uvw->GetDataCount();
    source.transform = true;
    builder.AddPolygons(0, op->GetPolygonCount() - 1, builder.AddMaterial("Material_mid0"), source);
    builder.Build();
  }
  GeFree(phong);
  mesh.uvSets.push_back({"default", 0});
  mesh.uvMappingCount = 1;
  if (!Orvane::OrvaneMesh::writeToFile(path, mesh)) std::abort();
  struct stat st;
  stat(path.c_str(), &st);
  return static_cast<uint64_t>(st.st_size);
}

double PlainWrite(const std::vector<char>& bytes, const std::string& path) {
  Clock::time_point start = Clock::now();
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0) std::abort();
  return Seconds(start);
}

void BM_ExportMesh(benchmark::State& state) {
  std::unique_ptr<PolygonObject, ObjectFree> op(MakeGrid(static_cast<LONG>(state.range(0))));
  const std::string meshPath = BenchDir() + "/mesh.ovmesh";
  const std::string plainPath = BenchDir() + "/plain.bin";
  std::vector<char> bytes(ExportMesh(op.get(), meshPath), 'x');
  double exportTotal = 0.0, plainTotal = 0.0;
  for (auto _ : state) {
    std::remove(meshPath.c_str());
    std::remove(plainPath.c_str());
    Clock::time_point start = Clock::now();
    ExportMesh(op.get(), meshPath);
    double exportTime = Seconds(start);
    std::remove(meshPath.c_str());
    double plainTime = PlainWrite(bytes, plainPath);
    state.SetIterationTime(exportTime);
    exportTotal += exportTime;
    plainTotal += plainTime;
  }
  std::remove(meshPath.c_str());
  std::remove(plainPath.c_str());
  state.counters["file_MB"] = bytes.size() / 1e6;
  state.counters["plain_ms"] = plainTotal / state.iterations() * 1e3;
  state.counters["ratio"] = exportTotal / plainTotal;
}

void BM_ReadMesh(benchmark::State& state) {
  std::unique_ptr<PolygonObject, ObjectFree> op(MakeGrid(static_cast<LONG>(state.range(0))));
  const std::string meshPath = BenchDir() + "/read.ovmesh";
  uint64_t size = ExportMesh(op.get(), meshPath);
  for (auto _ : state) {
    Orvane::OrvaneMesh mesh;
    if (!Orvane::OrvaneMesh::readFromFile(meshPath, mesh)) std::abort();
    benchmark::DoNotOptimize(mesh.triangles.data());
  }
  std::remove(meshPath.c_str());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

}  // namespace

BENCHMARK(BM_ExportMesh)->Arg(100000)->Arg(1000000)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ReadMesh)->Arg(1000000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
