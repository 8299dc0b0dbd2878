// Modelling commands.
#include "c4d_modeling.h"

#include "c4d_basedocument.h"
#include "c4d_hierarchy.h"
#include "host_cache.h"
#include "link_anchor.h"

void BaseList2D::TransferGoal(BaseList2D* dst, Bool /*undolink*/) {
  if (!dst || dst == this || !anchor_) return;
  if (dst->anchor_) dst->anchor_->node.store(nullptr);
  dst->anchor_ = std::move(anchor_);
  dst->anchor_->node.store(dst);
}

Bool SendModelingCommand(LONG command, ModelingCommandData& data) {
  BaseObject* op = data.op;
  if (command != MCOMMAND_MAKEEDITABLE || !op || !data.doc || op->GetDocument() != data.doc) return false;
  if (op->GetType() == Opolygon) return true;
  // The generator's current output, rebuilt when the document's caches were.
  data.doc->ExecutePasses(nullptr, FALSE, FALSE, TRUE, 0);
  BaseObject* made = op->GetDeformCache() ? op->GetDeformCache() : op->GetCache();
  if (!made) return false;
  // Take the generated object out of the generator; the generator goes away below.
  host::DetachCache(op, made);
  made->SetName(op->GetName());
  made->SetMl(op->GetMl() * made->GetMl());
  made->InsertBefore(op);
  BaseTag* pred = nullptr;
  for (BaseTag* t = made->GetFirstTag(); t; t = t->GetNext()) pred = t;
  while (BaseTag* tag = op->GetFirstTag()) {
    made->InsertTag(tag, pred);
    pred = tag;
  }
  while (BaseObject* child = op->GetDown()) child->InsertUnderLast(made);
  op->TransferGoal(made);
  BaseObject::Free(op);
  data.op = made;
  return true;
}
