// The OVLgradient shader: a linear blend between two colours along u, along v, or outwards from
// the texture centre, scaled by a brightness.
#pragma once

#include <string>

#include "shader/ovlshaderdata.h"

/// Parameters of the gradient shader (they share numbers with the blend shader's).
enum {
  OVLGRADIENT_BRIGHTNESS = 1600,        ///< REAL: factor on the result.
  OVLGRADIENT_DIRECTION_U = 1601,       ///< Along u (also any unknown direction).
  OVLGRADIENT_DIRECTION_V = 1602,       ///< Along v.
  OVLGRADIENT_DIRECTION_RADIAL = 1603,  ///< Outwards from the texture centre.
  OVLGRADIENT_DIRECTION = 1604,         ///< LONG: the gradient's direction.
  OVLGRADIENT_COLOR_A = 1605,           ///< VECTOR: colour at parameter 0.
  OVLGRADIENT_COLOR_B = 1606,           ///< VECTOR: colour at parameter 1.
};

/// A gradient shader that the material writer exports as OVL code.
class OVLgradient : public OVLShaderData {
 public:
  /// The parameters as the shader uses them.
  struct Params {
    LONG direction = 0;
    double brightness = 0.0;
    LVector colorA;
    LVector colorB;
  };

  /// A new shader's data for the host.
  static NodeData* Alloc() { return new OVLgradient; }

  /// Writes the default parameters; true.
  Bool Init(GeListNode* node) override;
  /// Reads the parameters for sampling; always `INITRENDERRESULT_OK`.
  LONG InitRender(BaseShader* sh, InitRenderStruct* irs) override;
  /// The gradient's colour at the sample's texture coordinate (not clamped).
  LVector Output(BaseShader* sh, ChannelData* cd) override;
  /// The shader's expression, read from its present parameters; the fall-back without a node.
  std::string GetShaderCode(OVLReturnType type) override;

  /// Copies the parameters of `sh` into the shader; false (nothing read) for a null shader.
  Bool Initialize(BaseShader* sh);
  /// The parameters of `sh`; false for a null shader.
  static bool ReadParams(BaseShader* sh, Params* out);
  /// The expression of `params` for `type`.
  static std::string Code(const Params& params, OVLReturnType type);
  /// The host evaluation of `params` at texture coordinate `uvw`.
  static LVector Evaluate(const Params& params, const LVector& uvw);

 private:
  Params params_;
};

/// Registers the shader; answers the host's result.
Bool RegisterOVLgradient();
