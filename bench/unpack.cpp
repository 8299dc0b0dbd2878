// Unpacking what the import unpacks, each time into a new folder: archives whose entries all carry
// one name as deep as may be, or each a chain of 63 folders of its own (both refused once their
// names are checked), beside archives of as many distinct names in one folder (unpacked). The
// checks cost the same per entry whatever the names share: each family fits O(N).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "c4d.h"
#include "support/zip_writer.h"

namespace fs = std::filesystem;

namespace {

enum class Names { kRepeated, kDeepChains, kDistinct };

// An archive of `count` entries named as `names` says, written once per family and count.
std::string Archive(Names names, int count) {
  const fs::path dir = fs::temp_directory_path() / ("corvane-bench-unpack-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string path =
      (dir / (std::to_string(int(names)) + "-" + std::to_string(count) + ".povm")).string();
  if (fs::exists(path)) return path;
  std::string deep;
  for (LLONG i = 1; i < ZipFile::kMaxDepth; ++i) deep += "d/";
  std::vector<ZipEntry> entries;
  for (int i = 0; i < count; ++i) {
    const std::string n = std::to_string(i);
    entries.push_back({names == Names::kRepeated     ? deep + "f"
                       : names == Names::kDeepChains ? n + "/" + deep.substr(4) + "f"
                                                     : "tex/" + n + ".png",
                       "x"});
  }
  if (!WriteZip(path, entries)) return {};
  return path;
}

void Unpack(benchmark::State& state, Names names, LONG expected) {
  const int count = static_cast<int>(state.range(0));
  const std::string archive = Archive(names, count);
  const fs::path out = fs::path(archive).parent_path() / "out";
  for (auto _ : state) {
    ZipFile* zip = ZipFile::Alloc();
    zip->ExtractToDirectory(Filename(String(archive.c_str())), Filename(String(out.c_str())));
    const LONG error = zip->GetError();
    ZipFile::Free(zip);
    state.PauseTiming();
    fs::remove_all(out);
    state.ResumeTiming();
    if (error != expected) {
      state.SkipWithError("the archive was not taken or refused as expected");
      break;
    }
  }
  state.SetComplexityN(count);
}

void BM_RefuseRepeatedName(benchmark::State& state) { Unpack(state, Names::kRepeated, ZIPERROR_TWICE); }
void BM_RefuseDeepChains(benchmark::State& state) {
  Unpack(state, Names::kDeepChains, ZIPERROR_TOO_MANY_FOLDERS);
}
void BM_UnpackDistinctNames(benchmark::State& state) { Unpack(state, Names::kDistinct, ZIPERROR_NONE); }

BENCHMARK(BM_RefuseRepeatedName)
    ->Arg(2000)
    ->Arg(5000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();
BENCHMARK(BM_RefuseDeepChains)->Arg(2000)->Arg(5000)->Arg(10000)->Unit(benchmark::kMillisecond)->Complexity();
BENCHMARK(BM_UnpackDistinctNames)
    ->Arg(2000)
    ->Arg(5000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  fs::remove_all(fs::temp_directory_path() / ("corvane-bench-unpack-" + std::to_string(::getpid())));
  return 0;
}
