// Threads and locks.
#include "c4d_thread.h"

#include "c4d_general.h"

C4DThread::~C4DThread() {
  // A derived class must have ended its thread before its own members went away; here only the
  // join is left to do.
  breakRequested_.store(true);
  Join();
}

Bool C4DThread::Start(Bool back, LONG /*priority*/) {
  if (running_.load()) return false;
  Join();
  breakRequested_.store(false);
  running_.store(true);
  if (!back) {
    Main();
    running_.store(false);
    return true;
  }
  try {
    thread_ = std::thread([this] {
      Main();
      running_.store(false);
    });
  } catch (const std::system_error&) {
    running_.store(false);
    return false;
  }
  return true;
}

void C4DThread::End(Bool wait) {
  breakRequested_.store(true);
  if (wait) Join();
}

void C4DThread::Wait(Bool /*checkevents*/) { Join(); }

Bool C4DThread::TestBreak() { return breakRequested_.load() || TestDBreak(); }

void C4DThread::Join() {
  std::lock_guard<std::mutex> lock(joinMutex_);
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

Bool Semaphore::LockAndWait(BaseThread* bt) {
  while (!mutex_.try_lock()) {
    if (bt && bt->TestBreak()) return false;
    GeSleep(1);
  }
  return true;
}
