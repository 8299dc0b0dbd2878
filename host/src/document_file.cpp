// The document file loader: JSON text in, a host document out. The format is described in
// docs/document-file.md. Every node is inserted into the new document as soon as it is allocated,
// so that freeing the document on an error frees everything built so far.
#include "host_document_file.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <memory>
#include <new>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "c4d_basedocument.h"
#include "c4d_basedraw.h"
#include "c4d_layer.h"
#include "c4d_selection.h"
#include "host_control.h"

namespace host {
namespace {

// Keys keep their file order: parameters are written in the order the file gives them.
using Json = nlohmann::ordered_json;

// A problem at a place of the input: a JSON pointer, a text position, or nothing for the whole.
struct LoadError {
  std::string place;
  std::string problem;
};

[[noreturn]] void Fail(const std::string& place, const std::string& problem) {
  throw LoadError{place, problem};
}

// --- Places and wording ------------------------------------------------------

std::string Member(const std::string& ptr, const std::string& key) {
  std::string out = ptr + '/';
  for (char c : key) {
    if (c == '~')
      out += "~0";
    else if (c == '/')
      out += "~1";
    else
      out += c;
  }
  return out;
}

std::string Item(const std::string& ptr, size_t index) { return ptr + '/' + std::to_string(index); }

// "line L, column C" of the byte at `index`; both count from 1, columns in bytes.
std::string TextPosition(const std::string& text, size_t index) {
  index = std::min(index, text.size());
  size_t line = 1, lineStart = 0;
  for (size_t i = 0; i < index; ++i) {
    if (text[i] == '\n') {
      ++line;
      lineStart = i + 1;
    }
  }
  return "line " + std::to_string(line) + ", column " + std::to_string(index - lineStart + 1);
}

std::string Quoted(const std::string& s) {
  return Json(s).dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string Counted(size_t n, const char* one, const char* many) {
  return std::to_string(n) + ' ' + (n == 1 ? one : many);
}

// The message of a nlohmann exception without its "[json.exception.kind.id] " prefix.
std::string WithoutPrefix(const std::string& what) {
  if (what.compare(0, 16, "[json.exception.") == 0) {
    size_t end = what.find("] ");
    if (end != std::string::npos) return what.substr(end + 2);
  }
  return what;
}

// Control characters (from keys or names in the file) must not break the message's single line.
std::string OneLine(const std::string& s) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : s) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7f) {
      out += "<U+00";
      out += kHex[u >> 4];
      out += kHex[u & 15];
      out += '>';
    } else {
      out += c;
    }
  }
  return out;
}

const char* KindOf(const Json& v) {
  switch (v.type()) {
    case Json::value_t::null: return "null";
    case Json::value_t::boolean: return "true or false";
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned: return "an integer";
    case Json::value_t::number_float: return "a real number";
    case Json::value_t::string: return "a string";
    case Json::value_t::array: return "an array";
    case Json::value_t::object: return "an object";
    default: return "an unsupported value";
  }
}

[[noreturn]] void FailExpected(const std::string& place, const char* what, const Json& v) {
  Fail(place, std::string("expected ") + what + ", not " + KindOf(v));
}

// --- Reading the text ----------------------------------------------------------

// The parsers below recurse along the document's nesting; bound it before anything is parsed.
void CheckNesting(const std::string& text) {
  int depth = 0;
  bool inString = false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (inString) {
      if (c == '\\')
        ++i;
      else if (c == '"')
        inString = false;
      continue;
    }
    if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > kDocumentFileMaxNesting)
        Fail("parse error at " + TextPosition(text, i),
             "nesting deeper than " + std::to_string(kDocumentFileMaxNesting) + " levels");
    } else if ((c == ']' || c == '}') && depth > 0) {
      --depth;
    }
  }
}

// nlohmann's DOM builder with its errors turned into ours, which also refuses a key given twice in
// one object (nlohmann would keep the last value silently). It follows where it is in the document
// to name that key's place.
class DomParser : public nlohmann::detail::json_sax_dom_parser<Json> {
  using Base = nlohmann::detail::json_sax_dom_parser<Json>;

 public:
  DomParser(Json& root, const std::string& text) : Base(root, true), text_(text) {}

  bool null() { return Next() && Base::null(); }
  bool boolean(bool v) { return Next() && Base::boolean(v); }
  bool number_integer(Json::number_integer_t v) { return Next() && Base::number_integer(v); }
  bool number_unsigned(Json::number_unsigned_t v) { return Next() && Base::number_unsigned(v); }
  bool number_float(Json::number_float_t v, const std::string& s) {
    return Next() && Base::number_float(v, s);
  }
  bool string(std::string& v) { return Next() && Base::string(v); }
  bool start_object(std::size_t n) {
    Next();
    open_.push_back(Open{false, 0, {}, {}});
    return Base::start_object(n);
  }
  bool key(std::string& k) {
    Open& o = open_.back();
    if (!o.keys.insert(k).second) Fail(Member(Pointer(), k), "the key is given twice");
    o.key = k;
    return Base::key(k);
  }
  bool end_object() {
    open_.pop_back();
    return Base::end_object();
  }
  bool start_array(std::size_t n) {
    Next();
    open_.push_back(Open{true, 0, {}, {}});
    return Base::start_array(n);
  }
  bool end_array() {
    open_.pop_back();
    return Base::end_array();
  }

  template <class Exception>
  bool parse_error(std::size_t bytesRead, const std::string& /*token*/, const Exception& ex) {
    std::string what = WithoutPrefix(ex.what());
    // Syntax errors start with nlohmann's own "parse error at line L, column C: "; the place is
    // worked out here for every kind of error alike: the last byte read is the one that went wrong.
    if (what.compare(0, 12, "parse error ") == 0) {
      size_t colon = what.find(": ");
      if (colon != std::string::npos) what.erase(0, colon + 2);
    }
    Fail("parse error at " + TextPosition(text_, bytesRead > 0 ? bytesRead - 1 : 0), what);
  }

 private:
  // An open array (counting its items) or object (with its keys so far).
  struct Open {
    bool array;
    size_t items;
    std::string key;
    std::set<std::string> keys;
  };

  // A value starts: one more item of the array it is in.
  bool Next() {
    if (!open_.empty() && open_.back().array) ++open_.back().items;
    return true;
  }

  // The JSON pointer of the innermost open array or object.
  std::string Pointer() const {
    std::string ptr;
    for (size_t i = 0; i + 1 < open_.size(); ++i)
      ptr = open_[i].array ? Item(ptr, open_[i].items - 1) : Member(ptr, open_[i].key);
    return ptr;
  }

  const std::string& text_;
  std::vector<Open> open_;
};

Json Parse(const std::string& text) {
  CheckNesting(text);
  Json root;
  DomParser parser(root, text);
  Json::sax_parse(text, &parser);
  return root;
}

// --- Plain values ----------------------------------------------------------------

const Json* Find(const Json& obj, const char* key) {
  auto it = obj.find(key);
  return it == obj.end() ? nullptr : &*it;
}

void ExpectObject(const Json& v, const std::string& place) {
  if (!v.is_object()) FailExpected(place, "an object", v);
}

void ExpectArray(const Json& v, const std::string& place) {
  if (!v.is_array()) FailExpected(place, "an array", v);
}

// Every key of `obj` must be one of `known`.
void CheckKeys(const Json& obj, const std::string& ptr, std::initializer_list<const char*> known) {
  for (auto it = obj.begin(); it != obj.end(); ++it) {
    bool ok = std::any_of(known.begin(), known.end(),
                          [&](const char* k) { return it.key() == k; });
    if (!ok) Fail(Member(ptr, it.key()), "unknown field");
  }
}

const std::string& ToText(const Json& v, const std::string& place) {
  if (!v.is_string()) FailExpected(place, "a string", v);
  return v.get_ref<const std::string&>();
}

Bool ToBool(const Json& v, const std::string& place) {
  if (!v.is_boolean()) FailExpected(place, "true or false", v);
  return v.get<bool>();
}

LONG ToLong(const Json& v, const std::string& place) {
  if (v.is_number_unsigned()) {
    uint64_t u = v.get<uint64_t>();
    if (u > static_cast<uint64_t>(INT32_MAX))
      Fail(place, "integer " + std::to_string(u) + " is out of the 32-bit range");
    return static_cast<LONG>(u);
  }
  if (v.is_number_integer()) {
    int64_t i = v.get<int64_t>();
    if (i < INT32_MIN || i > INT32_MAX)
      Fail(place, "integer " + std::to_string(i) + " is out of the 32-bit range");
    return static_cast<LONG>(i);
  }
  FailExpected(place, "an integer", v);
}

Real ToReal(const Json& v, const std::string& place) {
  if (!v.is_number()) FailExpected(place, "a number", v);
  Real r = v.get<Real>();
  if (!std::isfinite(r)) Fail(place, "the number is not finite");
  return r;
}

LVector ToVector(const Json& v, const std::string& place) {
  if (!v.is_array()) FailExpected(place, "a vector of three numbers", v);
  if (v.size() != 3) Fail(place, "a vector has three numbers, not " + std::to_string(v.size()));
  return LVector(ToReal(v[0], Item(place, 0)), ToReal(v[1], Item(place, 1)),
                 ToReal(v[2], Item(place, 2)));
}

LMatrix ToMatrix(const Json& v, const std::string& place) {
  ExpectObject(v, place);
  CheckKeys(v, place, {"off", "v1", "v2", "v3"});
  LMatrix m;
  if (const Json* x = Find(v, "off")) m.off = ToVector(*x, Member(place, "off"));
  if (const Json* x = Find(v, "v1")) m.v1 = ToVector(*x, Member(place, "v1"));
  if (const Json* x = Find(v, "v2")) m.v2 = ToVector(*x, Member(place, "v2"));
  if (const Json* x = Find(v, "v3")) m.v3 = ToVector(*x, Member(place, "v3"));
  return m;
}

// The number of entries of an optional array, which must fit a LONG.
LONG Count(const Json* arr, const std::string& place) {
  if (!arr) return 0;
  ExpectArray(*arr, place);
  if (arr->size() > static_cast<size_t>(INT32_MAX))
    Fail(place, "more than " + std::to_string(INT32_MAX) + " entries");
  return static_cast<LONG>(arr->size());
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
  explicit Loader(BaseDocument* doc) : doc_(doc) {}
  void Load(const Json& root);

 private:
  // A link value written empty until every node exists: the node, the IDs leading to it through
  // nested containers, and the name it names.
  struct PendingLink {
    BaseList2D* node;
    std::vector<LONG> ids;
    std::string name;
    bool material;
    std::string place;
    long shader;  // index among the document's shaders in load order; -1 for a named link
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
  GeData LoadTypedValue(const Json& v, const std::string& place, BaseList2D* node,
                        std::vector<LONG>& ids);
  void LoadShaders(const Json& v, const std::string& ptr, BaseList2D* owner);
  void ResolveLinks();

  BaseDocument* doc_;
  std::vector<PendingLink> links_;
  std::vector<BaseShader*> shaders_;  // every shader, in load order
};

void Loader::Load(const Json& root) {
  if (!root.is_object()) FailExpected("", "an object", root);
  CheckKeys(root, "", {"name", "path", "fps", "frame", "minFrame", "maxFrame", "layers", "objects",
                       "materials", "renderData", "sceneCamera", "shaders"});
  if (const Json* v = Find(root, "name"))
    doc_->SetDocumentName(Filename(String(ToText(*v, "/name"))));
  if (const Json* v = Find(root, "path"))
    doc_->SetDocumentPath(Filename(String(ToText(*v, "/path"))));
  if (const Json* v = Find(root, "fps")) {
    LONG fps = ToLong(*v, "/fps");
    if (fps < 1) Fail("/fps", "the frame rate must be at least 1, not " + std::to_string(fps));
    doc_->SetFps(fps);
  }
  const Real fps = doc_->GetFps();
  if (const Json* v = Find(root, "frame")) doc_->SetTime(BaseTime(ToLong(*v, "/frame"), fps));
  if (const Json* v = Find(root, "minFrame")) doc_->SetMinTime(BaseTime(ToLong(*v, "/minFrame"), fps));
  if (const Json* v = Find(root, "maxFrame")) doc_->SetMaxTime(BaseTime(ToLong(*v, "/maxFrame"), fps));

  // Layers first: objects name the layer they are on.
  if (const Json* layers = Find(root, "layers")) {
    ExpectArray(*layers, "/layers");
    for (size_t i = 0; i < layers->size(); ++i) LoadLayer((*layers)[i], Item("/layers", i), nullptr);
  }
  if (const Json* objects = Find(root, "objects")) {
    ExpectArray(*objects, "/objects");
    BaseObject* pred = nullptr;
    for (size_t i = 0; i < objects->size(); ++i)
      pred = LoadObject((*objects)[i], Item("/objects", i), nullptr, pred);
  }
  if (const Json* shaders = Find(root, "shaders")) LoadShaders(*shaders, "/shaders", doc_);
  if (const Json* materials = Find(root, "materials")) {
    ExpectArray(*materials, "/materials");
    BaseMaterial* pred = nullptr;
    for (size_t i = 0; i < materials->size(); ++i)
      pred = LoadMaterial((*materials)[i], Item("/materials", i), pred);
  }
  if (const Json* rd = Find(root, "renderData")) LoadRenderData(*rd, "/renderData");
  ResolveLinks();
  if (const Json* cam = Find(root, "sceneCamera")) {
    const std::string& name = ToText(*cam, "/sceneCamera");
    BaseObject* op = doc_->SearchObject(String(name));
    if (!op) Fail("/sceneCamera", "no object named " + Quoted(name));
    if (op->GetType() != Ocamera)
      Fail("/sceneCamera", "object " + Quoted(name) + " is not a camera (type " + std::to_string(Ocamera) + ")");
    doc_->GetRenderBaseDraw()->SetSceneCamera(op);
  }
}

BaseObject* Loader::LoadObject(const Json& v, const std::string& ptr, BaseObject* parent,
                               BaseObject* pred) {
  ExpectObject(v, ptr);
  CheckKeys(v, ptr, {"type", "name", "matrix", "position", "selected", "enabled", "layer", "parameters",
                     "points", "polygons", "tags", "children", "keys"});
  const Json* type = Find(v, "type");
  if (!type) Fail(ptr, "an object needs a type");
  const std::string typePlace = Member(ptr, "type");
  const LONG t = ToLong(*type, typePlace);

  const Json* points = Find(v, "points");
  const Json* polygons = Find(v, "polygons");
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

  if (const Json* name = Find(v, "name")) op->SetName(String(ToText(*name, Member(ptr, "name"))));
  const Json* matrix = Find(v, "matrix");
  const Json* position = Find(v, "position");
  if (matrix && position) Fail(Member(ptr, "position"), "give either matrix or position, not both");
  if (matrix) op->SetMl(ToMatrix(*matrix, Member(ptr, "matrix")));
  if (position) op->SetPos(ToVector(*position, Member(ptr, "position")));
  if (const Json* sel = Find(v, "selected")) {
    if (ToBool(*sel, Member(ptr, "selected"))) op->SetBit(BIT_ACTIVE);
  }
  if (const Json* enabled = Find(v, "enabled")) op->SetDeformMode(ToBool(*enabled, Member(ptr, "enabled")));
  if (const Json* layer = Find(v, "layer")) {
    const std::string layerPlace = Member(ptr, "layer");
    const std::string& name = ToText(*layer, layerPlace);
    LayerObject* found = FindLayer(doc_->GetLayerObjectRoot()->GetFirst(), String(name));
    if (!found) Fail(layerPlace, "no layer named " + Quoted(name));
    op->SetLayerObject(found);
  }
  if (const Json* params = Find(v, "parameters")) LoadParameters(*params, Member(ptr, "parameters"), op);
  if (const Json* keys = Find(v, "keys")) LoadKeys(*keys, Member(ptr, "keys"), op);

  if (mesh) {
    LVector* pw = mesh->GetPointW();
    for (LONG i = 0; i < pointCount; ++i)
      pw[i] = ToVector((*points)[i], Item(Member(ptr, "points"), i));
    CPolygon* vw = mesh->GetPolygonW();
    for (LONG i = 0; i < polygonCount; ++i)
      vw[i] = ToPolygon((*polygons)[i], Item(Member(ptr, "polygons"), i), pointCount);
  }

  if (const Json* tags = Find(v, "tags")) {
    const std::string tagsPlace = Member(ptr, "tags");
    ExpectArray(*tags, tagsPlace);
    // The user's tags go after those the object already has (a mesh's point and polygon tags).
    BaseTag* last = op->GetFirstTag();
    while (last && last->GetNext()) last = last->GetNext();
    for (size_t i = 0; i < tags->size(); ++i) last = LoadTag((*tags)[i], Item(tagsPlace, i), op, last);
  }

  if (const Json* children = Find(v, "children")) {
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
    const Json* frame = Find(k, "frame");
    if (!frame) Fail(place, "a key needs a frame");
    const Real f = ToReal(*frame, Member(place, "frame"));
    if (!frames.insert(f).second) Fail(Member(place, "frame"), "two keys at one frame");
    const Json* matrix = Find(k, "matrix");
    const Json* position = Find(k, "position");
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
  const Json* type = Find(v, "type");
  if (!type) Fail(ptr, "a tag needs a type");
  const std::string typePlace = Member(ptr, "type");
  const LONG t = ToLong(*type, typePlace);
  if (t == Tpoint || t == Tpolygon)
    Fail(typePlace, "point and polygon tags are made from an object's points and polygons");

  const Json* uvw = Find(v, "uvw");
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

  if (const Json* name = Find(v, "name")) tag->SetName(String(ToText(*name, Member(ptr, "name"))));
  if (uvw) {
    for (size_t i = 0; i < uvw->size(); ++i)
      uvwTag->SetSlow(static_cast<LONG>(i), ToUvw((*uvw)[i], Item(uvwPlace, i)));
  }
  if (const Json* selection = Find(v, "selection")) {
    const std::string place = Member(ptr, "selection");
    if (t != Tpolygonselection)
      Fail(place, "only polygon selection tags (type " + std::to_string(Tpolygonselection) + ") have a selection");
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
  if (const Json* params = Find(v, "parameters")) LoadParameters(*params, Member(ptr, "parameters"), tag);
  return tag;
}

BaseMaterial* Loader::LoadMaterial(const Json& v, const std::string& ptr, BaseMaterial* pred) {
  ExpectObject(v, ptr);
  CheckKeys(v, ptr, {"type", "name", "parameters", "shaders"});
  LONG t = Mmaterial;
  if (const Json* type = Find(v, "type")) t = ToLong(*type, Member(ptr, "type"));
  BaseMaterial* mat = BaseMaterial::Alloc(t);
  if (!mat) Fail(Member(ptr, "type"), AllocFailure("material", PluginKind::Material, t));
  doc_->InsertMaterial(mat, pred);
  if (const Json* name = Find(v, "name")) mat->SetName(String(ToText(*name, Member(ptr, "name"))));
  if (const Json* params = Find(v, "parameters")) LoadParameters(*params, Member(ptr, "parameters"), mat);
  if (const Json* shaders = Find(v, "shaders")) LoadShaders(*shaders, Member(ptr, "shaders"), mat);
  return mat;
}

// The shaders of `owner` (the document's shader list, a material or a shader), each followed by
// the shaders below it.
void Loader::LoadShaders(const Json& v, const std::string& ptr, BaseList2D* owner) {
  ExpectArray(v, ptr);
  BaseShader* pred = nullptr;
  for (size_t i = 0; i < v.size(); ++i) {
    const std::string place = Item(ptr, i);
    const Json& s = v[i];
    ExpectObject(s, place);
    CheckKeys(s, place, {"type", "name", "parameters", "shaders"});
    const Json* type = Find(s, "type");
    if (!type) Fail(place, "a shader needs a type");
    const LONG t = ToLong(*type, Member(place, "type"));
    BaseShader* sh = BaseShader::Alloc(t);
    if (!sh) Fail(Member(place, "type"), AllocFailure("shader", PluginKind::Shader, t));
    owner->InsertShader(sh, pred);
    pred = sh;
    shaders_.push_back(sh);
    if (const Json* name = Find(s, "name")) sh->SetName(String(ToText(*name, Member(place, "name"))));
    if (const Json* params = Find(s, "parameters")) LoadParameters(*params, Member(place, "parameters"), sh);
    if (const Json* below = Find(s, "shaders")) LoadShaders(*below, Member(place, "shaders"), sh);
  }
}

void Loader::LoadLayer(const Json& v, const std::string& ptr, LayerObject* parent) {
  ExpectObject(v, ptr);
  CheckKeys(v, ptr, {"name", "solo", "view", "render", "manager", "locked", "generators", "deformers",
                     "expressions", "animation", "color", "layers"});
  const Json* name = Find(v, "name");
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
      {"solo", &d.solo}, {"view", &d.view}, {"render", &d.render}, {"manager", &d.manager},
      {"locked", &d.locked}, {"generators", &d.generators}, {"deformers", &d.deformers},
      {"expressions", &d.expressions}, {"animation", &d.animation}};
  for (const auto& sw : switches)
    if (const Json* x = Find(v, sw.first)) *sw.second = ToBool(*x, Member(ptr, sw.first));
  if (const Json* color = Find(v, "color")) d.color = ToVector(*color, Member(ptr, "color"));
  layer->SetLayerData(doc_, d);
  if (const Json* children = Find(v, "layers")) {
    const std::string childrenPlace = Member(ptr, "layers");
    ExpectArray(*children, childrenPlace);
    for (size_t i = 0; i < children->size(); ++i) LoadLayer((*children)[i], Item(childrenPlace, i), layer);
  }
}

void Loader::LoadRenderData(const Json& v, const std::string& ptr) {
  ExpectObject(v, ptr);
  CheckKeys(v, ptr, {"parameters", "videoPosts"});
  RenderData* rd = doc_->GetActiveRenderData();
  if (const Json* params = Find(v, "parameters")) LoadParameters(*params, Member(ptr, "parameters"), rd);
  if (const Json* posts = Find(v, "videoPosts")) {
    const std::string postsPlace = Member(ptr, "videoPosts");
    ExpectArray(*posts, postsPlace);
    for (size_t i = 0; i < posts->size(); ++i) LoadVideoPost((*posts)[i], Item(postsPlace, i), rd);
  }
}

void Loader::LoadVideoPost(const Json& v, const std::string& ptr, RenderData* rd) {
  ExpectObject(v, ptr);
  CheckKeys(v, ptr, {"type", "name", "enabled", "parameters"});
  const Json* type = Find(v, "type");
  if (!type) Fail(ptr, "a video post needs a type");
  const LONG t = ToLong(*type, Member(ptr, "type"));
  BaseVideoPost* vp = BaseVideoPost::Alloc(t);
  if (!vp) Fail(Member(ptr, "type"), AllocFailure("video post", PluginKind::VideoPost, t));
  rd->InsertVideoPostLast(vp);
  if (const Json* name = Find(v, "name")) vp->SetName(String(ToText(*name, Member(ptr, "name"))));
  if (const Json* enabled = Find(v, "enabled")) {
    if (!ToBool(*enabled, Member(ptr, "enabled"))) vp->SetBit(BIT_VPDISABLED);
  }
  if (const Json* params = Find(v, "parameters")) LoadParameters(*params, Member(ptr, "parameters"), vp);
}

void Loader::LoadParameters(const Json& v, const std::string& ptr, BaseList2D* node) {
  std::vector<LONG> ids;
  LoadContainer(v, ptr, *node->GetDataInstance(), node, ids);
}

// Writes the entries of `v` into `bc` in file order; `ids` leads from the node's container to `bc`.
void Loader::LoadContainer(const Json& v, const std::string& ptr, BaseContainer& bc,
                           BaseList2D* node, std::vector<LONG>& ids) {
  ExpectObject(v, ptr);
  std::set<LONG> seen;
  for (auto it = v.begin(); it != v.end(); ++it) {
    const std::string place = Member(ptr, it.key());
    const LONG id = ParameterId(it.key(), place);
    if (!seen.insert(id).second) Fail(place, "parameter " + std::to_string(id) + " is given twice");
    ids.push_back(id);
    GeData value = LoadValue(it.value(), place, node, ids);
    ids.pop_back();
    bc.SetData(id, value);
  }
}

GeData Loader::LoadValue(const Json& v, const std::string& place, BaseList2D* node,
                         std::vector<LONG>& ids) {
  switch (v.type()) {
    case Json::value_t::boolean: return GeData(v.get<bool>());
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned: return GeData(ToLong(v, place));
    case Json::value_t::number_float: return GeData(ToReal(v, place));
    case Json::value_t::string: return GeData(String(v.get_ref<const std::string&>()));
    case Json::value_t::array: return GeData(ToVector(v, place));
    case Json::value_t::object: return LoadTypedValue(v, place, node, ids);
    default: Fail(place, std::string(KindOf(v)) + " is not a parameter value");
  }
}

GeData Loader::LoadTypedValue(const Json& v, const std::string& place, BaseList2D* node,
                              std::vector<LONG>& ids) {
  if (v.size() != 1)
    Fail(place, "a typed value has exactly one key: long, bool, real, vector, matrix, string, "
                "filename, time, link, material, shader or container");
  const std::string& kind = v.begin().key();
  const Json& x = v.begin().value();
  const std::string at = Member(place, kind);
  if (kind == "long") return GeData(ToLong(x, at));
  if (kind == "bool") return GeData(ToBool(x, at));
  if (kind == "real") return GeData(ToReal(x, at));
  if (kind == "vector") return GeData(ToVector(x, at));
  if (kind == "matrix") return GeData(ToMatrix(x, at));
  if (kind == "string") return GeData(String(ToText(x, at)));
  if (kind == "filename") return GeData(Filename(String(ToText(x, at))));
  if (kind == "time") return GeData(BaseTime(ToReal(x, at)));
  if (kind == "link" || kind == "material") {
    const std::string& name = ToText(x, at);
    if (name.empty()) Fail(at, "a link needs a name");
    links_.push_back(PendingLink{node, ids, name, kind == "material", at, -1});
    GeData empty;
    empty.SetBaseList2D(nullptr);
    return empty;
  }
  if (kind == "shader") {
    const LONG index = ToLong(x, at);
    if (index < 0) Fail(at, "a shader index is at least 0");
    links_.push_back(PendingLink{node, ids, std::string(), false, at, index});
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

void Loader::ResolveLinks() {
  for (const PendingLink& link : links_) {
    BaseList2D* target = nullptr;
    if (link.shader >= 0) {
      if (static_cast<size_t>(link.shader) >= shaders_.size())
        Fail(link.place, "shader index " + std::to_string(link.shader) + " is out of range (the document has " +
                             Counted(shaders_.size(), "shader", "shaders") + ")");
      target = shaders_[link.shader];
    } else if (link.material)
      target = doc_->SearchMaterial(String(link.name));
    else
      target = doc_->SearchObject(String(link.name));
    if (!target)
      Fail(link.place, std::string("no ") + (link.material ? "material" : "object") + " named " +
                           Quoted(link.name));
    BaseContainer* bc = link.node->GetDataInstance();
    for (size_t i = 0; bc && i + 1 < link.ids.size(); ++i) bc = bc->GetContainerInstance(link.ids[i]);
    if (bc) bc->SetLink(link.ids.back(), target);
  }
}

bool ReadWholeFile(const std::string& path, std::string* text, std::string* problem) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!f) {
    *problem = "cannot open the file";
    return false;
  }
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f.get())) > 0) text->append(buf, n);
  bool ok = !std::ferror(f.get());
  if (!ok) *problem = "cannot read the file";
  return ok;
}

}  // namespace

BaseDocument* LoadDocumentText(const std::string& json, const std::string& sourceName,
                               std::string* error) {
  BaseDocument* doc = nullptr;
  std::string message;
  try {
    Json root = Parse(json);
    doc = BaseDocument::Alloc();
    Loader(doc).Load(root);
    if (error) error->clear();
    return doc;
  } catch (const LoadError& e) {
    message = e.place.empty() ? e.problem : e.place + ": " + e.problem;
  } catch (const nlohmann::json::exception& e) {
    message = WithoutPrefix(e.what());
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

BaseDocument* LoadDocumentFile(const std::string& path, std::string* error) {
  std::string text, problem;
  try {
    if (!ReadWholeFile(path, &text, &problem)) {
      if (error) *error = OneLine(path + ": " + problem);
      return nullptr;
    }
  } catch (const std::bad_alloc&) {
    if (error) *error = OneLine(path + ": out of memory");
    return nullptr;
  }
  return LoadDocumentText(text, path, error);
}

}  // namespace host
