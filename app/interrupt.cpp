// Interrupted runs: the thread that waits for the signals is the project's own
// (process/interrupt.h); the runner adds what it undoes, its last line and closed pipes.
#include "interrupt.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <mutex>
#include <streambuf>
#include <string>

#include "files/temporary.h"
#include "process/interrupt.h"

namespace {

// Set as soon as a signal is taken: from then on the process ends by that signal.
std::atomic<bool> g_ending{false};

// Held while the runner prints a line of its own (`PrintUnlessInterrupted`) and while a signal is
// taken, so that no such line is written once the interruption has begun.
std::mutex g_printing;

// The change an interruption undoes (that of an `UndoneOnInterrupt`), or none; it is undone while
// this is held.
std::mutex g_undoing;
std::function<void()>* g_undo = nullptr;

// The name of a signal the runner answers.
const char* SignalName(int sig) {
  switch (sig) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    default: return "SIGPIPE";
  }
}

// Passes what a stream writes on to the stream's own buffer. SIGPIPE is blocked in every thread,
// so a write to a pipe whose reader is gone fails with EPIPE instead of ending the process (the
// signal the write raises waits on the writing thread, unseen by the signal thread): that failure
// is handed to the signal thread as a SIGPIPE of the process, an interruption like any other.
class ClosedPipeWatch : public std::streambuf {
 public:
  explicit ClosedPipeWatch(std::streambuf* inner) : inner_(inner) {}

 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof()))
      return sync() == 0 ? traits_type::not_eof(c) : traits_type::eof();
    return Watch([&] {
      return !traits_type::eq_int_type(inner_->sputc(traits_type::to_char_type(c)), traits_type::eof());
    })
               ? c
               : traits_type::eof();
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    std::streamsize done = 0;
    Watch([&] { return (done = inner_->sputn(s, n)) == n; });
    return done;
  }
  int sync() override {
    return Watch([&] { return inner_->pubsync() == 0; }) ? 0 : -1;
  }

 private:
  // Runs `write`; when it fails with EPIPE, the process is sent SIGPIPE. `errno` is kept.
  template <typename Write>
  static bool Watch(const Write& write) {
    const int saved = errno;
    errno = 0;
    const bool written = write();
    if (!written && errno == EPIPE) ::kill(::getpid(), SIGPIPE);
    errno = saved;
    return written;
  }

  std::streambuf* inner_;
};

// Runs when `main` returns or `exit` is called: once a signal is being handled, the run ends by
// that signal, not with the status of a step that failed because its files were removed.
void WaitForTheSignalsEnd() {
  if (!g_ending.load()) return;
  std::fflush(stdout);
  for (;;) ::pause();  // the signal thread ends the process
}

// Standard error, set aside for the run's last line once a signal is taken.
int g_err = -1;

// The runner's step before the removal of the run's files, on the thread that took the signal:
// first, once a line being printed is done, standard output and error are set aside (standard
// error kept for the last line), so that what any thread prints from here on (a write that fails
// because of the interruption) goes nowhere; then what the run would undo had it failed, while the
// module still writes files (the main thread, undoing it itself, is waited for).
void BeforeRemoval(int) {
  {
    std::lock_guard<std::mutex> lock(g_printing);
    g_ending = true;
    std::fflush(stdout);
    g_err = ::dup(STDERR_FILENO);
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null >= 0) {
      ::dup2(null, STDOUT_FILENO);
      if (g_err >= 0) ::dup2(null, STDERR_FILENO);
      ::close(null);
    }
  }
  std::lock_guard<std::mutex> lock(g_undoing);
  if (g_undo) {
    const std::function<void()> undo = std::move(*g_undo);
    g_undo = nullptr;
    undo();
  }
}

// The run's last line. Where standard error is a closed pipe, the write fails: the SIGPIPE it
// raises stays blocked in this thread (and ends the process only when it is the signal being
// answered).
void AfterRemoval(int sig) {
  const std::string line = std::string("corvane-host: interrupted by ") + SignalName(sig) +
                           "; the run's temporary files were removed\n";
  files::WriteAll(g_err >= 0 ? g_err : STDERR_FILENO, line.data(), line.size());
}

}  // namespace

void WatchInterrupts() {
  const sigset_t signals = process::WatchInterrupts(BeforeRemoval, AfterRemoval);
  if (::sigisemptyset(&signals)) return;
  std::atexit(WaitForTheSignalsEnd);
  if (::sigismember(&signals, SIGPIPE) == 1) {
    // Never freed: the streams write through them up to the process's very end.
    static ClosedPipeWatch* const out = new ClosedPipeWatch(std::cout.rdbuf());
    static ClosedPipeWatch* const err = new ClosedPipeWatch(std::cerr.rdbuf());
    std::cout.rdbuf(out);
    std::cerr.rdbuf(err);
  }
}

void PrintUnlessInterrupted(const std::function<void()>& print) {
  std::lock_guard<std::mutex> lock(g_printing);
  if (!g_ending.load()) print();
}

UndoneOnInterrupt::~UndoneOnInterrupt() { Keep(); }

bool UndoneOnInterrupt::Make(const std::function<bool()>& make, std::function<void()> undo) {
  std::lock_guard<std::mutex> lock(g_undoing);
  if (!make()) return false;
  undo_ = std::move(undo);
  g_undo = &undo_;
  return true;
}

void UndoneOnInterrupt::Undo() {
  std::lock_guard<std::mutex> lock(g_undoing);
  if (g_undo != &undo_) return;  // kept, or undone by an interruption
  g_undo = nullptr;
  const std::function<void()> undo = std::move(undo_);
  undo_ = nullptr;
  undo();
}

void UndoneOnInterrupt::Keep() {
  std::lock_guard<std::mutex> lock(g_undoing);
  if (g_undo == &undo_) g_undo = nullptr;
  undo_ = nullptr;
}
