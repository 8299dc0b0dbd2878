#include "command/generateuvwtag.h"

#include "command/selectedtexturetag.h"
#include "main/helpers.h"

LONG GenerateUVWTag::GetState(BaseDocument* doc) {
  SelectedTextureTag found;
  bool ok = FindSelectedTextureTag(doc, &found);
  tag = found.tag;
  object = found.object;
  return ok ? CMD_ENABLED : 0;
}

Bool GenerateUVWTag::Execute(BaseDocument* doc) {
  // The selection is read again: the document may have changed since the menu asked.
  SelectedTextureTag found;
  if (!FindSelectedTextureTag(doc, &found)) {
    GePrint("Select one texture tag of an Orvane material on a polygon object.");
    return false;
  }
  tag = found.tag;
  object = found.object;
  UVWTag* uvw = Helpers::GenerateUVWTag(doc, tag, object);
  if (!uvw) {
    GePrint(String("Could not make a UVW tag for ") + object->GetName());
    return false;
  }
  doc->StartUndo();
  object->InsertTag(uvw, tag);
  doc->AddUndo(UNDOTYPE_NEW, uvw);
  doc->AddUndo(UNDOTYPE_CHANGE_SMALL, tag);
  BaseContainer data = tag->GetData();
  data.SetLong(TEXTURETAG_PROJECTION, TEXTURETAG_PROJECTION_UVW);
  tag->SetData(data);
  doc->EndUndo();
  doc->Message(MSG_UPDATE);
  doc->SetChanged();
  EventAdd();
  return true;
}

Bool RegisterGenerateUVWTag() {
  String name = GeLoadString(10023);
  if (!name.Content()) return true;
  return RegisterCommandPlugin(1024339, name, 0, AutoBitmap("About.tif"), "Bake UVW Tag of Orvane Material",
                               new GenerateUVWTag);
}
