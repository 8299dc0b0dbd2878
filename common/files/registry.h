#pragma once

// The process's registry of the live temporary files and new folders, entered and taken out by
// the objects that own them. An interruption removes everything in it and stops every new entry.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "files/folder.h"
#include "files/result.h"

namespace files {

/// From now on nothing is made or committed, and everything registered is removed (after a
/// creation or commit under way). True the first time. Not for a signal handler.
bool Interrupt();

/// True once `Interrupt` has been called in this process.
bool Interrupted();

/// Runs `step` (which adds an entry to a folder that is registered, or to one inside it) under the
/// lock an interruption takes, unless the run is being interrupted (`Reason::kInterrupted`): what it
/// adds is then either never made or removed with that folder.
Result WhileRunning(const std::function<Result()>& step);

/// How many temporary files and new folders are registered now.
size_t RegisteredCount();

/// The folders being emptied (`registry::Kind::kEmptied`) that an interruption left: a later sweep's.
std::vector<Place> LeftBehind();

namespace registry {

/// What an entry is, so that an interruption removes it the right way (or leaves it, being emptied).
enum class Kind { kFile, kFolder, kEmptied };

/// Runs `make` under the registry's lock and, when it succeeds, registers the entry `name` of
/// `folder` as `*id`. Refused (`make` not run) once interrupted.
Result Add(const Folder& folder, const std::string& name, Kind kind, const std::function<Result()>& make,
           uint64_t* id);

/// Runs `step` under the registry's lock while `id` is registered, and takes `id` and `also` out
/// when it succeeds; ENOENT when `id` is gone, `kInterrupted` once interrupted.
Result Settle(uint64_t id, const std::function<Result()>& step, const uint64_t* also = nullptr,
              size_t alsoCount = 0);

/// Takes the entry `id` out and removes what it names, unless an interruption did already.
void Remove(uint64_t id);

/// Takes the entry `id` out, leaving what it names in place.
void Forget(uint64_t id);

}  // namespace registry
}  // namespace files
