#include "process/gate.h"

#include <mutex>

namespace process {
namespace {

std::mutex g_gate;  // held across a start, and to close the gate
bool g_closed = false;
unsigned long g_starts = 0;

}  // namespace

bool StartThroughGate(const std::function<bool()>& start) {
  std::lock_guard<std::mutex> lock(g_gate);
  if (g_closed) return false;
  const bool started = start();
  if (started) ++g_starts;
  return started;
}

void CloseGate() {
  std::lock_guard<std::mutex> lock(g_gate);
  g_closed = true;
}

unsigned long StartsMade() {
  std::lock_guard<std::mutex> lock(g_gate);
  return g_starts;
}

}  // namespace process
