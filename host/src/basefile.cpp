// Files.
#include "c4d_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

#include "files/folder.h"
#include "files/temporary.h"
#include "host_control.h"

void BaseFile::Free(BaseFile*& file) {
  delete file;
  file = nullptr;
}

BaseFile::BaseFile() = default;

BaseFile::~BaseFile() { Close(); }

void BaseFile::Fail(LONG error) {
  if (error_ == FILEERROR_NONE) error_ = error;
}

Bool BaseFile::Open(const Filename& name, LONG mode) {
  Close();
  error_ = FILEERROR_NONE;
  mode_ = mode;
  target_ = host::ToUtf8(name.GetString());
  if (target_.empty() || (mode != FILEOPEN_READ && mode != FILEOPEN_WRITE)) {
    Fail(FILEERROR_OPEN);
    return false;
  }
  files::Result r;
  int fd = -1;
  if (mode == FILEOPEN_READ) {
    r = files::OpenFile(target_, &fd);
  } else {
    // A hidden temporary file in the folder of the file the write replaces (a link is followed),
    // renamed over it when the file is closed. The stream writes through a descriptor of its own.
    temp_ = std::make_unique<files::TemporaryFile>();
    r = files::CreateTemporary(target_, temp_.get());
    if (r.ok() && (fd = ::fcntl(temp_->Descriptor(), F_DUPFD_CLOEXEC, 0)) < 0)
      r = files::Result::System(errno);
  }
  if (r.ok() && !(file_ = ::fdopen(fd, mode == FILEOPEN_READ ? "rb" : "wb")))
    r = files::Result::System(errno);
  if (!r.ok()) {
    if (fd >= 0) ::close(fd);
    temp_.reset();
    Fail(FILEERROR_OPEN);
    errno = r.error();
    return false;
  }
  return true;
}

Bool BaseFile::Close() {
  if (!file_) return error_ == FILEERROR_NONE && !target_.empty();
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!closed) Fail(mode_ == FILEOPEN_WRITE ? FILEERROR_WRITE : FILEERROR_CLOSE);
  if (temp_) {
    if (error_ == FILEERROR_NONE) {
      const files::Result r = temp_->Commit();
      if (!r.ok()) {
        Fail(FILEERROR_CLOSE);
        errno = r.error();
      }
    }
    temp_.reset();  // removes the file unless it was committed
  }
  return error_ == FILEERROR_NONE;
}

Bool BaseFile::WriteBytes(const void* data, LONG len) {
  if (error_ != FILEERROR_NONE) return false;
  if (!file_ || mode_ != FILEOPEN_WRITE) {
    Fail(FILEERROR_WRITE);
    return false;
  }
  if (len < 0 || (len > 0 && !data)) {
    Fail(FILEERROR_WRONG_VALUE);
    return false;
  }
  if (len > 0 && std::fwrite(data, 1, static_cast<size_t>(len), file_) != static_cast<size_t>(len)) {
    Fail(FILEERROR_WRITE);
    return false;
  }
  return true;
}

LONG BaseFile::ReadBytes(void* data, LONG len, Bool justTry) {
  if (error_ != FILEERROR_NONE) return 0;
  if (!file_ || mode_ != FILEOPEN_READ) {
    Fail(FILEERROR_READ);
    return 0;
  }
  if (len < 0 || (len > 0 && !data)) {
    Fail(FILEERROR_WRONG_VALUE);
    return 0;
  }
  const size_t got = len > 0 ? std::fread(data, 1, static_cast<size_t>(len), file_) : 0;
  if (std::ferror(file_) || (!justTry && got != static_cast<size_t>(len))) Fail(FILEERROR_READ);
  return static_cast<LONG>(got);
}
