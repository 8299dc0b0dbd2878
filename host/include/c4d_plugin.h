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
