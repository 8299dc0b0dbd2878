#include "support/scene_parts.h"

PolygonObject* NewQuad(const char* name) {
  PolygonObject* op = PolygonObject::Alloc(4, 1);
  LVector* p = op->GetPointW();
  p[0] = LVector(-1, -1, 0);
  p[1] = LVector(1, -1, 0);
  p[2] = LVector(1, 1, 0);
  p[3] = LVector(-1, 1, 0);
  op->GetPolygonW()[0] = CPolygon(0, 1, 2, 3);
  op->SetName(name);
  return op;
}

BaseContainer* VideoPostSettings(BaseDocument* doc, LONG id) {
  RenderData* rd = doc->GetActiveRenderData();
  for (BaseVideoPost* vp = rd->GetFirstVideoPost(); vp; vp = vp->GetNext())
    if (vp->GetType() == id) return vp->GetDataInstance();
  BaseVideoPost* vp = BaseVideoPost::Alloc(id);
  rd->InsertVideoPostLast(vp);
  return vp->GetDataInstance();
}
