// The OVLnoise shader: single-octave noise or eight-octave fBm over the texture coordinates or the
// surface position, as a grey value or a blend of two colours, scaled by a brightness.
#pragma once

#include <string>

#include "shader/ovlshaderdata.h"

/// Parameters of the noise shader.
enum {
  OVLNOISE_TYPE = 1500,                   ///< LONG: one octave or fBm.
  OVLNOISE_TYPE_NOISE = 1501,             ///< One octave (also any unknown type).
  OVLNOISE_TYPE_FBM = 1502,               ///< Eight-octave fBm.
  OVLNOISE_SPACE = 1503,                  ///< LONG: where the noise is evaluated.
  OVLNOISE_SPACE_UV = 1504,               ///< Texture coordinates (also any unknown space).
  OVLNOISE_SPACE_POSITION = 1505,         ///< Surface position.
  OVLNOISE_SCALE = 1506,                  ///< VECTOR: per-axis scale of the evaluation point.
  OVLNOISE_BRIGHTNESS = 1507,             ///< REAL: factor on the result.
  OVLNOISE_COLOR_MODE = 1508,             ///< LONG: two colours, or grey for any other value.
  OVLNOISE_COLOR_MODE_TWO_COLORS = 1509,  ///< Blend colour A (noise -1) to colour B (noise +1).
  OVLNOISE_COLOR_A = 1511,                ///< VECTOR: colour at noise value -1.
  OVLNOISE_COLOR_B = 1512,                ///< VECTOR: colour at noise value +1.
};

/// A noise shader that the material writer exports as OVL code.
class OVLnoise : public OVLShaderData {
 public:
  /// The parameters as the shader uses them.
  struct Params {
    LONG type = 0;
    LONG space = 0;
    LONG colorMode = 0;
    LVector scale;
    double sceneScale = 0.0;
    double brightness = 0.0;
    LVector colorA;
    LVector colorB;
  };

  /// A new shader's data for the host.
  static NodeData* Alloc() { return new OVLnoise; }

  /// Writes the default parameters; true.
  Bool Init(GeListNode* node) override;
  /// Colours A and B are editable only in two-colour mode; everything else always; false for a
  /// null node.
  Bool GetDEnabling(GeListNode* node, const DescID& id, const GeData& value, LONG flags,
                    const BaseContainer* itemdesc) override;
  /// Reads the parameters for sampling; always `INITRENDERRESULT_OK`.
  LONG InitRender(BaseShader* sh, InitRenderStruct* irs) override;
  /// The noise colour at the sample's texture coordinate, or at its surface point in position
  /// space when the sample carries one.
  LVector Output(BaseShader* sh, ChannelData* cd) override;
  /// The shader's expression, read from its present parameters; the fall-back without a node.
  std::string GetShaderCode(OVLReturnType type) override;

  /// Copies the parameters of `sh` into the shader; false (nothing read) for a null shader.
  Bool Initialize(BaseShader* sh);
  /// The parameters of `sh`, the scene scale of its document included; false for a null shader.
  static bool ReadParams(BaseShader* sh, Params* out);
  /// The expression of `params` for `type`.
  static std::string Code(const Params& params, OVLReturnType type);
  /// The host evaluation of `params` at `cd`.
  static LVector Evaluate(const Params& params, const ChannelData& cd);

 private:
  Params params_;
};

/// Registers the shader; answers the host's result.
Bool RegisterOVLnoise();
