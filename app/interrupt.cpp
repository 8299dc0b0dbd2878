// Interrupted runs: the work a signal asks for is done on a thread of its own that waits for the
// signal, so nothing unsafe runs inside a signal handler.
#include "interrupt.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <thread>

#include "files/registry.h"

namespace {

// Set as soon as a signal is taken: from then on the process ends by that signal.
std::atomic<bool> g_ending{false};

// Runs when `main` returns or `exit` is called: once a signal is being handled, the run ends by
// that signal, not with the status of a step that failed because its files were removed.
void WaitForTheSignalsEnd() {
  if (!g_ending.load()) return;
  std::fflush(stdout);
  for (;;) ::pause();  // the signal thread ends the process
}

// Waits for one of `signals` (blocked in every thread), removes the temporary files and new
// folders, says so and ends the process by that signal.
void WaitAndEnd(sigset_t signals) {
  int sig = 0;
  while (::sigwait(&signals, &sig) != 0) {}
  g_ending = true;
  const std::string line = std::string("corvane-host: interrupted by ") +
                           (sig == SIGINT ? "SIGINT" : "SIGTERM") +
                           "; the run's temporary files were removed\n";
  // The run's last line: what the other threads print from here on (a write that fails because
  // of the interruption) goes nowhere.
  const int err = ::dup(STDERR_FILENO);
  const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (err >= 0 && null >= 0) ::dup2(null, STDERR_FILENO);
  files::Interrupt();
  for (size_t done = 0; done < line.size();) {
    const ssize_t n = ::write(err >= 0 ? err : STDERR_FILENO, line.data() + done, line.size() - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
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
  ::_exit(128 + sig);  // not reached: the default action of both signals ends the process
}

}  // namespace

void WatchInterrupts() {
  sigset_t signals;
  ::sigemptyset(&signals);
  for (int sig : {SIGINT, SIGTERM}) {
    struct sigaction old = {};
    // A shell starts background jobs with SIGINT ignored; that stays so.
    if (::sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    ::sigaddset(&signals, sig);
  }
  if (::sigismember(&signals, SIGINT) != 1 && ::sigismember(&signals, SIGTERM) != 1) return;
  if (::pthread_sigmask(SIG_BLOCK, &signals, nullptr) != 0) return;
  std::atexit(WaitForTheSignalsEnd);
  // Detached: at the end of main the process ends while the thread still waits.
  try {
    std::thread(WaitAndEnd, signals).detach();
  } catch (const std::system_error&) {
    ::pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);  // then the signals end the run at once
  }
}
