// The document file loader: JSON text in, a host document out. The format is described in
// docs/document-file.md. Every node is inserted into the new document as soon as it is allocated,
// so that freeing the document on an error frees everything built so far.
#include "host_document_file.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <new>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "c4d_basedocument.h"
#include "c4d_basematerial.h"
#include "c4d_basedraw.h"
#include "c4d_layer.h"
#include "c4d_selection.h"
#include "files/folder.h"
#include "host_control.h"
#include "json_tree.h"
#include "text/printable.h"

namespace host {
namespace {

using Json = json::Value;
using json::Item;
using json::Kind;
using json::Member;
using json::Quoted;

// A problem at a place of the input: a JSON pointer, a text position, or nothing for the whole.
struct LoadError {
  std::string place;
  std::string problem;
};

[[noreturn]] void Fail(const std::string& place, const std::string& problem) {
  throw LoadError{place, problem};
}

// --- Places and wording ------------------------------------------------------

std::string Counted(size_t n, const char* one, const char* many) {
  return std::to_string(n) + ' ' + (n == 1 ? one : many);
}

// Control characters (from keys or names in the file) must not break the message's single line:
// they are escaped as everywhere a name is shown.
std::string OneLine(const std::string& s) { return text::Printable(s); }

const char* KindOf(const Json& v) {
  switch (v.kind()) {
    case Kind::Null: return "null";
    case Kind::Bool: return "true or false";
    case Kind::Int:
    case Kind::Uint:
    case Kind::IntReal: return "an integer";
    case Kind::Real: return "a real number";
    case Kind::String: return "a string";
    case Kind::Array: return "an array";
    case Kind::Object: return "an object";
  }
  return "an unsupported value";
}

[[noreturn]] void FailExpected(const std::string& place, const char* what, const Json& v) {
  Fail(place, std::string("expected ") + what + ", not " + KindOf(v));
}

// --- Plain values ----------------------------------------------------------------

// The member `key` of the object `obj`, or null. Objects are searched from the front: the loader
// asks for a handful of known keys, and an object with many keys is refused for the first
// unknown one before anything is searched.
using Found = std::optional<Json>;

Found Find(const Json& obj, const char* key) {
  if (const json::Node* n = obj.Find(key)) return Json(*n);
  return std::nullopt;
}

void ExpectObject(const Json& v, const std::string& place) {
  if (v.kind() != Kind::Object) FailExpected(place, "an object", v);
}

void ExpectArray(const Json& v, const std::string& place) {
  if (v.kind() != Kind::Array) FailExpected(place, "an array", v);
}

// Every key of `obj` must be one of `known`.
void CheckKeys(const Json& obj, const std::string& ptr, std::initializer_list<const char*> known) {
  for (const json::Field& m : obj.node()->members) {
    bool ok = std::any_of(known.begin(), known.end(), [&](const char* k) { return m.key == k; });
    if (!ok) Fail(Member(ptr, m.key), "unknown field");
  }
}

const std::string& ToText(const Json& v, const std::string& place) {
  if (v.kind() != Kind::String) FailExpected(place, "a string", v);
  return v.AsText();
}

Bool ToBool(const Json& v, const std::string& place) {
  if (v.kind() != Kind::Bool) FailExpected(place, "true or false", v);
  return v.AsBool();
}

LONG ToLong(const Json& v, const std::string& place) {
  if (v.kind() == Kind::Uint)
    Fail(place, "integer " + std::to_string(v.AsUint()) + " is out of the 32-bit range");
  if (v.kind() == Kind::IntReal) {
    // -0, or an integer beyond 64 bits.
    if (v.AsReal() == 0.0) return 0;
    Fail(place, "integer " + v.IntegerText() + " is out of the 32-bit range");
  }
  if (v.kind() == Kind::Int) {
    int64_t i = v.AsInt();
    if (i < INT32_MIN || i > INT32_MAX)
      Fail(place, "integer " + std::to_string(i) + " is out of the 32-bit range");
    return static_cast<LONG>(i);
  }
  FailExpected(place, "an integer", v);
}

// An index among the nodes of one name, counted from 0.
LONG ToIndex(const Json& v, const std::string& place) {
  const LONG n = ToLong(v, place);
  if (n < 0) Fail(place, "an index counts from 0, not " + std::to_string(n));
  return n;
}

Real ToReal(const Json& v, const std::string& place) {
  if (!v.IsNumber()) FailExpected(place, "a number", v);
  Real r = v.AsReal();
  if (!std::isfinite(r)) Fail(place, "the number is not finite");
  return r;
}

LVector ToVector(const Json& v, const std::string& place) {
  if (v.kind() != Kind::Array) FailExpected(place, "a vector of three numbers", v);
  if (v.size() != 3) Fail(place, "a vector has three numbers, not " + std::to_string(v.size()));
  return LVector(ToReal(v[0], Item(place, 0)), ToReal(v[1], Item(place, 1)), ToReal(v[2], Item(place, 2)));
}

LMatrix ToMatrix(const Json& v, const std::string& place) {
  ExpectObject(v, place);
  CheckKeys(v, place, {"off", "v1", "v2", "v3"});
  LMatrix m;
  if (const Found x = Find(v, "off")) m.off = ToVector(*x, Member(place, "off"));
  if (const Found x = Find(v, "v1")) m.v1 = ToVector(*x, Member(place, "v1"));
  if (const Found x = Find(v, "v2")) m.v2 = ToVector(*x, Member(place, "v2"));
  if (const Found x = Find(v, "v3")) m.v3 = ToVector(*x, Member(place, "v3"));
  return m;
}

// The number of entries of an optional array, which must fit a LONG.
LONG Count(const Found& arr, const std::string& place) {
  if (!arr) return 0;
  ExpectArray(*arr, place);
  const size_t n = arr->size();
  if (n > static_cast<size_t>(INT32_MAX)) Fail(place, "more than " + std::to_string(INT32_MAX) + " entries");
  return static_cast<LONG>(n);
}

// A frame number (a time in frames) must be finite and one the host can count in 32 bits.
void CheckFrame(Real frame, const std::string& place, const char* what) {
  if (!std::isfinite(frame) || frame < static_cast<Real>(INT32_MIN) || frame > static_cast<Real>(INT32_MAX))
    Fail(place, std::string("the ") + what + " lies beyond the frame numbers the host can count");
}

// A decimal parameter ID: an optional minus and digits, within 32 bits.
LONG ParameterId(const std::string& key, const std::string& place) {
  size_t i = key.empty() || key[0] != '-' ? 0 : 1;
  if (i == key.size()) Fail(place, "parameter IDs are decimal integers, not " + Quoted(key));
  int64_t n = 0;
  for (; i < key.size(); ++i) {
    char c = key[i];
    if (c < '0' || c > '9') Fail(place, "parameter IDs are decimal integers, not " + Quoted(key));
    n = n * 10 + (c - '0');
    if (n > static_cast<int64_t>(INT32_MAX) + 1)
      Fail(place, "parameter ID " + key + " is out of the 32-bit range");
  }
  if (key[0] == '-') n = -n;
  if (n > INT32_MAX) Fail(place, "parameter ID " + key + " is out of the 32-bit range");
  return static_cast<LONG>(n);
}

CPolygon ToPolygon(const Json& v, const std::string& place, LONG pointCount) {
  ExpectArray(v, place);
  if (v.size() != 3 && v.size() != 4)
    Fail(place, "a polygon has 3 or 4 point indices, not " + std::to_string(v.size()));
  LONG idx[4] = {0, 0, 0, 0};
  for (size_t i = 0; i < v.size(); ++i) {
    idx[i] = ToLong(v[i], Item(place, i));
    if (idx[i] < 0 || idx[i] >= pointCount)
      Fail(Item(place, i), "point index " + std::to_string(idx[i]) + " is out of range (the object has " +
                               Counted(static_cast<size_t>(pointCount), "point", "points") + ")");
  }
  return v.size() == 3 ? CPolygon(idx[0], idx[1], idx[2]) : CPolygon(idx[0], idx[1], idx[2], idx[3]);
}

// The common case of a point or polygon without building the places that only errors name: false
// sends the value through the full checks.
bool QuickVector(const Json& v, LVector* out) {
  if (v.kind() != Kind::Array || v.size() != 3) return false;
  Real r[3];
  for (size_t k = 0; k < 3; ++k) {
    const Json x = v[k];
    if (!x.IsNumber()) return false;
    r[k] = x.AsReal();
    if (!std::isfinite(r[k])) return false;
  }
  *out = LVector(r[0], r[1], r[2]);
  return true;
}

// The same for row `r` of a packed array.
bool QuickVector(const json::Table& t, size_t r, LVector* out) {
  if (t.RowLength(r) != 3) return false;
  Real v[3];
  for (size_t k = 0; k < 3; ++k) {
    const json::Number x = t.At(r, k);
    v[k] = x.kind == Kind::Int ? static_cast<Real>(x.i) : x.kind == Kind::Uint ? static_cast<Real>(x.u) : x.d;
    if (!std::isfinite(v[k])) return false;
  }
  *out = LVector(v[0], v[1], v[2]);
  return true;
}

bool QuickPolygon(const json::Table& t, size_t r, LONG pointCount, CPolygon* out) {
  const size_t n = t.RowLength(r);
  if (n != 3 && n != 4) return false;
  LONG idx[4] = {0, 0, 0, 0};
  for (size_t k = 0; k < n; ++k) {
    const json::Number x = t.At(r, k);
    if (x.kind != Kind::Int || x.i < 0 || x.i >= pointCount) return false;
    idx[k] = static_cast<LONG>(x.i);
  }
  *out = n == 3 ? CPolygon(idx[0], idx[1], idx[2]) : CPolygon(idx[0], idx[1], idx[2], idx[3]);
  return true;
}

bool QuickPolygon(const Json& v, LONG pointCount, CPolygon* out) {
  const size_t n = v.kind() == Kind::Array ? v.size() : 0;
  if (n != 3 && n != 4) return false;
  LONG idx[4] = {0, 0, 0, 0};
  for (size_t k = 0; k < n; ++k) {
    const Json x = v[k];
    if (x.kind() != Kind::Int || x.AsInt() < 0 || x.AsInt() >= pointCount) return false;
    idx[k] = static_cast<LONG>(x.AsInt());
  }
  *out = n == 3 ? CPolygon(idx[0], idx[1], idx[2]) : CPolygon(idx[0], idx[1], idx[2], idx[3]);
  return true;
}

UVWStruct ToUvw(const Json& v, const std::string& place) {
  ExpectArray(v, place);
  if (v.size() != 3 && v.size() != 4)
    Fail(place, "a polygon's uvw has 3 or 4 corners, not " + std::to_string(v.size()));
  UVWStruct s;
  s.a = ToVector(v[0], Item(place, 0));
  s.b = ToVector(v[1], Item(place, 1));
  s.c = ToVector(v[2], Item(place, 2));
  s.d = v.size() == 4 ? ToVector(v[3], Item(place, 3)) : s.c;
  return s;
}

// The first layer of that name in `first`, its siblings and their sub-layers.
LayerObject* FindLayer(GeListNode* first, const String& name) {
  for (GeListNode* n = first; n; n = n->GetNext()) {
    LayerObject* layer = static_cast<LayerObject*>(n);
    if (layer->GetName() == name) return layer;
    if (LayerObject* found = FindLayer(layer->GetDown(), name)) return found;
  }
  return nullptr;
}

// The nodes of one name, in the order the document's searches visit them.
struct Named {
  BaseList2D* first = nullptr;
  std::vector<BaseList2D*> more;  // kept apart so that a name used once costs no allocation
  size_t Count() const { return first ? more.size() + 1 : 0; }
  BaseList2D* At(size_t i) const { return i == 0 ? first : more[i - 1]; }
};
using NameIndex = std::unordered_map<std::u32string, Named>;

void AddNamed(NameIndex& index, BaseList2D* node) {
  Named& named = index[node->GetName().Data()];
  if (!named.first)
    named.first = node;
  else
    named.more.push_back(node);
}

// Objects depth first: an object, its children, then the objects after it.
void IndexObjects(BaseObject* op, NameIndex& index) {
  for (; op; op = op->GetNext()) {
    AddNamed(index, op);
    IndexObjects(op->GetDown(), index);
  }
}

// Why no node named `name` stands at index `n` among the `count` of that name.
std::string NoNth(const char* noun, const std::string& name, LONG n, size_t count) {
  return std::string("no ") + noun + " named " + Quoted(name) + " at index " + std::to_string(n) + " (" +
         Counted(count, "has", "have") + " that name)";
}

// The node at index `n` among the `noun`s named `name` in `index`; none of that name fails at
// `place`, too few at `indexPlace`.
BaseList2D* NthNamed(const NameIndex& index, const char* noun, const std::string& name, LONG n,
                     const std::string& place, const std::string& indexPlace) {
  const auto found = index.find(String(name).Data());
  const size_t count = found == index.end() ? 0 : found->second.Count();
  if (count == 0) Fail(place, std::string("no ") + noun + " named " + Quoted(name));
  if (static_cast<size_t>(n) >= count) Fail(indexPlace, NoNth(noun, name, n, count));
  return found->second.At(static_cast<size_t>(n));
}

// Why allocating a node of `type` gave null: unknown, or a plug-in whose Init refused.
std::string AllocFailure(const char* noun, PluginKind kind, LONG type) {
  for (const Registration& r : Registrations())
    if (r.accepted && r.kind == kind && r.id == type)
      return std::string(noun) + " type " + std::to_string(type) + " failed to initialise";
  return std::string("unknown ") + noun + " type " + std::to_string(type);
}

// --- The document ----------------------------------------------------------------

class Loader {
 public:
  Loader(BaseDocument* doc, std::string folder, std::string fileName)
      : doc_(doc), folder_(std::move(folder)), fileName_(std::move(fileName)) {}
  void Load(const Json& root);

 private:
  // A link value written empty until every node exists: the node, the IDs leading to it through
  // nested containers, the name it names and which node of that name (-1 where the file does not
  // say: the first).
  struct PendingLink {
    BaseList2D* node;
    std::vector<LONG> ids;
    std::string name;
    LONG index;
    bool material;
    std::string place;  // of the typed value
  };

  BaseObject* LoadObject(const Json& v, const std::string& ptr, BaseObject* parent, BaseObject* pred);
  BaseTag* LoadTag(const Json& v, const std::string& ptr, BaseObject* op, BaseTag* pred);
  BaseMaterial* LoadMaterial(const Json& v, const std::string& ptr, BaseMaterial* pred);
  void LoadKeys(const Json& v, const std::string& ptr, BaseObject* op);
  void LoadLayer(const Json& v, const std::string& ptr, LayerObject* parent);
  void LoadRenderData(const Json& v, const std::string& ptr);
  void LoadVideoPost(const Json& v, const std::string& ptr, RenderData* rd);
  void LoadParameters(const Json& v, const std::string& ptr, BaseList2D* node);
  void LoadContainer(const Json& v, const std::string& ptr, BaseContainer& bc, BaseList2D* node,
                     std::vector<LONG>& ids);
  GeData LoadValue(const Json& v, const std::string& place, BaseList2D* node, std::vector<LONG>& ids);
  GeData LoadTypedValue(const Json& v, const std::string& place, BaseList2D* node, std::vector<LONG>& ids);
  GeData LoadShader(const Json& v, const std::string& ptr, BaseList2D* owner);
  void ResolveLinks();
  // The document's objects by name, indexed the first time.
  const NameIndex& Objects() {
    if (!objectsIndexed_) IndexObjects(doc_->GetFirstObject(), objects_);
    objectsIndexed_ = true;
    return objects_;
  }

  BaseDocument* doc_;
  std::string folder_;    // the document file's folder ("" for text without a file)
  std::string fileName_;  // the document file's name ("" for text without a file)
  std::vector<PendingLink> links_;
  NameIndex objects_;
  bool objectsIndexed_ = false;
};

void Loader::Load(const Json& root) {
  if (root.kind() != Kind::Object) FailExpected("", "an object", root);
  CheckKeys(root, "",
            {"name", "path", "fps", "frame", "minFrame", "maxFrame", "layers", "objects", "materials",
             "renderData", "sceneCamera", "sceneCameraIndex"});
  // A document loaded from a file lies in the file's folder under the file's name, unless it gives
  // others; a folder it gives that is not from the root is taken from the file's folder, as a
  // shader's file names are.
  if (!folder_.empty()) {
    doc_->SetDocumentPath(Filename(String(folder_)));
    doc_->SetDocumentName(Filename(String(fileName_)));
  }
  if (const Found v = Find(root, "name")) doc_->SetDocumentName(Filename(String(ToText(*v, "/name"))));
  if (const Found v = Find(root, "path")) {
    std::string path = ToText(*v, "/path");
    if (!folder_.empty() && !path.empty() && path[0] != '/') path = folder_ + '/' + path;
    doc_->SetDocumentPath(Filename(String(path)));
  }
  if (const Found v = Find(root, "fps")) {
    LONG fps = ToLong(*v, "/fps");
    if (fps < 1) Fail("/fps", "the frame rate must be at least 1, not " + std::to_string(fps));
    doc_->SetFps(fps);
  }
  const Real fps = doc_->GetFps();
  if (const Found v = Find(root, "frame")) doc_->SetTime(BaseTime(ToLong(*v, "/frame"), fps));
  if (const Found v = Find(root, "minFrame")) doc_->SetMinTime(BaseTime(ToLong(*v, "/minFrame"), fps));
  if (const Found v = Find(root, "maxFrame")) {
    doc_->SetMaxTime(BaseTime(ToLong(*v, "/maxFrame"), fps));
  } else {
    // The default range ends at a time, which a high frame rate puts beyond the frames the host counts.
    const Real last = std::floor(doc_->GetMaxTime().Get() * fps);
    if (last > static_cast<Real>(INT32_MAX))
      Fail("/fps", "the default range ends at frame " + std::to_string(static_cast<int64_t>(last)) +
                       ", beyond the frame numbers the host can count; give a maxFrame");
  }

  // Layers first: objects name the layer they are on.
  if (const Found layers = Find(root, "layers")) {
    ExpectArray(*layers, "/layers");
    for (size_t i = 0; i < layers->size(); ++i) LoadLayer((*layers)[i], Item("/layers", i), nullptr);
  }
  if (const Found objects = Find(root, "objects")) {
    ExpectArray(*objects, "/objects");
    BaseObject* pred = nullptr;
    for (size_t i = 0; i < objects->size(); ++i)
      pred = LoadObject((*objects)[i], Item("/objects", i), nullptr, pred);
  }
  if (const Found materials = Find(root, "materials")) {
    ExpectArray(*materials, "/materials");
    BaseMaterial* pred = nullptr;
    for (size_t i = 0; i < materials->size(); ++i)
      pred = LoadMaterial((*materials)[i], Item("/materials", i), pred);
  }
  if (const Found rd = Find(root, "renderData")) LoadRenderData(*rd, "/renderData");
  ResolveLinks();
  const Found camIndex = Find(root, "sceneCameraIndex");
  if (const Found cam = Find(root, "sceneCamera")) {
    const std::string& name = ToText(*cam, "/sceneCamera");
    const LONG n = camIndex ? ToIndex(*camIndex, "/sceneCameraIndex") : 0;
    BaseObject* op =
        static_cast<BaseObject*>(NthNamed(Objects(), "object", name, n, "/sceneCamera", "/sceneCameraIndex"));
    if (op->GetType() != Ocamera)
      Fail("/sceneCamera",
           "object " + Quoted(name) + " is not a camera (type " + std::to_string(Ocamera) + ")");
    doc_->GetRenderBaseDraw()->SetSceneCamera(op);
  } else if (camIndex) {
    Fail("/sceneCameraIndex", "an index without a sceneCamera");
  }
}

BaseObject* Loader::LoadObject(const Json& v, const std::string& ptr, BaseObject* parent, BaseObject* pred) {
  ExpectObject(v, ptr);
  CheckKeys(v, ptr,
            {"type", "name", "matrix", "position", "selected", "enabled", "layer", "parameters", "points",
             "polygons", "tags", "children", "keys"});
  const Found type = Find(v, "type");
  if (!type) Fail(ptr, "an object needs a type");
  const std::string typePlace = Member(ptr, "type");
  const LONG t = ToLong(*type, typePlace);

  const Found points = Find(v, "points");
  const Found polygons = Find(v, "polygons");
  if ((points || polygons) && t != Opolygon)
    Fail(Member(ptr, points ? "points" : "polygons"),
         "only polygon objects (type " + std::to_string(Opolygon) + ") have points and polygons");

  BaseObject* op = nullptr;
  PolygonObject* mesh = nullptr;
  LONG pointCount = 0, polygonCount = 0;
  if (t == Opolygon) {
    pointCount = Count(points, Member(ptr, "points"));
    polygonCount = Count(polygons, Member(ptr, "polygons"));
    op = mesh = PolygonObject::Alloc(pointCount, polygonCount);
  } else {
    op = BaseObject::Alloc(t);
  }
  if (!op) Fail(typePlace, AllocFailure("object", PluginKind::Object, t));
  doc_->InsertObject(op, parent, pred);

  if (const Found name = Find(v, "name")) op->SetName(String(ToText(*name, Member(ptr, "name"))));
  const Found matrix = Find(v, "matrix");
  const Found position = Find(v, "position");
  if (matrix && position) Fail(Member(ptr, "position"), "give either matrix or position, not both");
  if (matrix) op->SetMl(ToMatrix(*matrix, Member(ptr, "matrix")));
  if (position) op->SetPos(ToVector(*position, Member(ptr, "position")));
  if (const Found sel = Find(v, "selected")) {
    if (ToBool(*sel, Member(ptr, "selected"))) op->SetBit(BIT_ACTIVE);
  }
  if (const Found enabled = Find(v, "enabled")) op->SetDeformMode(ToBool(*enabled, Member(ptr, "enabled")));
  if (const Found layer = Find(v, "layer")) {
    const std::string layerPlace = Member(ptr, "layer");
    const std::string& name = ToText(*layer, layerPlace);
    LayerObject* found = FindLayer(doc_->GetLayerObjectRoot()->GetFirst(), String(name));
    if (!found) Fail(layerPlace, "no layer named " + Quoted(name));
    op->SetLayerObject(found);
  }
  if (const Found params = Find(v, "parameters")) LoadParameters(*params, Member(ptr, "parameters"), op);
  if (const Found keys = Find(v, "keys")) LoadKeys(*keys, Member(ptr, "keys"), op);

  if (mesh) {
    LVector* pw = mesh->GetPointW();
    const json::Table* packedPoints = points ? points->table() : nullptr;
    for (LONG i = 0; i < pointCount; ++i) {
      const bool quick = packedPoints ? QuickVector(*packedPoints, static_cast<size_t>(i), &pw[i])
                                      : QuickVector((*points)[i], &pw[i]);
      if (!quick) pw[i] = ToVector((*points)[i], Item(Member(ptr, "points"), i));
    }
    CPolygon* vw = mesh->GetPolygonW();
    const json::Table* packedPolygons = polygons ? polygons->table() : nullptr;
    for (LONG i = 0; i < polygonCount; ++i) {
      const bool quick = packedPolygons
                             ? QuickPolygon(*packedPolygons, static_cast<size_t>(i), pointCount, &vw[i])
                             : QuickPolygon((*polygons)[i], pointCount, &vw[i]);
      if (!quick) vw[i] = ToPolygon((*polygons)[i], Item(Member(ptr, "polygons"), i), pointCount);
    }
  }

  if (const Found tags = Find(v, "tags")) {
    const std::string tagsPlace = Member(ptr, "tags");
    ExpectArray(*tags, tagsPlace);
    // The user's tags go after those the object already has (a mesh's point and polygon tags).
    BaseTag* last = op->GetFirstTag();
    while (last && last->GetNext()) last = last->GetNext();
    for (size_t i = 0; i < tags->size(); ++i) last = LoadTag((*tags)[i], Item(tagsPlace, i), op, last);
  }

  if (const Found children = Find(v, "children")) {
    const std::string childrenPlace = Member(ptr, "children");
    ExpectArray(*children, childrenPlace);
    BaseObject* childPred = nullptr;
    for (size_t i = 0; i < children->size(); ++i)
      childPred = LoadObject((*children)[i], Item(childrenPlace, i), op, childPred);
  }
  return op;
}

// The object's animation keys; the object then stands where its keys put it at the document's time.
void Loader::LoadKeys(const Json& v, const std::string& ptr, BaseObject* op) {
  ExpectArray(v, ptr);
  std::vector<MatrixKey> keys;
  std::set<Real> frames;
  const Real fps = doc_->GetFps();
  for (size_t i = 0; i < v.size(); ++i) {
    const std::string place = Item(ptr, i);
    const Json& k = v[i];
    ExpectObject(k, place);
    CheckKeys(k, place, {"frame", "matrix", "position"});
    const Found frame = Find(k, "frame");
    if (!frame) Fail(place, "a key needs a frame");
    const Real f = ToReal(*frame, Member(place, "frame"));
    CheckFrame(f, Member(place, "frame"), "frame");
    if (!frames.insert(f).second) Fail(Member(place, "frame"), "two keys at one frame");
    const Found matrix = Find(k, "matrix");
    const Found position = Find(k, "position");
    if (matrix && position) Fail(Member(place, "position"), "give either matrix or position, not both");
    if (!matrix && !position) Fail(place, "a key needs a matrix or a position");
    MatrixKey key;
    key.time = BaseTime(f, fps);
    if (matrix) key.matrix = ToMatrix(*matrix, Member(place, "matrix"));
    if (position) key.matrix.off = ToVector(*position, Member(place, "position"));
    keys.push_back(key);
  }
  op->SetMatrixKeys(std::move(keys));
  doc_->AnimateObject(op, doc_->GetTime(), 0);
}

BaseTag* Loader::LoadTag(const Json& v, const std::string& ptr, BaseObject* op, BaseTag* pred) {
  ExpectObject(v, ptr);
  CheckKeys(v, ptr, {"type", "name", "uvw", "selection", "parameters"});
  const Found type = Find(v, "type");
  if (!type) Fail(ptr, "a tag needs a type");
  const std::string typePlace = Member(ptr, "type");
  const LONG t = ToLong(*type, typePlace);
  if (t == Tpoint || t == Tpolygon)
    Fail(typePlace, "point and polygon tags are made from an object's points and polygons");

  const Found uvw = Find(v, "uvw");
  const std::string uvwPlace = Member(ptr, "uvw");
  if (uvw && t != Tuvw) Fail(uvwPlace, "only UVW tags (type " + std::to_string(Tuvw) + ") have uvw");
  BaseTag* tag = nullptr;
  UVWTag* uvwTag = nullptr;
  if (t == Tuvw) {
    LONG polygons = op->GetType() == Opolygon ? static_cast<PolygonObject*>(op)->GetPolygonCount() : 0;
    if (uvw) {
      ExpectArray(*uvw, uvwPlace);
      if (uvw->size() != static_cast<size_t>(polygons))
        Fail(uvwPlace, "uvw has " + Counted(uvw->size(), "entry", "entries") + " but the object has " +
                           Counted(static_cast<size_t>(polygons), "polygon", "polygons"));
    }
    tag = uvwTag = UVWTag::Alloc(polygons);
  } else {
    tag = BaseTag::Alloc(t);
  }
  if (!tag) Fail(typePlace, AllocFailure("tag", PluginKind::Tag, t));
  op->InsertTag(tag, pred);

  if (const Found name = Find(v, "name")) tag->SetName(String(ToText(*name, Member(ptr, "name"))));
  if (uvw) {
    for (size_t i = 0; i < uvw->size(); ++i)
      uvwTag->SetSlow(static_cast<LONG>(i), ToUvw((*uvw)[i], Item(uvwPlace, i)));
  }
  if (const Found selection = Find(v, "selection")) {
    const std::string place = Member(ptr, "selection");
    if (t != Tpolygonselection)
      Fail(place,
           "only polygon selection tags (type " + std::to_string(Tpolygonselection) + ") have a selection");
    ExpectArray(*selection, place);
    LONG polygons = op->GetType() == Opolygon ? static_cast<PolygonObject*>(op)->GetPolygonCount() : 0;
    BaseSelect* bs = static_cast<SelectionTag*>(tag)->GetBaseSelect();
    for (size_t i = 0; i < selection->size(); ++i) {
      LONG index = ToLong((*selection)[i], Item(place, i));
      if (index < 0 || index >= polygons)
        Fail(Item(place, i), "polygon index " + std::to_string(index) + " is out of range (the object has " +
                                 Counted(static_cast<size_t>(polygons), "polygon", "polygons") + ")");
      bs->Select(index);
    }
  }
  if (const Found params = Find(v, "parameters")) LoadParameters(*params, Member(ptr, "parameters"), tag);
  return tag;
}

BaseMaterial* Loader::LoadMaterial(const Json& v, const std::string& ptr, BaseMaterial* pred) {
  ExpectObject(v, ptr);
  CheckKeys(v, ptr, {"type", "name", "layer", "parameters"});
  LONG t = Mmaterial;
  if (const Found type = Find(v, "type")) t = ToLong(*type, Member(ptr, "type"));
  BaseMaterial* mat = BaseMaterial::Alloc(t);
  if (!mat) Fail(Member(ptr, "type"), AllocFailure("material", PluginKind::Material, t));
  doc_->InsertMaterial(mat, pred);
  // A material the file leaves unnamed stays so, though a new one is named after its type.
  const Found name = Find(v, "name");
  mat->SetName(name ? String(ToText(*name, Member(ptr, "name"))) : String());
  if (const Found layer = Find(v, "layer")) {
    const std::string layerPlace = Member(ptr, "layer");
    const std::string& name = ToText(*layer, layerPlace);
    LayerObject* found = FindLayer(doc_->GetLayerObjectRoot()->GetFirst(), String(name));
    if (!found) Fail(layerPlace, "no layer named " + Quoted(name));
    mat->SetLayerObject(found);
  }
  if (const Found params = Find(v, "parameters")) LoadParameters(*params, Member(ptr, "parameters"), mat);
  return mat;
}

void Loader::LoadLayer(const Json& v, const std::string& ptr, LayerObject* parent) {
  ExpectObject(v, ptr);
  CheckKeys(v, ptr,
            {"name", "solo", "view", "render", "manager", "locked", "generators", "deformers", "expressions",
             "animation", "color", "layers"});
  const Found name = Find(v, "name");
  if (!name) Fail(ptr, "a layer needs a name");
  const std::string& text = ToText(*name, Member(ptr, "name"));
  if (FindLayer(doc_->GetLayerObjectRoot()->GetFirst(), String(text)))
    Fail(Member(ptr, "name"), "a second layer named " + Quoted(text));
  LayerObject* layer = LayerObject::Alloc();
  if (parent)
    layer->InsertUnderLast(parent);
  else
    doc_->GetLayerObjectRoot()->InsertLast(layer);
  layer->SetName(String(text));
  LayerData d;
  const std::pair<const char*, Bool*> switches[] = {
      {"solo", &d.solo},           {"view", &d.view},
      {"render", &d.render},       {"manager", &d.manager},
      {"locked", &d.locked},       {"generators", &d.generators},
      {"deformers", &d.deformers}, {"expressions", &d.expressions},
      {"animation", &d.animation}};
  for (const auto& sw : switches)
    if (const Found x = Find(v, sw.first)) *sw.second = ToBool(*x, Member(ptr, sw.first));
  if (const Found color = Find(v, "color")) d.color = ToVector(*color, Member(ptr, "color"));
  layer->SetLayerData(doc_, d);
  if (const Found children = Find(v, "layers")) {
    const std::string childrenPlace = Member(ptr, "layers");
    ExpectArray(*children, childrenPlace);
    for (size_t i = 0; i < children->size(); ++i) LoadLayer((*children)[i], Item(childrenPlace, i), layer);
  }
}

void Loader::LoadRenderData(const Json& v, const std::string& ptr) {
  ExpectObject(v, ptr);
  CheckKeys(v, ptr, {"parameters", "videoPosts"});
  RenderData* rd = doc_->GetActiveRenderData();
  if (const Found params = Find(v, "parameters")) LoadParameters(*params, Member(ptr, "parameters"), rd);
  if (const Found posts = Find(v, "videoPosts")) {
    const std::string postsPlace = Member(ptr, "videoPosts");
    ExpectArray(*posts, postsPlace);
    for (size_t i = 0; i < posts->size(); ++i) LoadVideoPost((*posts)[i], Item(postsPlace, i), rd);
  }
}

void Loader::LoadVideoPost(const Json& v, const std::string& ptr, RenderData* rd) {
  ExpectObject(v, ptr);
  CheckKeys(v, ptr, {"type", "name", "enabled", "parameters"});
  const Found type = Find(v, "type");
  if (!type) Fail(ptr, "a video post needs a type");
  const LONG t = ToLong(*type, Member(ptr, "type"));
  BaseVideoPost* vp = BaseVideoPost::Alloc(t);
  if (!vp) Fail(Member(ptr, "type"), AllocFailure("video post", PluginKind::VideoPost, t));
  rd->InsertVideoPostLast(vp);
  if (const Found name = Find(v, "name")) vp->SetName(String(ToText(*name, Member(ptr, "name"))));
  if (const Found enabled = Find(v, "enabled")) {
    if (!ToBool(*enabled, Member(ptr, "enabled"))) vp->SetBit(BIT_VPDISABLED);
  }
  if (const Found params = Find(v, "parameters")) LoadParameters(*params, Member(ptr, "parameters"), vp);
}

void Loader::LoadParameters(const Json& v, const std::string& ptr, BaseList2D* node) {
  std::vector<LONG> ids;
  LoadContainer(v, ptr, *node->GetDataInstance(), node, ids);
}

// Writes the entries of `v` into `bc` in file order; `ids` leads from the node's container to `bc`.
void Loader::LoadContainer(const Json& v, const std::string& ptr, BaseContainer& bc, BaseList2D* node,
                           std::vector<LONG>& ids) {
  ExpectObject(v, ptr);
  std::set<LONG> seen;
  for (const json::Field& m : v.node()->members) {
    const std::string place = Member(ptr, m.key);
    const LONG id = ParameterId(m.key, place);
    if (!seen.insert(id).second) Fail(place, "parameter " + std::to_string(id) + " is given twice");
    ids.push_back(id);
    GeData value = LoadValue(m.value, place, node, ids);
    ids.pop_back();
    bc.SetData(id, value);
  }
}

GeData Loader::LoadValue(const Json& v, const std::string& place, BaseList2D* node, std::vector<LONG>& ids) {
  switch (v.kind()) {
    case Kind::Bool: return GeData(v.AsBool());
    case Kind::Int:
    case Kind::Uint: return GeData(ToLong(v, place));
    case Kind::Real: return GeData(ToReal(v, place));
    // -0 is the real minus zero; an integer beyond 64 bits is refused as other large integers are.
    case Kind::IntReal: return v.AsReal() == 0.0 ? GeData(v.AsReal()) : GeData(ToLong(v, place));
    case Kind::String: return GeData(String(v.AsText()));
    case Kind::Array: return GeData(ToVector(v, place));
    case Kind::Object: return LoadTypedValue(v, place, node, ids);
    default: Fail(place, std::string(KindOf(v)) + " is not a parameter value");
  }
}

GeData Loader::LoadTypedValue(const Json& v, const std::string& place, BaseList2D* node,
                              std::vector<LONG>& ids) {
  // Beside its one key, a link may give its index among the nodes of its name.
  const Found index = Find(v, "index");
  if (v.size() != (index ? 2u : 1u))
    Fail(place,
         "a typed value has exactly one key: long, bool, real, vector, matrix, string, "
         "filename, time, link, material, shader or container");
  const json::Field& typed = v.node()->members[v.node()->members[0].key == "index" ? 1 : 0];
  const std::string& kind = typed.key;
  const Json x = typed.value;
  const std::string at = Member(place, kind);
  if (index && kind != "link" && kind != "material")
    Fail(Member(place, "index"), "only a link or a material has an index");
  if (kind == "long") return GeData(ToLong(x, at));
  if (kind == "bool") return GeData(ToBool(x, at));
  if (kind == "real") return GeData(ToReal(x, at));
  if (kind == "vector") return GeData(ToVector(x, at));
  if (kind == "matrix") return GeData(ToMatrix(x, at));
  if (kind == "string") return GeData(String(ToText(x, at)));
  if (kind == "filename") {
    std::string name = ToText(x, at);
    // A shader's files lie beside the document file unless named from the root.
    if (node->IsInstanceOf(Xbase) && !folder_.empty() && !name.empty() && name[0] != '/')
      name = folder_ + '/' + name;
    return GeData(Filename(String(name)));
  }
  if (kind == "time") {
    const Real seconds = ToReal(x, at);
    CheckFrame(seconds * doc_->GetFps(), at, "time");
    return GeData(BaseTime(seconds));
  }
  if (kind == "shader") return GeData(LoadShader(x, at, node));
  if (kind == "link" || kind == "material") {
    const std::string& name = ToText(x, at);
    const LONG n = index ? ToIndex(*index, Member(place, "index")) : -1;
    // A node without a name is linked by its index among the unnamed.
    if (name.empty() && !index) Fail(at, "a link needs a name");
    links_.push_back(PendingLink{node, ids, name, n, kind == "material", place});
    GeData empty;
    empty.SetBaseList2D(nullptr);
    return empty;
  }
  if (kind == "container") {
    BaseContainer nested;
    LoadContainer(x, at, nested, node, ids);
    return GeData(nested);
  }
  Fail(place, "unknown value type " + Quoted(kind));
}

// A shader under `owner` (a material or a shader), returned as the link to it.
GeData Loader::LoadShader(const Json& v, const std::string& ptr, BaseList2D* owner) {
  if (!owner->IsInstanceOf(Mbase) && !owner->IsInstanceOf(Xbase))
    Fail(ptr, "only materials and shaders hold shaders");
  ExpectObject(v, ptr);
  CheckKeys(v, ptr, {"type", "name", "parameters"});
  const Found type = Find(v, "type");
  if (!type) Fail(ptr, "a shader needs a type");
  const LONG t = ToLong(*type, Member(ptr, "type"));
  BaseShader* shader = BaseShader::Alloc(t);
  if (!shader) Fail(Member(ptr, "type"), AllocFailure("shader", PluginKind::Shader, t));
  shader->InsertUnderLast(owner);
  if (const Found name = Find(v, "name")) shader->SetName(String(ToText(*name, Member(ptr, "name"))));
  if (const Found params = Find(v, "parameters")) LoadParameters(*params, Member(ptr, "parameters"), shader);
  GeData link;
  link.SetBaseList2D(shader);
  return link;
}

// Every name is looked up in an index built once, so many links load in time proportional to them.
void Loader::ResolveLinks() {
  if (links_.empty()) return;
  NameIndex materials;
  for (BaseMaterial* m = doc_->GetFirstMaterial(); m; m = m->GetNext()) AddNamed(materials, m);
  for (const PendingLink& link : links_) {
    BaseList2D* target =
        NthNamed(link.material ? materials : Objects(), link.material ? "material" : "object", link.name,
                 std::max<LONG>(link.index, 0), Member(link.place, link.material ? "material" : "link"),
                 Member(link.place, "index"));
    BaseContainer* bc = link.node->GetDataInstance();
    for (size_t i = 0; bc && i + 1 < link.ids.size(); ++i) bc = bc->GetContainerInstance(link.ids[i]);
    if (bc) bc->SetLink(link.ids.back(), target);
  }
}

}  // namespace

namespace {

// Reads the tree with `read` and builds the document from it; errors become one line.
template <class Read>
BaseDocument* LoadTree(Read read, const std::string& sourceName, const std::string& folder,
                       std::string* error) {
  BaseDocument* doc = nullptr;
  std::string message;
  try {
    json::Node root = read();
    doc = BaseDocument::Alloc();
    Loader(doc, folder, folder.empty() ? std::string() : sourceName.substr(sourceName.rfind('/') + 1))
        .Load(root);
    if (error) error->clear();
    return doc;
  } catch (const LoadError& e) {
    message = e.place.empty() ? e.problem : e.place + ": " + e.problem;
  } catch (const json::ReadError& e) {
    message = e.place.empty() ? e.problem : e.place + ": " + e.problem;
  } catch (const std::bad_alloc&) {
    message = "out of memory";
  } catch (const std::exception& e) {
    message = e.what();
  } catch (...) {
    message = "unexpected error";
  }
  BaseDocument::Free(doc);
  if (error) *error = OneLine(sourceName + ": " + message);
  return nullptr;
}

}  // namespace

BaseDocument* LoadDocumentText(const std::string& json, const std::string& sourceName, std::string* error) {
  return LoadTree([&] { return json::ReadText(json, kDocumentFileMaxBytes, kDocumentFileMaxNesting); },
                  sourceName, std::string(), error);
}

namespace {

// The folder of the document file `path`, from the root: files named beside the document then
// stay found whatever the current folder is later. "." parts are dropped; ".." parts are kept, as
// they depend on links in the path.
std::string DocumentFolder(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string folder =
      slash == std::string::npos ? std::string(".") : path.substr(0, slash == 0 ? 1 : slash);
  if (folder[0] == '/') return folder;
  std::error_code failed;
  std::filesystem::path out = std::filesystem::current_path(failed);
  if (failed) return folder;
  for (const std::filesystem::path& part : std::filesystem::path(folder))
    if (!part.empty() && part != ".") out /= part;
  return out.string();
}

// Opens `path` for reading through its folder: only a regular file, never waited on (a FIFO
// without a writer would block the open, and the read, for ever), and in a shared folder only one
// of its owner's or this user's. Null with `*why` the reason when it cannot be.
std::FILE* OpenRegularFile(const std::string& path, std::string* why) {
  int fd = -1;
  files::Result r = files::OpenFile(path, &fd);
  std::FILE* f = r.ok() ? ::fdopen(fd, "rb") : nullptr;
  if (r.ok() && !f) {
    r = files::Result::System(errno, path);
    ::close(fd);
  }
  if (r.reason() == files::Reason::kNotRegularFile || r.error() == EISDIR)
    *why = "not a regular file";
  else if (r.error() == ENOENT)
    *why = "cannot open the file";
  else if (r.reason() == files::Reason::kSystem)
    *why = "cannot open the file: " + r.Text();
  else if (!r.ok())
    *why = r.Text();  // names the folder or file and its owner
  return f;
}

}  // namespace

BaseDocument* LoadDocumentFile(const std::string& path, std::string* error) {
  std::string why;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(OpenRegularFile(path, &why), &std::fclose);
  if (!f) {
    if (error) *error = OneLine(path + ": " + why);
    return nullptr;
  }
  // A byte-order mark is skipped: the text is read, and its errors placed, as if it had none.
  char bom[3];
  if (std::fread(bom, 1, 3, f.get()) != 3 || std::memcmp(bom, "\xEF\xBB\xBF", 3) != 0) std::rewind(f.get());
  const std::string folder = DocumentFolder(path);
  return LoadTree([&] { return json::ReadFile(f.get(), kDocumentFileMaxBytes, kDocumentFileMaxNesting); },
                  path, folder, error);
}

}  // namespace host
