#include "object/orvaneinstance.h"

#include <algorithm>
#include <set>
#include <vector>

#include "main/helpers.h"
#include "main/instancesuppresser.h"
#include "object/orvaneinstanceids.h"

namespace {

InstanceSuppresser* instSuppress = nullptr;

// Copy flags of the generated copy of the linked object.
constexpr LONG kCopyFlags = 16;

// Deepest nesting of instances drawn inside instances; beyond it nothing more is drawn.
constexpr size_t kMaxDrawNesting = 64;
// Line flags of outlines and draw flags of the shaded form.
constexpr LONG kLineFlags = 3;
constexpr LONG kShadedFlags = 0x40000000;

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

OrvaneInstance::InstanceDrawMode DrawStyle(LONG mode) {
  switch (mode) {
    case INSTANCE_DRAW_WIRE: return OrvaneInstance::DRAW_WIREFRAME;
    case INSTANCE_DRAW_SHADED: return OrvaneInstance::DRAW_SHADED;
    default: return OrvaneInstance::DRAW_BOX;
  }
}

void Line(BaseDraw* bd, const LMatrix& m, const LVector& a, const LVector& b) {
  bd->DrawLine(m * a, m * b, kLineFlags);
}

// The edges of every polygon: a-b, b-c, then c-d and d-a, or c-a for a triangle.
void DrawWireframe(BaseDraw* bd, PolygonObject* op, const LMatrix& m) {
  const LVector* p = op->GetPointR();
  const CPolygon* v = op->GetPolygonR();
  const LONG points = op->GetPointCount();
  for (LONG i = 0; i < op->GetPolygonCount(); ++i) {
    const CPolygon& q = v[i];
    if (std::min({q.a, q.b, q.c, q.d}) < 0 || std::max({q.a, q.b, q.c, q.d}) >= points) continue;
    Line(bd, m, p[q.a], p[q.b]);
    Line(bd, m, p[q.b], p[q.c]);
    if (q.c != q.d) {
      Line(bd, m, p[q.c], p[q.d]);
      Line(bd, m, p[q.d], p[q.a]);
    } else {
      Line(bd, m, p[q.c], p[q.a]);
    }
  }
}

// The twelve edges of the box around `mp` with half-size `rad`.
void DrawBox(BaseDraw* bd, const LVector& mp, const LVector& rad, const LMatrix& m) {
  LVector c[8];
  for (int i = 0; i < 8; ++i)
    c[i] = mp + LVector(i & 1 ? rad.x : -rad.x, i & 2 ? rad.y : -rad.y, i & 4 ? rad.z : -rad.z);
  for (int i = 0; i < 8; ++i)
    for (int bit : {1, 2, 4})
      if (!(i & bit)) Line(bd, m, c[i], c[i | bit]);
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

Bool OrvaneInstance::GetDDescription(GeListNode* node, Description* description, LONG& flags) {
  if (!node || !description || !description->LoadDescription(node->GetType())) return false;
  const Bool useBox = static_cast<BaseObject*>(node)->GetDataInstance()->GetBool(INSTANCE_USE_BOX_SIZE);
  auto hide = [description](LONG id, Bool hidden) { Helpers::HideDescriptionEntry(description, id, hidden); };
  hide(INSTANCE_USE_BOX_SIZE, true);
  hide(INSTANCE_LINK, useBox);
  hide(INSTANCE_BOX_GROUP, !useBox);
  flags |= DESCFLAGS_DESC_LOADED;
  return true;
}

LONG OrvaneInstance::Draw(BaseObject* op, LONG drawpass, BaseDraw* bd, BaseDrawHelp* bh) {
  if (drawpass == DRAWPASS_OBJECT && bd && bh) {
    BaseObject* link = InstanceLink(op);
    const InstanceDrawMode style = DrawStyle(op->GetDataInstance()->GetLong(INSTANCE_DRAW_MODE));
    if (link && !op->GetBit(BIT_CONTROLOBJECT) && op->GetDeformMode()) {
      const LMatrix mg = bh->GetMg();
      RecoursiveDraw(op, bd, bh, op->GetMg(), true, style, drawpass, true);
      bh->SetMg(mg);
    }
  }
  return ObjectData::Draw(op, drawpass, bd, bh);
}

void OrvaneInstance::RecoursiveDraw(BaseObject* obj, BaseDraw* bd, BaseDrawHelp* bh, const LMatrix& m,
                                    Bool single, InstanceDrawMode style, LONG drawpass, Bool visible) {
  std::vector<BaseObject*> chain;
  DrawObjects(obj, bd, bh, m, single, style, drawpass, visible, chain);
}

void OrvaneInstance::DrawObjects(BaseObject* obj, BaseDraw* bd, BaseDrawHelp* bh, const LMatrix& m,
                                 Bool single, InstanceDrawMode style, LONG drawpass, Bool visible,
                                 std::vector<BaseObject*>& chain) {
  for (BaseObject* o = obj; o; o = o->GetNext()) {
    const LMatrix mo = single ? m : m * o->GetMl();
    const LONG mode = o->GetEditorMode();
    const Bool vis = mode == MODE_ON ? true : mode == MODE_OFF ? false : visible;

    if (o->GetType() == ID_ORVANEINSTANCE) {
      // The link stands exactly at the instance; its own matrix does not count. The chain and the
      // nesting bound guard against cycles the link test cannot see (through caches).
      BaseObject* link = InstanceLink(o);
      const bool drawing = std::find(chain.begin(), chain.end(), o) != chain.end();
      if (vis && link && !drawing && chain.size() < kMaxDrawNesting && !Helpers::IsLinkedParent(o, link) &&
          !InstanceLeadsBack(o, link)) {
        chain.push_back(o);
        DrawObjects(link, bd, bh, mo, true, style, drawpass, true, chain);
        chain.pop_back();
      }
    } else if (BaseObject* deformed = o->GetDeformCache()) {
      DrawObjects(deformed, bd, bh, mo, true, style, drawpass, vis, chain);
    } else if (BaseObject* cache = o->GetCache()) {
      DrawObjects(cache, bd, bh, mo, false, style, drawpass, vis, chain);
    } else if (o->GetType() == Opolygon) {
      bd->SetPen(bd->CheckColor(bh->GetObjectColor(o)));
      if (vis && !o->GetBit(BIT_CONTROLOBJECT)) {
        auto* poly = static_cast<PolygonObject*>(o);
        switch (style) {
          case DRAW_WIREFRAME: DrawWireframe(bd, poly, mo); break;
          case DRAW_SHADED:
            bh->SetMg(mo);
            bd->DrawPolygonObject(bh, poly, kShadedFlags, drawpass, nullptr, LVector(0.5, 0.5, 0.5));
            break;
          case DRAW_BOX: DrawBox(bd, poly->GetMp(), poly->GetRad(), mo); break;
        }
      }
    }
    if (BaseObject* child = o->GetDown()) DrawObjects(child, bd, bh, mo, false, style, drawpass, vis, chain);
    if (single) break;
  }
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
