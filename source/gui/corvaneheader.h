// The CorvaneHeader interface element.
#pragma once

#include "c4d.h"

/// The header image at the top of the plug-in's descriptions.
class CorvaneHeader : public CustomGuiData {};

/// Installs the element's function table and registers the element; false when the host refuses
/// either.
Bool RegisterHeaderGUI();
