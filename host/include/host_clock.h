// The clock behind the host's timer and sleep. Tests replace it to make waits instant.
#pragma once

#include <functional>
#include <mutex>

#include "c4d_general.h"

namespace host {

/// A source of milliseconds and a way to wait.
class Clock {
 public:
  virtual ~Clock() = default;
  /// Milliseconds since an arbitrary start.
  virtual double NowMs() = 0;
  /// Waits `ms` milliseconds.
  virtual void SleepMs(double ms) = 0;
};

/// A clock that only moves when slept on: every wait returns at once. Thread-safe.
class ManualClock : public Clock {
 public:
  double NowMs() override;
  void SleepMs(double ms) override;
  /// Moves the clock forward.
  void Advance(double ms);

 private:
  std::mutex mutex_;
  double now_ = 0.0;
};

/// Makes `clock` the host's clock (null: the real one). Not owned.
void SetClock(Clock* clock);
/// The host's current clock.
Clock& CurrentClock();

/// Makes `source` answer `GetDateTimeNow` (null: the system's local time).
void SetDateTimeSource(std::function<LocalFileTime()> source);

}  // namespace host
