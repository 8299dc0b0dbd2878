// The host's CRC-32 beside zlib's crc32 on large buffers.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <chrono>
#include <random>
#include <vector>

#include "c4d.h"

namespace {

const std::vector<unsigned char>& Buffer() {
  static const std::vector<unsigned char> data = [] {
    std::vector<unsigned char> d(size_t(64) << 20);
    std::mt19937 rng(3);
    for (unsigned char& b : d) b = static_cast<unsigned char>(rng());
    return d;
  }();
  return data;
}

void BM_HostCrc32(benchmark::State& state) {
  const auto& d = Buffer();
  for (auto _ : state)
    benchmark::DoNotOptimize(ZipFile::CalcCRC32(d.data() + 1, static_cast<VLONG>(d.size() - 1), 0));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * (d.size() - 1)));
}

void BM_ZlibCrc32(benchmark::State& state) {
  const auto& d = Buffer();
  for (auto _ : state) benchmark::DoNotOptimize(crc32(0, d.data() + 1, static_cast<uInt>(d.size() - 1)));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * (d.size() - 1)));
}

// Both on the same buffer in one run, with the speed-up of the host's.
void BM_Crc32Ratio(benchmark::State& state) {
  const auto& d = Buffer();
  using Clock = std::chrono::steady_clock;
  double host = 0, zlib = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    ULONG a = ZipFile::CalcCRC32(d.data() + 1, static_cast<VLONG>(d.size() - 1), 0);
    auto t1 = Clock::now();
    uLong b = crc32(0, d.data() + 1, static_cast<uInt>(d.size() - 1));
    auto t2 = Clock::now();
    if (a != b) state.SkipWithError("the host's CRC-32 differs from zlib's");
    host += std::chrono::duration<double>(t1 - t0).count();
    zlib += std::chrono::duration<double>(t2 - t1).count();
  }
  state.counters["speedup"] = zlib / host;
}

}  // namespace

BENCHMARK(BM_HostCrc32)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZlibCrc32)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Crc32Ratio)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
