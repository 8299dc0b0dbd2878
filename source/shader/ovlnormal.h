// The OVLnormal shader.
#pragma once

#include "c4d.h"

/// A camera-normal shader; the plug-in does not register it.
class OVLnormal : public ShaderData {
 public:
  /// A new shader's data for the host.
  static NodeData* Alloc() { return new OVLnormal; }
};

/// Registers the shader; answers the host's result.
Bool RegisterOVLnormal();
