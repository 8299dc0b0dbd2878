// Interrupted runs: the thread that waits for the signals is the project's own
// (process/interrupt.h); the runner adds what it undoes, its last line and closed pipes.
#include "interrupt.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <mutex>
#include <streambuf>
#include <string>

#include "files/folder.h"
#include "files/registry.h"
#include "files/temporary.h"
#include "process/gate.h"
#include "process/interrupt.h"
#include "text/printable.h"

namespace {

// Set as soon as a signal is taken: from then on no print begins, and the process ends by that
// signal.
std::atomic<bool> g_ending{false};
// Set once standard output and error are set aside: what is written from then on goes nowhere.
std::atomic<bool> g_silenced{false};

// The writes under way to standard output and error through `std::cout` and `std::cerr` that began
// before they were set aside, each counted until it is done (a write that blocks on a full pipe
// stays counted). No lock is held across a write: the signal's step waits for these only as long
// as it may (`kLastLineWait`), never on a write itself.
enum Stream { kOut, kErr };
std::atomic<int> g_writing[2];
// Woken when a count drops to 0 once the streams are set aside.
std::mutex g_written;
std::condition_variable g_writtenChanged;

// The `errno` of the first write to standard output that failed, or 0.
std::atomic<int> g_outError{0};

// Whether SIGHUP is waited for, and whether a write that found its terminal hung up sent it.
bool g_hangUpWatched = false;
std::atomic<bool> g_hungUp{false};

// How long after the signal the run's last line waits for a write under way to the same file.
constexpr std::chrono::milliseconds kLastLineWait(300);

// Counts a write to `stream` while it exists, unless it begins once the streams are set aside.
class Writing {
 public:
  explicit Writing(Stream stream) : count_(g_writing[stream]) {
    // Counted before it looks: the signal's step either finds it counted or it is seen here.
    ++count_;
    if (g_silenced.load()) --count_, counted_ = false;
  }
  ~Writing() {
    if (counted_ && --count_ == 0 && g_silenced.load()) {
      std::lock_guard<std::mutex> lock(g_written);
      g_writtenChanged.notify_all();
    }
  }
  Writing(const Writing&) = delete;
  Writing& operator=(const Writing&) = delete;

 private:
  std::atomic<int>& count_;
  bool counted_ = true;
};

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

// Ends the run by `sig` from the thread that found its output gone: the gate of starts is closed
// here and now, so that nothing is started after that write, however long the signal thread takes
// to come to it; then the process is sent `sig`, which the signal thread takes as any other.
void EndRunBy(int sig) {
  process::CloseGate();
  ::kill(::getpid(), sig);
}

// Passes what a stream writes on to the stream's own buffer, counting each write (`Writing`). Where
// SIGPIPE is waited for (`closedPipe`) it is blocked in every thread, so a write to a pipe whose
// reader is gone fails with EPIPE instead of ending the process (the signal the write raises waits
// on the writing thread, unseen by the signal thread): that failure is handed to the signal thread
// as a SIGPIPE of the process, an interruption like any other.
class StreamWatch : public std::streambuf {
 public:
  StreamWatch(std::streambuf* inner, Stream stream, bool closedPipe)
      : inner_(inner), stream_(stream), closedPipe_(closedPipe) {}

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
  // Runs `write`, counted; when it fails with EPIPE, the process is sent SIGPIPE, and SIGHUP when
  // its terminal hung up (`EndsByHangUp`). `errno` is kept.
  //
  // The stream's own buffer hands the bytes to stdio's, which writes them out at a line's end or
  // when full. A write of stdio's that fails there is not a failure of the call that gave it the
  // bytes (they were taken into the buffer): stdio only marks its file (`ferror`). So the write
  // counts as failed too when it is the one that set that mark, with the `errno` that write left.
  template <typename Write>
  bool Watch(const Write& write) {
    const Writing writing(stream_);
    const int saved = errno;
    FILE* const file = stream_ == kOut ? stdout : stderr;
    const bool failedBefore = std::ferror(file) != 0;
    errno = 0;
    bool written = write();
    const int error = errno;
    if (!failedBefore && std::ferror(file) != 0) written = false;
    int none = 0;
    if (!written && stream_ == kOut && error != 0) g_outError.compare_exchange_strong(none, error);
    if (!written && error == EPIPE && closedPipe_) EndRunBy(SIGPIPE);
    if (!written) EndsByHangUp(stream_ == kOut ? STDOUT_FILENO : STDERR_FILENO, error);
    errno = saved;
    return written;
  }

  std::streambuf* inner_;
  Stream stream_;
  bool closedPipe_;
};

// Runs when `main` returns or `exit` is called: once a signal is being handled (or SIGHUP was sent
// for a terminal that hung up), the run ends by that signal, not with the status of a step that failed
// because its files were removed. Nothing is flushed here: standard output may be a full pipe.
void WaitForTheSignalsEnd() {
  if (!g_ending.load() && !g_hungUp.load()) return;
  for (;;) ::pause();  // the signal thread ends the process
}

// Standard error as it was when the signal was taken, set aside for the run's last line, and
// whether standard output was the same file then (a pipe both go to, a terminal).
int g_err = -1;
bool g_outIsErr = false;
std::chrono::steady_clock::time_point g_taken;

// True when `a` and `b` are descriptors of one file (a pipe both go to, a terminal).
bool SameFile(int a, int b) {
  struct stat sa, sb;
  return ::fstat(a, &sa) == 0 && ::fstat(b, &sb) == 0 && files::SameFile(sa, sb);
}

// The runner's step before the removal of the run's files, on the thread that took the signal. It
// waits for no write: first no print begins any more; then what the run would undo had it failed
// is undone, while the module still writes files (the main thread, undoing it itself, is waited
// for: it writes nothing while it holds the change); then standard output and error are set aside
// (standard error kept for the last line), so that what any thread writes from here on goes
// nowhere, a write blocked on a full pipe keeping where it was.
void BeforeRemoval(int) {
  g_taken = std::chrono::steady_clock::now();
  g_ending = true;
  {
    // A change made before this lock is undone here; one made after it is not made at all (`Make`
    // looks at `g_ending` under this lock).
    std::lock_guard<std::mutex> lock(g_undoing);
    if (g_undo) {
      const std::function<void()> undo = std::move(*g_undo);
      g_undo = nullptr;
      undo();
    }
  }
  g_outIsErr = SameFile(STDOUT_FILENO, STDERR_FILENO);
  g_err = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
  const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null >= 0) {
    ::dup2(null, STDOUT_FILENO);
    if (g_err >= 0) ::dup2(null, STDERR_FILENO);
    ::close(null);
  }
  g_silenced = true;
}

// Writes `line` to `fd` only where that need not wait: a pipe or a terminal through a description
// of its own opened not to block (the one the run shares with others keeps its flags), a socket
// not waiting, a regular file as it is. Dropped where it would block, or where the file's reader
// is gone (the SIGPIPE such a write raises stays blocked in this thread).
void WriteWithoutWaiting(int fd, const std::string& line) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return;
  if (S_ISREG(st.st_mode)) {
    files::WriteAll(fd, line.data(), line.size());
    return;
  }
  if (S_ISSOCK(st.st_mode)) {
    (void)::send(fd, line.data(), line.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    return;
  }
  const std::string self = files::ProcDescriptorPath(fd);
  const int own = ::open(self.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (own >= 0) {
    (void)::write(own, line.data(), line.size());  // a line fits a pipe whole or not at all
    ::close(own);
    return;
  }
  if (errno == ENXIO) return;  // a pipe nobody reads any more
  // No description of its own (no /proc): written only when it takes the line at once.
  pollfd ready = {fd, POLLOUT, 0};
  if (::poll(&ready, 1, 0) == 1 && ready.revents == POLLOUT) (void)::write(fd, line.data(), line.size());
}

// The run's last line: its temporaries were removed, but for the folders being emptied that were
// left (set aside under a temporary's name), which a later sweep there removes. Escaped as every
// line the runner writes (`WriteLine`): the folders' paths are the user's.
std::string InterruptedLine(int sig) {
  std::string line = std::string("corvane-host: interrupted by ") + SignalName(sig) +
                     "; the run's temporary files were removed";
  const char* but = ", but for";
  for (const files::Place& left : files::LeftBehind()) {
    const std::string& folder = left.folder.Path().empty() ? "." : left.folder.Path();
    line += std::string(but) + " an earlier run's files left in " + left.Path() +
            ", which the next run that writes into " + folder + " removes";
    but = "; and for";
  }
  return text::Printable(line) + "\n";
}

// The run's last line, written when it can be without waiting, and only when no write begun
// before the signal to the same file is still under way (it would end after the line): such
// writes are waited for a moment, never longer.
void AfterRemoval(int sig) {
  const auto busy = [] { return g_writing[kErr] > 0 || (g_outIsErr && g_writing[kOut] > 0); };
  {
    std::unique_lock<std::mutex> lock(g_written);
    g_writtenChanged.wait_until(lock, g_taken + kLastLineWait, [&] { return !busy(); });
  }
  if (busy()) return;
  WriteWithoutWaiting(g_err >= 0 ? g_err : STDERR_FILENO, InterruptedLine(sig));
}

}  // namespace

void WatchInterrupts() {
  const sigset_t signals = process::WatchInterrupts(BeforeRemoval, AfterRemoval);
  if (!::sigisemptyset(&signals)) std::atexit(WaitForTheSignalsEnd);
  // The streams are watched also where no signal is: a failed write of standard output is noted.
  const bool closedPipe = ::sigismember(&signals, SIGPIPE) == 1;
  g_hangUpWatched = ::sigismember(&signals, SIGHUP) == 1;
  // Never freed: the streams write through them up to the process's very end.
  static StreamWatch* const out = new StreamWatch(std::cout.rdbuf(), kOut, closedPipe);
  static StreamWatch* const err = new StreamWatch(std::cerr.rdbuf(), kErr, closedPipe);
  std::cout.rdbuf(out);
  std::cerr.rdbuf(err);
}

int StdoutWriteError() { return g_outError.load(); }

bool EndsByHangUp(int fd, int error) {
  // A terminal that hung up answers every request with EIO, even the question whether it is a
  // terminal; any other file, and a terminal still there, answers that question.
  const int saved = errno;
  const bool hungUp = error == EIO && g_hangUpWatched && !::isatty(fd) && errno == EIO;
  errno = saved;
  if (hungUp && !g_hungUp.exchange(true)) EndRunBy(SIGHUP);
  return hungUp;
}

void PrintUnlessInterrupted(const std::function<void()>& print) {
  if (!g_ending.load()) print();
}

UndoneOnInterrupt::~UndoneOnInterrupt() { Keep(); }

bool UndoneOnInterrupt::Make(const std::function<bool()>& make, std::function<void()> undo) {
  std::lock_guard<std::mutex> lock(g_undoing);
  if (g_ending.load() || !make()) return false;  // once a signal's step has begun, nothing is changed
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
