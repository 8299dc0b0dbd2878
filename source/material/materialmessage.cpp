// The plug-in material's host messages: forwarding to the albedo shader, the channel switches after
// a parameter change, the marking of blend partners, and the preview and export buttons.
#include "material/customorvanematerial.h"

namespace {

// The host's message after a parameter of the node changed.
constexpr LONG kMsgUpdate = 20;
// The host asks every material to mark the materials it uses (data null), or tells it that one
// material replaces another (data: the old and the new material).
constexpr LONG kMsgMultiMarkMaterials = 0x40000004;
// The node bit that marks a material as in use.
constexpr LONG kMaterialMarkBit = 4;

}  // namespace

Bool CustomOrvaneMaterial::Message(GeListNode* node, LONG type, void* data) {
  if (!node) return true;
  auto* mat = static_cast<BaseMaterial*>(node);
  BaseContainer* bc = mat->GetDataInstance();
  BaseDocument* doc = node->GetDocument();

  // Every message reaches the albedo channel's shader.
  HandleInitialChannel(node, Id(MAT_ALBEDO_SHADER), type, data);
  HandleShaderMessage(node, static_cast<BaseShader*>(bc->GetLink(Id(MAT_ALBEDO_SHADER), doc, Xbase)), type,
                      data);

  switch (type) {
    case kMsgUpdate: SetChannels(bc); return true;
    case kMsgMultiMarkMaterials: {
      const LONG matType = bc->GetLong(MAT_TYPE, MAT_TYPE_DIFFUSE);
      BaseList2D* a = bc->GetLink(MAT_BLEND_A, doc, Mbase);
      BaseList2D* b = bc->GetLink(MAT_BLEND_B, doc, Mbase);
      if (!data) {
        if (matType == MAT_TYPE_BLEND) {
          if (a) a->SetBit(kMaterialMarkBit);
          if (b) b->SetBit(kMaterialMarkBit);
        } else if (a && bc->GetBool(MAT_USE_ALPHA)) {
          a->SetBit(kMaterialMarkBit);
        }
        return true;
      }
      ReplacePartners(mat, static_cast<BaseMaterial**>(data));
      return true;
    }
    case MSG_DESCRIPTION_COMMAND: {
      if (!data) return true;
      const LONG id = static_cast<DescriptionCommand*>(data)->id[0].id;
      if (id == MAT_PREVIEW_BUTTON) return RenderPreview(mat);
      if (id == MAT_EXPORT_BUTTON) return ExportMaterialFile(mat);
      return true;
    }
    default: return true;
  }
}

void CustomOrvaneMaterial::ReplacePartners(BaseMaterial* mat, BaseMaterial** oldAndNew) {
  BaseDocument* doc = mat ? mat->GetDocument() : nullptr;
  if (!doc || !oldAndNew || !oldAndNew[0]) return;
  BaseContainer* bc = mat->GetDataInstance();
  // Each link that changes is re-pointed in an undo step of its own, so undoing one leaves the
  // other partner on the new material.
  for (const LONG link : {MAT_BLEND_A, MAT_BLEND_B}) {
    if (bc->GetLink(link, doc, Mbase) != oldAndNew[0]) continue;
    doc->StartUndo();
    doc->AddUndo(UNDOTYPE_CHANGE_SMALL, mat);
    bc->SetLink(link, oldAndNew[1]);
    doc->EndUndo();
  }
}
