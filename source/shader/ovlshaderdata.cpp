#include "shader/ovlshaderdata.h"

Bool OVLShaderData::Init(GeListNode*) { return true; }

LONG OVLShaderData::GetRenderInfo(BaseShader*) { return OVL_SHADER_RENDERINFO; }

std::string OVLShaderData::FallbackCode(OVLReturnType type) {
  return type == OVL_RETURN_VEC3 ? "Vector(1.0)" : "1.0";
}

Bool IsOVLShader(BaseShader* sh) {
  if (!sh) return false;
  for (LONG id : {ID_OVLNOISE, ID_OVLBLEND, ID_OVLGRADIENT, ID_OVLNORMAL})
    if (sh->IsInstanceOf(id)) return true;
  return false;
}
