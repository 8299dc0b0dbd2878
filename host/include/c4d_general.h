// Console, files and folders, time, status and the questions the host asks the user.
#pragma once

#include "c4d_string.h"

class BaseList2D;

/// Prints one line to the host's console.
void GePrint(const String& line);

/// True when `name` exists (as a folder when `isdir`, else as a file). When false, `errno` says
/// why: ENOENT or ENOTDIR where nothing is there, EISDIR or ENOTDIR where the other kind is, else
/// the reason it could not be told (EACCES for a folder on the way that cannot be searched).
Bool GeFExist(const Filename& name, Bool isdir = FALSE);
/// Flags of `GeFKill`.
enum {
  GE_FKILL_DIRECTORY = 1,  ///< `name` is a folder.
  GE_FKILL_RECURSIVE = 2,  ///< Delete the folder with its content.
  GE_FKILL_FORCE = 4,      ///< Delete write-protected files too.
};
/// Deletes a file or folder; false when it could not be deleted.
Bool GeFKill(const Filename& name, LONG flags = 0);
/// Creates a folder (and its missing parents); true when it exists afterwards.
Bool GeFCreateDir(const Filename& name);
/// The folder where the host keeps the user's files.
Filename GeGetStartupWritePath();
/// The folder of the plug-in module.
Filename GeGetPluginPath();

/// Milliseconds of the host's clock.
LONG GeGetTimer();
/// Milliseconds of the host's clock as a real.
Real GeGetMilliSeconds();
/// Sleeps on the host's clock.
void GeSleep(LONG milliseconds);
/// Number of processors the host renders with.
LONG GeGetCPUCount();

/// A date and time of the local calendar.
struct LocalFileTime {
  UWORD year = 0;    ///< Full year, e.g. 2026.
  UWORD month = 0;   ///< 1 to 12.
  UWORD day = 0;     ///< 1 to 31.
  UWORD hour = 0;    ///< 0 to 23.
  UWORD minute = 0;  ///< 0 to 59.
  UWORD second = 0;  ///< 0 to 59 (60 for a leap second).
};
/// The local date and time now.
void GetDateTimeNow(LocalFileTime& t);

/// Shows a message to the user.
void MessageDialog(const String& text);
/// Asks a yes/no question; true for yes.
Bool QuestionDialog(const String& text);

/// Shows `op` in the attribute manager in `mode` (4: the active object) with `flags`; the
/// stand-in records "ActiveObjectManager_SetObject <mode> <name> <flags>".
void ActiveObjectManager_SetObject(LONG mode, BaseList2D* op, LONG flags);

/// Tells the host that something changed: it redraws its views and managers once idle.
void EventAdd(LONG flags = 0);

/// Stops the host's own background threads (render previews, editor redraws).
void StopAllThreads();
/// Mouse pointer shapes.
enum { MOUSE_HIDE = 0, MOUSE_SHOW = 1, MOUSE_NORMAL = 2, MOUSE_BUSY = 3 };
void GeShowMouse(LONG mode);
void SetMousePointer(LONG mode);
/// Status bar: a spinning busy marker, a progress bar, a text, and clearing.
void StatusSetSpin();
void StatusSetBar(LONG percent);
void StatusSetText(const String& text);
void StatusClear();
