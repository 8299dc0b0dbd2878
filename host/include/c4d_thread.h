// Threads and locks.
#pragma once

#include <atomic>
#include <mutex>
#include <thread>

#include "c4d_types.h"

/// A thread that a plug-in can test for a requested break.
class BaseThread {
 public:
  virtual ~BaseThread() = default;
  /// True when the thread should stop.
  virtual Bool TestBreak() = 0;
};

/// A plug-in's worker thread: derive, implement `Main`, then `Start`.
class C4DThread : public BaseThread {
 public:
  C4DThread() = default;
  /// Stops (asks to break and waits for) a thread still running.
  ~C4DThread() override;
  C4DThread(const C4DThread&) = delete;
  C4DThread& operator=(const C4DThread&) = delete;

  /// Starts `Main` on a new thread (`back` FALSE: runs it here and returns when done). False when
  /// the thread runs already or could not be started. Safe to call from any thread: an `End` or
  /// `Wait` from another thread sees either the thread before the start or the started one.
  Bool Start(Bool back = TRUE, LONG priority = 0);
  /// Asks the thread to break; with `wait`, waits until it has ended.
  void End(Bool wait = TRUE);
  /// Waits until the thread has ended.
  void Wait(Bool checkevents = FALSE);
  /// True while `Main` runs.
  Bool IsRunning() const { return running_.load(); }
  /// True when a break was asked for or `TestDBreak` says so.
  Bool TestBreak() override;

  /// The thread's work.
  virtual void Main() = 0;
  /// A name for logs.
  virtual const char* GetThreadName() { return "C4DThread"; }
  /// The plug-in's own break test; the default never breaks.
  virtual Bool TestDBreak() { return false; }

 private:
  void Join();
  std::thread thread_;
  std::mutex joinMutex_;  // guards `thread_`; held while a start swaps it and while joining
  std::atomic<std::thread::id> threadId_{};
  std::atomic<bool> running_{false};
  std::atomic<bool> breakRequested_{false};
};

/// A lock (not recursive).
class Semaphore {
 public:
  static Semaphore* Alloc() { return new Semaphore; }
  static void Free(Semaphore*& s) {
    delete s;
    s = nullptr;
  }
  /// Takes the lock, waiting as long as needed; true when taken.
  Bool Lock() {
    mutex_.lock();
    return true;
  }
  /// Takes the lock, giving up when `bt` asks for a break; true when taken.
  Bool LockAndWait(BaseThread* bt);
  /// Takes the lock when it is free; false otherwise.
  Bool AttemptLock() { return mutex_.try_lock(); }
  void UnLock() { mutex_.unlock(); }

 private:
  std::mutex mutex_;
};
