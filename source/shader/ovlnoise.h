// The OVLnoise shader.
#pragma once

#include "c4d.h"

/// A noise shader that the material writer exports as OVL code.
class OVLnoise : public ShaderData {
 public:
  /// A new shader's data for the host.
  static NodeData* Alloc() { return new OVLnoise; }
};

/// Registers the shader; answers the host's result.
Bool RegisterOVLnoise();
