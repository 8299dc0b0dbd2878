// The CorvanePreview interface element.
#pragma once

#include "c4d.h"

/// The material preview of the plug-in material's description.
class CorvanePreview : public CustomGuiData {};

/// Installs the element's function table and registers the element; false when the host refuses
/// either.
Bool RegisterPreviewGUI();
