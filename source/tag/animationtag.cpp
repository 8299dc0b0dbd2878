#include "tag/animationtag.h"

Bool AnimationTag::Init(GeListNode* node) {
  BaseContainer* data = static_cast<BaseList2D*>(node)->GetDataInstance();
  data->SetLong(ANIMATIONTAG_VALUE1, 0);
  data->SetLong(ANIMATIONTAG_VALUE2, 0);
  return true;
}

Bool AnimationTag::GetDDescription(GeListNode*, Description* description, LONG&) {
  return description && description->LoadDescription(ID_ANIMATIONTAG);
}

LONG AnimationTag::Execute(BaseTag*, BaseDocument*, BaseObject*, BaseThread*, LONG, LONG) {
  return EXECUTIONRESULT_OK;
}

Bool RegisterAnimationTag() {
  String name = GeLoadString(10015);
  if (!name.Content()) return true;
  return RegisterTagPlugin(ID_ANIMATIONTAG, name, TAG_VISIBLE, AnimationTag::Alloc, "TAnimationTag",
                           AutoBitmap("animationtag.tif"), 0);
}
