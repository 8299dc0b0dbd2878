// The container material: links the root node of a node tree, exports the tree as one material
// and shades from its root in the host's renderer.
#include "material/orvanecontainermaterial.h"

#include "material/advancedorvanematerial.h"
#include "material/materialparams.h"

namespace {

// The render information the material asks of the host.
constexpr LONG kRenderInfo = 0x6000006;
// What a container without a root renders as.
constexpr double kGrey = 0.8;

BaseShader* RootIn(const BaseList2D* mat, BaseDocument* doc) {
  auto* root = static_cast<BaseShader*>(mat->GetDataInstance()->GetLink(MAT_CONTAINER_ROOT, doc, Xbase));
  return root && root->GetType() == ID_ADVANCEDORVANEMATERIAL ? root : nullptr;
}

}  // namespace

Bool OrvaneContainerMaterial::Init(GeListNode* node) {
  root_ = nullptr;
  node_ = static_cast<BaseMaterial*>(node);
  if (!node_) return true;
  BaseContainer* bc = node_->GetDataInstance();
  bc->SetLong(MAT_SELECTOR, MAT_SELECTOR_DEFAULT);
  bc->SetLong(MAT_BAKE_WIDTH, 1024);
  bc->SetLong(MAT_BAKE_HEIGHT, 1024);
  bc->SetLink(MAT_CONTAINER_SELF, node_);
  if (BaseShader* root = BaseShader::Alloc(ID_ADVANCEDORVANEMATERIAL)) {
    bc->SetLink(MAT_CONTAINER_ROOT, root);
    node_->InsertShader(root);
  }
  return true;
}

Bool OrvaneContainerMaterial::Message(GeListNode*, LONG, void*) { return true; }

Bool OrvaneContainerMaterial::GetDDescription(GeListNode* node, Description* description, LONG& flags) {
  if (!node || !description || !description->LoadDescription(ID_ORVANECONTAINERMATERIAL)) return false;
  if (BaseContainer* entry = description->GetParameterI(DescID(MAT_CONTAINER_ROOT), nullptr))
    entry->SetBool(DESC_HIDE, true);
  flags |= DESCFLAGS_DESC_LOADED;
  return MaterialData::GetDDescription(node, description, flags);
}

LONG OrvaneContainerMaterial::GetRenderInfo(BaseMaterial*) { return kRenderInfo; }

LONG OrvaneContainerMaterial::InitRender(BaseMaterial* mat, const InitRenderStruct& irs) {
  root_ = mat ? RootIn(mat, irs.doc) : nullptr;
  if (!root_) return INITRENDERRESULT_OK;
  InitRenderStruct shaderIrs = irs;
  return root_->InitRender(&shaderIrs);
}

void OrvaneContainerMaterial::FreeRender(BaseMaterial*) {
  if (root_) root_->FreeRender();
  root_ = nullptr;
}

void OrvaneContainerMaterial::CalcSurface(BaseMaterial* mat, VolumeData* vd) {
  if (!vd) return;
  ChannelData cd = SurfaceChannelData(vd);
  const LVector base = root_ ? root_->Sample(&cd) : LVector(kGrey, kGrey, kGrey);
  LVector diffuse, specular;
  vd->IlluminanceSimple(&diffuse, &specular, 0.0);
  vd->col = base ^ diffuse;
  CalcTransparency(mat, vd);
  if (vd->multipass && vd->multipass->vp_mat_color) *vd->multipass->vp_mat_color = vd->col;
}

void OrvaneContainerMaterial::CalcTransparency(BaseMaterial*, VolumeData* vd) {
  if (vd) vd->trans = LVector();
}

Bool OrvaneContainerMaterial::InitGLImage(BaseMaterial*, BaseDocument*, BaseThread*, BaseBitmap*, LONG,
                                          Bool) {
  return true;
}

void OrvaneContainerMaterial::ExportMaterialXml(String name, TiXmlElement* parent, int background,
                                                OrvaneSceneData* sd) {
  if (!parent || !sd || !node_) return;
  BaseDocument* doc = node_->GetDocument();
  if (!doc) return;
  BaseShader* root = RootIn(node_, doc);
  auto* data = root ? static_cast<AdvancedOrvaneMaterial*>(root->GetNodeData()) : nullptr;
  if (!data) return;
  int counter = 0;
  data->ExportMaterialXml(name, parent, background, sd, counter);
}

Bool OrvaneContainerMaterial::ConvertBaseMaterial(BaseMaterial* material) {
  return material && node_ && material->GetDocument();
}

Bool RegisterOrvaneContainerMaterial() {
  const String name = GeLoadString(10021);
  if (!name.Content()) return true;
  return RegisterMaterialPlugin(ID_ORVANECONTAINERMATERIAL, name, 0x20000001, OrvaneContainerMaterial::Alloc,
                                "morvanecontainermaterial", 0);
}
