#include "command/convertmats.h"

#include "material/customorvanematerial.h"
#include "material/materialparams.h"

namespace {

constexpr char kOldMaterialsLayer[] = "Old Materials";

// The top-level layer named "Old Materials", made (with its undo entry) when there is none; null
// when the document has no layer root or the layer cannot be made.
LayerObject* OldMaterialsLayer(BaseDocument* doc) {
  GeListHead* root = doc->GetLayerObjectRoot();
  if (!root) return nullptr;
  for (GeListNode* n = root->GetFirst(); n; n = n->GetNext()) {
    LayerObject* layer = static_cast<LayerObject*>(n);
    if (layer->GetName() == String(kOldMaterialsLayer)) return layer;
  }
  LayerObject* layer = LayerObject::Alloc();
  if (!layer) return nullptr;
  layer->SetName(kOldMaterialsLayer);
  root->InsertFirst(layer);
  doc->AddUndo(UNDOTYPE_NEW, layer);
  return layer;
}

}  // namespace

void ConvertMats::GetAllTextureTags(BaseObject* first, AtomArray* out) {
  for (BaseObject* op = first; op; op = op->GetNext()) {
    for (BaseTag* t = op->GetFirstTag(); t; t = t->GetNext())
      if (t->GetType() == Ttexture) out->Append(t);
    GetAllTextureTags(op->GetDown(), out);
  }
}

void ConvertMats::ReplaceAllLinks(BaseDocument* doc, AtomArray* tags, BaseMaterial* oldMaterial,
                                  BaseMaterial* newMaterial) {
  for (LONG i = 0; i < tags->GetCount(); ++i) {
    TextureTag* tag = static_cast<TextureTag*>(tags->GetIndex(i));
    if (!tag || tag->GetMaterial() != oldMaterial) continue;
    doc->AddUndo(UNDOTYPE_CHANGE_SMALL, tag);
    tag->SetMaterial(newMaterial);
    tag->Message(MSG_UPDATE);
  }
}

Bool ConvertMats::Execute(BaseDocument* doc) {
  if (!doc) return false;
  AtomArray* materials = AtomArray::Alloc();
  AtomArray* tags = AtomArray::Alloc();
  if (!materials || !tags) {
    AtomArray::Free(materials);
    AtomArray::Free(tags);
    return false;
  }
  doc->GetActiveMaterials(*materials);
  if (materials->GetCount() == 0 || !QuestionDialog("Convert only selected materials?")) {
    materials->Flush();
    for (BaseMaterial* m = doc->GetFirstMaterial(); m; m = m->GetNext()) materials->Append(m);
  }
  // A plug-in material is already what the conversion makes; converting it again would replace
  // it by a default material that keeps only its name.
  materials->FilterObject(NOTOK, Mbase);
  for (LONG i = materials->GetCount() - 1; i >= 0; --i) {
    C4DAtom* m = materials->GetIndex(i);
    if (m->GetType() == ID_CUSTOMORVANEMATERIAL) materials->Remove(m);
  }
  Bool result = true;
  if (materials->GetCount() > 0) {
    // The layer is made inside the step, so undoing the conversion takes it away again.
    doc->StartUndo();
    LayerObject* layer = OldMaterialsLayer(doc);
    if (!layer) {
      result = false;
    } else {
      GetAllTextureTags(doc->GetFirstObject(), tags);
      for (LONG i = materials->GetCount() - 1; i >= 0; --i) {
        BaseMaterial* old = static_cast<BaseMaterial*>(materials->GetIndex(i));
        BaseMaterial* mat = BaseMaterial::Alloc(ID_CUSTOMORVANEMATERIAL);
        if (!mat) continue;
        doc->InsertMaterial(mat);
        mat->SetLayerObject(old->GetLayerObject(doc));
        doc->AddUndo(UNDOTYPE_NEW, mat);
        doc->AddUndo(UNDOTYPE_CHANGE, old);
        old->SetLayerObject(layer);
        if (CustomOrvaneMaterial* data = static_cast<CustomOrvaneMaterial*>(mat->GetNodeData()))
          data->ConvertBaseMaterial(old);
        ReplaceAllLinks(doc, tags, old, mat);
      }
    }
    doc->EndUndo();
    if (result) {
      doc->Message(MSG_UPDATE);
      EventAdd();
    }
  }
  AtomArray::Free(materials);
  AtomArray::Free(tags);
  return result;
}

Bool RegisterConvertMats() {
  String name = GeLoadString(10010);
  if (!name.Content()) return true;
  return RegisterCommandPlugin(1021852, name, 0, AutoBitmap("ConvertMats.tif"), "Convert Materials",
                               new ConvertMats);
}
