// Saving a host document as a document file, in the form the loader reads (docs/document-file.md).
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <unordered_map>

#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

#include "c4d_basedocument.h"
#include "c4d_basedraw.h"
#include "c4d_basematerial.h"
#include "c4d_layer.h"
#include "c4d_selection.h"
#include "c4d_tools.h"
#include "host_control.h"
#include "host_document_file.h"
#include "files/folder.h"
#include "json_tree.h"

namespace host {
namespace {

struct SaveError {
  std::string problem;
};

class Saver {
 public:
  explicit Saver(BaseDocument* doc) : doc_(doc), out_(buffer_) { out_.SetIndent(' ', 1); }

  std::string Save() {
    StartObject();
    Text("name", ToUtf8(doc_->GetDocumentName().GetString()));
    Text("path", ToUtf8(doc_->GetDocumentPath().GetString()));
    const Real fps = doc_->GetFps();
    out_.Key("fps");
    out_.Int(doc_->GetFps());
    out_.Key("frame");
    out_.Int(doc_->GetTime().GetFrame(fps));
    out_.Key("minFrame");
    out_.Int(doc_->GetMinTime().GetFrame(fps));
    out_.Key("maxFrame");
    out_.Int(doc_->GetMaxTime().GetFrame(fps));
    if (GeListNode* layer = doc_->GetLayerObjectRoot()->GetFirst()) {
      out_.Key("layers");
      Layers(static_cast<LayerObject*>(layer));
    }
    out_.Key("objects");
    Objects(doc_->GetFirstObject());
    out_.Key("materials");
    StartArray();
    for (BaseMaterial* mat = doc_->GetFirstMaterial(); mat; mat = mat->GetNext()) {
      Where where(this, "the material " + json::Quoted(ToUtf8(mat->GetName())));
      StartObject();
      out_.Key("type");
      out_.Int(mat->GetType());
      Text("name", ToUtf8(mat->GetName()));
      if (LayerObject* layer = mat->GetLayerObject(doc_)) Text("layer", ToUtf8(layer->GetName()));
      Parameters(mat);
      EndObject();
    }
    EndArray();
    if (BaseObject* cam = doc_->GetRenderBaseDraw()->GetSceneCamera(doc_)) {
      Text("sceneCamera", ToUtf8(cam->GetName()));
      const LONG index = IndexAmongNamed(cam);
      if (index >= 0) {
        out_.Key("sceneCameraIndex");
        out_.Int(index);
      }
    }
    RenderSettings();
    EndObject();
    return std::string(buffer_.GetString(), buffer_.GetSize()) + "\n";
  }

 private:
  // The writer's arrays and objects, counted: the loader refuses nesting deeper than its limit, so
  // a document that would be written deeper is not saved.
  void StartObject() {
    Open();
    out_.StartObject();
  }
  void StartArray() {
    Open();
    out_.StartArray();
  }
  void EndObject() {
    out_.EndObject();
    --depth_;
  }
  void EndArray() {
    out_.EndArray();
    --depth_;
  }
  void Open() {
    if (++depth_ > kDocumentFileMaxNesting)
      throw SaveError{"nesting deeper than " + std::to_string(kDocumentFileMaxNesting) + " levels in " +
                      where_ + ", which a document file cannot hold"};
  }

  // Names what is written, for a message, while it lives.
  class Where {
   public:
    Where(Saver* saver, std::string what) : saver_(saver), outer_(std::move(saver->where_)) {
      saver_->where_ = std::move(what);
    }
    Where(const Where&) = delete;
    Where& operator=(const Where&) = delete;
    ~Where() { saver_->where_ = std::move(outer_); }

   private:
    Saver* saver_;
    std::string outer_;
  };

  void Text(const char* key, const std::string& value) {
    out_.Key(key);
    Str(value);
  }

  // The loader refuses a NUL in a string, so a text holding one is not written.
  void Str(const std::string& s) {
    const size_t nul = s.find('\0');
    if (nul != std::string::npos)
      throw SaveError{"a NUL character after \"" + s.substr(0, nul) +
                      "\", which a document file cannot hold"};
    out_.String(s.c_str(), static_cast<rapidjson::SizeType>(s.size()));
  }

  void Number(Real r) {
    if (!std::isfinite(r)) throw SaveError{"a number that is not finite"};
    out_.Double(r);
  }

  void Vector(const LVector& v) {
    StartArray();
    Number(v.x);
    Number(v.y);
    Number(v.z);
    EndArray();
  }

  void Matrix(const LMatrix& m) {
    StartObject();
    out_.Key("off");
    Vector(m.off);
    out_.Key("v1");
    Vector(m.v1);
    out_.Key("v2");
    Vector(m.v2);
    out_.Key("v3");
    Vector(m.v3);
    EndObject();
  }

  void Layers(LayerObject* first) {
    StartArray();
    for (LayerObject* layer = first; layer; layer = layer->GetNext()) {
      Where where(this, "the layer " + json::Quoted(ToUtf8(layer->GetName())));
      const LayerData* d = layer->GetLayerData(doc_, TRUE);
      StartObject();
      Text("name", ToUtf8(layer->GetName()));
      if (d) {
        const std::pair<const char*, Bool> switches[] = {
            {"solo", d->solo},           {"view", d->view},
            {"render", d->render},       {"manager", d->manager},
            {"locked", d->locked},       {"generators", d->generators},
            {"deformers", d->deformers}, {"expressions", d->expressions},
            {"animation", d->animation}};
        for (const auto& sw : switches) {
          out_.Key(sw.first);
          out_.Bool(sw.second != 0);
        }
        out_.Key("color");
        Vector(d->color);
      }
      if (layer->GetDown()) {
        out_.Key("layers");
        Layers(layer->GetDown());
      }
      EndObject();
    }
    EndArray();
  }

  void Objects(BaseObject* first) {
    StartArray();
    for (BaseObject* op = first; op; op = op->GetNext()) Object(op);
    EndArray();
  }

  void Object(BaseObject* op) {
    const Real fps = doc_->GetFps();
    ++level_;
    const std::string name = ToUtf8(op->GetName());
    Where where(this, (name.empty() ? "an object without a name" : "the object " + json::Quoted(name)) +
                          " at level " + std::to_string(level_) + " of the object tree");
    StartObject();
    out_.Key("type");
    out_.Int(op->GetType());
    Text("name", ToUtf8(op->GetName()));
    out_.Key("matrix");
    Matrix(op->GetMl());
    if (op->GetBit(BIT_ACTIVE)) {
      out_.Key("selected");
      out_.Bool(true);
    }
    if (LayerObject* layer = op->GetLayerObject(doc_)) Text("layer", ToUtf8(layer->GetName()));
    Parameters(op);
    if (op->GetType() == Opolygon) {
      const PolygonObject* mesh = static_cast<const PolygonObject*>(op);
      const LVector* points = mesh->GetPointR();
      out_.Key("points");
      StartArray();
      for (LONG i = 0; i < mesh->GetPointCount(); ++i) Vector(points[i]);
      EndArray();
      const CPolygon* polygons = mesh->GetPolygonR();
      out_.Key("polygons");
      StartArray();
      for (LONG i = 0; i < mesh->GetPolygonCount(); ++i) {
        const CPolygon& p = polygons[i];
        StartArray();
        out_.Int(p.a);
        out_.Int(p.b);
        out_.Int(p.c);
        if (p.c != p.d) out_.Int(p.d);
        EndArray();
      }
      EndArray();
    }
    if (!op->GetMatrixKeys().empty()) {
      out_.Key("keys");
      StartArray();
      for (const MatrixKey& k : op->GetMatrixKeys()) {
        StartObject();
        out_.Key("frame");
        // Keys hold their frame over the frame rate: the frame is written as it was read.
        const Real den = k.time.GetDenominator();
        Number(den == fps ? k.time.GetNumerator() : k.time.Get() * fps);
        out_.Key("matrix");
        Matrix(k.matrix);
        EndObject();
      }
      EndArray();
    }
    out_.Key("tags");
    StartArray();
    for (BaseTag* tag = op->GetFirstTag(); tag; tag = tag->GetNext()) {
      if (tag->GetType() != Tpoint && tag->GetType() != Tpolygon) Tag(tag);
    }
    EndArray();
    if (op->GetDown()) {
      out_.Key("children");
      Objects(op->GetDown());
    }
    EndObject();
    --level_;
  }

  void Tag(BaseTag* tag) {
    StartObject();
    out_.Key("type");
    out_.Int(tag->GetType());
    Text("name", ToUtf8(tag->GetName()));
    if (tag->GetType() == Tuvw) {
      const UVWTag* uvw = static_cast<const UVWTag*>(tag);
      out_.Key("uvw");
      StartArray();
      for (LONG i = 0; i < uvw->GetDataCount(); ++i) {
        const UVWStruct s = uvw->GetSlow(i);
        StartArray();
        Vector(s.a);
        Vector(s.b);
        Vector(s.c);
        Vector(s.d);
        EndArray();
      }
      EndArray();
    } else if (tag->GetType() == Tpolygonselection) {
      const BaseSelect* bs = static_cast<SelectionTag*>(tag)->GetBaseSelect();
      out_.Key("selection");
      StartArray();
      LONG a = 0, b = 0;
      for (LONG seg = 0; bs->GetRange(seg, &a, &b); ++seg)
        for (LONG i = a; i <= b; ++i) out_.Int(i);
      EndArray();
    }
    Parameters(tag);
    EndObject();
  }

  void RenderSettings() {
    RenderData* rd = doc_->GetActiveRenderData();
    if (!rd) return;
    Where where(this, "the render data");
    out_.Key("renderData");
    StartObject();
    Parameters(rd);
    out_.Key("videoPosts");
    StartArray();
    for (BaseVideoPost* vp = rd->GetFirstVideoPost(); vp; vp = vp->GetNext()) {
      StartObject();
      out_.Key("type");
      out_.Int(vp->GetType());
      Text("name", ToUtf8(vp->GetName()));
      out_.Key("enabled");
      out_.Bool(!vp->GetBit(BIT_VPDISABLED));
      Parameters(vp);
      EndObject();
    }
    EndArray();
    EndObject();
  }

  void Parameters(BaseList2D* node) {
    out_.Key("parameters");
    Container(*node->GetDataInstance(), node);
  }

  void Container(const BaseContainer& bc, BaseList2D* node) {
    StartObject();
    for (LONG i = 0; i < bc.GetCount(); ++i) {
      const GeData* v = bc.GetIndexData(i);
      if (!Writable(*v, node)) continue;
      const std::string id = std::to_string(bc.GetIndexId(i));
      out_.Key(id.c_str(), static_cast<rapidjson::SizeType>(id.size()));
      Value(*v, node);
    }
    EndObject();
  }

  // Empty links and custom data have no form in the file.
  bool Writable(const GeData& v, BaseList2D* node) const {
    if (v.GetType() == DA_ALIASLINK) return LinkTarget(v, node) != nullptr;
    return v.GetType() >= DA_NIL && v.GetType() <= DA_CONTAINER && v.GetType() != DA_NIL;
  }

  BaseList2D* LinkTarget(const GeData& v, BaseList2D* node) const {
    BaseList2D* target = v.GetLink(doc_);
    if (!target) return nullptr;
    // A shader is written where it is linked from its owner; a shader of the document's own list
    // (such as an imported code shader) is written in place of each link to it.
    if (target->IsInstanceOf(Xbase))
      return target->GetUp() == node || target->GetUp() == doc_ ? target : nullptr;
    return target->IsInstanceOf(Obase) || target->IsInstanceOf(Mbase) ? target : nullptr;
  }

  void Typed(const char* kind) {
    StartObject();
    out_.Key(kind);
  }

  void Value(const GeData& v, BaseList2D* node) {
    switch (v.GetType()) {
      case DA_LONG: out_.Int(v.GetLong()); return;
      case DA_REAL: Number(v.GetReal()); return;
      case DA_TIME:
        Typed("time");
        Number(v.GetTime().Get());
        EndObject();
        return;
      case DA_VECTOR: Vector(v.GetVector()); return;
      case DA_MATRIX:
        Typed("matrix");
        Matrix(v.GetMatrix());
        EndObject();
        return;
      case DA_STRING: {
        Str(ToUtf8(v.GetString()));
        return;
      }
      case DA_FILENAME: {
        Typed("filename");
        std::string name = ToUtf8(v.GetString());
        if (node->IsInstanceOf(Xbase)) name = ShaderFile(name);
        Str(name);
        EndObject();
        return;
      }
      case DA_CONTAINER:
        Typed("container");
        Container(*v.GetContainer(), node);
        EndObject();
        return;
      case DA_ALIASLINK: {
        BaseList2D* target = LinkTarget(v, node);
        if (target->IsInstanceOf(Xbase)) {
          Typed("shader");
          StartObject();
          out_.Key("type");
          out_.Int(target->GetType());
          Text("name", ToUtf8(target->GetName()));
          Parameters(target);
          EndObject();
          EndObject();
          return;
        }
        StartObject();
        Text(target->IsInstanceOf(Mbase) ? "material" : "link", ToUtf8(target->GetName()));
        const LONG index = IndexAmongNamed(target);
        if (index >= 0) {
          out_.Key("index");
          out_.Int(index);
        }
        EndObject();
        return;
      }
      default: return;
    }
  }

  // Where other objects (or materials) share the name of `target`, or it has none, its index among
  // those of its name, in the order the loader searches them (objects depth first); else -1, and
  // the name alone finds it.
  LONG IndexAmongNamed(BaseList2D* target) {
    if (!named_) {
      named_ = true;
      CountNames(doc_->GetFirstObject());
      for (BaseMaterial* mat = doc_->GetFirstMaterial(); mat; mat = mat->GetNext())
        index_[mat] = materialNames_[mat->GetName().Data()]++;
    }
    const auto found = index_.find(target);
    if (found == index_.end()) return -1;
    const bool material = target->IsInstanceOf(Mbase);
    const String name = target->GetName();
    const LONG count = (material ? materialNames_ : objectNames_)[name.Data()];
    return count > 1 || name.Data().empty() ? found->second : -1;
  }

  void CountNames(BaseObject* op) {
    for (; op; op = op->GetNext()) {
      index_[op] = objectNames_[op->GetName().Data()]++;
      CountNames(op->GetDown());
    }
  }

  // A shader's file as the loader reads it back: a name that is not from the root is read as beside
  // the document file, wherever that is saved. So a relative name is written from the root, naming
  // the file as it is found now: beside the document's folder or in its "tex" folder (where the
  // bitmap shader looks), or else from the current folder, where this process opens it.
  std::string ShaderFile(const std::string& name) const {
    if (name.empty() || name[0] == '/') return name;
    std::string path = name;
    Filename found;
    if (GenerateTexturePath(doc_->GetDocumentPath(), Filename(String(name)), Filename(), &found) &&
        found.Content())
      path = ToUtf8(found.GetString());
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(path, ec);
    return ec ? name : full.string();
  }

  BaseDocument* doc_;
  int depth_ = 0;                       // arrays and objects open
  int level_ = 0;                       // levels of children of the object written
  std::string where_ = "the document";  // what is written, for a message
  bool named_ = false;                  // whether the names below were counted
  std::unordered_map<std::u32string, LONG> objectNames_, materialNames_;  // nodes of each name
  std::unordered_map<const BaseList2D*, LONG> index_;                     // a node's among its name's
  rapidjson::StringBuffer buffer_;
  rapidjson::PrettyWriter<rapidjson::StringBuffer> out_;
};

}  // namespace

std::string SaveDocumentText(BaseDocument* doc, std::string* error) {
  if (error) error->clear();
  if (!doc) {
    if (error) *error = "no document";
    return std::string();
  }
  try {
    return Saver(doc).Save();
  } catch (const SaveError& e) {
    if (error) *error = e.problem;
  } catch (const std::bad_alloc&) {
    if (error) *error = "out of memory";
  }
  return std::string();
}

bool SaveDocumentFile(BaseDocument* doc, const std::string& path, std::string* error) {
  std::string problem;
  const std::string text = SaveDocumentText(doc, &problem);
  if (!problem.empty()) {
    if (error) *error = path + ": " + problem;
    return false;
  }
  const files::Result r = files::WriteFile(path, text.data(), text.size());
  if (!r.ok()) {
    if (error) *error = path + ": cannot write the file: " + r.Text();
    return false;
  }
  if (error) error->clear();
  return true;
}

}  // namespace host
