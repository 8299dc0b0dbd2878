// The OVLnoise shader.
#pragma once

#include <string>

#include "shader/ovlshaderdata.h"

/// A noise shader that the material writer exports as OVL code.
class OVLnoise : public OVLShaderData {
 public:
  /// A new shader's data for the host.
  static NodeData* Alloc() { return new OVLnoise; }
  /// The shader's expression; until its parameters are read, the family's fall-back text.
  std::string GetShaderCode(OVLReturnType type) override;
};

/// Registers the shader; answers the host's result.
Bool RegisterOVLnoise();
