// The words that say why the host's extraction (`ZipFile::ExtractToDirectory`, c4d_file.h) could
// not unpack an archive, and which links it left out: the plug-in's import, the runner's material
// check and the renderer stand-in give the same. Header only; whoever includes it has the host's
// headers.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "c4d_file.h"
#include "files/result.h"

namespace Helpers {

/// The words for an extraction's `ZIPERROR_*` code ("unsafe name", "corrupt", ...), "cannot be
/// read" for any other code, followed by the system's reason when `systemError` (an `errno` value)
/// is not 0: "cannot write: File name too long".
inline std::string UnpackFailureText(LONG error, int systemError = 0) {
  const char* words = "cannot be read";
  switch (error) {
    case ZIPERROR_UNSAFE_NAME: words = "unsafe name"; break;
    case ZIPERROR_CORRUPT: words = "corrupt"; break;
    case ZIPERROR_CHECKSUM: words = "bad checksum"; break;
    case ZIPERROR_ENCRYPTED: words = "encrypted"; break;
    case ZIPERROR_METHOD: words = "unknown method"; break;
    case ZIPERROR_TOO_LARGE: words = "too large"; break;
    case ZIPERROR_DISK_FULL: words = "disk full"; break;
    case ZIPERROR_WRITE: words = "cannot write"; break;
    case ZIPERROR_STOPPED: words = "stopped"; break;
    case ZIPERROR_TOO_DEEP: words = "too deep: an entry's path holds more than 64 names"; break;
    case ZIPERROR_TOO_MANY_FOLDERS: words = "too many folders"; break;
    case ZIPERROR_FILE_AND_FOLDER: words = "a name is both a file and a folder"; break;
    case ZIPERROR_TWICE: words = "a name comes twice"; break;
    default: break;
  }
  return systemError == 0 ? std::string(words) : std::string(words) + ": " + files::ErrorText(systemError);
}

/// The words for why the last extraction of `zip` failed: those of its `ZIPERROR_*` code, then
/// what it found (`GetErrorDetail`), then the system's reason in the file module's words
/// (`GetSystemErrorText`): "unknown method: entry \"b.ovm\" uses method 77", "cannot be read: not a
/// regular file", "cannot write: entry \"a\": Is a directory".
inline std::string UnpackFailureText(const ZipFile& zip) {
  std::string text = UnpackFailureText(zip.GetError());
  if (!zip.GetErrorDetail().empty()) text += ": " + zip.GetErrorDetail();
  if (!zip.GetSystemErrorText().empty()) text += ": " + zip.GetSystemErrorText();
  return text;
}

/// The line that names a link the extraction left out (`ZipFile::GetLeftOut`) and why: "left out
/// tex/red.png: a link to /etc/hostname, outside the archive", "left out alias.png: a link to
/// tex/red.png, through tex, a link that is left out", the names as the archive holds them. The texture
/// it was is then missing.
inline std::string LeftOutText(const ZipFile::LeftOut& link) {
  const std::string to = "a link to " + link.target + ", ";
  std::string why;
  switch (link.why) {
    case ZipFile::LeftOut::kOutside: why = to + "outside the archive"; break;
    case ZipFile::LeftOut::kFolder: why = to + "a folder"; break;
    case ZipFile::LeftOut::kMissing:
      why = link.target.empty() ? "an empty link" : to + "which the archive does not hold";
      break;
    case ZipFile::LeftOut::kItself: why = to + "itself"; break;
    case ZipFile::LeftOut::kLoop: why = to + "a loop of links"; break;
    case ZipFile::LeftOut::kChain:
      why = to + "through more than " + std::to_string(ZipFile::kMaxLinks) + " links";
      break;
    case ZipFile::LeftOut::kTooLong: why = "a link longer than a path may be"; break;
    case ZipFile::LeftOut::kLeftOutLink: why = to + "a link that is left out"; break;
    case ZipFile::LeftOut::kThroughLink:
      why = to + "through " + link.through + ", a link that is left out";
      break;
  }
  return "left out " + link.entry + ": " + why;
}

/// What an archive whose files were all links left out holds: "only the link mat.ovm, which was left
/// out", "only 2 links, which were left out".
inline std::string OnlyLeftOutText(const std::vector<ZipFile::LeftOut>& leftOut) {
  if (leftOut.size() == 1) return "only the link " + leftOut[0].entry + ", which was left out";
  return "only " + std::to_string(leftOut.size()) + " links, which were left out";
}

}  // namespace Helpers
