// The container material of the node-based material.
#pragma once

#include "c4d.h"

/// A material that holds a tree of node shaders; the plug-in does not register it.
class OrvaneContainerMaterial : public MaterialData {
 public:
  /// A new material's data for the host.
  static NodeData* Alloc() { return new OrvaneContainerMaterial; }
};

/// Registers the container material under the name of string resource 10021.
Bool RegisterOrvaneContainerMaterial();
