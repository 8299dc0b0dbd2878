// The scene exporter's frame over large documents: cache rebuild, both passes and the save.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "c4d.h"
#include "export/orvanesceneexporter.h"
#include "host_control.h"

namespace {

// A document of `groups` nulls, each holding ten polygon objects, a sphere, a light and an instance
// of a polygon object of the previous group.
BaseDocument* MakeDocument(int groups) {
  BaseDocument* doc = BaseDocument::Alloc();
  BaseObject* previous = nullptr;
  BaseObject* previousMesh = nullptr;
  for (int g = 0; g < groups; ++g) {
    BaseObject* group = BaseObject::Alloc(Onull);
    group->SetName(String("Group ") + String::LongToString(g));
    doc->InsertObject(group, nullptr, previous);
    if (previousMesh) {
      BaseObject* instance = BaseObject::Alloc(Oinstance);
      instance->GetDataInstance()->SetLink(1001, previousMesh);
      instance->GetDataInstance()->SetBool(1002, TRUE);
      doc->InsertObject(instance, group, nullptr);
    }
    doc->InsertObject(BaseObject::Alloc(Osphere), group, nullptr);
    doc->InsertObject(BaseObject::Alloc(Olight), group, nullptr);
    for (int i = 0; i < 10; ++i) {
      previousMesh = PolygonObject::Alloc(4, 1);
      doc->InsertObject(previousMesh, group, nullptr);
    }
    previous = group;
  }
  return doc;
}

void BM_ExportScene(benchmark::State& state) {
  char dir[] = "/tmp/corvane-bench-XXXXXX";
  if (!mkdtemp(dir)) {
    state.SkipWithError("no temporary folder");
    return;
  }
  BaseDocument* doc = MakeDocument(static_cast<int>(state.range(0)));
  const Filename scene = Filename(String(dir)) + Filename("scene.ovs");
  OrvaneSceneExporter exporter;
  for (auto _ : state) {
    exporter.initOVS(doc, nullptr, scene, 0, 0, 0, 0, 0);
    benchmark::DoNotOptimize(exporter.exportOVSWithCacheRebuild());
    host::ClearConsole();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0) * 13);
  BaseDocument::Free(doc);
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
}
BENCHMARK(BM_ExportScene)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
