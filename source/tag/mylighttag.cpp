#include "tag/mylighttag.h"

#include "tag/mylighttagids.h"

Bool MyLightTag::Init(GeListNode* node) {
  BaseContainer* bc = static_cast<BaseTag*>(node)->GetDataInstance();
  bc->SetLong(LIGHTTAG_EMISSION_TYPE, LIGHTTAG_EMISSION_RGB);
  bc->SetVector(LIGHTTAG_RGB_COLOR, LVector(1.0, 1.0, 1.0));
  bc->SetReal(LIGHTTAG_RGB_GAMMA, 2.2);
  bc->SetReal(LIGHTTAG_UNIFORM_VALUE, 1.0);
  bc->SetReal(LIGHTTAG_BLACKBODY_TEMPERATURE, 6500.0);
  bc->SetReal(LIGHTTAG_BLACKBODY_GAIN, 1.0);
  bc->SetReal(LIGHTTAG_PEAK, 300.0);
  bc->SetReal(LIGHTTAG_PEAK_WIDTH, 550.0);
  bc->SetReal(LIGHTTAG_PEAK_VALUE, 200.0);
  bc->SetReal(LIGHTTAG_PEAK_BASE, 0.0);
  bc->SetLong(LIGHTTAG_SCALE_MEASURE, LIGHTTAG_MEASURE_LUMINANCE);
  bc->SetReal(LIGHTTAG_SCALE_VALUE, 100.0);
  bc->SetBool(LIGHTTAG_IES, false);
  bc->SetBool(LIGHTTAG_EMISSION_SCALE, false);
  bc->SetLong(LIGHTTAG_LAYER, 0);
  return true;
}

LONG MyLightTag::Execute(BaseTag*, BaseDocument*, BaseObject*, BaseThread*, LONG, LONG) {
  return EXECUTIONRESULT_OK;
}

Bool MyLightTag::GetDParameter(GeListNode* node, const DescID& id, GeData& value, LONG& flags) {
  if (id[0].id == LIGHTTAG_IES_PREVIEW_BITMAP) {
    BitmapButtonStruct button(static_cast<BaseList2D*>(node), id, 0);
    value = GeData(CUSTOMDATATYPE_BITMAPBUTTON, button);
    flags |= DESCFLAGS_GET_PARAM_GET;
  }
  return true;
}

Bool MyLightTag::SetDParameter(GeListNode*, const DescID& id, const GeData&, LONG& flags) {
  if (id[0].id == LIGHTTAG_IES_PREVIEW_BITMAP) flags |= DESCFLAGS_SET_PARAM_SET;
  return true;
}

Bool MyLightTag::Message(GeListNode* node, LONG type, void* data) {
  if (!node || !data) return true;
  auto* tag = static_cast<BaseTag*>(node);
  if (type == MSG_DESCRIPTION_GETBITMAP) {
    auto* request = static_cast<DescriptionGetBitmap*>(data);
    if (request->id[0].id == LIGHTTAG_IES_PREVIEW_BITMAP) return GetPreviewBitmap(tag, request);
  }
  return true;
}

Bool MyLightTag::GetPreviewBitmap(BaseTag* tag, DescriptionGetBitmap* request) {
  Filename preview = tag->GetDataInstance()->GetFilename(LIGHTTAG_IES_PREVIEW, Filename("NOPATH"));
  if (!GeFExist(preview)) return true;
  BaseBitmap* bitmap = BaseBitmap::Alloc();
  if (!bitmap) return true;
  // An image that does not load (still being written, or no image at all) is not shown.
  if (bitmap->Init(preview) != IMAGERESULT_OK) {
    BaseBitmap::Free(bitmap);
    return true;
  }
  request->bmp = bitmap;
  return true;
}

Bool RegisterMyLightTag() {
  String name = GeLoadString(10002);
  if (!name.Content()) return true;
  return RegisterTagPlugin(ID_MYLIGHTTAG, name, TAG_VISIBLE, MyLightTag::Alloc, "tMyLightTag",
                           AutoBitmap("LightTag.tif"), 0);
}
