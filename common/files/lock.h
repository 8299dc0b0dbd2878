#pragma once

// An exclusive lock on a lock file, held while the object lives (`Folder::Lock`).

namespace files {

/// A held lock; destroying it (or `Release`) lets go.
class FileLock {
 public:
  FileLock() = default;
  FileLock(FileLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  FileLock& operator=(FileLock&& other) noexcept;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  ~FileLock() { Release(); }

  /// True while the lock is held.
  bool IsHeld() const { return fd_ >= 0; }
  /// Lets go of the lock.
  void Release();

 private:
  friend class Folder;
  int fd_ = -1;
};

}  // namespace files
