// The MaterialTree interface element.
#pragma once

#include "c4d.h"

/// The tree of a blend material's layers.
class MaterialTree : public CustomGuiData {};

/// Installs the element's function table and registers the element; false when the host refuses
/// either.
Bool RegisterTreeGUI();
