// Threads and locks.
#include "c4d_thread.h"

#include "c4d_general.h"
#include "thread_ends.h"

C4DThread::~C4DThread() {
  // A derived class must have ended its thread before its own members went away; here only the
  // join is left to do.
  End(TRUE);
}

Bool C4DThread::Start(Bool back, LONG /*priority*/) {
  std::unique_lock<std::mutex> lock(joinMutex_);
  // Only one start at a time, and never while `Main` runs: the handle below is replaced under
  // the lock that `Join` reads it under.
  if (running_.exchange(true)) return false;
  // A finished run's handle is joined before the new one replaces it.
  if (thread_.joinable()) thread_.join();
  // The break request of an earlier run is forgotten before anyone can ask this run to end.
  breakRequested_.store(false);
  if (!back) {
    lock.unlock();
    Main();
    running_.store(false);
    return true;
  }
  try {
    thread_ = std::thread([this] {
      Main();
      running_.store(false);
      // A dialog waiting for this thread looks at once.
      host::ThreadEnds::Note();
    });
  } catch (const std::system_error&) {
    running_.store(false);
    return false;
  }
  threadId_.store(thread_.get_id());
  return true;
}

void C4DThread::End(Bool wait) {
  if (threadId_.load() == std::this_thread::get_id()) {
    breakRequested_.store(true);  // the thread asks itself to end; it cannot wait for itself
    return;
  }
  // The request and the wait happen under the lock a start holds, so they reach the run that is
  // current then, not one started in between.
  std::lock_guard<std::mutex> lock(joinMutex_);
  breakRequested_.store(true);
  if (wait && thread_.joinable()) {
    thread_.join();
    threadId_.store(std::thread::id());
  }
}

void C4DThread::Wait(Bool /*checkevents*/) { Join(); }

Bool C4DThread::TestBreak() { return breakRequested_.load() || TestDBreak(); }

void C4DThread::Join() {
  // The thread itself never waits for itself (nor for the lock a joiner holds while waiting).
  if (threadId_.load() == std::this_thread::get_id()) return;
  std::lock_guard<std::mutex> lock(joinMutex_);
  if (thread_.joinable()) {
    thread_.join();
    threadId_.store(std::thread::id());
  }
}

Bool Semaphore::LockAndWait(BaseThread* bt) {
  while (!mutex_.try_lock()) {
    if (bt && bt->TestBreak()) return false;
    GeSleep(1);
  }
  return true;
}
