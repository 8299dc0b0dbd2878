// Default behaviour of plug-in data.
#include "c4d_nodedata.h"

Bool NodeData::Init(GeListNode*) { return true; }
void NodeData::Free(GeListNode*) {}
Bool NodeData::Message(GeListNode*, LONG, void*) { return true; }
Bool NodeData::CopyTo(NodeData*, GeListNode*, GeListNode*, LONG) { return true; }
Bool NodeData::GetDDescription(GeListNode*, Description*, LONG&) { return false; }
Bool NodeData::GetDParameter(GeListNode*, const DescID&, GeData&, LONG&) { return true; }
Bool NodeData::GetDEnabling(GeListNode*, const DescID&, const GeData&, LONG, const BaseContainer*) {
  return true;
}
Bool NodeData::SetDParameter(GeListNode*, const DescID&, const GeData&, LONG&) { return true; }

LONG MaterialData::GetRenderInfo(BaseMaterial*) { return 0; }
LONG MaterialData::InitRender(BaseMaterial*, const InitRenderStruct&) { return 0; }
void MaterialData::FreeRender(BaseMaterial*) {}
void MaterialData::CalcSurface(BaseMaterial*, VolumeData*) {}
void MaterialData::CalcTransparency(BaseMaterial*, VolumeData*) {}
Bool MaterialData::InitGLImage(BaseMaterial*, BaseDocument*, BaseThread*, BaseBitmap*, LONG, Bool) {
  return false;
}

LONG TagData::Execute(BaseTag*, BaseDocument*, BaseObject*, BaseThread*, LONG, LONG) {
  return EXECUTIONRESULT_OK;
}
Bool TagData::Draw(BaseTag*, BaseObject*, BaseDraw*, BaseDrawHelp*) { return true; }

BaseObject* ObjectData::GetVirtualObjects(BaseObject*, HierarchyHelp*) { return nullptr; }
void ObjectData::GetDimension(BaseObject*, LVector* mp, LVector* rad) {
  if (mp) *mp = LVector();
  if (rad) *rad = LVector();
}
LONG ObjectData::Draw(BaseObject*, LONG, BaseDraw*, BaseDrawHelp*) { return 1; }

Bool VideoPostData::AllocateBuffers(BaseVideoPost*, void*, BaseDocument*) { return true; }
LONG VideoPostData::GetRenderInfo(BaseVideoPost*) { return 0; }
LONG VideoPostData::Execute(BaseVideoPost*, VideoPostStruct*) { return EXECUTIONRESULT_OK; }

Bool CommandData::Execute(BaseDocument*) { return true; }
Bool CommandData::ExecuteSubID(BaseDocument*, LONG) { return true; }
LONG CommandData::GetState(BaseDocument*) { return CMD_ENABLED; }
Bool CommandData::RestoreLayout(void*) { return true; }
Bool CommandData::Message(LONG, void*) { return true; }
