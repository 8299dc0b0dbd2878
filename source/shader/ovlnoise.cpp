#include "shader/ovlnoise.h"

std::string OVLnoise::GetShaderCode(OVLReturnType type) { return FallbackCode(type); }

Bool RegisterOVLnoise() {
  return RegisterShaderPlugin(ID_OVLNOISE, "OVL Noise", 0, OVLnoise::Alloc, "xovlnoise", 0);
}
