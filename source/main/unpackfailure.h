// The words that say why an archive could not be unpacked: the import's console line and the
// runner's material check give the same.
#pragma once

#include "c4d_file.h"

namespace Helpers {

/// The words for an extraction's `ZIPERROR_*` code ("unsafe name", "corrupt", ...); "cannot be
/// read" for any other code.
inline const char* UnpackFailureText(LONG error) {
  switch (error) {
    case ZIPERROR_UNSAFE_NAME: return "unsafe name";
    case ZIPERROR_CORRUPT: return "corrupt";
    case ZIPERROR_CHECKSUM: return "bad checksum";
    case ZIPERROR_ENCRYPTED: return "encrypted";
    case ZIPERROR_METHOD: return "unknown method";
    case ZIPERROR_TOO_LARGE: return "too large";
    case ZIPERROR_DISK_FULL: return "disk full";
    case ZIPERROR_WRITE: return "cannot write";
    case ZIPERROR_STOPPED: return "stopped";
    default: return "cannot be read";
  }
}

}  // namespace Helpers
