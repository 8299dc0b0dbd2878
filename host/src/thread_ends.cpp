// The count of ended host threads.
#include "thread_ends.h"

#include <chrono>

namespace host {

std::mutex ThreadEnds::mutex_;
std::condition_variable ThreadEnds::ended_;
unsigned long ThreadEnds::count_ = 0;

unsigned long ThreadEnds::Count() {
  std::lock_guard<std::mutex> lock(mutex_);
  return count_;
}

void ThreadEnds::Note() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++count_;
  }
  ended_.notify_all();
}

bool ThreadEnds::WaitPast(unsigned long seen, double ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  return ended_.wait_for(lock, std::chrono::duration<double, std::milli>(ms), [&] { return count_ != seen; });
}

}  // namespace host
