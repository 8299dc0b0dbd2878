// Helpers of the file module's tests, which link the module alone: scratch folders, reading back
// what was written, the outcome of an operation in words, and work done in a child process (as
// another user, or with a working directory of its own).
#pragma once

#include <sys/types.h>

#include <functional>
#include <set>
#include <string>

#include "files/result.h"

namespace scratch {

/// A fresh empty folder (0700) under the system's temporary folder, removed with all it holds
/// (folders without search permission and paths longer than the system allows too).
class Dir {
 public:
  Dir();
  ~Dir();
  Dir(const Dir&) = delete;
  Dir& operator=(const Dir&) = delete;
  /// The folder's path.
  const std::string& path() const { return path_; }
  /// A path inside the folder.
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

/// The whole content of the file `path`; empty when it cannot be read.
std::string ReadBack(const std::string& path);

/// The names in the folder `folder`.
std::set<std::string> Names(const std::string& folder);

/// An operation's outcome in words: "ok", or the `errno` name, the reason where it is not the
/// system's, and the text (e.g. "EACCES foreign folder: the folder P belongs to another user
/// (nobody)"). The random part of a temporary's name reads as "*".
std::string Said(const files::Result& result);

/// Runs `body` in a child process and answers what it returned (or what ended the child).
std::string InChild(const std::function<std::string()>& body);

/// Takes the user and group 65534 (nobody), dropping every other group; false when it cannot.
bool BecomeNobody();

/// Stands in the folder `path` while it lives, then goes back to where the process stood.
class StandIn {
 public:
  explicit StandIn(const std::string& path);
  ~StandIn();
  StandIn(const StandIn&) = delete;
  StandIn& operator=(const StandIn&) = delete;
  /// True when the process stands in the folder.
  bool ok() const { return ok_; }

 private:
  int back_ = -1;
  bool ok_ = false;
};

}  // namespace scratch
