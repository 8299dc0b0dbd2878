// The OVLData shader.
#pragma once

#include "c4d.h"

/// A shader that carries OVL code typed by the user.
class OVLData : public ShaderData {
 public:
  /// A new shader's data for the host.
  static NodeData* Alloc() { return new OVLData; }
};

/// Registers the shader; answers the host's result.
Bool RegisterOVL();
