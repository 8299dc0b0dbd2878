#include "shader/ovlgradient.h"

std::string OVLgradient::GetShaderCode(OVLReturnType type) { return FallbackCode(type); }

Bool RegisterOVLgradient() {
  return RegisterShaderPlugin(ID_OVLGRADIENT, "OVL Gradient", 0, OVLgradient::Alloc, "xovlgradient",
                              0);
}
