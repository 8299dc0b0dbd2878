// The OVLnormal shader: the surface normal as the camera of the document's active view sees it.
// Complete, but the plug-in does not register it at start-up.
#pragma once

#include <string>

#include "shader/ovlshaderdata.h"

/// A camera-normal shader; the plug-in does not register it.
class OVLnormal : public OVLShaderData {
 public:
  /// A new shader's data for the host.
  static NodeData* Alloc() { return new OVLnormal; }

  /// No parameters; true.
  Bool Init(GeListNode* node) override;
  /// Captures the camera matrix of the active view for sampling; always `INITRENDERRESULT_OK`.
  LONG InitRender(BaseShader* sh, InitRenderStruct* irs) override;
  /// The sample's normal, reordered to (x, z, -y) and normalised, through the captured camera
  /// axes; (0, 0, 0) for a zero normal.
  LVector Output(BaseShader* sh, ChannelData* cd) override;
  /// The camera matrix applied to the world normal, as OVL text; the fall-back without a node.
  std::string GetShaderCode(OVLReturnType type) override;

  /// False for a null shader, else true (the shader has no parameters).
  Bool Initialize(BaseShader* sh);
  /// The camera matrix of the active view of the document of `sh`; the identity when the shader
  /// lies in no document or the document has no view.
  static LMatrix CameraMatrix(BaseShader* sh);
  /// The expression for camera matrix `m` and `type`.
  static std::string Code(const LMatrix& m, OVLReturnType type);
  /// The host evaluation with camera matrix `m` for normal `n`.
  static LVector Evaluate(const LMatrix& m, const LVector& n);

 private:
  LMatrix camera_;  // captured by InitRender, read by Output
};

/// Registers the shader; answers the host's result.
Bool RegisterOVLnormal();
