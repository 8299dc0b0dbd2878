// The container material of the node-based material.
#pragma once

#include "c4d.h"

class TiXmlElement;
struct OrvaneSceneData;

/// Plug-in ID of the container material.
constexpr LONG ID_ORVANECONTAINERMATERIAL = 1025500;
/// Link to the container itself.
constexpr int MAT_CONTAINER_SELF = 6201;
/// Link to the root node shader (hidden on the page).
constexpr int MAT_CONTAINER_ROOT = 6202;

/// A material that holds a tree of node shaders; the plug-in does not register it.
class OrvaneContainerMaterial : public MaterialData {
 public:
  /// A new material's data for the host.
  static NodeData* Alloc() { return new OrvaneContainerMaterial; }

  /// Writes the container's parameters and gives it a new root node (a diffuse leaf). True.
  Bool Init(GeListNode* node) override;
  /// True; handles nothing.
  Bool Message(GeListNode* node, LONG type, void* data) override;
  /// Loads the page and hides the root link.
  Bool GetDDescription(GeListNode* node, Description* description, LONG& flags) override;
  /// 0x6000006.
  LONG GetRenderInfo(BaseMaterial* mat) override;
  /// Takes the root node for the render and prepares it; success without a root.
  LONG InitRender(BaseMaterial* mat, const InitRenderStruct& irs) override;
  /// Ends the root's render and forgets the root.
  void FreeRender(BaseMaterial* mat) override;
  /// The root's colour (grey 0.8 without one) lit by the host's diffuse illumination.
  void CalcSurface(BaseMaterial* mat, VolumeData* vd) override;
  /// Opaque.
  void CalcTransparency(BaseMaterial* mat, VolumeData* vd) override;
  /// True; draws nothing.
  Bool InitGLImage(BaseMaterial* mat, BaseDocument* doc, BaseThread* th, BaseBitmap* bmp, LONG doccolorspace,
                   Bool linearworkflow) override;

  /// Writes the node tree as one material named `name` under `parent` (nothing without parent,
  /// scene data, document or root node).
  void ExportMaterialXml(String name, TiXmlElement* parent, int background, OrvaneSceneData* sd);
  /// True when `material`, this container's host node and `material`'s document are present;
  /// changes nothing.
  Bool ConvertBaseMaterial(BaseMaterial* material);

  /// The root node in use by a render (null outside one).
  BaseShader* RenderRoot() const { return root_; }

 private:
  BaseMaterial* node_ = nullptr;
  BaseShader* root_ = nullptr;
};

/// Registers the container material under the name of string resource 10021; true without
/// registering when that name is empty.
Bool RegisterOrvaneContainerMaterial();
