// The host's status bar: a text and a progress bar, recorded for the embedding program.
#include <mutex>
#include <string>
#include <vector>

#include "c4d_general.h"
#include "host_control.h"
#include "host_render.h"

namespace host {
namespace {

struct StatusBar {
  std::mutex mutex;
  std::vector<std::string> texts;
  std::vector<LONG> bars;
};

StatusBar& TheStatusBar() {
  static StatusBar s;
  return s;
}

template <typename T>
void Record(std::vector<T>& list, const T& value) {
  if (list.empty() || list.back() != value) list.push_back(value);
}

}  // namespace

std::vector<std::string> StatusTexts() {
  StatusBar& s = TheStatusBar();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.texts;
}

std::vector<LONG> StatusBars() {
  StatusBar& s = TheStatusBar();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.bars;
}

void ClearStatus() {
  StatusBar& s = TheStatusBar();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.texts.clear();
  s.bars.clear();
}

}  // namespace host

void StatusSetSpin() {}

void StatusSetBar(LONG percent) {
  host::StatusBar& s = host::TheStatusBar();
  std::lock_guard<std::mutex> lock(s.mutex);
  host::Record(s.bars, percent < 0 ? 0 : percent > 100 ? 100 : percent);
}

void StatusSetText(const String& text) {
  std::string utf8 = host::ToUtf8(text);
  host::StatusBar& s = host::TheStatusBar();
  std::lock_guard<std::mutex> lock(s.mutex);
  host::Record(s.texts, utf8);
}

void StatusClear() {
  host::StatusBar& s = host::TheStatusBar();
  std::lock_guard<std::mutex> lock(s.mutex);
  host::Record(s.texts, std::string());
  host::Record(s.bars, LONG(0));
}
