#pragma once

// The answer of a program of this project to SIGINT, SIGTERM, SIGHUP and SIGPIPE: the work is done
// on a thread of its own that waits for the signal, so nothing unsafe runs inside a signal handler.
// The temporary files and new folders of the process are removed, then the process ends by the
// signal, as the shell expects (status 128 plus the signal's number).

#include <signal.h>

#include <functional>

namespace process {

/// Blocks SIGINT, SIGTERM, SIGHUP and SIGPIPE in the calling thread, and so in every thread it
/// starts afterwards, and starts a thread that waits for them: on one it closes the gate of starts
/// (`CloseGate`: a start under way ends first, none follows), runs `before` (when given), stops
/// every new temporary file and removes those of this process and its new folders
/// (`files::Interrupt`), runs `after` (when given) and ends the process by that signal with its
/// default action. A signal ignored when the program started stays ignored. Call from `main` before
/// any other thread starts; the waiting thread never keeps the process from ending. Answers the
/// signals waited for: none when every one is ignored, or when the thread cannot start (the signals
/// then end the process at once, as before).
sigset_t WatchInterrupts(std::function<void(int)> before = nullptr, std::function<void(int)> after = nullptr);

}  // namespace process
