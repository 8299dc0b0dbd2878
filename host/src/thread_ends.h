// How a modal dialog's event loop learns that a host thread has ended, so that the dialog's timer
// runs then instead of at its next tick.
#pragma once

#include <condition_variable>
#include <mutex>

namespace host {

/// Counts the host threads (`C4DThread`) that have ended and wakes whoever waits for the next.
class ThreadEnds {
 public:
  /// How many threads have ended so far.
  static unsigned long Count();
  /// Notes that a thread has ended; called by the thread itself once its work is done.
  static void Note();
  /// Waits until `Count()` is no longer `seen`, at most `ms` milliseconds of real time; true when
  /// a thread has ended since.
  static bool WaitPast(unsigned long seen, double ms);

 private:
  static std::mutex mutex_;
  static std::condition_variable ended_;
  static unsigned long count_;
};

}  // namespace host
