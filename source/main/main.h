// Start-up, messages and end of the plug-in, and its menu entries.
#pragma once

#include "c4d.h"

class InstanceSuppresser;

/// Adds the plug-in's entries to the host's picture-viewer and material-manager menus, once.
void EnhanceMainMenu();
/// Registers the two separator entries of the plug-in menu; true when both were registered.
Bool RegisterSeparators();
/// The shared suppresser while the plug-in is started, else null.
InstanceSuppresser* GetInstanceSuppresser();

/// The start-up banner's rule: 127 characters.
extern const char kBannerRule[];
