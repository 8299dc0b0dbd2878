#include "object/orvaneinstance.h"

#include <set>
#include <vector>

#include "main/helpers.h"
#include "main/instancesuppresser.h"
#include "object/orvaneinstanceids.h"

namespace {

InstanceSuppresser* instSuppress = nullptr;

// Copy flags of the generated copy of the linked object.
constexpr LONG kCopyFlags = 16;

// The link parameter of the host's own instance object.
constexpr LONG kHostInstanceLink = 1001;

BaseObject* LinkOf(BaseObject* op, LONG id) {
  return static_cast<BaseObject*>(op->GetDataInstance()->GetLink(id, op->GetDocument(), Obase));
}

BaseObject* InstanceLink(BaseObject* op) { return op ? LinkOf(op, INSTANCE_LINK) : nullptr; }

// The object an instance (ours, or the host's) stands for; null for other objects.
BaseObject* AnyInstanceLink(BaseObject* op) {
  if (op->GetType() == ID_ORVANEINSTANCE) return LinkOf(op, INSTANCE_LINK);
  if (op->GetType() == Oinstance) return LinkOf(op, kHostInstanceLink);
  return nullptr;
}

}  // namespace

Bool InstanceLeadsBack(BaseObject* instance, BaseObject* link) {
  if (!instance || !link) return false;
  std::set<BaseObject*> seen;
  std::vector<BaseObject*> pending{link};
  while (!pending.empty()) {
    BaseObject* op = pending.back();
    pending.pop_back();
    if (!seen.insert(op).second) continue;
    if (op == instance) return true;
    for (BaseObject* child = op->GetDown(); child; child = child->GetNext()) pending.push_back(child);
    if (BaseObject* next = AnyInstanceLink(op)) pending.push_back(next);
  }
  return false;
}

Bool OrvaneInstance::Init(GeListNode* node) {
  BaseContainer* bc = static_cast<BaseObject*>(node)->GetDataInstance();
  bc->SetLink(INSTANCE_LINK, nullptr);
  bc->SetBool(INSTANCE_USE_BOX_SIZE, false);
  bc->SetVector(INSTANCE_BOX_SIZE, LVector(50.0, 50.0, 50.0));
  bc->SetVector(INSTANCE_BOX_CENTER, LVector(0.0, 0.0, 0.0));
  bc->SetBool(INSTANCE_RESERVED, true);
  bc->SetLong(INSTANCE_DRAW_MODE, INSTANCE_DRAW_SHADED);
  return true;
}

Bool OrvaneInstance::Message(GeListNode*, LONG, void*) { return true; }

BaseObject* OrvaneInstance::GetVirtualObjects(BaseObject* op, HierarchyHelp* hh) {
  const LONG flags = hh ? hh->GetBuildFlags() : BUILDFLAGS_NONE;
  if (flags & BUILDFLAGS_INTERNALRENDERER) return nullptr;
  // While the exporter writes the document it places the linked objects itself.
  if (instSuppress && instSuppress->IsSet()) return nullptr;
  if (!(flags & BUILDFLAGS_EXTERNALRENDERER)) return nullptr;
  if (!op->GetDeformMode()) return nullptr;
  BaseObject* link = InstanceLink(op);
  if (!link || InstanceLeadsBack(op, link)) return nullptr;
  auto* copy = static_cast<BaseObject*>(link->GetClone(kCopyFlags));
  if (!copy) return nullptr;
  copy->SetMl(LMatrix());
  return copy;
}

void OrvaneInstance::GetDimension(BaseObject* op, LVector* mp, LVector* rad) {
  LVector centre, half(50.0, 50.0, 50.0);
  const BaseContainer* bc = op->GetDataInstance();
  BaseObject* link = InstanceLink(op);
  if (link && (Helpers::IsLinkedParent(op, link) || InstanceLeadsBack(op, link))) {
    centre = half = LVector();
  } else if (bc->GetBool(INSTANCE_USE_BOX_SIZE)) {
    centre = bc->GetVector(INSTANCE_BOX_CENTER);
    half = bc->GetVector(INSTANCE_BOX_SIZE) * 0.5;
  } else if (link) {
    centre = link->GetMp();
    half = link->GetRad();
  }
  if (mp) *mp = centre;
  if (rad) *rad = half;
}

Bool RegisterOrvaneInstance(InstanceSuppresser* suppresser) {
  String name = GeLoadString(10011);
  if (!name.Content()) return true;
  instSuppress = suppresser;
  return RegisterObjectPlugin(ID_ORVANEINSTANCE, name, PLUGINFLAG_HIDEPLUGINMENU | OBJECT_GENERATOR,
                              OrvaneInstance::Alloc, "Oorvaneinstance", AutoBitmap("instance.tif"), 0);
}
