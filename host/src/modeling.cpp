// Modelling commands.
#include "c4d_modeling.h"

#include "primitives.h"

namespace {

// The polygon object of primitive `op`, in place of `op` when it lies in `doc`.
Bool MakeEditable(ModelingCommandData& data) {
  BaseObject* op = data.op;
  PolygonObject* mesh = host::GeneratePrimitiveMesh(op);
  if (!mesh) return false;
  mesh->SetName(op->GetName());
  mesh->SetMl(op->GetMl());
  mesh->SetBit(op->GetAllBits());

  bool inDocument = data.doc && op->GetDocument() == data.doc;
  if (!inDocument) {
    if (!data.result) {
      BaseObject* unused = mesh;
      BaseObject::Free(unused);
      return false;
    }
    data.result->Append(mesh);
    return true;
  }

  // The tags and children move over; the mesh's own point and polygon tags stay first.
  BaseTag* pred = mesh->GetTag(Tpolygon);
  while (BaseTag* tag = op->GetFirstTag()) {
    tag->Remove();
    mesh->InsertTag(tag, pred);
    pred = tag;
  }
  while (BaseObject* child = op->GetDown()) child->InsertUnderLast(mesh);
  mesh->InsertBefore(op);
  host::RetargetLinks(op, mesh);
  BaseObject::Free(op);
  data.op = mesh;
  if (data.result) data.result->Append(mesh);
  return true;
}

}  // namespace

Bool SendModelingCommand(LONG command, ModelingCommandData& data) {
  if (!data.op) return false;
  switch (command) {
    case MCOMMAND_MAKEEDITABLE:
      return MakeEditable(data);
    default:
      return false;
  }
}
