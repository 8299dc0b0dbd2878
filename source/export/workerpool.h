// A pool of worker threads for the data-parallel steps of mesh export.
#pragma once

#include <functional>

/// Runs the parts of a data-parallel step on threads that live as long as the program, so that a
/// step costs no thread creation. Used by the mesh conversion and the mesh checksum.
class WorkerPool {
 public:
  /// The most parts that run at the same time.
  static constexpr int kMaxThreads = 16;

  /// Runs `work(0)` .. `work(parts - 1)`: part 0 on the calling thread, the others on the pool's
  /// workers (at most `kMaxThreads` - 1), or on the caller when it is free before a worker takes
  /// them; returns when all have ended. An exception of any part is thrown again then. Called
  /// from a worker, all parts run on that worker, one after the other.
  static void Run(int parts, const std::function<void(int)>& work);

  /// Number of threads worth using for `items` items when each thread should get at least
  /// `minimum` of them (at least 1, at most the processors and `kMaxThreads`).
  static int ThreadsFor(size_t items, size_t minimum);
};
