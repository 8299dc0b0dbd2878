// The runner's answer to SIGINT and SIGTERM: the temporary files and new folders of the run are
// removed, then the process ends by the signal, as the shell expects (status 130 or 143).
#pragma once

/// Blocks SIGINT and SIGTERM in the calling thread, and so in every thread it starts afterwards,
/// and starts a thread that waits for them: on one it stops every new temporary file, removes
/// those of this process and its new folders (`files::Interrupt`), says on standard error
/// that the run was interrupted (the run's last line on standard error) and ends the process by that signal
/// with its default action. A signal that was ignored when the program started stays ignored. Call from
/// `main` before any other thread starts. The waiting thread never keeps the process from ending; once
/// a signal is taken, an `exit` (of a step that failed because the interruption removed its files)
/// waits for it, so that the run still ends by the signal with its line last.
void WatchInterrupts();
