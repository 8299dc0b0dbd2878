// Registration of plug-ins with the host.
#pragma once

#include "c4d_nodedata.h"

class BaseBitmap;

/// Registration flag: hide the plug-in from the plug-in menu.
constexpr LONG PLUGINFLAG_HIDEPLUGINMENU = 0x20000000;
/// Object registration flag: the object is a generator.
constexpr LONG OBJECT_GENERATOR = 4;
/// Tag registration flag: the tag is visible in the tag menus.
constexpr LONG TAG_VISIBLE = 1;

/// Registers a command; the host owns `dat` from now on, also when it refuses.
Bool RegisterCommandPlugin(LONG id, const String& name, LONG info, BaseBitmap* icon, const String& help,
                           CommandData* dat);
/// Registers a tag type.
Bool RegisterTagPlugin(LONG id, const String& name, LONG info, DataAllocator* alloc,
                       const String& description, BaseBitmap* icon, LONG disklevel);
/// Registers an object type.
Bool RegisterObjectPlugin(LONG id, const String& name, LONG info, DataAllocator* alloc,
                          const String& description, BaseBitmap* icon, LONG disklevel);
/// Registers a material type.
Bool RegisterMaterialPlugin(LONG id, const String& name, LONG info, DataAllocator* alloc,
                            const String& description, LONG disklevel);
/// Registers a shader type.
Bool RegisterShaderPlugin(LONG id, const String& name, LONG info, DataAllocator* alloc,
                          const String& description, LONG disklevel);
/// Registers a video post type.
Bool RegisterVideoPostPlugin(LONG id, const String& name, LONG info, DataAllocator* alloc,
                             const String& description, LONG disklevel, LONG priority);

/// A table of functions that a plug-in installs for the host (a library).
struct C4DLibrary {
  LONG size = 0;
  LONG version = 0;
};

/// The function table of a custom interface element type.
struct BaseCustomGuiLib : C4DLibrary {
  void* (*Alloc)(void* self) = nullptr;
  void (*Free)(void* self) = nullptr;
};

/// Fills a custom interface element's table with the host's defaults.
Bool FillBaseCustomGui(BaseCustomGuiLib& lib);
/// Installs a library; `lib` must outlive the plug-in's registration.
Bool InstallLibrary(LONG id, C4DLibrary* lib, LONG version, LONG size);
/// Registers a custom interface element type; the host owns `dat` from now on.
Bool RegisterCustomGuiPlugin(const String& name, LONG info, CustomGuiData* dat);

/// Runs a registered command on the active document; false when there is none.
Bool CallCommand(LONG id);

// --- The module's entry -------------------------------------------------------

/// What the host hands the module on its first call.
struct C4DHostInfo {
  LONG version = C4D_API_VERSION;  ///< Version of the host's plug-in interface.
};

/// Actions of `c4d_main`.
enum {
  C4DPL_INIT_SYS = 1,  ///< First call: p1 the `C4DHostInfo`, p3 the module's own path.
  C4DPL_INIT = 2,      ///< Start the plug-in.
  C4DPL_END = 3,       ///< End the plug-in.
  C4DPL_INIT_VERSION = 4,
  C4DPL_MESSAGE = 6,  ///< A message: p1 its ID, p2 its data.
  C4DPL_ERROR_VERSION = -3,
};

/// Plug-in messages.
enum {
  C4DPL_INIT_RESOURCE = 1,    ///< Load the plug-in's resources.
  C4DPL_BUILDMENU = 1001188,  ///< The host builds its menus.
};

/// Defined by the plug-in: starts it; false when it could not register.
Bool PluginStart();
/// Defined by the plug-in: ends it.
void PluginEnd();
/// Defined by the plug-in: answers a plug-in message.
Bool PluginMessage(LONG id, void* data);
/// The host info the module received on its first call, or null.
const C4DHostInfo* GetHostInfo();

/// The module's exported entry: the host drives the plug-in through it.
extern "C" LONG c4d_main(LONG action, void* p1, void* p2, void* p3);
