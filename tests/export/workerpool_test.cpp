// The worker pool: every part runs once, also with more parts than threads and from several
// callers at once; failures come back to the caller; a worker's own steps run in place.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "export/workerpool.h"

namespace {

TEST(WorkerPoolTest, EveryPartRunsOnce) {
  for (int parts : {0, 1, 2, 7, WorkerPool::kMaxThreads, 3 * WorkerPool::kMaxThreads + 1}) {
    std::vector<std::atomic<int>> runs(static_cast<size_t>(parts));
    WorkerPool::Run(parts, [&](int p) { ++runs[static_cast<size_t>(p)]; });
    for (int p = 0; p < parts; ++p)
      EXPECT_EQ(runs[static_cast<size_t>(p)], 1) << parts << " parts, part " << p;
  }
}

TEST(WorkerPoolTest, SeveralCallersAtOnce) {
  std::atomic<long> total{0};
  std::vector<std::thread> callers;
  for (int c = 0; c < 6; ++c)
    callers.emplace_back([&] {
      for (int round = 0; round < 50; ++round) WorkerPool::Run(9, [&](int p) { total += p + 1; });
    });
  for (std::thread& t : callers) t.join();
  EXPECT_EQ(total, 6L * 50 * 45);
}

TEST(WorkerPoolTest, AFailureComesBackOnceEveryPartHasEnded) {
  std::atomic<int> ended{0};
  EXPECT_THROW(WorkerPool::Run(8,
                               [&](int p) {
                                 if (p == 3) throw std::runtime_error("part 3");
                                 ++ended;
                               }),
               std::runtime_error);
  EXPECT_EQ(ended, 7);
}

TEST(WorkerPoolTest, StepsInsideAWorkerRunInPlace) {
  std::atomic<int> inner{0};
  WorkerPool::Run(4, [&](int) { WorkerPool::Run(5, [&](int) { ++inner; }); });
  EXPECT_EQ(inner, 20);
  EXPECT_GE(WorkerPool::ThreadsFor(0, 100), 1);
  EXPECT_EQ(WorkerPool::ThreadsFor(150, 100), 1);
  EXPECT_LE(WorkerPool::ThreadsFor(1u << 30, 1), WorkerPool::kMaxThreads);
}

}  // namespace
