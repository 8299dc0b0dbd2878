// Threads, mouse pointer and status bar: the stand-in has none of its own and records the calls.
#include "host_record.h"

#include <mutex>

#include "c4d_general.h"
#include "host_control.h"

namespace host {
namespace {

struct Record {
  std::mutex mutex;
  std::vector<std::string> calls;
};

Record& TheRecord() {
  static Record r;
  return r;
}

void Note(std::string call) {
  Record& r = TheRecord();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.calls.push_back(std::move(call));
}

}  // namespace

void NoteInterfaceCall(std::string call) { Note(std::move(call)); }

std::vector<std::string> InterfaceCalls() {
  Record& r = TheRecord();
  std::lock_guard<std::mutex> lock(r.mutex);
  return r.calls;
}

void ClearInterfaceCalls() {
  Record& r = TheRecord();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.calls.clear();
}

}  // namespace host

void StopAllThreads() { host::Note("StopAllThreads"); }
void GeShowMouse(LONG mode) { host::Note("GeShowMouse " + std::to_string(mode)); }
void SetMousePointer(LONG mode) { host::Note("SetMousePointer " + std::to_string(mode)); }
void StatusSetSpin() { host::Note("StatusSetSpin"); }
void StatusSetBar(LONG percent) { host::Note("StatusSetBar " + std::to_string(percent)); }
void StatusSetText(const String& text) { host::Note("StatusSetText " + host::ToUtf8(text)); }
void StatusClear() { host::Note("StatusClear"); }
void EventAdd(LONG /*flags*/) { host::Note("EventAdd"); }
