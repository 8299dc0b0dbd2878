#pragma once

// An exclusive lock on a lock file in an open folder, held while the object lives.

#include <functional>
#include <string>

#include "files/folder.h"
#include "files/result.h"

namespace files {

/// A held lock; destroying it (or `Release`) lets go.
class FileLock {
 public:
  FileLock() = default;
  FileLock(FileLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  FileLock& operator=(FileLock&& other) noexcept;
  FileLock(const FileLock& other) = delete;
  FileLock& operator=(const FileLock& other) = delete;
  ~FileLock() { Release(); }

  /// Waits for an exclusive lock on the regular file `name` in `folder` (not a link), made 0600
  /// when missing, and holds it instead of what it held. This user's own that others may open, or
  /// that has more than one link, is waited for while another (a render or any program) holds it,
  /// then replaced once by a new one where the file system keeps modes, never beside one that holds
  /// it, and taken as it is where it keeps none. `waiting` is called once before a wait.
  Result Take(const Folder& folder, const std::string& name, const std::function<void()>& waiting = {});
  /// True while the lock is held.
  bool IsHeld() const { return fd_ >= 0; }
  /// Lets go of the lock.
  void Release();

 private:
  int fd_ = -1;
};

}  // namespace files
