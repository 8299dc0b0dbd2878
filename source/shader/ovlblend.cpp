#include "shader/ovlblend.h"

std::string OVLblend::GetShaderCode(OVLReturnType type) { return FallbackCode(type); }

Bool RegisterOVLblend() {
  return RegisterShaderPlugin(ID_OVLBLEND, "OVL Blend", 0, OVLblend::Alloc, "xovlblend", 0);
}
