// Objects, tags, materials, shaders, video posts, render data and documents.
#include <algorithm>
#include <atomic>
#include <cstring>

#include "c4d_basedocument.h"
#include "c4d_selection.h"
#include "c4d_texturetag.h"
#include "host_state.h"
#include "hostshaders.h"
#include "primitives.h"
#include "standardmaterial.h"

namespace {

// Host object types that exist without a plug-in; everything but Opolygon is a plain object here.
bool IsHostObjectType(LONG type) {
  switch (type) {
    case Olight:
    case Ocamera:
    case Osky:
    case Oinstance:
    case Onull: return true;
    default: return host::IsParametricObjectType(type);
  }
}

bool IsHostTagType(LONG type) {
  switch (type) {
    case Tphong:
    case Ttexture:
    case Tmotionblur:
    case Tpolygonselection: return true;
    default: return false;
  }
}

// Allocates `node` with the plug-in data of a registered type; frees it when Init refuses.
template <typename T>
T* WithPluginData(T* node, host::PluginKind kind, LONG type) {
  DataAllocator* alloc = host::FindAllocator(kind, type);
  if (!alloc) {
    GeListNode::Destroy(node);
    return nullptr;
  }
  if (!node->AttachNodeData(alloc())) {
    GeListNode::Destroy(node);
    return nullptr;
  }
  return node;
}

template <typename T>
void FreeNode(T*& node) {
  GeListNode::Destroy(node);
  node = nullptr;
}

// Constructors are protected; these small subclasses make plain nodes of a type.
struct PlainObject : BaseObject {
  explicit PlainObject(LONG type) : BaseObject(type) {}
};
struct PlainTag : BaseTag {
  explicit PlainTag(LONG type) : BaseTag(type) {}
};
struct PlainVariableTag : VariableTag {
  PlainVariableTag(LONG type, LONG size, LONG count) : VariableTag(type, size, count) {}
};
struct PlainMaterial : BaseMaterial {
  explicit PlainMaterial(LONG type) : BaseMaterial(type) {}
};
struct PlainShader : BaseShader {
  explicit PlainShader(LONG type) : BaseShader(type) {}
};
struct PlainVideoPost : BaseVideoPost {
  explicit PlainVideoPost(LONG type) : BaseVideoPost(type) {}
};
struct PlainRenderData : RenderData {};
struct PlainDocument : BaseDocument {};

}  // namespace

// --- BaseObject ---------------------------------------------------------------

BaseObject* BaseObject::Alloc(LONG type) {
  if (type == Opolygon) return PolygonObject::Alloc(0, 0);
  if (IsHostObjectType(type)) {
    BaseObject* op = new PlainObject(type);
    host::InitParametricObject(op);
    return op;
  }
  return WithPluginData<BaseObject>(new PlainObject(type), host::PluginKind::Object, type);
}

void BaseObject::Free(BaseObject*& op) { FreeNode(op); }

LMatrix BaseObject::GetMg() const {
  LMatrix m = ml_;
  const BaseObject* top = this;
  for (BaseObject* p = GetUp(); p; p = p->GetUp()) {
    m = p->ml_ * m;
    top = p;
  }
  // A cache lies in its generator's space.
  if (top->cacheParent_) m = top->cacheParent_->GetMg() * m;
  return m;
}

void BaseObject::SetMg(const LMatrix& m) {
  BaseObject* up = GetUp();
  if (!up) up = cacheParent_;
  ml_ = up ? !up->GetMg() * m : m;
}

void BaseObject::FreeBranches() {
  tags_.FlushAll();
  if (deformCache_) GeListNode::Destroy(deformCache_);
  deformCache_ = nullptr;
  if (cache_) GeListNode::Destroy(cache_);
  cache_ = nullptr;
}

BaseTag* BaseObject::GetTag(LONG type, LONG nr) const {
  for (BaseTag* t = GetFirstTag(); t; t = t->GetNext())
    if (t->GetType() == type && nr-- == 0) return t;
  return nullptr;
}

void BaseObject::InsertTag(BaseTag* tag, BaseTag* pred) {
  if (!tag) return;
  if (pred && pred->GetObject() == this)
    tag->InsertAfter(pred);
  else
    tags_.InsertFirst(tag);
}

BaseTag* BaseObject::MakeTag(LONG type, BaseTag* pred) {
  BaseTag* tag = BaseTag::Alloc(type);
  if (tag) InsertTag(tag, pred);
  return tag;
}

void BaseObject::KillTag(LONG type, LONG nr) {
  BaseTag* t = GetTag(type, nr);
  if (t) BaseTag::Free(t);
}

// --- PolygonObject ------------------------------------------------------------

PolygonObject::PolygonObject() : BaseObject(Opolygon) {}

PolygonObject* PolygonObject::Alloc(LONG pcnt, LONG vcnt) {
  if (pcnt < 0 || vcnt < 0) return nullptr;
  PolygonObject* op = new PolygonObject();
  // The polygon tag goes first, the point tag before it: points, then polygons.
  op->InsertTag(new PlainVariableTag(Tpolygon, sizeof(CPolygon), vcnt));
  op->InsertTag(new PlainVariableTag(Tpoint, sizeof(LVector), pcnt));
  return op;
}

VariableTag* PolygonObject::PointTag() const { return static_cast<VariableTag*>(GetTag(Tpoint)); }
VariableTag* PolygonObject::PolygonTag() const { return static_cast<VariableTag*>(GetTag(Tpolygon)); }

LONG PolygonObject::GetPointCount() const {
  VariableTag* t = PointTag();
  return t ? t->GetDataCount() : 0;
}

LONG PolygonObject::GetPolygonCount() const {
  VariableTag* t = PolygonTag();
  return t ? t->GetDataCount() : 0;
}

const LVector* PolygonObject::GetPointR() const {
  VariableTag* t = PointTag();
  return t ? static_cast<const LVector*>(t->GetDataAddressR()) : nullptr;
}

LVector* PolygonObject::GetPointW() {
  VariableTag* t = PointTag();
  return t ? static_cast<LVector*>(t->GetDataAddressW()) : nullptr;
}

const CPolygon* PolygonObject::GetPolygonR() const {
  VariableTag* t = PolygonTag();
  return t ? static_cast<const CPolygon*>(t->GetDataAddressR()) : nullptr;
}

CPolygon* PolygonObject::GetPolygonW() {
  VariableTag* t = PolygonTag();
  return t ? static_cast<CPolygon*>(t->GetDataAddressW()) : nullptr;
}

Bool PolygonObject::ResizeObject(LONG pcnt, LONG vcnt) {
  VariableTag* pt = PointTag();
  VariableTag* vt = PolygonTag();
  if (!pt || !vt || pcnt < 0 || vcnt < 0) return false;
  return pt->Resize(pcnt) && vt->Resize(vcnt);
}

// --- Tags -------------------------------------------------------------------

BaseTag* BaseTag::Alloc(LONG type) {
  if (type == Tuvw) return UVWTag::Alloc(0);
  if (type == Tpoint) return VariableTag::Alloc(Tpoint, 0);
  if (type == Tpolygon) return VariableTag::Alloc(Tpolygon, 0);
  if (type == Tpolygonselection) return SelectionTag::Alloc(type);
  if (type == Ttexture) return TextureTag::Alloc();
  if (type == Tpolygonselection) return SelectionTag::Alloc(type);
  if (IsHostTagType(type)) return new PlainTag(type);
  return WithPluginData<BaseTag>(new PlainTag(type), host::PluginKind::Tag, type);
}

void BaseTag::Free(BaseTag*& tag) { FreeNode(tag); }

BaseObject* BaseTag::GetObject() const {
  GeListHead* head = nullptr;
  for (const GeListNode* n = this; n; n = n->GetUp()) head = n->GetListHead();
  GeListNode* owner = head ? head->GetOwner() : nullptr;
  return owner && owner->IsInstanceOf(Obase) ? static_cast<BaseObject*>(owner) : nullptr;
}

VariableTag::VariableTag(LONG type, LONG elementSize, LONG count) : BaseTag(type), elementSize_(elementSize) {
  Resize(count);
}

VariableTag* VariableTag::Alloc(LONG type, LONG count) {
  if (count < 0) return nullptr;
  switch (type) {
    case Tpoint: return new PlainVariableTag(type, sizeof(LVector), count);
    case Tpolygon: return new PlainVariableTag(type, sizeof(CPolygon), count);
    case Tuvw: return UVWTag::Alloc(count);
    default: return nullptr;
  }
}

Bool VariableTag::Resize(LONG count) {
  if (count < 0) return false;
  data_->bytes.resize(static_cast<size_t>(count) * static_cast<size_t>(elementSize_), 0);
  data_->count = count;
  return true;
}

UVWTag* UVWTag::Alloc(LONG count) { return count < 0 ? nullptr : new UVWTag(count); }

UVWStruct UVWTag::GetSlow(LONG i) const {
  UVWStruct s;
  if (i >= 0 && i < GetDataCount())
    std::memcpy(&s, static_cast<const UVWStruct*>(GetDataAddressR()) + i, sizeof s);
  return s;
}

void UVWTag::SetSlow(LONG i, const UVWStruct& uvw) {
  if (i >= 0 && i < GetDataCount())
    std::memcpy(static_cast<UVWStruct*>(GetDataAddressW()) + i, &uvw, sizeof uvw);
}

// --- Materials and shaders ------------------------------------------------------

BaseMaterial* BaseMaterial::Alloc(LONG type) {
  if (type == Mmaterial) return host::AllocStandardMaterial();
  BaseMaterial* mat = WithPluginData<BaseMaterial>(new PlainMaterial(type), host::PluginKind::Material, type);
  // As the host does, a new material is named after its type.
  if (mat) mat->SetName(String(host::RegisteredName(host::PluginKind::Material, type)));
  return mat;
}

void BaseMaterial::Free(BaseMaterial*& mat) { FreeNode(mat); }

BaseShader* BaseShader::Alloc(LONG type) {
  if (host::IsHostShaderType(type)) {
    BaseShader* sh = new PlainShader(type);
    if (!sh->AttachNodeData(host::NewHostShaderData(type))) FreeNode(sh);
    return sh;
  }
  return WithPluginData<BaseShader>(new PlainShader(type), host::PluginKind::Shader, type);
}

void BaseShader::Free(BaseShader*& sh) { FreeNode(sh); }

// --- Video posts and render data ------------------------------------------------

BaseVideoPost* BaseVideoPost::Alloc(LONG type) {
  return WithPluginData<BaseVideoPost>(new PlainVideoPost(type), host::PluginKind::VideoPost, type);
}

void BaseVideoPost::Free(BaseVideoPost*& vp) { FreeNode(vp); }

RenderData* RenderData::Alloc() {
  RenderData* rd = new PlainRenderData();
  // The host's defaults for new render settings: an image of 800 x 600 pixels.
  rd->GetDataInstance()->SetLong(RDATA_XRES, 800);
  rd->GetDataInstance()->SetLong(RDATA_YRES, 600);
  return rd;
}

void RenderData::Free(RenderData*& rd) { FreeNode(rd); }

void RenderData::InsertVideoPost(BaseVideoPost* vp, BaseVideoPost* pred) {
  if (!vp) return;
  if (pred && pred->GetListHead() == &videoPosts_)
    vp->InsertAfter(pred);
  else
    videoPosts_.InsertFirst(vp);
}

// --- Documents ----------------------------------------------------------------

BaseDocument::BaseDocument()
    : BaseList2D(Tbasedocument),
      objects_(this),
      materials_(this),
      renderData_(this),
      views_(this),
      layers_(this) {
  InsertRenderData(RenderData::Alloc());
  views_.InsertFirst(host::NewBaseDraw());
}

BaseDocument* BaseDocument::Alloc() { return new PlainDocument(); }

void BaseDocument::Free(BaseDocument*& doc) { FreeNode(doc); }

void BaseDocument::FreeBranches() {
  objects_.FlushAll();
  materials_.FlushAll();
  renderData_.FlushAll();
  views_.FlushAll();
  layers_.FlushAll();
}

void BaseDocument::InsertObject(BaseObject* op, BaseObject* parent, BaseObject* pred) {
  if (!op) return;
  if (pred)
    op->InsertAfter(pred);
  else if (parent)
    op->InsertUnder(parent);
  else
    objects_.InsertFirst(op);
}

namespace {
BaseObject* SearchTree(BaseObject* op, const String& name) {
  for (; op; op = op->GetNext()) {
    if (op->GetName() == name) return op;
    if (BaseObject* found = SearchTree(op->GetDown(), name)) return found;
  }
  return nullptr;
}
}  // namespace

BaseObject* BaseDocument::SearchObject(const String& name) const {
  return SearchTree(GetFirstObject(), name);
}

void BaseDocument::InsertMaterial(BaseMaterial* mat, BaseMaterial* pred) {
  if (!mat) return;
  if (pred && pred->GetListHead() == &materials_)
    mat->InsertAfter(pred);
  else
    materials_.InsertFirst(mat);
}

BaseMaterial* BaseDocument::SearchMaterial(const String& name) const {
  for (BaseMaterial* m = GetFirstMaterial(); m; m = m->GetNext())
    if (m->GetName() == name) return m;
  return nullptr;
}

RenderData* BaseDocument::GetActiveRenderData() const {
  BaseList2D* rd = activeRenderData_.GetLink(this);
  return rd ? static_cast<RenderData*>(rd) : GetFirstRenderData();
}

void BaseDocument::InsertRenderData(RenderData* rd, RenderData* pred) {
  if (!rd) return;
  if (pred && pred->GetListHead() == &renderData_)
    rd->InsertAfter(pred);
  else
    renderData_.InsertFirst(rd);
}

void BaseDocument::SetActiveRenderData(RenderData* rd) { activeRenderData_.SetLink(rd); }

// --- The active document -------------------------------------------------------

namespace host {
namespace {
std::atomic<BaseDocument*> g_active{nullptr};
}
void SetActiveDocument(BaseDocument* doc) { g_active.store(doc); }
}  // namespace host

BaseDocument* GetActiveDocument() { return host::g_active.load(); }
