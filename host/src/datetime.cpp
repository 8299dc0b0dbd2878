// The local date and time, from the system or from the embedding program.
#include <ctime>
#include <mutex>

#include "host_clock.h"

namespace host {
namespace {

struct Source {
  std::mutex mutex;
  std::function<LocalFileTime()> fn;
};

Source& TheSource() {
  static Source s;
  return s;
}

LocalFileTime SystemNow() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  LocalFileTime t;
  t.year = static_cast<UWORD>(local.tm_year + 1900);
  t.month = static_cast<UWORD>(local.tm_mon + 1);
  t.day = static_cast<UWORD>(local.tm_mday);
  t.hour = static_cast<UWORD>(local.tm_hour);
  t.minute = static_cast<UWORD>(local.tm_min);
  t.second = static_cast<UWORD>(local.tm_sec);
  return t;
}

}  // namespace

void SetDateTimeSource(std::function<LocalFileTime()> source) {
  Source& s = TheSource();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.fn = std::move(source);
}

}  // namespace host

void GetDateTimeNow(LocalFileTime& t) {
  host::Source& s = host::TheSource();
  std::function<LocalFileTime()> fn;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    fn = s.fn;
  }
  t = fn ? fn() : host::SystemNow();
}
