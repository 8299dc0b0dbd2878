// The OVLblend shader.
#pragma once

#include <string>

#include "shader/ovlshaderdata.h"

/// Blends two generated shaders; exported as OVL code.
class OVLblend : public OVLShaderData {
 public:
  /// A new shader's data for the host.
  static NodeData* Alloc() { return new OVLblend; }
  /// The shader's expression; until its parameters are read, the family's fall-back text.
  std::string GetShaderCode(OVLReturnType type) override;
};

/// Registers the shader; answers the host's result.
Bool RegisterOVLblend();
