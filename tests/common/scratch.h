// Helpers of the file module's tests: scratch folders, what a folder holds, an operation's outcome
// in words, and work done in a child process.
#pragma once

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
/// system's, and the text ("EACCES foreign folder: the folder P belongs to another user (nobody)").
/// The part of a temporary's name after ".tmp-" reads as "*".
std::string Said(const files::Result& result);

/// Runs `body` in a child process and answers what it returned (and what ended the child, if not
/// a normal exit).
std::string InChild(const std::function<std::string()>& body);

/// Takes the user and group 65534 (nobody), dropping every other group; false when it cannot.
bool BecomeNobody();

}  // namespace scratch
