#pragma once

// The gate every start of a program passes: the thread that takes an interrupting signal closes it
// first, so that once a signal is taken nothing more is started, and a start under way (the gate is
// held across its spawn) is done, and counted, before the signal's step goes on.

#include <functional>

namespace process {

/// Runs `start` (one spawn of a program, answering whether the program was started) while the gate
/// is open, holding the gate across it; `start` must not wait on anything that can block for long
/// (no write to standard output or error). False, without running it, once the gate is closed.
bool StartThroughGate(const std::function<bool()>& start);

/// Closes the gate: waits for a start under way, after which none runs. For good; the signal
/// thread (`WatchInterrupts`) calls it before anything else.
void CloseGate();

/// How many programs started through the gate since the process began.
unsigned long StartsMade();

}  // namespace process
