#pragma once

// Files and folders this process makes, owned by objects that remove them unless committed or
// kept, and registered (registry.h) so that an interruption removes them too.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>

#include "files/folder.h"
#include "files/result.h"

namespace files {

/// Writes all `size` bytes of `data` to `fd`: 0, or the `errno` value (ENOSPC for no progress).
int WriteAll(int fd, const void* data, size_t size);

/// A new temporary file that takes the place of its target when committed (`Folder::CreateTemporary`).
class TemporaryFile {
 public:
  TemporaryFile() = default;
  TemporaryFile(TemporaryFile&& other) noexcept;
  TemporaryFile& operator=(TemporaryFile&& other) noexcept;
  TemporaryFile(const TemporaryFile& other) = delete;
  TemporaryFile& operator=(const TemporaryFile& other) = delete;
  /// Removes the file unless it was committed.
  ~TemporaryFile();

  /// True while the file is open for writing.
  bool IsOpen() const { return fd_ >= 0; }
  /// The descriptor to write to; -1 when not open.
  int Descriptor() const { return fd_; }
  /// The path of the target, for messages.
  std::string FinalPath() const { return folder_.PathOf(final_); }

  /// Writes all `size` bytes of `data` (`WriteAll`); a failure discards the file.
  Result Write(const void* data, size_t size);
  /// Closes the descriptor before `Commit`, for files written in their thousands; a failure
  /// discards the file.
  Result Close();
  /// Closes the file and renames it over its target, keeping the new folders `keep` (what it
  /// refers to) in the same step; on failure (`kInterrupted` once interrupted) it is removed.
  Result Commit(std::initializer_list<NewFolder*> keep = {});
  /// Removes the file, if it is still there.
  void Discard();

 private:
  friend class Folder;
  uint64_t id_ = 0;  ///< its registry entry
  int fd_ = -1;
  Folder folder_;
  std::string name_;   ///< the temporary's name in `folder_`
  std::string final_;  ///< the target's name there
};

/// A folder this process made, removed with all it holds unless kept or committed.
class NewFolder {
 public:
  NewFolder() = default;
  NewFolder(NewFolder&& other) noexcept;
  NewFolder& operator=(NewFolder&& other) noexcept;
  NewFolder(const NewFolder& other) = delete;
  NewFolder& operator=(const NewFolder& other) = delete;
  /// Removes the folder unless it was kept or committed.
  ~NewFolder();

  /// True while this object still owns a folder it made.
  bool IsOwned() const { return id_ != 0; }
  /// The folder, open (it stays open after `Keep` and `Commit`).
  const Folder& Opened() const { return folder_; }
  /// Its path, for messages.
  const std::string& Path() const { return folder_.Path(); }

  /// Renames the folder to `name` beside it, where nothing may be yet (EEXIST), and keeps it.
  Result Commit(const std::string& name);
  /// Keeps the folder: it is no longer removed.
  void Keep();
  /// Removes the folder with all it holds.
  void Remove();

 private:
  friend class Folder;
  friend class TemporaryFile;
  uint64_t id_ = 0;  ///< its registry entry
  Folder parent_;
  std::string name_;
  Folder folder_;
};

}  // namespace files
