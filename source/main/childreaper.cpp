// The waiter for the programs the plug-in starts.
#include "main/childreaper.h"

#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <system_error>

namespace {
// How often the thread looks for ended programs while any is running.
constexpr std::chrono::milliseconds kInterval(50);
}  // namespace

ChildReaper& ChildReaper::Get() {
  // Destroyed when the module is unloaded, which stops the thread if the plug-in's end did not.
  static ChildReaper reaper;
  return reaper;
}

ChildReaper::~ChildReaper() { Stop(); }

bool ChildReaper::Start() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (thread_.joinable()) return true;
  stop_ = false;
  try {
    thread_ = std::thread(&ChildReaper::Run, this);
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void ChildReaper::Watch(pid_t pid) {
  if (pid <= 0) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    children_.push_back(pid);
  }
  wake_.notify_all();
}

void ChildReaper::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
  std::lock_guard<std::mutex> lock(mutex_);
  ReapEnded();
}

void ChildReaper::ReapEnded() {
  children_.erase(std::remove_if(children_.begin(), children_.end(),
                                 [](pid_t pid) {
                                   int result;
                                   do {
                                     result = ::waitpid(pid, nullptr, WNOHANG);
                                   } while (result < 0 && errno == EINTR);
                                   // Ended and waited for, or no longer ours to wait for.
                                   return result == pid || (result < 0 && errno == ECHILD);
                                 }),
                  children_.end());
}

void ChildReaper::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stop_) {
    ReapEnded();
    if (children_.empty())
      wake_.wait(lock, [this] { return stop_ || !children_.empty(); });
    else
      wake_.wait_for(lock, kInterval, [this] { return stop_; });
  }
}
