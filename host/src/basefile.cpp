// Files.
#include "c4d_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "host_control.h"
#include "files/temporaryfile.h"

void BaseFile::Free(BaseFile*& file) {
  delete file;
  file = nullptr;
}

BaseFile::~BaseFile() { Close(); }

void BaseFile::Fail(LONG error) {
  if (error_ == FILEERROR_NONE) error_ = error;
}

Bool BaseFile::Open(const Filename& name, LONG mode) {
  Close();
  error_ = FILEERROR_NONE;
  mode_ = mode;
  target_ = host::ToUtf8(name.GetString());
  temp_.clear();
  if (target_.empty() || (mode != FILEOPEN_READ && mode != FILEOPEN_WRITE)) {
    Fail(FILEERROR_OPEN);
    return false;
  }
  if (mode == FILEOPEN_READ) {
    file_ = std::fopen(target_.c_str(), "rb");
  } else {
    // A hidden temporary file in the folder of the file the write replaces (a link is followed),
    // renamed over it when the file is closed.
    std::string temporary, final;
    const int fd = TemporaryFile::CreateBeside(target_, &temporary, &final);
    if (fd >= 0) {
      file_ = fdopen(fd, "wb");
      if (file_) {
        temp_ = temporary;
        target_ = final;
      } else {
        ::close(fd);
        TemporaryFile::Discard(temporary);
      }
    }
  }
  if (!file_) {
    Fail(FILEERROR_OPEN);
    return false;
  }
  return true;
}

Bool BaseFile::Close() {
  if (!file_) return error_ == FILEERROR_NONE && !target_.empty();
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!closed) Fail(mode_ == FILEOPEN_WRITE ? FILEERROR_WRITE : FILEERROR_CLOSE);
  if (mode_ == FILEOPEN_WRITE && !temp_.empty()) {
    if (error_ != FILEERROR_NONE)
      TemporaryFile::Discard(temp_);
    else if (!TemporaryFile::Commit(temp_, target_))
      Fail(FILEERROR_CLOSE);
    temp_.clear();
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
