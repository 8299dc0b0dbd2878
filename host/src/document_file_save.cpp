// Saving a host document as a JSON document file (docs/document-file.md), in the form the loader
// reads back into the same document.
#include <cstdio>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "c4d.h"
#include "host_control.h"
#include "host_document_file.h"

namespace host {
namespace {

using Json = nlohmann::ordered_json;

Json Vec(const LVector& v) { return Json::array({v.x, v.y, v.z}); }

Json Mat(const LMatrix& m) {
  return Json{{"off", Vec(m.off)}, {"v1", Vec(m.v1)}, {"v2", Vec(m.v2)}, {"v3", Vec(m.v3)}};
}

class Saver {
 public:
  explicit Saver(BaseDocument* doc) : doc_(doc) {
    for (BaseShader* sh = static_cast<BaseShader*>(doc->GetDown()); sh; sh = sh->GetNext()) Number(sh);
    for (BaseMaterial* m = doc->GetFirstMaterial(); m; m = m->GetNext())
      for (BaseShader* sh = static_cast<BaseShader*>(m->GetDown()); sh; sh = sh->GetNext()) Number(sh);
  }

  Json Save() {
    Json root;
    root["name"] = ToUtf8(doc_->GetDocumentName().GetString());
    root["path"] = ToUtf8(doc_->GetDocumentPath().GetString());
    const LONG fps = doc_->GetFps();
    root["fps"] = fps;
    root["frame"] = doc_->GetTime().GetFrame(fps);
    root["minFrame"] = doc_->GetMinTime().GetFrame(fps);
    root["maxFrame"] = doc_->GetMaxTime().GetFrame(fps);
    Json objects = Json::array();
    for (BaseObject* op = doc_->GetFirstObject(); op; op = op->GetNext()) objects.push_back(Object(op));
    root["objects"] = objects;
    Json shaders = Shaders(doc_);
    if (!shaders.empty()) root["shaders"] = shaders;
    Json materials = Json::array();
    for (BaseMaterial* m = doc_->GetFirstMaterial(); m; m = m->GetNext()) {
      Json mat{{"type", m->GetType()}, {"name", ToUtf8(m->GetName())}, {"parameters", Parameters(*m->GetDataInstance())}};
      Json own = Shaders(m);
      if (!own.empty()) mat["shaders"] = own;
      materials.push_back(mat);
    }
    root["materials"] = materials;
    if (RenderData* rd = doc_->GetActiveRenderData()) {
      Json posts = Json::array();
      for (BaseVideoPost* vp = rd->GetFirstVideoPost(); vp; vp = vp->GetNext())
        posts.push_back(Json{{"type", vp->GetType()}, {"name", ToUtf8(vp->GetName())},
                             {"enabled", !vp->GetBit(BIT_VPDISABLED)},
                             {"parameters", Parameters(*vp->GetDataInstance())}});
      root["renderData"] = Json{{"parameters", Parameters(*rd->GetDataInstance())}, {"videoPosts", posts}};
    }
    return root;
  }

 private:
  void Number(BaseShader* sh) {
    shaders_.push_back(sh);
    for (BaseShader* c = sh->GetDown(); c; c = c->GetNext()) Number(c);
  }

  // The shaders below `node`, each with its own below it.
  Json Shaders(GeListNode* node) {
    Json list = Json::array();
    for (BaseShader* sh = static_cast<BaseShader*>(node->GetDown()); sh; sh = sh->GetNext()) {
      Json s{{"type", sh->GetType()}, {"name", ToUtf8(sh->GetName())}, {"parameters", Parameters(*sh->GetDataInstance())}};
      Json below = Shaders(sh);
      if (!below.empty()) s["shaders"] = below;
      list.push_back(s);
    }
    return list;
  }

  Json Object(BaseObject* op) {
    Json o{{"type", op->GetType()}, {"name", ToUtf8(op->GetName())}, {"matrix", Mat(op->GetMl())}};
    if (op->GetType() == Opolygon) {
      PolygonObject* poly = static_cast<PolygonObject*>(op);
      Json points = Json::array(), polygons = Json::array();
      const LVector* p = poly->GetPointR();
      for (LONG i = 0; i < poly->GetPointCount(); ++i) points.push_back(Vec(p[i]));
      const CPolygon* q = poly->GetPolygonR();
      for (LONG i = 0; i < poly->GetPolygonCount(); ++i) polygons.push_back(Json::array({q[i].a, q[i].b, q[i].c, q[i].d}));
      o["points"] = points;
      o["polygons"] = polygons;
    }
    o["parameters"] = Parameters(*op->GetDataInstance());
    Json tags = Json::array();
    for (BaseTag* tag = op->GetFirstTag(); tag; tag = tag->GetNext()) {
      const LONG t = tag->GetType();
      if (t == Tpoint || t == Tpolygon) continue;
      tags.push_back(Json{{"type", t}, {"name", ToUtf8(tag->GetName())}, {"parameters", Parameters(*tag->GetDataInstance())}});
    }
    if (!tags.empty()) o["tags"] = tags;
    Json children = Json::array();
    for (BaseObject* c = op->GetDown(); c; c = c->GetNext()) children.push_back(Object(c));
    if (!children.empty()) o["children"] = children;
    return o;
  }

  Json Parameters(const BaseContainer& bc) {
    Json params = Json::object();
    for (LONG i = 0;; ++i) {
      const GeData* d = bc.GetIndexData(i);
      if (!d) break;
      Json v = Value(*d);
      if (!v.is_null()) params[std::to_string(bc.GetIndexId(i))] = v;
    }
    return params;
  }

  Json Value(const GeData& d) {
    switch (d.GetType()) {
      case DA_LONG: return Json{{"long", d.GetLong()}};
      case DA_REAL: return Json{{"real", d.GetReal()}};
      case DA_VECTOR: return Json{{"vector", Vec(d.GetVector())}};
      case DA_MATRIX: return Json{{"matrix", Mat(d.GetMatrix())}};
      case DA_STRING: return Json{{"string", ToUtf8(d.GetString())}};
      case DA_FILENAME: return Json{{"filename", ToUtf8(d.GetString())}};
      case DA_TIME: return Json{{"time", d.GetTime().Get()}};
      case DA_CONTAINER: return Json{{"container", Parameters(*d.GetContainer())}};
      case DA_ALIASLINK: {
        BaseList2D* target = d.GetLink(doc_);
        if (!target) return Json();
        if (target->IsInstanceOf(Mbase)) return Json{{"material", ToUtf8(target->GetName())}};
        if (target->IsInstanceOf(Xbase)) {
          for (size_t i = 0; i < shaders_.size(); ++i)
            if (shaders_[i] == target) return Json{{"shader", static_cast<long>(i)}};
          return Json();
        }
        return Json{{"link", ToUtf8(target->GetName())}};
      }
      default: return Json();
    }
  }

  BaseDocument* doc_;
  std::vector<BaseShader*> shaders_;
};

}  // namespace

std::string SaveDocumentText(BaseDocument* doc) {
  if (!doc) return std::string();
  return Saver(doc).Save().dump(2) + "\n";
}

bool SaveDocumentFile(BaseDocument* doc, const std::string& path, std::string* error) {
  std::string text;
  try {
    text = SaveDocumentText(doc);
  } catch (const std::exception& e) {
    if (error) *error = path + ": " + e.what();
    return false;
  }
  const std::string temp = path + ".part";
  std::FILE* f = std::fopen(temp.c_str(), "wb");
  bool ok = f && std::fwrite(text.data(), 1, text.size(), f) == text.size();
  if (f && std::fclose(f) != 0) ok = false;
  if (ok && std::rename(temp.c_str(), path.c_str()) != 0) ok = false;
  if (!ok) {
    std::remove(temp.c_str());
    if (error) *error = path + ": cannot write the file";
  }
  return ok;
}

}  // namespace host
