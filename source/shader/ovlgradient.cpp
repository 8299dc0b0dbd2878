#include "shader/ovlgradient.h"

#include <cmath>

#include "shader/ovlformat.h"

Bool OVLgradient::Init(GeListNode* node) {
  OVLShaderData::Init(node);
  BaseContainer* bc = static_cast<BaseList2D*>(node)->GetDataInstance();
  bc->SetLong(OVLGRADIENT_DIRECTION, OVLGRADIENT_DIRECTION_U);
  bc->SetReal(OVLGRADIENT_BRIGHTNESS, 1.0);
  bc->SetVector(OVLGRADIENT_COLOR_A, LVector(1.0, 1.0, 1.0));
  bc->SetVector(OVLGRADIENT_COLOR_B, LVector(0.0, 0.0, 0.0));
  return true;
}

bool OVLgradient::ReadParams(BaseShader* sh, Params* out) {
  if (!sh) return false;
  const BaseContainer* bc = sh->GetDataInstance();
  out->brightness = bc->GetReal(OVLGRADIENT_BRIGHTNESS);
  out->direction = bc->GetLong(OVLGRADIENT_DIRECTION);
  out->colorA = bc->GetVector(OVLGRADIENT_COLOR_A);
  out->colorB = bc->GetVector(OVLGRADIENT_COLOR_B);
  return true;
}

Bool OVLgradient::Initialize(BaseShader* sh) { return ReadParams(sh, &params_); }

LONG OVLgradient::InitRender(BaseShader* sh, InitRenderStruct*) {
  Initialize(sh);
  return INITRENDERRESULT_OK;
}

LVector OVLgradient::Evaluate(const Params& prm, const LVector& uvw) {
  double t;
  if (prm.direction == OVLGRADIENT_DIRECTION_V) {
    t = uvw.y;
  } else if (prm.direction == OVLGRADIENT_DIRECTION_RADIAL) {
    const double du = 0.5 - uvw.x, dv = 0.5 - uvw.y;
    t = 2.0 * std::sqrt(du * du + dv * dv + uvw.z * uvw.z);
  } else {
    t = uvw.x;
  }
  const LVector& a = prm.colorA;
  const LVector& b = prm.colorB;
  const double k = prm.brightness;
  return LVector((a.x + (b.x - a.x) * t) * k, (a.y + (b.y - a.y) * t) * k, (a.z + (b.z - a.z) * t) * k);
}

LVector OVLgradient::Output(BaseShader*, ChannelData* cd) {
  return cd ? Evaluate(params_, cd->p) : LVector();
}

std::string OVLgradient::Code(const Params& prm, OVLReturnType type) {
  const char* tail = prm.direction == OVLGRADIENT_DIRECTION_V ? ", dotj(getTexCoords(0)))"
                     : prm.direction == OVLGRADIENT_DIRECTION_RADIAL
                         ? ", length(vec2(0.5,0.5) - getTexCoords(0)) * 2.0 )"
                         : ", doti(getTexCoords(0)))";
  const std::string lerp = "lerp(" + OVLColor(prm.colorA) + ", " + OVLColor(prm.colorB) + tail;
  const std::string b = OVLNumber(prm.brightness);
  return type == OVL_RETURN_VEC3 ? lerp + " * " + b : "Vec3ToReal(" + lerp + ") * " + b;
}

std::string OVLgradient::GetShaderCode(OVLReturnType type) {
  // Read into a copy: render threads may be sampling the members right now.
  Params prm;
  if (!ReadParams(GetShader(), &prm)) return FallbackCode(type);
  return Code(prm, type);
}

Bool RegisterOVLgradient() {
  return RegisterShaderPlugin(ID_OVLGRADIENT, "OVL Gradient", 0, OVLgradient::Alloc, "xovlgradient", 0);
}
