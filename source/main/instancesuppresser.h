// The flag that keeps instance objects from generating geometry while the exporter writes them.
#pragma once

#include <atomic>

/// One shared byte: set by the export thread while it exports, read by the instance object's
/// generator during the host's evaluation on another thread, hence atomic.
class InstanceSuppresser {
 public:
  /// True while an export runs.
  bool IsSet() const { return value_.load(std::memory_order_acquire); }
  /// Sets or clears the flag.
  void Set(bool on) { value_.store(on, std::memory_order_release); }

 private:
  std::atomic<bool> value_{false};
};

static_assert(sizeof(InstanceSuppresser) == 1, "the suppresser is one byte");
static_assert(std::atomic<bool>::is_always_lock_free, "the suppresser needs no lock");
