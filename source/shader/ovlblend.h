// The OVLblend shader.
#pragma once

#include "c4d.h"

/// Blends two shaders; exported as OVL code.
class OVLblend : public ShaderData {
 public:
  /// A new shader's data for the host.
  static NodeData* Alloc() { return new OVLblend; }
};

/// Registers the shader; answers the host's result.
Bool RegisterOVLblend();
