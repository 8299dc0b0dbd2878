#include "process/interrupt.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <system_error>
#include <thread>
#include <utility>

#include "files/registry.h"
#include "process/gate.h"

namespace process {
namespace {

// Waits for one of `signals` (blocked in every thread), closes the gate of starts, removes the
// temporary files and new folders between `before` and `after`, and ends the process by that signal.
void WaitAndEnd(sigset_t signals, const std::function<void(int)>& before,
                const std::function<void(int)>& after) {
  int sig = 0;
  while (::sigwait(&signals, &sig) != 0) {}
  // First: from here on nothing is started, and what `before` undoes sees every start made.
  CloseGate();
  if (before) before(sig);
  files::Interrupt();
  if (after) after(sig);
  // Delivered again to this thread alone with the default action, it ends the whole process.
  struct sigaction action = {};
  action.sa_handler = SIG_DFL;
  ::sigemptyset(&action.sa_mask);
  ::sigaction(sig, &action, nullptr);
  sigset_t one;
  ::sigemptyset(&one);
  ::sigaddset(&one, sig);
  ::pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
  ::raise(sig);
  ::_exit(128 + sig);  // not reached: the default action of these signals ends the process
}

}  // namespace

sigset_t WatchInterrupts(std::function<void(int)> before, std::function<void(int)> after) {
  sigset_t signals, none;
  ::sigemptyset(&signals);
  ::sigemptyset(&none);
  bool any = false;
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
    struct sigaction old = {};
    // A shell starts background jobs with SIGINT ignored, `nohup` ignores SIGHUP; that stays so.
    if (::sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    ::sigaddset(&signals, sig);
    any = true;
  }
  if (!any || ::pthread_sigmask(SIG_BLOCK, &signals, nullptr) != 0) return none;
  // Detached: at the end of main the process ends while the thread still waits.
  try {
    std::thread(WaitAndEnd, signals, std::move(before), std::move(after)).detach();
  } catch (const std::system_error&) {
    ::pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);  // then the signals end the run at once
    return none;
  }
  return signals;
}

}  // namespace process
