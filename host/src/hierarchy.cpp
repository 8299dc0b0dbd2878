// Object caches: building them for generators, the document's evaluation and the traversal for
// renderers.
#include "c4d_hierarchy.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "c4d_basedocument.h"
#include "c4d_layer.h"
#include "c4d_plugin.h"
#include "c4d_thread.h"
#include "host_cache.h"
#include "host_control.h"
#include "host_state.h"
#include "primitives.h"

// Sets the deform caches of objects; befriended by BaseObject.
struct HostCaches {
  // Marks `first`, its siblings and everything below as lying in the cache of `parent`.
  static void MarkTree(BaseObject* first, BaseObject* parent) {
    for (BaseObject* op = first; op; op = op->GetNext()) {
      op->cacheParent_ = parent;
      MarkTree(op->GetDown(), parent);
    }
  }
  static void SetDeformCache(BaseObject* op, BaseObject* cache) {
    if (op->deformCache_ == cache) return;
    if (op->deformCache_) GeListNode::Destroy(op->deformCache_);
    op->deformCache_ = cache;
    if (!cache) return;
    cache->Remove();
    cache->cacheParent_ = op;
    MarkTree(cache->GetDown(), op);
  }
  static void Detach(BaseObject* op, BaseObject* cache) {
    if (!op || !cache) return;
    if (op->cache_ == cache)
      op->cache_ = nullptr;
    else if (op->deformCache_ == cache)
      op->deformCache_ = nullptr;
    else
      return;
    cache->cacheParent_ = nullptr;
    MarkTree(cache->GetDown(), nullptr);
  }
};

namespace {

// How deep caches may hold generators whose caches hold generators: a generator that (through
// others) reproduces itself stops here.
constexpr int kMaxCacheNesting = 16;

// A primitive's cache: its mesh, named after it.
BaseObject* MakePrimitiveCache(const BaseObject* prim) {
  PolygonObject* mesh = host::GeneratePrimitiveMesh(prim);
  if (mesh) mesh->SetName(prim->GetName());
  return mesh;
}

// The instance's parameters: the object it stands for, and whether it is a render instance.
enum { INSTANCEOBJECT_LINK = 1001, INSTANCEOBJECT_RENDERINSTANCE = 1002 };

// A copy of the object the instance stands for, at the instance's place; null when there is none
// or when it holds the instance (through its parents or the generators whose caches hold it). A
// render instance's copy shares the object's mesh data instead of copying it.
BaseObject* MakeInstanceCache(const BaseObject* instance, BaseDocument* doc) {
  BaseObject* link = instance->GetDataInstance()->GetObjectLink(INSTANCEOBJECT_LINK, doc);
  if (!link) return nullptr;
  for (const BaseObject* o = instance; o; o = o->GetUp() ? o->GetUp() : o->GetCacheParent())
    if (o == link) return nullptr;
  BaseObject* copy = instance->GetDataInstance()->GetBool(INSTANCEOBJECT_RENDERINSTANCE)
                         ? host::CloneSharingData(link)
                         : static_cast<BaseObject*>(link->GetClone(COPYFLAGS_NONE));
  if (copy) copy->SetMl(LMatrix());
  return copy;
}

// The object types registered as generators.
std::set<LONG> GeneratorTypes() {
  std::set<LONG> types;
  for (const host::Registration& r : host::Registrations())
    if (r.accepted && r.kind == host::PluginKind::Object && (r.info & OBJECT_GENERATOR)) types.insert(r.id);
  return types;
}

bool Breaks(BaseThread* bt) { return bt && bt->TestBreak(); }

// Builds the caches of `first`, its siblings and everything below them.
void BuildCaches(BaseObject* first, HierarchyHelp* hh, const std::set<LONG>& generators, int nesting) {
  BaseDocument* doc = hh->GetDocument();
  for (BaseObject* op = first; op; op = op->GetNext()) {
    if (Breaks(hh->GetThread())) return;
    const LayerData* layer = op->GetLayerData(doc);
    bool generates = !layer || layer->generators;
    if (generators.count(op->GetType())) {
      BaseObject* made = nullptr;
      if (generates && op->GetDeformMode()) {
        ObjectData* data = dynamic_cast<ObjectData*>(op->GetNodeData());
        made = data ? data->GetVirtualObjects(op, hh) : nullptr;
        // A generator that hands back an object living elsewhere keeps no cache.
        if (made && (made->GetListHead() || made->GetUp() || made->GetCacheParent())) made = nullptr;
      }
      host::SetCache(op, made);
    } else if (host::IsPrimitiveType(op->GetType())) {
      host::SetCache(op, generates ? MakePrimitiveCache(op) : nullptr);
    } else if (op->GetType() == Oinstance) {
      host::SetCache(op, generates && op->GetDeformMode() ? MakeInstanceCache(op, doc) : nullptr);
    }
    if (BaseObject* cache = op->GetCache()) {
      if (nesting < kMaxCacheNesting) BuildCaches(cache, hh, generators, nesting + 1);
    }
    if (op->GetDown()) BuildCaches(op->GetDown(), hh, generators, nesting);
  }
}

// Runs the tags of `first`, its siblings and everything below them.
void RunTags(BaseObject* first, BaseDocument* doc, BaseThread* bt) {
  for (BaseObject* op = first; op; op = op->GetNext()) {
    if (Breaks(bt)) return;
    const LayerData* layer = op->GetLayerData(doc);
    if (!layer || layer->expressions) {
      for (BaseTag* tag = op->GetFirstTag(); tag; tag = tag->GetNext()) {
        if (TagData* data = dynamic_cast<TagData*>(tag->GetNodeData())) data->Execute(tag, doc, op, bt, 0, 0);
      }
    }
    if (op->GetDown()) RunTags(op->GetDown(), doc, bt);
  }
}

}  // namespace

// --- Caches of objects -------------------------------------------------------------

BaseObject* BaseContainer::GetObjectLink(LONG id, const BaseDocument* doc) const {
  return static_cast<BaseObject*>(GetLink(id, doc, Obase));
}

namespace host {
void SetDeformCache(BaseObject* op, BaseObject* cache) {
  if (op && op != cache)
    HostCaches::SetDeformCache(op, cache);
  else if (!op)
    GeListNode::Destroy(cache);
}
void DetachCache(BaseObject* op, BaseObject* cache) { HostCaches::Detach(op, cache); }
}  // namespace host

// --- The document's evaluation ---------------------------------------------------------

Bool BaseDocument::ExecutePasses(BaseThread* bt, Bool animation, Bool expressions, Bool caches,
                                 LONG /*flags*/) {
  if (animation) host::AnimateTree(this, GetFirstObject(), GetTime());
  if (caches) {
    HierarchyHelp hh(this, BUILDFLAGS_NONE, 1.0, bt);
    BuildCaches(GetFirstObject(), &hh, GeneratorTypes(), 0);
  }
  if (expressions) RunTags(GetFirstObject(), this, bt);
  return !Breaks(bt);
}

// --- The traversal for renderers --------------------------------------------------------

namespace {

// Walks `first` and its siblings with the parent's global matrix `mg`; false once `Do` said stop.
bool Walk(Hierarchy* h, BaseObject* first, const LMatrix& mg, void* parentData, BaseThread* bt, int nesting) {
  for (BaseObject* op = first; op; op = op->GetNext()) {
    if (Breaks(bt)) return false;
    LMatrix m = mg * op->GetMl();
    void* own = h->Alloc();
    if (own && parentData) h->CopyTo(parentData, own);
    void* data = own ? own : parentData;
    BaseObject* cache = op->GetDeformCache() ? op->GetDeformCache() : op->GetCache();
    bool go = h->Do(data, op, m, cache != nullptr);
    if (go && cache && nesting < kMaxCacheNesting) go = Walk(h, cache, m, data, bt, nesting + 1);
    if (go && op->GetDown()) go = Walk(h, op->GetDown(), m, data, bt, nesting);
    if (own) h->Free(own);
    if (!go) return false;
  }
  return true;
}

}  // namespace

Bool Hierarchy::Run(BaseDocument* doc, Bool /*spline*/, Real lod, Bool /*uselod*/, LONG buildflags,
                    void* startdata, BaseThread* thread) {
  if (!doc) return false;
  HierarchyHelp hh(doc, buildflags, lod, thread);
  BuildCaches(doc->GetFirstObject(), &hh, GeneratorTypes(), 0);
  if (Breaks(thread)) return false;
  if (!doc->GetFirstObject()) {
    // An empty document still gets its one call: a renderer writes its scene from it.
    Do(startdata, nullptr, LMatrix(), false);
    return true;
  }
  Walk(this, doc->GetFirstObject(), LMatrix(), startdata, thread, 0);
  return !Breaks(thread);
}
