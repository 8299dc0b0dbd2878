// The texture tag.
#include "c4d_texturetag.h"

#include "c4d_basematerial.h"

TextureTag::TextureTag() : BaseTag(Ttexture) {
  BaseContainer* bc = GetDataInstance();
  bc->SetReal(TEXTURETAG_OFFSETX, 0.0);
  bc->SetReal(TEXTURETAG_OFFSETY, 0.0);
  bc->SetReal(TEXTURETAG_LENGTHX, 1.0);
  bc->SetReal(TEXTURETAG_LENGTHY, 1.0);
  bc->SetLong(TEXTURETAG_PROJECTION, TEXTURETAG_PROJECTION_UVW);
  bc->SetString(TEXTURETAG_RESTRICTION, String());
  bc->SetLink(TEXTURETAG_MATERIAL, nullptr);
  bc->SetMatrix(TEXTURETAG_MATRIX, LMatrix());
}

TextureTag* TextureTag::Alloc() { return new TextureTag(); }

void TextureTag::Free(TextureTag*& tag) {
  GeListNode::Destroy(tag);
  tag = nullptr;
}

BaseMaterial* TextureTag::GetMaterial() const {
  BaseList2D* m = GetDataInstance()->GetLink(TEXTURETAG_MATERIAL, GetDocument(), Mbase);
  return static_cast<BaseMaterial*>(m);
}

void TextureTag::SetMaterial(BaseMaterial* mat) { GetDataInstance()->SetLink(TEXTURETAG_MATERIAL, mat); }

LMatrix TextureTag::GetMl() const { return GetDataInstance()->GetMatrix(TEXTURETAG_MATRIX, LMatrix()); }

void TextureTag::SetMl(const LMatrix& m) { GetDataInstance()->SetMatrix(TEXTURETAG_MATRIX, m); }
