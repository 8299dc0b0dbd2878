// The family of generated OVL shaders: each builds one OVL expression from its parameters and
// evaluates the same formula inside the host.
#pragma once

#include <string>

#include "c4d.h"

/// Plug-in IDs of the OVL shaders.
constexpr int ID_OVLSHADER = 1023863;   ///< The code shader (`OVLData`), not a generated shader.
constexpr int ID_OVLNOISE = 1024768;
constexpr int ID_OVLBLEND = 1024769;
constexpr int ID_OVLGRADIENT = 1024770;
constexpr int ID_OVLNORMAL = 1000008;

/// The OVL type an expression must have.
enum OVLReturnType {
  OVL_RETURN_REAL = 0,  ///< real: scalar channels.
  OVL_RETURN_VEC3 = 1,  ///< vec3: colour channels.
};

/// Base of the generated OVL shaders.
class OVLShaderData : public ShaderData {
 public:
  /// The bare OVL expression of the requested type: no prelude, no header, no newline.
  virtual std::string GetShaderCode(OVLReturnType type) = 0;
};

/// True when `sh` is one of the four generated shader types (never the code shader).
Bool IsOVLShader(BaseShader* sh);
