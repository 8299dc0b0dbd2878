// Converting a large polygon object and writing it as a mesh file (checksum, conversion, write),
// beside one plain fwrite of the same number of bytes into the same folder; reports both times
// and their ratio, and the memory a conversion takes above the document. BM_FirstAndWarmExport sets the first
// conversion of a fresh process (as every render makes it) beside the warm one and the fwrite.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "c4d.h"
#include "export/meshallocator.h"
#include "export/meshchecksum.h"
#include "export/orvanemesh.h"
#include "export/wavefrontexport.h"
#include "host_control.h"
#include "main/helpers.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

// A document with a wavy grid of `count` polygons (90% quadrangles, then 10% triangles, two per
// grid cell) with a UVW tag spanning the grid, a phong tag and a texture tag with a material.
struct GridDocument {
  BaseDocument* doc = BaseDocument::Alloc();
  PolygonObject* op = nullptr;

  explicit GridDocument(LONG count) {
    const LONG quads = count / 10 * 9;
    const LONG triangleCells = (count - quads) / 2;
    const LONG cells = quads + triangleCells;
    const LONG w = static_cast<LONG>(std::ceil(std::sqrt(static_cast<double>(cells))));
    const LONG h = (cells + w - 1) / w;
    op = PolygonObject::Alloc((w + 1) * (h + 1), quads + 2 * triangleCells);
    op->SetName("Grid");
    LVector* p = op->GetPointW();
    for (LONG y = 0; y <= h; ++y)
      for (LONG x = 0; x <= w; ++x)
        p[y * (w + 1) + x] = LVector(x * 10.0, 20.0 * std::sin(x * 0.05) * std::cos(y * 0.07), y * 10.0);
    auto uv = [&](LONG x, LONG y) {
      return LVector(static_cast<double>(x) / w, static_cast<double>(y) / h, 0);
    };
    UVWTag* uvw = UVWTag::Alloc(op->GetPolygonCount());
    CPolygon* v = op->GetPolygonW();
    LONG n = 0;
    for (LONG cell = 0; cell < cells; ++cell) {
      const LONG x = cell % w, y = cell / w;
      const LONG a = y * (w + 1) + x, b = a + 1, c = b + w + 1, d = a + w + 1;
      const UVWStruct s{uv(x, y), uv(x + 1, y), uv(x + 1, y + 1), uv(x, y + 1)};
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
    BaseMaterial* mat = BaseMaterial::Alloc(Mmaterial);
    mat->SetName("Ground");
    doc->InsertMaterial(mat);
    TextureTag* tex = TextureTag::Alloc();
    tex->SetMaterial(mat);
    op->InsertTag(tex, op->GetTag(Tphong));
    doc->InsertObject(op, nullptr, nullptr);
  }
  ~GridDocument() { BaseDocument::Free(doc); }
};

const std::string& BenchDir() {
  static const std::string dir = [] {
    // In $TMPDIR, read as unset when it is empty (as mktemp reads it), else in /tmp.
    const char* tmp = std::getenv("TMPDIR");
    std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/corvane-bench-XXXXXX";
    char* made = mkdtemp(tmpl.data());
    if (!made) std::abort();
    return std::string(made);
  }();
  return dir;
}

// The whole road of one object: checksum, conversion, mesh file. Answers the file's path.
std::string ExportMesh(const GridDocument& g) {
  const ULONG checksum = MeshChecksum::CalcMeshChecksum(g.op, 0, 0.01, g.doc);
  Filename file;
  file.SetFile(Filename(String("mesh_") + Helpers::ULongToString(checksum)));
  file.SetSuffix("ovmesh");
  auto exporter = std::make_unique<WavefrontExport>();
  if (!exporter->ExportObj(g.doc, Filename(BenchDir().c_str()), file, g.op, 0.01, 0)) std::abort();
  return WavefrontExport::MeshFilePath(Filename(BenchDir().c_str()), file);
}

uint64_t FileSize(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

double PlainWrite(const std::vector<char>& bytes, const std::string& path) {
  const Clock::time_point start = Clock::now();
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0)
    std::abort();
  return Seconds(start);
}

long StatusKb(const char* field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(field, 0) == 0) return std::strtol(line.c_str() + std::strlen(field), nullptr, 10);
  return -1;
}

// The peak memory of one conversion above the document, without memory kept from earlier runs.
void BM_ConversionPeakMemory(benchmark::State& state) {
  GridDocument g(static_cast<LONG>(state.range(0)));
  double peakMb = 0;
  for (auto _ : state) {
    Orvane::TrimMeshBlocks();
    malloc_trim(0);
    const long before = StatusKb("VmRSS:");
    std::ofstream("/proc/self/clear_refs") << "5";  // resets the peak to the current size
    std::remove(ExportMesh(g).c_str());
    peakMb = (StatusKb("VmHWM:") - before) / 1024.0;
  }
  state.counters["peak_MB_above_doc"] = peakMb;
}

void BM_ExportMesh(benchmark::State& state) {
  GridDocument g(static_cast<LONG>(state.range(0)));
  const std::string plainPath = BenchDir() + "/plain.bin";
  const std::string meshPath = ExportMesh(g);
  std::vector<char> bytes(FileSize(meshPath), 'x');
  double exportTotal = 0.0, plainTotal = 0.0;
  for (auto _ : state) {
    std::remove(meshPath.c_str());
    std::remove(plainPath.c_str());
    const Clock::time_point start = Clock::now();
    ExportMesh(g);
    const double exportTime = Seconds(start);
    std::remove(meshPath.c_str());
    const double plainTime = PlainWrite(bytes, plainPath);
    state.SetIterationTime(exportTime);
    exportTotal += exportTime;
    plainTotal += plainTime;
  }
  std::remove(meshPath.c_str());
  std::remove(plainPath.c_str());
  state.counters["file_MB"] = static_cast<double>(bytes.size()) / 1e6;
  state.counters["plain_ms"] = plainTotal / static_cast<double>(state.iterations()) * 1e3;
  state.counters["ratio"] = exportTotal / plainTotal;
}

// The median of `v` (which it sorts).
double Median(std::vector<double>& v) {
  if (v.empty()) return 0.0;
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

// What a fresh process of this program does when started with kFirstExportFlag: builds the grid
// of `count` polygons, exports it once (no warm-up, nothing kept from before) and prints the
// seconds the export took.
constexpr const char* kFirstExportFlag = "--corvane-first-export=";

int FirstExportChild(LONG count) {
  GridDocument g(count);
  const Clock::time_point start = Clock::now();
  const std::string path = ExportMesh(g);
  const double took = Seconds(start);
  std::remove(path.c_str());
  std::printf("%.9f\n", took);
  return 0;
}

// The seconds of one first export in a new process of this program; negative on failure.
double FirstExportInNewProcess(LONG count) {
  const std::string command =
      "/proc/" + std::to_string(getpid()) + "/exe " + kFirstExportFlag + std::to_string(count);
  FILE* child = popen(command.c_str(), "r");
  if (!child) return -1.0;
  double seconds = -1.0;
  if (std::fscanf(child, "%lf", &seconds) != 1) seconds = -1.0;
  if (pclose(child) != 0) return -1.0;
  return seconds;
}

// The first conversion in a fresh process (memory of its own, no warm-up: as a render does it)
// next to the warm conversion of this process and a plain fwrite of the mesh file's bytes, each
// as the median of the iterations; the ratios are to the fwrite. The warm conversion and the
// fwrite each come right after a fresh process's first conversion, so that both meet the machine
// as a render does, after a pause of this process (caches taken by other work, idle processors);
// both fresh processes count as first conversions. The fwrite made right after the warm
// conversion, without a pause, is reported beside them.
void BM_FirstAndWarmExport(benchmark::State& state) {
  const LONG count = static_cast<LONG>(state.range(0));
  GridDocument g(count);
  const std::string plainPath = BenchDir() + "/plain.bin";
  const std::string meshPath = ExportMesh(g);  // warms this process
  std::vector<char> bytes(FileSize(meshPath), 'x');
  std::vector<double> first, warm, plain, plainAtOnce;
  for (auto _ : state) {
    const double firstTime = FirstExportInNewProcess(count);
    std::remove(meshPath.c_str());
    const Clock::time_point start = Clock::now();
    ExportMesh(g);
    const double warmTime = Seconds(start);
    std::remove(meshPath.c_str());
    std::remove(plainPath.c_str());
    const double plainAtOnceTime = PlainWrite(bytes, plainPath);
    std::remove(plainPath.c_str());
    const double secondFirstTime = FirstExportInNewProcess(count);
    const double plainTime = PlainWrite(bytes, plainPath);
    std::remove(plainPath.c_str());
    if (firstTime < 0 || secondFirstTime < 0) {
      state.SkipWithError("the fresh process did not export");
      return;
    }
    state.SetIterationTime(firstTime);
    first.push_back(firstTime);
    first.push_back(secondFirstTime);
    warm.push_back(warmTime);
    plain.push_back(plainTime);
    plainAtOnce.push_back(plainAtOnceTime);
  }
  const double f = Median(first), w = Median(warm), p = Median(plain);
  state.counters["fwrite_at_once_ms"] = Median(plainAtOnce) * 1e3;
  state.counters["first_ms"] = f * 1e3;
  state.counters["warm_ms"] = w * 1e3;
  state.counters["fwrite_ms"] = p * 1e3;
  state.counters["first_x_fwrite"] = f / p;
  state.counters["warm_x_fwrite"] = w / p;
  state.counters["file_MB"] = static_cast<double>(bytes.size()) / 1e6;
}

void BM_ReadMesh(benchmark::State& state) {
  GridDocument g(static_cast<LONG>(state.range(0)));
  const std::string meshPath = ExportMesh(g);
  const uint64_t size = FileSize(meshPath);
  for (auto _ : state) {
    Orvane::OrvaneMesh mesh;
    if (!Orvane::OrvaneMesh::readFromFile(meshPath, mesh)) std::abort();
    benchmark::DoNotOptimize(mesh.triangles.data());
  }
  std::remove(meshPath.c_str());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

}  // namespace

BENCHMARK(BM_ConversionPeakMemory)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportMesh)
    ->Arg(100000)
    ->Arg(1000000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);
BENCHMARK(BM_FirstAndWarmExport)
    ->Arg(100000)
    ->Arg(1000000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(7);
BENCHMARK(BM_ReadMesh)->Arg(1000000)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  host::ResetAll();
  if (argc == 2 && std::strncmp(argv[1], kFirstExportFlag, std::strlen(kFirstExportFlag)) == 0) {
    const int result = FirstExportChild(std::atoi(argv[1] + std::strlen(kFirstExportFlag)));
    std::filesystem::remove_all(BenchDir());
    return result;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove_all(BenchDir());
  return 0;
}
