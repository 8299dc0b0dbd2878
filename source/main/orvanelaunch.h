// Where the renderer is installed (kept in the settings file "corvaneSettings.cfg" in the host's
// startup write path), starting the renderer on a scene, and packing and unpacking ".povm" material
// archives.
//
// The renderer is an application bundle "Orvane.app" in a folder the user chooses; its two
// executables are "Orvane" (with a window) and "OrvaneConsole" (used for packing) in
// "Orvane.app/Contents/MacOS/". A started renderer runs as a process of its own: the caller does not
// wait for it; the plug-in's reaper thread waits for it to end, so that it leaves no zombie behind.
#pragma once

#include <string>
#include <vector>

#include "c4d.h"
#include "files/folder.h"
#include "files/result.h"
#include "files/temporary.h"

namespace Helpers {

/// What the settings file holds.
struct GlobalSettings {
  String path;  ///< The folder that holds "Orvane.app".
};

/// The settings file: "corvaneSettings.cfg" in the host's startup write path.
Filename GetSettingsFile();

/// Reads the renderer's folder from the settings file (UTF-8; a folder whose bytes are not UTF-8
/// is read in the host's 8-bit encoding, as older files hold it). 1 and `exe` = folder +
/// "/Orvane.app/Contents/MacOS/", followed when `withFile` is non-zero by "Orvane" (`console` 0) or
/// "OrvaneConsole"; 0, with `exe` untouched, when the file cannot be read or names no folder (no
/// "global_settings" / "PATH", or a "PATH" without text). The executable's existence is not checked.
/// In a sticky folder that others may write to, the file (or a link at it) is read only when this
/// user or the folder's owner owns it; a file that is there and cannot be read is named on the
/// console with the reason.
int GetOrvaneExe(Filename* exe, int withFile, int console);

/// Rewrites the settings file: every node it holds stays, except that "global_settings" is
/// replaced by one (placed last) holding "PATH" with the folder of `settings` in UTF-8; a null
/// `settings` rewrites the file as it was read. True when the file was written; otherwise the
/// file stays as it was and `why` (when given) receives the reason: a file that is there and may
/// not be read (see `GetOrvaneExe`) is not written either.
bool SaveSettings(GlobalSettings* settings, std::string* why = nullptr);

/// Asks the user for the renderer's folder ("Choose Orvane dir") and saves it. 1 when a folder was
/// chosen and saved; 0 when the user cancelled (nothing is saved) or the file could not be written.
int ChooseOrvaneExe();

/// The seed handed to the renderer: the host's millisecond timer times a number in [0, 1) drawn
/// from a generator seeded with the timer, rounded down.
int LaunchSeed();

/// The renderer's command line: `exe`, `scene`, "-seed" and `seed`; with `network` non-zero "-n",
/// "wm", "-p" and `port`; with `haltSpp` not -1 "-haltspp" and `haltSpp`; with an `output`,
/// "-o" and the output with the suffix ".png" instead of its own. All UTF-8.
std::vector<std::string> OrvaneArguments(const Filename& exe, const Filename& scene, int network, int port,
                                         Filename output, int haltSpp, int seed);

/// Starts the renderer with a window on `scene` (the arguments of `OrvaneArguments`; the unnamed
/// ones are not read). 1 when it was started; 0 when no renderer folder is known, an argument is
/// longer than a path may be, or it could not be started (a console line says why).
int LaunchOrvane(Filename scene, int, int, int, int network, int port, Filename output, int haltSpp, int,
                 int);

/// Starts the program `argv[0]` with the arguments `argv` (2 to 49 entries, else 0 at once) as a
/// process of its own (the host's memory is not copied) and returns without waiting for it; the
/// plug-in's `ChildReaper` waits for it once it ends. What starts is the file the walk of `argv[0]`
/// checked (`files::ReadPolicy::kProgram`): by that path where only trusted users can change what it
/// names, else from the walk's descriptor (a script there sees /dev/fd/N as `$0`, which needs /proc).
/// Nothing starts once the run is being interrupted (`process::StartThroughGate`). 1 when the
/// program runs; 0 when it could not be started, with the console line "Could not start <program>:
/// <reason>".
int LaunchOrvaneMac(const std::vector<std::string>& argv);

/// Has the console renderer pack `materialFile` into the archive `archive`. Returns at once (the
/// archive exists once the renderer is done): 1 when the renderer was started, else 0.
int PackPovm(Filename materialFile, Filename archive);
/// Starts the console renderer with "--pack" (`pack` non-zero) or "--unpack", `first`, `second`.
/// Without a known renderer folder asks for one first and gives up when there is none, saying so
/// on the console, as it does for a path longer than a path may be. 1 when the renderer was
/// started, else 0.
int PackPovmMac(int pack, const Filename& first, const Filename& second);
/// Makes a new, empty folder for `name` in the folder `parent`, which is walked once and made when
/// missing (every folder used only as the rule for shared folders allows); `*opened` (when given)
/// is `parent`, open. `*made` owns the new folder: it carries a temporary's name until
/// `NameNewFolder` gives it its own, so that one a killed run left is swept, and it is removed
/// unless named. The reason in words is `Text()` of the result.
files::Result NewFolder(const Filename& parent, const String& name, files::NewFolder* made,
                        files::Folder* opened = nullptr);
/// Names the new folder `made` of `NewFolder` (in `parent`) `name`, or "name-2", "name-3", ...
/// when something of that name exists already, and keeps it (`files::NewFolder::Commit`). Answers
/// its path; an empty name, with the reason in `*result` (when given), when it could not.
Filename NameNewFolder(files::NewFolder* made, const Filename& parent, const String& name,
                       files::Result* result = nullptr);
/// The path `NameNewFolder` would give a folder now: the first of `name`, "name-2", ... in
/// `parent`, open as `folder`, where nothing is; an empty name with `errno` set when there is none.
Filename FreeFolderName(const files::Folder& folder, const Filename& parent, const String& name);
/// `name` (UTF-8) cut, at a whole character, so that it and an ending `NameNewFolder` gives fit in
/// a folder's entry with `room` bytes to spare.
std::string FitFolderName(const std::string& name, size_t room = 0);
/// The words that say why an extraction failed, for its `ZIPERROR_*` code and the system's reason
/// (`errno` value) behind it, 0 when there is none.
String UnpackFailure(LONG error, int systemError = 0);
/// Extracts the archive into `dir` and answers the first ".ovm" file there (in name order), each
/// entry's name printed on the console on the way. An empty name when the archive holds no ".ovm"
/// file, or when it cannot be extracted (unreadable, refused, too large, the disk full): then
/// nothing of it stays in `dir` and the console says "Could not unpack <archive>: <reason>".
/// `failure` (when given) receives the `ZIPERROR_*` code of a failed extraction, else `ZIPERROR_NONE`;
/// `leftOut` (when given) the links the extraction left out, each of which the console names.
Filename UnpackPovm(Filename archive, Filename dir, LONG* failure = nullptr,
                    std::vector<ZipFile::LeftOut>* leftOut = nullptr);

/// The other platform's launch: only tells the user it was called. Always 0.
int LaunchOrvanePc(Filename scene, int, int, int, int network, int port, Filename output, int haltSpp, int,
                   int);
/// The other platform's packing: only tells the user it was called.
void PackPovmPc(int pack, const Filename& first, const Filename& second);

}  // namespace Helpers
