// The node shader of the node-based material: one material of a blend tree, carrying the plug-in
// material's whole parameter set with every ID raised by `NODE_ID_OFFSET`.
#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "c4d.h"
#include "material/customorvanematerial.h"

class TiXmlElement;
struct OrvaneSceneData;

/// Plug-in ID of the node shader.
constexpr LONG ID_ADVANCEDORVANEMATERIAL = 1025501;
/// The node shader's links to its child nodes a and b.
constexpr int NODE_BLEND_A = MAT_BLEND_A + NODE_ID_OFFSET;
constexpr int NODE_BLEND_B = MAT_BLEND_B + NODE_ID_OFFSET;

/// One node of a node-based material; the plug-in does not register it.
class AdvancedOrvaneMaterial : public ShaderData {
 public:
  AdvancedOrvaneMaterial();
  /// A new shader's data for the host.
  static NodeData* Alloc() { return new AdvancedOrvaneMaterial; }

  /// Writes the node defaults (a diffuse leaf), then `SetChannels`. True.
  Bool Init(GeListNode* node) override;
  /// Passes every message on to the albedo shader; after a parameter change sets the switches.
  Bool Message(GeListNode* node, LONG type, void* data) override;
  /// Loads the node's page and hides the child links.
  Bool GetDDescription(GeListNode* node, Description* description, LONG& flags) override;
  /// Greys out the constants and texture values that a linked shader overrides, as the plug-in
  /// material's page does; false without a node.
  Bool GetDEnabling(GeListNode* node, const DescID& id, const GeData& value, LONG flags,
                    const BaseContainer* itemdesc) override;
  /// 16.
  LONG GetRenderInfo(BaseShader* sh) override;
  /// Caches the albedo and emission colours and shaders; answers the albedo shader's preparation.
  LONG InitRender(BaseShader* sh, InitRenderStruct* irs) override;
  /// Ends the linked shaders' renders and drops the cache.
  void FreeRender(BaseShader* sh) override;
  /// The albedo shader's mapped colour, or the albedo colour. Prints nothing.
  LVector Output(BaseShader* sh, ChannelData* cd) override;

  /// Sets the node's channel and page switches from its type.
  static void SetChannels(BaseContainer* data);

  // --- Tree ---------------------------------------------------------------------------------

  /// The node's type (7024 read with default 0); 0 without a host node.
  int GetMaterialType() const;
  /// Child a, else child b, else null.
  BaseShader* GetFirstBlendChild() const;
  /// Child b of this node's blend parent when this node is child a and both children are set.
  BaseShader* GetSiblingBlend() const;
  /// Gives this node a new child node (a first); nothing when both children are set.
  void AddBlendMaterial();

  // --- Export -------------------------------------------------------------------------------

  /// Writes this node and, for a blend node, its subtree under `parent`; children are numbered
  /// through `counter`.
  void ExportMaterialXml(String name, TiXmlElement* parent, int background, OrvaneSceneData* sd,
                         int& counter);
  /// The blend-node writer: the children's elements, then "material" `name` holding "blend".
  Bool MaterialExportBlendMat(String name, BaseShader* node, TiXmlElement* parent, int& counter);

  /// The host node this data belongs to (set by `Init`).
  BaseShader* GetHostNode() const { return static_cast<BaseShader*>(Get()); }

 private:
  /// What one export of a tree shares: the nodes on the path with their element names, and the
  /// container's element name that prefixes a child name already written.
  struct TreeExport {
    String containerName;
    std::vector<std::pair<BaseShader*, String>> path;
  };
  void ExportNode(const String& name, TiXmlElement* parent, int background, OrvaneSceneData* sd, int& counter,
                  TreeExport& tree);
  Bool ExportBlend(const String& name, TiXmlElement* parent, int& counter, TreeExport& tree);

  // The writers of the plug-in material, reading this node's IDs; also the export state.
  CustomOrvaneMaterial writer_;
  using Sampler = CustomOrvaneMaterial::ShaderSampler;
  std::unique_ptr<Sampler> albedoRecord_;
  std::unique_ptr<Sampler> emissionRecord_;
  LVector albedoColor_;
  LVector emissionColor_;
};

/// Registers the node shader under the name of string resource 10021; true without registering
/// when that name is empty.
Bool RegisterAdvancedOrvaneMaterial();
