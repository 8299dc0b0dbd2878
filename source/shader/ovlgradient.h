// The OVLgradient shader.
#pragma once

#include "c4d.h"

/// A gradient shader that the material writer exports as OVL code.
class OVLgradient : public ShaderData {
 public:
  /// A new shader's data for the host.
  static NodeData* Alloc() { return new OVLgradient; }
};

/// Registers the shader; answers the host's result.
Bool RegisterOVLgradient();
