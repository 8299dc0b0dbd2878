// The runner's answer to SIGINT, SIGTERM, SIGHUP and SIGPIPE: the temporary files and new folders of
// the run are removed, then the process ends by the signal, as the shell expects (status 128 plus
// the signal's number).
#pragma once

#include <functional>

/// Blocks SIGINT, SIGTERM, SIGHUP and SIGPIPE in the calling thread, and so in every thread it
/// starts afterwards, and starts a thread that waits for them: on one it closes the gate of starts
/// (nothing is started from then on), lets no print begin (`PrintUnlessInterrupted`), undoes the
/// change an `UndoneOnInterrupt` holds, sets standard output and error aside (what any thread
/// writes afterwards goes nowhere), stops every new temporary file, removes those of this process
/// and its new folders (`files::Interrupt`), says on standard error that the run was interrupted
/// (and where it left what it had not yet emptied of an earlier render's folder,
/// `files::LeftBehind`) and ends the process by that signal with its default action, within a
/// second whatever the output does. That last line is written only where it need
/// not wait (not into a full pipe nor a stopped terminal) and when no write begun before the signal
/// to the same file is still under way, so that nothing comes after it; else it is left out, as
/// where standard error is a closed pipe. No lock the signal's step needs is held across a write.
/// A write to standard output or error (`std::cout`, `std::cerr`) that fails because the pipe's
/// reader is gone is an interruption by SIGPIPE too, and one that fails because its terminal hung
/// up, by SIGHUP (`EndsByHangUp`). A signal that was ignored when the program
/// started stays ignored. Call from `main` before any other thread starts. The waiting thread never
/// keeps the process from ending; once a signal is taken, an `exit` (of a step that failed because
/// the interruption removed its files) waits for it, so that the run still ends by the signal.
void WatchInterrupts();

/// The system's reason (`errno`) of the first write to standard output through `std::cout` that
/// failed since `WatchInterrupts`, or 0 when none did.
int StdoutWriteError();

/// True when `error`, the `errno` of a failed write to the descriptor `fd` (standard output or
/// error), says that its terminal hung up, and SIGHUP is waited for: the process is then sent
/// SIGHUP (once), so that the run ends by it, as when the terminal's own SIGHUP comes first, and
/// `exit` waits for that end.
bool EndsByHangUp(int fd, int error);

/// Runs `print` (a write of whole lines to standard output or error, through `std::cout` or
/// `std::cerr`) unless a signal has been taken; from then on standard output and error go nowhere.
void PrintUnlessInterrupted(const std::function<void()>& print);

/// A change of the run (such as the renderer folder in the settings file) that an interruption
/// undoes, as the run undoes it itself when it fails: the undoing runs once, on the thread that
/// comes first, and the other waits for it. One at a time.
class UndoneOnInterrupt {
 public:
  UndoneOnInterrupt() = default;
  UndoneOnInterrupt(const UndoneOnInterrupt&) = delete;
  UndoneOnInterrupt& operator=(const UndoneOnInterrupt&) = delete;
  /// Keeps the change (`Keep`).
  ~UndoneOnInterrupt();

  /// Makes the change with `make` while interruptions wait; when it answers true, an interruption
  /// that comes before `Undo` or `Keep` runs `undo` before it removes the run's files. Answers
  /// what `make` answered; false, with `make` not run, once a signal's step has begun (the run
  /// then ends by the signal, and prints nothing more).
  bool Make(const std::function<bool()>& make, std::function<void()> undo);

  /// Undoes the change now, unless an interruption has undone it.
  void Undo();

  /// Keeps the change: an interruption no longer undoes it.
  void Keep();

 private:
  std::function<void()> undo_;
};
