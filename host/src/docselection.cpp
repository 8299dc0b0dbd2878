// The document's selection: the active bits of its objects, tags and materials.
#include "c4d_basedocument.h"

namespace {

// Calls `visit` for `op`, its following siblings and everything below them, in tree order.
template <typename Visit>
void WalkObjects(BaseObject* op, Visit&& visit) {
  for (; op; op = op->GetNext()) {
    if (!visit(op)) continue;
    WalkObjects(op->GetDown(), visit);
  }
}

void Select(BaseList2D* node, LONG mode) {
  if (mode == SELECTION_SUB)
    node->DelBit(BIT_ACTIVE);
  else
    node->SetBit(BIT_ACTIVE);
}

}  // namespace

BaseObject* BaseDocument::GetActiveObject() const {
  BaseObject* found = nullptr;
  WalkObjects(GetFirstObject(), [&](BaseObject* op) {
    if (!found && op->GetBit(BIT_ACTIVE)) found = op;
    return !found;
  });
  return found;
}

BaseTag* BaseDocument::GetActiveTag() const {
  AtomArray tags;
  GetActiveTags(tags);
  return static_cast<BaseTag*>(tags.GetIndex(0));
}

BaseMaterial* BaseDocument::GetActiveMaterial() const {
  for (BaseMaterial* m = GetFirstMaterial(); m; m = m->GetNext())
    if (m->GetBit(BIT_ACTIVE)) return m;
  return nullptr;
}

void BaseDocument::GetActiveObjects(AtomArray& selection, Bool children) const {
  WalkObjects(GetFirstObject(), [&](BaseObject* op) {
    if (!op->GetBit(BIT_ACTIVE)) return true;
    selection.Append(op);
    return static_cast<bool>(children);
  });
}

void BaseDocument::GetActiveTags(AtomArray& selection) const {
  WalkObjects(GetFirstObject(), [&](BaseObject* op) {
    for (BaseTag* t = op->GetFirstTag(); t; t = t->GetNext())
      if (t->GetBit(BIT_ACTIVE)) selection.Append(t);
    return true;
  });
}

void BaseDocument::GetActiveMaterials(AtomArray& selection) const {
  for (BaseMaterial* m = GetFirstMaterial(); m; m = m->GetNext())
    if (m->GetBit(BIT_ACTIVE)) selection.Append(m);
}

void BaseDocument::GetSelection(AtomArray& selection) const {
  GetActiveObjects(selection, TRUE);
  GetActiveTags(selection);
  GetActiveMaterials(selection);
}

void BaseDocument::SetActiveObject(BaseObject* op, LONG mode) {
  if (mode == SELECTION_NEW)
    WalkObjects(GetFirstObject(), [](BaseObject* o) {
      o->DelBit(BIT_ACTIVE);
      return true;
    });
  if (op) Select(op, mode);
}

void BaseDocument::SetActiveTag(BaseTag* tag, LONG mode) {
  if (mode == SELECTION_NEW) {
    WalkObjects(GetFirstObject(), [](BaseObject* o) {
      for (BaseTag* t = o->GetFirstTag(); t; t = t->GetNext()) t->DelBit(BIT_ACTIVE);
      return true;
    });
  }
  if (tag) Select(tag, mode);
}

void BaseDocument::SetActiveMaterial(BaseMaterial* mat, LONG mode) {
  if (mode == SELECTION_NEW)
    for (BaseMaterial* m = GetFirstMaterial(); m; m = m->GetNext()) m->DelBit(BIT_ACTIVE);
  if (mat) Select(mat, mode);
}
