// The OVLnormal shader.
#pragma once

#include <string>

#include "shader/ovlshaderdata.h"

/// A camera-normal shader; the plug-in does not register it.
class OVLnormal : public OVLShaderData {
 public:
  /// A new shader's data for the host.
  static NodeData* Alloc() { return new OVLnormal; }
  /// The shader's expression; until the camera is read, "Vector(1.0)" or "(1.0)".
  std::string GetShaderCode(OVLReturnType type) override;
};

/// Registers the shader; answers the host's result.
Bool RegisterOVLnormal();
