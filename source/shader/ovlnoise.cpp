#include "shader/ovlnoise.h"

#include "main/helpers.h"
#include "shader/ovlformat.h"
#include "shader/perlinnoise.h"

namespace {

// Octaves of the fBm type.
constexpr unsigned int kFbmOctaves = 8;
// Texture coordinates are stretched by this factor before the noise (the "10.0" of the text).
constexpr double kUVStretch = 10.0;

}  // namespace

Bool OVLnoise::Init(GeListNode* node) {
  OVLShaderData::Init(node);
  BaseContainer* bc = static_cast<BaseList2D*>(node)->GetDataInstance();
  bc->SetLong(OVLNOISE_TYPE, OVLNOISE_TYPE_NOISE);
  bc->SetLong(OVLNOISE_SPACE, OVLNOISE_SPACE_UV);
  bc->SetLong(OVLNOISE_COLOR_MODE, OVLNOISE_COLOR_MODE_TWO_COLORS);
  bc->SetVector(OVLNOISE_SCALE, LVector(1.0, 1.0, 1.0));
  bc->SetReal(OVLNOISE_BRIGHTNESS, 1.0);
  bc->SetVector(OVLNOISE_COLOR_A, LVector(1.0, 1.0, 1.0));
  bc->SetVector(OVLNOISE_COLOR_B, LVector(0.0, 0.0, 0.0));
  return true;
}

Bool OVLnoise::GetDEnabling(GeListNode* node, const DescID& id, const GeData&, LONG, const BaseContainer*) {
  if (!node) return false;
  const LONG param = id[0].id;
  if (param == OVLNOISE_COLOR_A || param == OVLNOISE_COLOR_B)
    return static_cast<BaseList2D*>(node)->GetDataInstance()->GetLong(OVLNOISE_COLOR_MODE) ==
           OVLNOISE_COLOR_MODE_TWO_COLORS;
  return true;
}

bool OVLnoise::ReadParams(BaseShader* sh, Params* out) {
  if (!sh) return false;
  const BaseContainer* bc = sh->GetDataInstance();
  out->type = bc->GetLong(OVLNOISE_TYPE);
  out->space = bc->GetLong(OVLNOISE_SPACE);
  out->colorMode = bc->GetLong(OVLNOISE_COLOR_MODE);
  out->scale = bc->GetVector(OVLNOISE_SCALE);
  out->brightness = bc->GetReal(OVLNOISE_BRIGHTNESS);
  out->sceneScale = Helpers::GetGlobalScale(Helpers::GetOrvaneRenderSettingsData(sh->GetDocument()));
  out->colorA = bc->GetVector(OVLNOISE_COLOR_A);
  out->colorB = bc->GetVector(OVLNOISE_COLOR_B);
  return true;
}

Bool OVLnoise::Initialize(BaseShader* sh) { return ReadParams(sh, &params_); }

LONG OVLnoise::InitRender(BaseShader* sh, InitRenderStruct*) {
  Initialize(sh);
  PerlinNoise::init();
  return INITRENDERRESULT_OK;
}

LVector OVLnoise::Evaluate(const Params& prm, const ChannelData& cd) {
  double x, y, z;
  const LVector& s = prm.scale;
  if (prm.space == OVLNOISE_SPACE_POSITION && cd.vd) {
    // Host y is up; the noise's third axis is.
    const LVector& p = cd.vd->p;
    const double k = prm.sceneScale;
    x = k * s.x * p.x;
    y = k * s.z * p.z;
    z = k * s.y * p.y;
  } else {
    x = kUVStretch * s.x * cd.p.x;
    y = kUVStretch * s.y * (1.0 - cd.p.y);
    z = kUVStretch * s.z * cd.p.z;
  }
  const double n = prm.type == OVLNOISE_TYPE_FBM ? PerlinNoise::FBM<double>(x, y, z, kFbmOctaves)
                                                 : PerlinNoise::noise<double>(x, y, z);
  const double b = prm.brightness;
  if (prm.colorMode != OVLNOISE_COLOR_MODE_TWO_COLORS) return LVector(n * b, n * b, n * b);
  const double t = (n + 1.0) * 0.5;
  const LVector& a = prm.colorA;
  const LVector& c = prm.colorB;
  return LVector((a.x + (c.x - a.x) * t) * b, (a.y + (c.y - a.y) * t) * b, (a.z + (c.z - a.z) * t) * b);
}

LVector OVLnoise::Output(BaseShader*, ChannelData* cd) { return cd ? Evaluate(params_, *cd) : LVector(); }

std::string OVLnoise::Code(const Params& prm, OVLReturnType type) {
  const LVector& s = prm.scale;
  const std::string point =
      prm.space == OVLNOISE_SPACE_POSITION
          ? "mulCompVec3(pos, vec3(" + OVLNumber(s.x) + ", " + OVLNumber(s.z) + ", " + OVLNumber(s.y) + "))"
          : "mulCompVec2(getTexCoords(0) * 10.0, vec2(" + OVLNumber(s.x) + ", " + OVLNumber(s.y) + "))";
  const bool twoColors = prm.colorMode == OVLNOISE_COLOR_MODE_TWO_COLORS;
  const bool fbm = prm.type == OVLNOISE_TYPE_FBM;
  const std::string call =
      std::string(twoColors ? (fbm ? "fbm01(" : "noise01(") : (fbm ? "fbm(" : "noise(")) + point +
      (fbm ? ",8)" : ")");
  const std::string b = OVLNumber(prm.brightness);
  if (twoColors) {
    const std::string lerp = "lerp(" + OVLColor(prm.colorA) + ", " + OVLColor(prm.colorB) + ", " + call + ")";
    return type == OVL_RETURN_VEC3 ? "(" + lerp + " * " + b + ")" : "(Vec3ToReal(" + lerp + ") * " + b + ")";
  }
  return type == OVL_RETURN_VEC3 ? "(vec3(" + call + ") * " + b + ")" : "(" + call + " * " + b + ")";
}

std::string OVLnoise::GetShaderCode(OVLReturnType type) {
  // Read into a copy: render threads may be sampling the members right now.
  Params prm;
  if (!ReadParams(GetShader(), &prm)) return FallbackCode(type);
  return Code(prm, type);
}

Bool RegisterOVLnoise() {
  return RegisterShaderPlugin(ID_OVLNOISE, "OVL Noise", 0, OVLnoise::Alloc, "xovlnoise", 0);
}
