// The host's side of the stand-in: what the embedding program (the runner, a test) sets and reads.
// Nothing here is part of the plug-in interface; the plug-in never includes this header.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "c4d_nodedata.h"

class BaseDocument;

namespace host {

// --- Embedding ---------------------------------------------------------------

/// Sets the folder that `GeGetStartupWritePath` answers.
void SetStartupWritePath(const std::string& path);
/// Sets the folder that `GeGetPluginPath` answers (where the module and "res" lie).
void SetPluginPath(const std::string& path);
/// Makes `doc` the active document (not owned).
void SetActiveDocument(BaseDocument* doc);
/// UTF-8 text of a host string.
std::string ToUtf8(const String& s);
/// Puts the whole host back to its start state: registry, console, strings, menus, user, clock,
/// paths, active document. For tests; frees what the registry owns.
void ResetAll();

// --- Console -----------------------------------------------------------------

/// Every line printed so far, in order.
std::vector<std::string> ConsoleLines();
/// Forgets the printed lines.
void ClearConsole();
/// Called with every printed line as it is printed (null: no echo).
void SetConsoleEcho(std::function<void(const std::string&)> echo);

// --- Registry ----------------------------------------------------------------

/// Kinds of registrations.
enum class PluginKind { Command, Tag, Object, Material, Shader, VideoPost, Library, CustomGui };
/// The lower-case name of a kind ("command", "tag", ...).
const char* KindName(PluginKind kind);

/// One registration call as the host saw it.
struct Registration {
  PluginKind kind;
  LONG id;                  ///< Plug-in or library ID (0 for custom interface elements).
  std::string name;         ///< Name (UTF-8).
  LONG info;                ///< Flags.
  std::string description;  ///< Description resource name, if any.
  std::string icon;         ///< Icon file name, if any.
  std::string help;         ///< Help text, if any.
  LONG disklevel;
  LONG priority;
  bool accepted;  ///< False when the host refused it.
};

/// Every registration call so far, refused ones included, in call order.
std::vector<Registration> Registrations();
/// Makes every later registration of `id` fail.
void RefuseRegistration(LONG id);
/// Frees what the registry owns and forgets every registration and refusal.
void ResetRegistry();
/// The registered command `id`, or null.
CommandData* FindCommand(LONG id);

// --- Resources and menus -----------------------------------------------------

/// Makes `GeLoadString(id)` answer `text` whatever the resource files say.
void OverrideString(LONG id, const std::string& text);
/// Forgets every override.
void ClearStringOverrides();
/// Restores the host's menus as they are at start.
void ResetMenus();
/// Sets what `GeGetVersionType` answers (default 0).
void SetVersionType(LONG type);

}  // namespace host
