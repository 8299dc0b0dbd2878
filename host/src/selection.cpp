// Selections and selection tags.
#include "c4d_selection.h"

Bool BaseSelect::Select(LONG i) {
  if (i < 0) return false;
  selected_.insert(i);
  return true;
}

Bool BaseSelect::CopyTo(BaseSelect* dest) const {
  if (!dest) return false;
  dest->selected_ = selected_;
  return true;
}

SelectionTag* SelectionTag::Alloc(LONG type) {
  return type == Tpolygonselection ? new SelectionTag(type) : nullptr;
}

void SelectionTag::Free(SelectionTag*& tag) {
  GeListNode::Destroy(tag);
  tag = nullptr;
}
