// The node tree.
#include "c4d_baselist.h"

#include <algorithm>

#include "c4d_basedocument.h"
#include "c4d_nodedata.h"
#include "link_anchor.h"

const DescLevel& DescID::operator[](LONG pos) const {
  static const DescLevel kNone;
  return pos >= 0 && pos < GetDepth() ? levels_[pos] : kNone;
}

bool DescID::operator==(const DescID& o) const {
  if (levels_.size() != o.levels_.size()) return false;
  for (size_t i = 0; i < levels_.size(); ++i)
    if (levels_[i].id != o.levels_[i].id) return false;
  return true;
}

// --- GeListHead -------------------------------------------------------------

GeListHead::~GeListHead() { FlushAll(); }

GeListNode* GeListHead::GetLast() const {
  GeListNode* n = first_;
  while (n && n->next_) n = n->next_;
  return n;
}

void GeListHead::InsertFirst(GeListNode* node) {
  if (!node) return;
  node->Remove();
  node->head_ = this;
  node->next_ = first_;
  if (first_) first_->pred_ = node;
  first_ = node;
}

void GeListHead::InsertLast(GeListNode* node) {
  if (!node) return;
  GeListNode* last = GetLast();
  if (last == node) return;  // already the last
  if (!last) {
    InsertFirst(node);
    return;
  }
  node->InsertAfter(last);
}

void GeListHead::FlushAll() {
  while (first_) GeListNode::Destroy(first_);
}

// --- GeListNode -------------------------------------------------------------

GeListNode::GeListNode(LONG type) : C4DAtom(type) {}

GeListNode::~GeListNode() {
  // Normally emptied by Destroy; a node deleted another way still leaves no dangling pointers.
  Unlink();
  while (down_) Destroy(down_);
}

GeListNode* GeListNode::GetDownLast() const {
  GeListNode* n = down_;
  while (n && n->next_) n = n->next_;
  return n;
}

void GeListNode::Unlink() {
  if (pred_) {
    pred_->next_ = next_;
  } else if (up_) {
    up_->down_ = next_;
  } else if (head_) {
    head_->first_ = next_;
  }
  if (next_) next_->pred_ = pred_;
  next_ = pred_ = up_ = nullptr;
  head_ = nullptr;
}

void GeListNode::Remove() { Unlink(); }

bool GeListNode::Contains(const GeListNode* n) const {
  while (n) {
    if (n == this) return true;
    n = n->up_ ? n->up_ : (n->head_ ? n->head_->GetOwner() : nullptr);
  }
  return false;
}

void GeListNode::InsertUnder(GeListNode* parent) {
  // A node never goes below itself: that would make the tree a cycle.
  if (!parent || Contains(parent)) return;
  Remove();
  up_ = parent;
  next_ = parent->down_;
  if (next_) next_->pred_ = this;
  parent->down_ = this;
}

void GeListNode::InsertUnderLast(GeListNode* parent) {
  if (!parent || Contains(parent)) return;
  GeListNode* last = parent->GetDownLast();
  if (last == this) return;  // already the last child
  if (!last)
    InsertUnder(parent);
  else
    InsertAfter(last);
}

void GeListNode::InsertBefore(GeListNode* other) {
  if (!other || Contains(other)) return;
  Remove();
  up_ = other->up_;
  head_ = other->head_;
  pred_ = other->pred_;
  next_ = other;
  if (pred_)
    pred_->next_ = this;
  else if (up_)
    up_->down_ = this;
  else if (head_)
    head_->first_ = this;
  other->pred_ = this;
}

void GeListNode::InsertAfter(GeListNode* other) {
  if (!other || Contains(other)) return;
  Remove();
  up_ = other->up_;
  head_ = other->head_;
  pred_ = other;
  next_ = other->next_;
  if (next_) next_->pred_ = this;
  other->next_ = this;
}

BaseDocument* GeListNode::GetDocument() const {
  const GeListNode* n = this;
  while (n) {
    while (n->up_) n = n->up_;
    // The document's own shader list holds its shaders as its children.
    if (n->GetType() == Tbasedocument) return const_cast<BaseDocument*>(static_cast<const BaseDocument*>(n));
    if (!n->head_) break;
    n = n->head_->GetOwner();
    if (!n) return nullptr;
    if (n->GetType() == Tbasedocument) return const_cast<BaseDocument*>(static_cast<const BaseDocument*>(n));
  }
  return nullptr;
}

Bool GeListNode::Message(LONG type, void* data) { return data_ ? data_->Message(this, type, data) : true; }

Bool GeListNode::AttachNodeData(NodeData* data) {
  data_.reset(data);
  if (data_) data_->node_ = this;
  if (data_ && !data_->Init(this)) {
    data_.reset();
    return false;
  }
  return data_ != nullptr;
}

void GeListNode::Destroy(GeListNode* node) {
  if (!node) return;
  // The plug-in sees Free while the node still stands in its tree.
  if (node->data_) node->data_->Free(node);
  node->FreeBranches();
  while (node->down_) Destroy(node->down_);
  node->Unlink();
  node->data_.reset();
  delete node;
}

// --- BaseList2D -------------------------------------------------------------

BaseList2D::~BaseList2D() {
  if (anchor_) anchor_->node.store(nullptr);
}

void BaseList2D::SetData(const BaseContainer& bc, Bool add) {
  if (add) {
    data_.MergeContainer(bc);
  } else {
    LONG id = data_.GetId();
    data_ = bc;
    data_.SetId(id);
  }
}

Bool BaseList2D::GetParameter(const DescID& id, GeData& value, LONG flags) {
  if (NodeData* d = GetNodeData()) {
    LONG f = flags;
    if (d->GetDParameter(this, id, value, f) && (f & DESCFLAGS_GET_PARAM_GET)) return true;
  }
  const GeData* v = data_.GetDataPointer(id[0].id);
  if (!v) return false;
  value = *v;
  return true;
}

Bool BaseList2D::SetParameter(const DescID& id, const GeData& value, LONG flags) {
  if (NodeData* d = GetNodeData()) {
    LONG f = flags;
    if (d->SetDParameter(this, id, value, f) && (f & DESCFLAGS_SET_PARAM_SET)) return true;
  }
  data_.SetData(id[0].id, value);
  return true;
}

namespace host {
std::shared_ptr<LinkAnchor> AnchorOf(BaseList2D* node) {
  if (!node->anchor_) {
    node->anchor_ = std::make_shared<LinkAnchor>();
    node->anchor_->node.store(node);
  }
  return node->anchor_;
}
}  // namespace host

// --- AtomArray --------------------------------------------------------------

LONG AtomArray::Find(C4DAtom* a) const {
  auto it = std::find(atoms_.begin(), atoms_.end(), a);
  return it == atoms_.end() ? NOTOK : static_cast<LONG>(it - atoms_.begin());
}

Bool AtomArray::Remove(C4DAtom* a) {
  auto it = std::find(atoms_.begin(), atoms_.end(), a);
  if (it == atoms_.end()) return false;
  atoms_.erase(it);
  return true;
}

void AtomArray::FilterObject(LONG type, LONG instance) {
  std::vector<C4DAtom*> kept;
  for (C4DAtom* a : atoms_) {
    if (!a) continue;
    if (type != NOTOK && a->GetType() != type) continue;
    if (instance != NOTOK && !a->IsInstanceOf(instance)) continue;
    kept.push_back(a);
  }
  atoms_.swap(kept);
}
