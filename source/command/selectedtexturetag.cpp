#include "command/selectedtexturetag.h"

#include "material/materialparams.h"

bool FindSelectedTextureTag(BaseDocument* doc, SelectedTextureTag* out) {
  *out = SelectedTextureTag();
  if (!doc) return false;
  AtomArray* selection = AtomArray::Alloc();
  if (!selection) return false;
  doc->GetSelection(*selection);
  TextureTag* tag = nullptr;
  LONG textureTags = 0;
  for (LONG i = 0; i < selection->GetCount(); ++i) {
    C4DAtom* atom = selection->GetIndex(i);
    if (atom && atom->GetType() == Ttexture) {
      tag = static_cast<TextureTag*>(atom);
      ++textureTags;
    }
  }
  AtomArray::Free(selection);
  if (textureTags != 1) return false;
  // A tag without a material (or with a freed one) never enables the command.
  BaseMaterial* material = tag->GetMaterial();
  if (!material || material->GetType() != ID_CUSTOMORVANEMATERIAL) return false;
  BaseObject* object = tag->GetObject();
  if (!object || object->GetType() != Opolygon) return false;
  out->tag = tag;
  out->object = static_cast<PolygonObject*>(object);
  out->material = material;
  return true;
}
