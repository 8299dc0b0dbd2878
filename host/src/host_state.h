// State of the host stand-in shared between its source files.
#pragma once

#include <string>
#include <vector>

#include "c4d_nodedata.h"
#include "host_control.h"

namespace host {

/// The registered custom interface elements, in registration order.
std::vector<CustomGuiData*> CustomGuis();
/// The allocator of a registered node plug-in of `kind`, or null.
DataAllocator* FindAllocator(PluginKind kind, LONG id);
/// The name (UTF-8) a node plug-in of `kind` was registered with, or "" when none was.
std::string RegisteredName(PluginKind kind, LONG id);
/// Animates `first`, its following siblings and everything below them to `time`.
void AnimateTree(BaseDocument* doc, BaseObject* first, const BaseTime& time);
/// A new view with its editor camera, for a new document.
GeListNode* NewBaseDraw();
/// True while the host runs on the real clock (no test clock set).
bool RealClockInUse();
/// Paths set by the embedding program.
std::string StartupWritePath();
std::string PluginPath();
/// String overrides: true and the text when `id` is overridden.
bool FindStringOverride(LONG id, String* text);
/// Resets the parts of the host state that live in other files.
void ResetMenusState();
void ResetStrings();
void ResetConsole();
/// A large block of at least `bytes` bytes for an array the host hands out; GeFree releases it.
void* AllocateLarge(size_t bytes);
/// Takes back a block of `AllocateLarge`; false for any other pointer.
bool ReleaseLarge(void* p);
/// A copy of `op` and everything below it whose points, polygons and UVWs are the very data of the
/// original (a change to either shows in both): the cache of a render instance.
BaseObject* CloneSharingData(const BaseObject* op);

}  // namespace host
