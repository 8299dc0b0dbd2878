#include "files/result.h"

#include <pwd.h>

#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

namespace files {

Result Result::System(int error, std::string path) {
  Result result;
  result.error_ = error != 0 ? error : EIO;
  result.reason_ = Reason::kSystem;
  result.path_ = std::move(path);
  return result;
}

Result Result::NotRegularFile(std::string path) {
  Result result = System(EINVAL, std::move(path));
  result.reason_ = Reason::kNotRegularFile;
  return result;
}

Result Result::Foreign(Reason reason, std::string path, uid_t owner) {
  Result result = System(EACCES, std::move(path));
  result.reason_ = reason;
  result.owner_ = owner;
  return result;
}

Result Result::Interrupted() {
  Result result = System(ECANCELED);
  result.reason_ = Reason::kInterrupted;
  return result;
}

Result Result::Moved(std::string path) {
  Result result = System(ENOENT, std::move(path));
  result.reason_ = Reason::kMoved;
  return result;
}

std::string Result::Text() const {
  switch (reason_) {
    case Reason::kNone: return std::string();
    case Reason::kNotRegularFile: return "not a regular file";
    case Reason::kInterrupted: return "interrupted";
    case Reason::kMoved: return "the folder " + path_ + " was moved while it was walked";
    case Reason::kForeignFolder:
      return "the folder " + path_ + " belongs to another user (" + UserName(owner_) + ")";
    case Reason::kForeignFile:
      return "the file " + path_ + " belongs to another user (" + UserName(owner_) + ")";
    case Reason::kForeignLink:
      return "the link " + path_ + " belongs to another user (" + UserName(owner_) + ")";
    case Reason::kSystem: break;
  }
  return ErrorText(error_);
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
