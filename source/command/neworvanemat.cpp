#include "command/neworvanemat.h"

#include "material/materialparams.h"

Bool NewOrvaneMat::Execute(BaseDocument* doc) {
  if (!doc) return false;
  BaseMaterial* mat = BaseMaterial::Alloc(ID_CUSTOMORVANEMATERIAL);
  if (!mat) return false;
  doc->StartUndo();
  doc->InsertMaterial(mat);
  doc->AddUndo(UNDOTYPE_NEW, mat);
  doc->EndUndo();
  doc->Message(MSG_UPDATE);
  EventAdd();
  return true;
}

Bool RegisterNewOrvaneMat() {
  String name = GeLoadString(10024);
  if (!name.Content()) return true;
  return RegisterCommandPlugin(1024454, name, 0x10000000, AutoBitmap("materialhelper.tif"),
                               "New Orvane Material", new NewOrvaneMat);
}
