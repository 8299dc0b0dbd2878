// The family of generated OVL shaders: each builds one OVL expression from its parameters and
// evaluates the same formula inside the host.
#pragma once

#include <string>

#include "c4d.h"

/// Plug-in IDs of the OVL shaders.
constexpr int ID_OVLSHADER = 1023863;    ///< The code shader (`OVLData`), not a generated shader.
constexpr int ID_OVLNOISE = 1024768;     ///< The noise shader (`OVLnoise`).
constexpr int ID_OVLBLEND = 1024769;     ///< The blend shader (`OVLblend`).
constexpr int ID_OVLGRADIENT = 1024770;  ///< The gradient shader (`OVLgradient`).
constexpr int ID_OVLNORMAL = 1000008;    ///< The camera-normal shader (`OVLnormal`), not registered.

/// The OVL type an expression must have.
enum OVLReturnType {
  OVL_RETURN_REAL = 0,  ///< real: scalar channels.
  OVL_RETURN_VEC3 = 1,  ///< vec3: colour channels.
};

/// `GetRenderInfo` answer of every generated shader.
constexpr LONG OVL_SHADER_RENDERINFO = 16;

/// Base of the generated OVL shaders.
class OVLShaderData : public ShaderData {
 public:
  /// True. A shader that writes defaults in its own `Init` calls this one first.
  Bool Init(GeListNode* node) override;
  /// 16 for every generated shader.
  LONG GetRenderInfo(BaseShader* sh) override;

  /// The bare OVL expression of the requested type: no prelude, no header, no newline.
  virtual std::string GetShaderCode(OVLReturnType type) = 0;

  /// The expression a shader answers when it cannot read its parameters: "Vector(1.0)" for
  /// `OVL_RETURN_VEC3`, "1.0" for any other type.
  static std::string FallbackCode(OVLReturnType type);

 protected:
  /// The shader node this data belongs to; null for data that no node carries.
  BaseShader* GetShader() const { return static_cast<BaseShader*>(Get()); }
};

/// True when `sh` is one of the four generated shader types (never the code shader); false for a
/// null shader.
Bool IsOVLShader(BaseShader* sh);
