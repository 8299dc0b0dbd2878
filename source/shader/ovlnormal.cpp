#include "shader/ovlnormal.h"

std::string OVLnormal::GetShaderCode(OVLReturnType type) {
  return type == OVL_RETURN_VEC3 ? "Vector(1.0)" : "(1.0)";
}

Bool RegisterOVLnormal() {
  return RegisterShaderPlugin(ID_OVLNORMAL, "OVL Normal", 0, OVLnormal::Alloc, "xovlnormal", 0);
}
