// The node shader: defaults, switches, tree operations, host sampling and export of a blend tree.
#include "material/advancedorvanematerial.h"

#include <tinyxml.h>

#include <memory>

#include "export/orvanescenedata.h"
#include "export/xmlbuilders.h"
#include "main/helpers.h"
#include "main/lightlayers.h"
#include "material/exportbasematerial.h"
#include "material/materiallayout.h"

namespace {

constexpr int O = NODE_ID_OFFSET;
// The render information the node asks of the host.
constexpr LONG kRenderInfo = 16;
// The host's message after a parameter of the node changed.
constexpr LONG kMsgUpdate = 20;
// The host's message that a node's data changed.
constexpr LONG kMsgChange = 7;
// A child name that the scene's null material stands for.
const char* const kNullMaterial = "nullMat";

// The node shader that `id` links in `doc`, or null.
BaseShader* LinkedNode(const BaseContainer* data, int id, BaseDocument* doc) {
  auto* node = static_cast<BaseShader*>(data->GetLink(id, doc, Xbase));
  return node && node->GetType() == ID_ADVANCEDORVANEMATERIAL ? node : nullptr;
}

AdvancedOrvaneMaterial* NodeOf(BaseShader* node) {
  return node ? static_cast<AdvancedOrvaneMaterial*>(node->GetNodeData()) : nullptr;
}

}  // namespace

AdvancedOrvaneMaterial::AdvancedOrvaneMaterial() { writer_.idOffset = NODE_ID_OFFSET; }

Bool AdvancedOrvaneMaterial::Init(GeListNode* node) {
  if (!node) return true;
  BaseContainer* bc = static_cast<BaseShader*>(node)->GetDataInstance();
  CustomOrvaneMaterial::WriteDefaults(bc, NODE_ID_OFFSET);
  SetChannels(bc);
  return true;
}

void AdvancedOrvaneMaterial::SetChannels(BaseContainer* data) {
  if (!data) return;
  struct Row {
    int type;
    std::vector<int> on, off;
  };
  // Switches a row does not name stay as they are.
  static const std::vector<Row> rows = {
      {MAT_TYPE_DIFFUSE,
       {MAT_USE_ALBEDO},
       {MAT_USE_ALPHA, MAT_SHOW_PHONG, MAT_SHOW_MEDIUM, MAT_USE_EXPONENT, MAT_USE_SIGMA, MAT_SHOW_SPECULAR,
        MAT_USE_ABSORPTION_LAYER}},
      {MAT_TYPE_DIFFUSE_TRANSMITTER,
       {MAT_USE_ALBEDO},
       {MAT_USE_ALPHA, MAT_SHOW_PHONG, MAT_SHOW_MEDIUM, MAT_USE_EXPONENT, MAT_USE_SIGMA, MAT_SHOW_SPECULAR,
        MAT_USE_ABSORPTION_LAYER}},
      {MAT_TYPE_OREN_NAYAR,
       {MAT_USE_ALBEDO, MAT_USE_SIGMA},
       {MAT_USE_ALPHA, MAT_SHOW_PHONG, MAT_SHOW_MEDIUM, MAT_USE_EXPONENT, MAT_SHOW_SPECULAR,
        MAT_USE_ABSORPTION_LAYER}},
      {MAT_TYPE_PHONG,
       {MAT_USE_ALBEDO, MAT_SHOW_PHONG, MAT_USE_EXPONENT},
       {MAT_USE_ALPHA, MAT_SHOW_MEDIUM, MAT_USE_SIGMA, MAT_SHOW_SPECULAR, MAT_USE_ABSORPTION_LAYER}},
      {MAT_TYPE_SPECULAR,
       {MAT_SHOW_MEDIUM, MAT_SHOW_SPECULAR},
       {MAT_USE_ALPHA, MAT_USE_ALBEDO, MAT_SHOW_PHONG, MAT_USE_EXPONENT, MAT_USE_SIGMA}},
      {MAT_TYPE_GLOSSY_TRANSPARENT,
       {MAT_SHOW_MEDIUM, MAT_USE_EXPONENT},
       {MAT_USE_ALPHA, MAT_USE_ALBEDO, MAT_SHOW_PHONG, MAT_USE_SIGMA, MAT_SHOW_SPECULAR}},
      {MAT_TYPE_BLEND,
       {MAT_USE_ALPHA},
       {MAT_USE_ALBEDO, MAT_SHOW_PHONG, MAT_SHOW_MEDIUM, MAT_USE_EXPONENT, MAT_USE_SIGMA, MAT_USE_BUMP,
        MAT_USE_DISPLACEMENT, MAT_USE_EMISSION, MAT_SHOW_SPECULAR, MAT_USE_ABSORPTION_LAYER}},
      {MAT_TYPE_NULL,
       {},
       {MAT_USE_ALPHA, MAT_USE_ALBEDO, MAT_SHOW_PHONG, MAT_SHOW_MEDIUM, MAT_USE_EXPONENT, MAT_USE_SIGMA,
        MAT_USE_BUMP, MAT_USE_DISPLACEMENT, MAT_USE_EMISSION, MAT_SHOW_SPECULAR, MAT_USE_ABSORPTION_LAYER}},
  };
  const LONG type = data->GetLong(O + MAT_TYPE, O + MAT_TYPE_DIFFUSE) - O;
  for (const Row& row : rows) {
    if (row.type != type) continue;
    for (int id : row.on) data->SetBool(O + id, true);
    for (int id : row.off) data->SetBool(O + id, false);
    return;
  }
}

Bool AdvancedOrvaneMaterial::Message(GeListNode* node, LONG type, void* data) {
  if (!node) return true;
  BaseContainer* bc = static_cast<BaseList2D*>(node)->GetDataInstance();
  HandleInitialChannel(node, O + MAT_ALBEDO_SHADER, type, data);
  HandleShaderMessage(
      node, static_cast<BaseShader*>(bc->GetLink(O + MAT_ALBEDO_SHADER, node->GetDocument(), Xbase)), type,
      data);
  if (type == kMsgUpdate) SetChannels(bc);
  return true;
}

Bool AdvancedOrvaneMaterial::GetDDescription(GeListNode* node, Description* description, LONG& flags) {
  if (!node || !description || !description->LoadDescription(ID_ADVANCEDORVANEMATERIAL)) return false;
  BaseContainer* data = static_cast<BaseList2D*>(node)->GetDataInstance();
  if (BaseDocument* doc = node->GetDocument()) {
    if (!Helpers::AddLightLayerContainer(description, data, O + MAT_LIGHT_LAYER, doc)) return false;
  }
  MaterialLayout::Apply(description, data, MaterialLayout::Page::kNode);
  flags |= DESCFLAGS_DESC_LOADED;
  return true;
}

Bool AdvancedOrvaneMaterial::GetDEnabling(GeListNode* node, const DescID& id, const GeData& value, LONG flags,
                                          const BaseContainer* itemdesc) {
  if (!node) return false;
  BaseContainer* data = static_cast<BaseList2D*>(node)->GetDataInstance();
  BaseDocument* doc = node->GetDocument();
  const int enabled = MaterialLayout::Enabling(
      id[0].id, data, doc, MaterialLayout::Page::kNode,
      [&](LONG link) { return writer_.OvlShaderUsed(data, doc, static_cast<int>(link)); });
  if (enabled >= 0) return enabled != 0;
  return ShaderData::GetDEnabling(node, id, value, flags, itemdesc);
}

LONG AdvancedOrvaneMaterial::GetRenderInfo(BaseShader*) { return kRenderInfo; }

LONG AdvancedOrvaneMaterial::InitRender(BaseShader* sh, InitRenderStruct* irs) {
  FreeRender(sh);
  if (!sh) return INITRENDERRESULT_OK;
  const BaseContainer* data = sh->GetDataInstance();
  BaseDocument* doc = sh->GetDocument();
  auto record = [&](int link, int aId) -> std::unique_ptr<Sampler> {
    auto* shader = static_cast<BaseShader*>(data->GetLink(O + link, doc, Xbase));
    if (!shader) return nullptr;
    std::unique_ptr<Sampler> s(new Sampler);
    s->shader = shader;
    s->a = data->GetReal(O + aId);
    s->b = data->GetReal(O + aId + 1);
    s->c = data->GetReal(O + aId + 2);
    return s;
  };
  albedoColor_ = GetColor(data, O + MAT_USE_ALBEDO, O);
  albedoRecord_ = record(MAT_ALBEDO_SHADER, MAT_ALBEDO_TEX_A);
  emissionColor_ = LVector();
  if (data->GetBool(O + MAT_USE_EMISSION)) {
    emissionColor_ = GetColor(data, O + MAT_USE_EMISSION, O);
    emissionRecord_ = record(MAT_EMISSION_SHADER, MAT_EMISSION_TEX_A);
  }
  LONG result = INITRENDERRESULT_OK;
  if (albedoRecord_) result = albedoRecord_->shader->InitRender(irs);
  if (emissionRecord_) emissionRecord_->shader->InitRender(irs);
  return result;
}

void AdvancedOrvaneMaterial::FreeRender(BaseShader*) {
  if (albedoRecord_) albedoRecord_->shader->FreeRender();
  if (emissionRecord_) emissionRecord_->shader->FreeRender();
  albedoRecord_.reset();
  emissionRecord_.reset();
}

LVector AdvancedOrvaneMaterial::Output(BaseShader*, ChannelData* cd) {
  // Runs on every render thread for every sample: prints nothing.
  if (!albedoRecord_) return albedoColor_;
  return albedoRecord_->Sample(cd);
}

int AdvancedOrvaneMaterial::GetMaterialType() const {
  return GetHostNode() ? static_cast<int>(GetHostNode()->GetDataInstance()->GetLong(O + MAT_TYPE, 0)) : 0;
}

BaseShader* AdvancedOrvaneMaterial::GetFirstBlendChild() const {
  if (!GetHostNode()) return nullptr;
  const BaseContainer* data = GetHostNode()->GetDataInstance();
  BaseDocument* doc = GetActiveDocument();
  if (BaseShader* a = LinkedNode(data, NODE_BLEND_A, doc)) return a;
  return LinkedNode(data, NODE_BLEND_B, doc);
}

BaseShader* AdvancedOrvaneMaterial::GetSiblingBlend() const {
  if (!GetHostNode()) return nullptr;
  // The root's parent is the container material: look at the type before taking it as a node.
  GeListNode* up = GetHostNode()->GetUp();
  if (!up || up->GetType() != ID_ADVANCEDORVANEMATERIAL) return nullptr;
  auto* parent = static_cast<BaseShader*>(up);
  const BaseContainer* data = parent->GetDataInstance();
  if (data->GetLong(O + MAT_TYPE) != O + MAT_TYPE_BLEND) return nullptr;
  BaseDocument* doc = GetActiveDocument();
  BaseShader* a = LinkedNode(data, NODE_BLEND_A, doc);
  BaseShader* b = LinkedNode(data, NODE_BLEND_B, doc);
  if (!a || !b || b == GetHostNode()) return nullptr;
  return b;
}

void AdvancedOrvaneMaterial::AddBlendMaterial() {
  if (!GetHostNode()) return;
  BaseContainer* data = GetHostNode()->GetDataInstance();
  BaseDocument* doc = GetActiveDocument();
  const bool hasA = LinkedNode(data, NODE_BLEND_A, doc) != nullptr;
  if (hasA && LinkedNode(data, NODE_BLEND_B, doc)) return;
  BaseShader* child = BaseShader::Alloc(ID_ADVANCEDORVANEMATERIAL);
  if (!child) return;
  // One undo step: the parent's link and the new child.
  BaseDocument* nodeDoc = GetHostNode()->GetDocument();
  if (nodeDoc) {
    nodeDoc->StartUndo();
    nodeDoc->AddUndo(UNDOTYPE_CHANGE_SMALL, GetHostNode());
  }
  data->SetLink(hasA ? NODE_BLEND_B : NODE_BLEND_A, child);
  child->InsertUnderLast(GetHostNode());
  if (child->GetUp() != GetHostNode()) MessageDialog(String("shader not inserted correctly!"));
  if (nodeDoc) {
    nodeDoc->AddUndo(UNDOTYPE_NEW, child);
    nodeDoc->EndUndo();
  }
  GetHostNode()->Message(kMsgChange);
  EventAdd();
}

void AdvancedOrvaneMaterial::ExportMaterialXml(String name, TiXmlElement* parent, int background,
                                               OrvaneSceneData* sd, int& counter) {
  TreeExport tree;
  tree.containerName = name;
  ExportNode(name, parent, background, sd, counter, tree);
}

void AdvancedOrvaneMaterial::ExportNode(const String& name, TiXmlElement* parent, int background,
                                        OrvaneSceneData* sd, int& counter, TreeExport& tree) {
  if (!sd || !sd->document || !parent || !GetHostNode()) return;
  // The writer state is this node's for the time of its own elements; a child's export uses the
  // child's writer.
  struct State {
    CustomOrvaneMaterial& w;
    ~State() { w.sceneData = nullptr; }
  } state{writer_};
  tree.path.emplace_back(GetHostNode(), name);
  struct Pop {
    TreeExport& t;
    ~Pop() { t.path.pop_back(); }
  } pop{tree};

  BaseList2D* host = GetHostNode();
  const LONG type = GetHostNode()->GetDataInstance()->GetLong(O + MAT_TYPE, 0) - O;
  writer_.sceneData = sd;
  writer_.textureIndex = 0;
  writer_.background = background;
  // A clay render writes every node but a blend as clay, null nodes included, as it does the
  // plug-in material; only the background keeps its model.
  if (!background && type != MAT_TYPE_BLEND && sd->clayMode) {
    writer_.MaterialExportClayMaterial(name, host, parent);
    return;
  }
  switch (type) {
    case MAT_TYPE_DIFFUSE: writer_.MaterialExportDiffuseMaterial(name, host, parent); break;
    case MAT_TYPE_OREN_NAYAR: writer_.MaterialExportOrenNayarMaterial(name, host, parent); break;
    case MAT_TYPE_PHONG: writer_.MaterialExportPhongMaterial(name, host, parent); break;
    case MAT_TYPE_DIFFUSE_TRANSMITTER: writer_.MaterialExportDiffuseTransMaterial(name, host, parent); break;
    case MAT_TYPE_SPECULAR:
      writer_.MaterialExportMedium(name, host, parent);
      writer_.MaterialExportSpecularMaterial(name, host, parent);
      break;
    case MAT_TYPE_GLOSSY_TRANSPARENT:
      writer_.MaterialExportMedium(name, host, parent);
      writer_.MaterialExportGlossyMaterial(name, host, parent);
      break;
    case MAT_TYPE_BLEND: ExportBlend(name, parent, counter, tree); break;
    default:
      // A null node (or a type this writer does not know) still defines the name its parent uses.
      AppendNullMaterial(name, parent);
      break;
  }
}

Bool AdvancedOrvaneMaterial::MaterialExportBlendMat(String name, BaseShader* node, TiXmlElement* parent,
                                                    int& counter) {
  AdvancedOrvaneMaterial* data = NodeOf(node);
  if (!data || !parent || !writer_.sceneData || !writer_.sceneData->document) return false;
  TreeExport tree;
  tree.containerName = name;
  tree.path.emplace_back(node, name);
  data->writer_.sceneData = writer_.sceneData;
  const Bool done = data->ExportBlend(name, parent, counter, tree);
  return done;
}

Bool AdvancedOrvaneMaterial::ExportBlend(const String& name, TiXmlElement* parent, int& counter,
                                         TreeExport& tree) {
  OrvaneSceneData* sd = writer_.sceneData;
  if (!GetHostNode() || !parent || !sd || !sd->document) return false;
  BaseContainer* data = GetHostNode()->GetDataInstance();
  String names[2] = {String(kNullMaterial), String(kNullMaterial)};
  const int links[2] = {NODE_BLEND_A, NODE_BLEND_B};
  for (int i = 0; i < 2; ++i) {
    BaseShader* child = LinkedNode(data, links[i], sd->document);
    AdvancedOrvaneMaterial* childData = NodeOf(child);
    if (!childData) continue;
    // A link back to a node on the path names that node's element and writes nothing more.
    bool onPath = false;
    for (const auto& step : tree.path) {
      if (step.first != child) continue;
      names[i] = step.second;
      onPath = true;
    }
    if (onPath) continue;
    ++counter;
    String childName =
        child->GetName() + String("_") + Helpers::ULongToString(static_cast<unsigned int>(counter));
    if (HasChildWith(parent, "material", "name", Helpers::ToUTF8String(childName)))
      childName = tree.containerName + String("_") + childName;
    names[i] = childName;
    childData->ExportNode(childName, parent, 0, sd, counter, tree);
  }

  std::unique_ptr<TiXmlElement> material(new TiXmlElement("material"));
  SceneExportStringValue("name", name, material.get());
  TiXmlElement* blend = new TiXmlElement("blend");
  material->LinkEndChild(blend);
  SceneExportStringValue("a_name", names[0], blend);
  SceneExportStringValue("b_name", names[1], blend);
  SceneExportBoolValue("step_blend", data->GetBool(O + MAT_STEP_BLEND), blend);
  writer_.textureIndex = 0;
  writer_.MaterialExportBlend(name, data, blend);
  parent->LinkEndChild(material.release());
  return true;
}

Bool RegisterAdvancedOrvaneMaterial() {
  const String name = GeLoadString(10021);
  if (!name.Content()) return true;
  return RegisterShaderPlugin(ID_ADVANCEDORVANEMATERIAL, name, PLUGINFLAG_HIDEPLUGINMENU,
                              AdvancedOrvaneMaterial::Alloc, "xorvanematshader", 0);
}
