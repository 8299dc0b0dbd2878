#include "tag/mysubdivision.h"

Bool MySubdivision::Init(GeListNode* node) {
  BaseContainer* data = static_cast<BaseList2D*>(node)->GetDataInstance();
  data->SetLong(SUBDIV_MAX_NUM_SUBDIVISIONS, 3);
  data->SetReal(SUBDIV_CURVATURE_THRESHOLD, 0.1);
  data->SetReal(SUBDIV_DISPLACEMENT_ERROR_THRESHOLD, 0.0);
  data->SetBool(SUBDIV_WRAP_U, FALSE);
  data->SetBool(SUBDIV_WRAP_V, FALSE);
  return true;
}

Bool MySubdivision::GetDEnabling(GeListNode* node, const DescID& id, const GeData& value, LONG flags,
                                 const BaseContainer* itemdesc) {
  if (!node) return false;
  Bool viewDependent = static_cast<BaseList2D*>(node)->GetDataInstance()->GetBool(SUBDIV_VIEW_DEPENDENT);
  if (id[0].id == SUBDIV_PIXEL_THRESHOLD) return viewDependent;
  return TagData::GetDEnabling(node, id, value, flags, itemdesc);
}

Bool MySubdivision::GetDDescription(GeListNode*, Description* description, LONG&) {
  return description && description->LoadDescription(ID_MYSUBDIVISION);
}

LONG MySubdivision::Execute(BaseTag*, BaseDocument*, BaseObject*, BaseThread*, LONG, LONG) {
  return EXECUTIONRESULT_OK;
}

Bool RegisterMySubdivision() {
  String name = GeLoadString(10016);
  if (!name.Content()) return true;
  return RegisterTagPlugin(ID_MYSUBDIVISION, name, TAG_VISIBLE, MySubdivision::Alloc, "tSubdivision",
                           AutoBitmap("subdivtag.tif"), 0);
}
