// The host's clock.
#include "host_clock.h"

#include <atomic>
#include <chrono>
#include <thread>

#include "c4d_general.h"

namespace host {
namespace {

class RealClock : public Clock {
 public:
  double NowMs() override {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now() - start_).count();
  }
  void SleepMs(double ms) override {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(ms));
  }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

RealClock& Real() {
  static RealClock clock;
  return clock;
}

std::atomic<Clock*> g_clock{nullptr};

}  // namespace

double ManualClock::NowMs() {
  std::lock_guard<std::mutex> lock(mutex_);
  return now_;
}

void ManualClock::SleepMs(double ms) {
  Advance(ms);
  // Let other threads run, as a real wait would.
  std::this_thread::yield();
}

void ManualClock::Advance(double ms) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (ms > 0) now_ += ms;
}

void SetClock(Clock* clock) { g_clock.store(clock); }

bool RealClockInUse() { return g_clock.load() == nullptr; }

Clock& CurrentClock() {
  Clock* c = g_clock.load();
  return c ? *c : Real();
}

}  // namespace host

LONG GeGetTimer() { return static_cast<LONG>(static_cast<long long>(host::CurrentClock().NowMs())); }

Real GeGetMilliSeconds() { return host::CurrentClock().NowMs(); }

void GeSleep(LONG milliseconds) { host::CurrentClock().SleepMs(milliseconds); }
