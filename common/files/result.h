#pragma once

// What a file operation gave: the system's `errno` value, and what a message about it needs.

#include <sys/stat.h>
#include <sys/types.h>

#include <string>

namespace files {

/// Why an operation failed, where the system's `errno` alone does not say it.
enum class Reason {
  kNone,            ///< it did not fail
  kSystem,          ///< the system's own reason (`error()`)
  kNotRegularFile,  ///< the name is a FIFO, a device or a socket (EINVAL)
  kForeignFolder,   ///< a folder of another user in a shared folder (EACCES)
  kForeignFile,     ///< a file of another user in a shared folder (EACCES)
  kInterrupted,     ///< the run is being interrupted (ECANCELED)
  kForeignLink,     ///< a link of another user in a shared folder (EACCES)
  kMoved,           ///< a folder of the path was moved while it was walked (ENOENT)
};

/// The outcome of a file operation: success, or an `errno` value with what a message names.
class Result {
 public:
  /// Success.
  Result() = default;

  /// The system's `errno` value `error` (not 0), about `path` when one is known.
  static Result System(int error, std::string path = {});
  /// `path` is there but is not a regular file.
  static Result NotRegularFile(std::string path);
  /// `path`, a folder, link or file of status `st`, in a shared folder belongs to another user.
  static Result Foreign(std::string path, const struct stat& st);
  /// The run is being interrupted: nothing more is made or committed.
  static Result Interrupted();
  /// The folder `path` was moved while a walk went through it.
  static Result Moved(std::string path);

  /// True for success.
  bool ok() const { return error_ == 0; }
  /// 0, or the system's `errno` value that stands for the failure.
  int error() const { return error_; }
  /// Why it failed.
  Reason reason() const { return reason_; }
  /// True when it failed on another user's folder, link or file in a shared folder.
  bool IsForeign() const {
    return reason_ == Reason::kForeignFolder || reason_ == Reason::kForeignFile ||
           reason_ == Reason::kForeignLink;
  }
  /// The path the failure is about, when one is known.
  const std::string& path() const { return path_; }
  /// The reason in words ("the folder P belongs to another user (NAME)", the system's words, ...).
  std::string Text() const;

 private:
  Result(int error, Reason reason, std::string path, uid_t owner = 0);
  int error_ = 0;
  Reason reason_ = Reason::kNone;
  std::string path_;
  uid_t owner_ = 0;
};

/// The system's words for the `errno` value `error`.
std::string ErrorText(int error);

/// The name of the user `uid`, or "user N".
std::string UserName(uid_t uid);

}  // namespace files
