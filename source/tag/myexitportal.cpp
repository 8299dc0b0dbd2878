#include "tag/myexitportal.h"

Bool MyExitPortal::Init(GeListNode* node) {
  BaseContainer* data = static_cast<BaseList2D*>(node)->GetDataInstance();
  data->SetBool(PORTAL_ENABLED, TRUE);
  return true;
}

Bool MyExitPortal::GetDDescription(GeListNode*, Description* description, LONG&) {
  return description && description->LoadDescription(ID_MYEXITPORTAL);
}

LONG MyExitPortal::Execute(BaseTag*, BaseDocument*, BaseObject*, BaseThread*, LONG, LONG) {
  return EXECUTIONRESULT_OK;
}

Bool RegisterMyExitPortal() {
  String name = GeLoadString(10006);
  if (!name.Content()) return true;
  return RegisterTagPlugin(ID_MYEXITPORTAL, name, TAG_VISIBLE, MyExitPortal::Alloc, "TMyExitPortal",
                           AutoBitmap("ExitPortal.tif"), 0);
}
