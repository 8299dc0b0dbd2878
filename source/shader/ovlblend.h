// The OVLblend shader: adds, subtracts or multiplies two generated shaders and scales the result.
// Its expression embeds its children's, so blends nest.
#pragma once

#include <string>

#include "shader/ovlshaderdata.h"

/// Parameters of the blend shader.
enum {
  OVLBLEND_SHADER_A = 1600,       ///< LINK: child A.
  OVLBLEND_SHADER_B = 1601,       ///< LINK: child B.
  OVLBLEND_MODE = 1602,           ///< LONG: how the children combine.
  OVLBLEND_MODE_ADD = 1603,       ///< a + b.
  OVLBLEND_MODE_SUBTRACT = 1604,  ///< a - b.
  OVLBLEND_MODE_MULTIPLY = 1605,  ///< a * b, component by component.
  OVLBLEND_AMOUNT = 1606,         ///< REAL: factor on the combined value.
};

/// Blends two generated shaders; exported as OVL code.
///
/// Only generated shaders can be children; a link to any other shader counts as none. A child
/// that is a shader already on the chain of blends leading to it (a link cycle) also counts as
/// none, so no operation recurses without end.
class OVLblend : public OVLShaderData {
 public:
  /// A linked child: its plug-in data and its node, or neither.
  struct Child {
    OVLShaderData* data = nullptr;
    BaseShader* node = nullptr;
  };
  /// The blends on the way from the outermost one to the present one (on the stack).
  struct Chain {
    const BaseShader* shader;
    const Chain* up;
    /// True when `sh` is on the chain.
    bool Holds(const BaseShader* sh) const;
  };

  /// A new shader's data for the host.
  static NodeData* Alloc() { return new OVLblend; }

  /// Writes the default mode and amount; the links stay empty; true.
  Bool Init(GeListNode* node) override;
  /// Reads the parameters and children and prepares the children; always `INITRENDERRESULT_OK`.
  LONG InitRender(BaseShader* sh, InitRenderStruct* irs) override;
  /// Ends the children's render and forgets them.
  void FreeRender(BaseShader* sh) override;
  /// The children's values (white for a missing child) combined by the mode, times the amount.
  LVector Output(BaseShader* sh, ChannelData* cd) override;
  /// The shader's expression with its children's embedded, read from the present parameters and
  /// links; the fall-back without a node.
  std::string GetShaderCode(OVLReturnType type) override;

  /// Copies the parameters of `sh` into the shader and resolves its children; false (nothing
  /// read) for a null shader.
  Bool Initialize(BaseShader* sh);
  /// The generated shader linked under `id` in the container of `sh`, or no child.
  static Child LinkedChild(BaseShader* sh, LONG id);

 private:
  LONG InitRenderOn(BaseShader* sh, InitRenderStruct* irs, const Chain* chain);
  void FreeRenderOn(BaseShader* sh, const Chain* chain);
  LVector OutputOn(BaseShader* sh, ChannelData* cd, const Chain* chain);
  static std::string CodeOn(BaseShader* sh, OVLReturnType type, const Chain* chain);

  LONG mode_ = 0;
  double amount_ = 0.0;
  Child childA_;
  Child childB_;
};

/// Registers the shader; answers the host's result.
Bool RegisterOVLblend();
