// Waits for the programs the plug-in starts, so that none of them lingers as a zombie once it has
// ended, on one thread that the plug-in's end stops and joins.
#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

/// The plug-in's one waiter for the programs it started. Its thread runs only between the first
/// `Start` and `Stop`, never past the plug-in's end: a program still running at `Stop` is left
/// running, unharmed, and is waited for by whoever outlives the plug-in (the host, or the system
/// once the host has ended).
class ChildReaper {
 public:
  /// The plug-in's reaper.
  static ChildReaper& Get();

  ChildReaper() = default;
  ChildReaper(const ChildReaper&) = delete;
  ChildReaper& operator=(const ChildReaper&) = delete;
  /// Stops and joins the thread.
  ~ChildReaper();

  /// Makes sure the waiting thread runs; false when no thread can be started.
  bool Start();
  /// Has the started program `pid` waited for once it has ended (within moments).
  void Watch(pid_t pid);
  /// Waits for the programs that have ended, then stops and joins the thread. Programs still
  /// running stay so and are no longer looked after. A later `Start` starts a new thread.
  void Stop();

 private:
  // Waits for each watched program that has ended; called with the mutex held.
  void ReapEnded();
  // The thread's loop: reaps every little while until stopped.
  void Run();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::vector<pid_t> children_;  // started and not yet waited for
  bool stop_ = false;
  std::thread thread_;
};
