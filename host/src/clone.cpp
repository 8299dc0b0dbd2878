// Copies of nodes.
#include <cstring>
#include <map>

#include "c4d_basedocument.h"
#include "c4d_nodedata.h"
#include "c4d_selection.h"
#include "host_state.h"

// Shares the data of one data tag with another; befriended by VariableTag.
struct HostTagData {
  static void Share(VariableTag* dst, const VariableTag* src) { dst->data_ = src->data_; }
};

namespace {

using CloneMap = std::map<const BaseList2D*, BaseList2D*>;

bool IsCloneable(const C4DAtom* a) {
  return a->IsInstanceOf(Obase) || a->IsInstanceOf(Tbase) || a->IsInstanceOf(Mbase) ||
         a->IsInstanceOf(Xbase) || a->IsInstanceOf(VPbase);
}

// A fresh node of the same kind and type; a data tag comes with a copy of its data, or with the
// very same data when `share`.
BaseList2D* AllocLike(const BaseList2D* src, bool share) {
  const LONG type = src->GetType();
  if (src->IsInstanceOf(Tbase)) {
    if (type == Tuvw || type == Tpoint || type == Tpolygon) {
      const VariableTag* v = static_cast<const VariableTag*>(src);
      VariableTag* d = VariableTag::Alloc(type, share ? 0 : v->GetDataCount());
      if (d && share)
        HostTagData::Share(d, v);
      else if (d && v->GetDataSize() > 0)
        std::memcpy(d->GetDataAddressW(), v->GetDataAddressR(), v->GetDataSize());
      return d;
    }
    if (type == Tpolygonselection) {
      SelectionTag* d = SelectionTag::Alloc(type);
      if (d) static_cast<const SelectionTag*>(src)->GetBaseSelect()->CopyTo(d->GetBaseSelect());
      return d;
    }
    return BaseTag::Alloc(type);
  }
  if (src->IsInstanceOf(Obase)) {
    if (type != Opolygon) return BaseObject::Alloc(type);
    // The copy gets the original's point and polygon tags instead of its own empty ones.
    PolygonObject* p = PolygonObject::Alloc(0, 0);
    while (BaseTag* t = p->GetFirstTag()) BaseTag::Free(t);
    return p;
  }
  if (src->IsInstanceOf(Mbase)) return BaseMaterial::Alloc(type);
  if (src->IsInstanceOf(Xbase)) return BaseShader::Alloc(type);
  if (src->IsInstanceOf(VPbase)) return BaseVideoPost::Alloc(type);
  return nullptr;
}

BaseList2D* CloneNode(const BaseList2D* src, LONG flags, CloneMap& map, bool share) {
  BaseList2D* dst = AllocLike(src, share);
  if (!dst) return nullptr;
  dst->SetName(src->GetName());
  dst->SetData(src->GetData(), FALSE);
  dst->DelBit(dst->GetAllBits());
  dst->SetBit(src->GetAllBits());
  NodeData* sd = src->GetNodeData();
  NodeData* dd = dst->GetNodeData();
  if (sd && dd && !sd->CopyTo(dd, const_cast<BaseList2D*>(src), dst, flags)) {
    GeListNode::Destroy(dst);
    return nullptr;
  }
  map.emplace(src, dst);

  if (src->IsInstanceOf(Obase) && !(flags & COPYFLAGS_NO_BRANCHES)) {
    const BaseObject* so = static_cast<const BaseObject*>(src);
    BaseObject* dobj = static_cast<BaseObject*>(dst);
    BaseTag* pred = nullptr;
    for (BaseTag* t = so->GetFirstTag(); t; t = t->GetNext()) {
      BaseList2D* copy = CloneNode(t, flags, map, share);
      if (!copy) {
        GeListNode::Destroy(dst);
        return nullptr;
      }
      dobj->InsertTag(static_cast<BaseTag*>(copy), pred);
      pred = static_cast<BaseTag*>(copy);
    }
  }
  if (!(flags & COPYFLAGS_NO_HIERARCHY)) {
    for (GeListNode* c = src->GetDown(); c; c = c->GetNext()) {
      BaseList2D* copy = CloneNode(static_cast<BaseList2D*>(c), flags, map, share);
      if (!copy) {
        GeListNode::Destroy(dst);
        return nullptr;
      }
      copy->InsertUnderLast(dst);
    }
  }
  return dst;
}

// Points links to nodes of the copied tree at their copies.
void Relink(BaseContainer* bc, const BaseDocument* doc, const CloneMap& map) {
  for (LONG i = 0; i < bc->GetCount(); ++i) {
    GeData* v = bc->GetIndexData(i);
    if (v->GetType() == DA_CONTAINER) {
      Relink(v->GetContainer(), doc, map);
    } else if (v->GetType() == DA_ALIASLINK) {
      auto it = map.find(v->GetLink(doc));
      if (it != map.end()) v->SetBaseList2D(it->second);
    }
  }
}

}  // namespace

namespace {

BaseList2D* Clone(const C4DAtom* atom, LONG flags, bool share) {
  if (!IsCloneable(atom)) return nullptr;
  CloneMap map;
  BaseList2D* copy = CloneNode(static_cast<const BaseList2D*>(atom), flags, map, share);
  if (!copy) return nullptr;
  for (const auto& [src, dst] : map) {
    if (const BaseDocument* doc = src->GetDocument()) Relink(dst->GetDataInstance(), doc, map);
  }
  return copy;
}

}  // namespace

C4DAtom* C4DAtom::GetClone(LONG flags) const { return Clone(this, flags, false); }

namespace host {
BaseObject* CloneSharingData(const BaseObject* op) {
  return static_cast<BaseObject*>(Clone(op, COPYFLAGS_NONE, true));
}
}  // namespace host
