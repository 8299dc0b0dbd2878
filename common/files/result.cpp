#include "files/result.h"

#include <pwd.h>

#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

namespace files {

Result::Result(int error, Reason reason, std::string path, uid_t owner)
    : error_(error != 0 ? error : EIO), reason_(reason), path_(std::move(path)), owner_(owner) {}

Result Result::System(int error, std::string path) { return Result(error, Reason::kSystem, std::move(path)); }

Result Result::NotRegularFile(std::string path) {
  return Result(EINVAL, Reason::kNotRegularFile, std::move(path));
}

Result Result::Foreign(std::string path, const struct stat& st) {
  const Reason reason = S_ISDIR(st.st_mode)   ? Reason::kForeignFolder
                        : S_ISLNK(st.st_mode) ? Reason::kForeignLink
                                              : Reason::kForeignFile;
  return Result(EACCES, reason, std::move(path), st.st_uid);
}

Result Result::Interrupted() { return Result(ECANCELED, Reason::kInterrupted, {}); }

Result Result::Moved(std::string path) { return Result(ENOENT, Reason::kMoved, std::move(path)); }

std::string Result::Text() const {
  const char* what = reason_ == Reason::kForeignFolder ? "the folder "
                     : reason_ == Reason::kForeignFile ? "the file "
                     : reason_ == Reason::kForeignLink ? "the link "
                                                       : nullptr;
  if (what) return what + path_ + " belongs to another user (" + UserName(owner_) + ")";
  switch (reason_) {
    case Reason::kNone: return std::string();
    case Reason::kNotRegularFile: return "not a regular file";
    case Reason::kInterrupted: return "interrupted";
    case Reason::kMoved: return "the folder " + path_ + " was moved while it was walked";
    default: return ErrorText(error_);
  }
}

std::string ErrorText(int error) {
  char buffer[256];
  return ::strerror_r(error, buffer, sizeof buffer);  // the GNU form: the text, maybe not in buffer
}

std::string UserName(uid_t uid) {
  struct passwd entry, *found = nullptr;
  std::vector<char> buffer(16384);
  if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found) return found->pw_name;
  return "user " + std::to_string(uid);
}

}  // namespace files
