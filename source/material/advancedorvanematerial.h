// The node shader of the node-based material.
#pragma once

#include "c4d.h"

/// One node of a node-based material; the plug-in does not register it.
class AdvancedOrvaneMaterial : public ShaderData {
 public:
  /// A new shader's data for the host.
  static NodeData* Alloc() { return new AdvancedOrvaneMaterial; }
};

/// Registers the node shader under the name of string resource 10021.
Bool RegisterAdvancedOrvaneMaterial();
