#pragma once

// The process's registry of what it made and may still have to remove: each live temporary file
// and each new folder not yet kept, entered by the object that owns it and taken out by that
// object. An interruption removes everything in it and stops every new entry.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "files/folder.h"
#include "files/result.h"

namespace files {

/// Begins the handling of an interruption: from now on no temporary file or new folder is made and
/// none is committed, and every one still registered is removed. Waits for a creation or commit
/// under way. True the first time. Callable from a thread that waits for signals, not from a signal
/// handler.
bool Interrupt();

/// True once `Interrupt` has been called in this process.
bool Interrupted();

/// How many temporary files and new folders are registered now.
size_t RegisteredCount();

namespace registry {

/// What an entry is, so that an interruption removes it the right way.
enum class Kind { kFile, kFolder };

/// Runs `make` under the registry's lock and, when it succeeds, registers the entry `name` of
/// `folder`; `*id` is the entry's key. Refused (and `make` not run) once the run is interrupted.
Result Add(const Folder& folder, const std::string& name, Kind kind, const std::function<Result()>& make,
           uint64_t* id);

/// Runs `step` under the registry's lock while the entry `id` is still registered, and takes the
/// entries `id` and `also` (0 for none) out when it succeeds; ENOENT when `id` is gone (removed by
/// an interruption), `Reason::kInterrupted` once the run is interrupted.
Result Settle(uint64_t id, const std::function<Result()>& step, const uint64_t* also = nullptr,
              size_t alsoCount = 0);

/// Takes the entry `id` out and removes what it names, unless an interruption did already.
void Remove(uint64_t id);

/// Takes the entry `id` out, leaving what it names in place.
void Forget(uint64_t id);

}  // namespace registry
}  // namespace files
