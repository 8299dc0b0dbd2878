// A test fixture over a clean host stand-in with the plug-in's own string resources loaded.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <chrono>
#include <thread>

#include <set>
#include <string>
#include <vector>

#include "c4d.h"
#include "host_control.h"

/// Resets the whole host before and after every test and loads the plug-in's resources.
class HostTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  /// The console lines printed so far.
  static std::vector<std::string> Console() { return host::ConsoleLines(); }
};

/// The system's temporary folder: $TMPDIR, read as unset when it is empty (as mktemp reads it), else
/// /tmp.
std::string SystemTemporaryFolder();

/// A fresh empty folder under the system's temporary folder, removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  /// The folder's path.
  const std::string& path() const { return path_; }
  /// A path inside the folder.
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

/// The whole content of the file `path`; empty when it cannot be read.
std::string ReadFile(const std::string& path);

/// The names in the folder `folder`, without its path.
std::set<std::string> FolderNames(const std::string& folder);

/// Waits until an entry named `name` is made or moved into the folder `dir` (watched before it is
/// looked for, so that one coming in between is not missed); false after ten seconds without.
bool WaitForName(const std::string& dir, const std::string& name);

/// A folder whose path is longer than a path may be, made one name at a time below `dir` and held
/// open (as another user's open folder is reached through /proc); removed, with what it holds, one
/// name at a time too.
class TooLongFolder {
 public:
  explicit TooLongFolder(const std::string& dir);
  ~TooLongFolder();
  TooLongFolder(const TooLongFolder&) = delete;
  TooLongFolder& operator=(const TooLongFolder&) = delete;
  /// The descriptor of the deepest folder.
  int Descriptor() const { return folders_.back(); }
  /// Writes the file `name` there with `text` and `mode`; false when it cannot.
  bool Write(const std::string& name, const std::string& text, mode_t mode);
  /// Makes the link `name` there to `target`; false when it cannot.
  bool Link(const std::string& name, const std::string& target);

 private:
  std::vector<int> folders_;
  std::vector<std::string> files_;
};

/// Runs a shell command line (any list of commands), capturing the standard output and error of all
/// of it; answers its exit status.
int RunCommand(const std::string& command, std::string* output);

/// Waits up to ten seconds for `ready`; false when it never came true.
template <typename Ready>
bool WaitFor(Ready ready) {
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!ready()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}
