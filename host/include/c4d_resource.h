// The plug-in's string resources and the host's menus.
#pragma once

#include <map>

#include "c4d_gedata.h"

/// The strings of the plug-in's resource folder, by number.
class GeResource {
 public:
  /// Loads the resources from the plug-in's folder ("res" beside the module).
  Bool Init();
  /// Loads the resources from `path` (a folder holding "c4d_strings.str").
  Bool Init(const Filename& path);
  /// Forgets every string.
  void Free();
  /// The string `id`, or "" when there is none.
  String LoadString(LONG id) const;

 private:
  std::map<LONG, String> strings_;
};

/// The plug-in's resource object.
extern GeResource resource;

/// The plug-in's string `id`, or "" when there is none.
String GeLoadString(LONG id);

/// Entry IDs of a menu container.
enum {
  MENURESOURCE_SUBMENU = 1,   ///< A nested menu container.
  MENURESOURCE_COMMAND = 3,   ///< A command reference "IDM_..." or "PLUGIN_CMD_<id>".
  MENURESOURCE_SUBTITLE = 4,  ///< The title of the container.
  MENURESOURCE_STRING = 5,    ///< A nested menu container added by a plug-in.
};

/// The host menu of that resource name, or null.
BaseContainer* GetMenuResource(const String& name);
/// True when `command` is a command entry anywhere inside `menu`.
Bool SearchMenuResource(BaseContainer* menu, const String& command);
/// The entry of the host's menus that carries `identifier` (a title or command), or null.
GeData* SearchPluginMenuResource(const String& identifier);

/// The kind of host program: 0 to 4 are the full application's editions.
LONG GeGetVersionType();
