// Many small meshes: the export of a document of 10,000 distinct small polygon objects (every mesh
// file written anew) beside `cp -r` of the models folder it wrote, on the same file system. Both
// are the median of the iterations; "ratio" is the export's time over the copy's. The folder is made
// under CORVANE_BENCH_DIR when it is set, else under /tmp.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "c4d.h"
#include "export/orvanesceneexporter.h"
#include "host_control.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

double Median(std::vector<double> v) {
  if (v.empty()) return 0.0;
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

// `count` cubes of 8 points and 6 quadrangles, each of its own size, so that every one has a mesh
// file of its own.
BaseDocument* MakeDocument(int count) {
  BaseDocument* doc = BaseDocument::Alloc();
  for (int i = 0; i < count; ++i) {
    PolygonObject* op = PolygonObject::Alloc(8, 6);
    op->SetName(String("Cube ") + String::LongToString(i));
    const double s = 1.0 + i * 1e-3;
    LVector* p = op->GetPointW();
    for (int k = 0; k < 8; ++k) p[k] = LVector(k & 1 ? s : -s, k & 2 ? s : -s, k & 4 ? s : -s);
    CPolygon* v = op->GetPolygonW();
    v[0] = CPolygon(0, 1, 3, 2);
    v[1] = CPolygon(4, 6, 7, 5);
    v[2] = CPolygon(0, 4, 5, 1);
    v[3] = CPolygon(2, 3, 7, 6);
    v[4] = CPolygon(0, 2, 6, 4);
    v[5] = CPolygon(1, 5, 7, 3);
    op->SetPos(LVector(i % 100 * 3.0, 0, i / 100 * 3.0));
    doc->InsertObject(op, nullptr, nullptr);
  }
  return doc;
}

void BM_ManySmallMeshes(benchmark::State& state) {
  // CORVANE_BENCH_DIR chooses the file system (for example /dev/shm); /tmp otherwise.
  const char* base = std::getenv("CORVANE_BENCH_DIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/corvane-bench-XXXXXX";
  char* dir = mkdtemp(pattern.data());
  if (!dir) {
    state.SkipWithError("no temporary folder");
    return;
  }
  const int count = static_cast<int>(state.range(0));
  BaseDocument* doc = MakeDocument(count);
  const std::string models = std::string(dir) + "/models.scene";
  const std::string copy = std::string(dir) + "/copy";
  const std::string cp = "cp -r '" + models + "' '" + copy + "'";
  const Filename scene = Filename(String(dir)) + Filename("scene.ovs");
  OrvaneSceneExporter exporter;
  std::vector<double> exports, copies;
  std::error_code ec;
  for (auto _ : state) {
    std::filesystem::remove_all(models, ec);
    std::filesystem::remove_all(copy, ec);
    exporter.writtenMeshFiles.clear();  // a new export of new files, as a fresh render makes it
    Clock::time_point start = Clock::now();
    exporter.initOVS(doc, nullptr, scene, 0, 0, 0, 0, 0);
    exporter.exportOVSWithCacheRebuild();
    const double exportTime = Seconds(start);
    host::ClearConsole();
    start = Clock::now();
    if (std::system(cp.c_str()) != 0) {
      state.SkipWithError("cp -r failed");
      break;
    }
    const double copyTime = Seconds(start);
    state.SetIterationTime(exportTime);
    exports.push_back(exportTime);
    copies.push_back(copyTime);
  }
  size_t files = 0;
  for (const auto& f : std::filesystem::directory_iterator(models, ec)) files += f.is_regular_file();
  const double e = Median(exports), c = Median(copies);
  state.counters["mesh_files"] = static_cast<double>(files);
  state.counters["export_ms"] = e * 1e3;
  state.counters["cp_r_ms"] = c * 1e3;
  state.counters["ratio"] = e / c;
  state.counters["export_us_per_mesh"] = e / count * 1e6;
  BaseDocument::Free(doc);
  std::filesystem::remove_all(dir, ec);
}
BENCHMARK(BM_ManySmallMeshes)->Arg(10000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(7);

}  // namespace

int main(int argc, char** argv) {
  host::ResetAll();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
