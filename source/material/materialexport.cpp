// The material export dispatch: the one entry for any host material, the plug-in material's own
// writer with its clay override and alpha wrapper, and the blend model with its partners.
#include <tinyxml.h>

#include <iterator>
#include <memory>
#include <vector>

#include "export/orvanescenedata.h"
#include "export/xmlbuilders.h"
#include "main/helpers.h"
#include "material/customorvanematerial.h"
#include "material/exportbasematerial.h"
#include "material/orvanecontainermaterial.h"

namespace {

// Host type of the container material of the node-based material.
constexpr LONG kContainerMaterial = 1025500;
// Ends the name of the material that an alpha wrapper holds.
const char* const kAlphaSuffix = "_b_l_e_n_d_A";
// The scene's null material.
const char* const kNullMaterial = "nullMat";

// A top-level call that keeps a list of its own (the background material, a material file, a
// direct call): the material it started with is written under a name of that call ("previewMat",
// "background_material"), and a partner link that leads back to it must name it so.
struct OwnPath {
  AtomArray* list;
  BaseMaterial* top;
  String name;
};
thread_local std::vector<OwnPath> ownPaths;

// Gives a call without a list of written materials a list of its own for its duration, so that
// partner links that form a cycle end: each material on the path is written once.
class PathScope {
 public:
  PathScope(AtomArray*& done, BaseMaterial* top, const String& name) {
    if (done) return;
    own_ = AtomArray::Alloc();
    done = own_;
    ownPaths.push_back({own_, top, name});
  }
  ~PathScope() {
    if (!own_) return;
    ownPaths.pop_back();
    AtomArray::Free(own_);
  }
  /// True when the call got a list of its own.
  bool Owns() const { return own_ != nullptr; }
  PathScope(const PathScope&) = delete;
  PathScope& operator=(const PathScope&) = delete;

 private:
  AtomArray* own_ = nullptr;
};

// The name under which `partner` is (or will be) written in the call that keeps `done`.
String ReferenceName(BaseMaterial* partner, AtomArray* done, BaseDocument* doc) {
  for (const OwnPath& path : ownPaths)
    if (path.list == done && path.top == partner) return path.name;
  return MaterialNameTable::Name(partner, doc);
}

// The name tables alive on this thread, innermost last.
thread_local std::vector<const MaterialNameTable*> nameTables;

// The material that `id` links in the exported document, or null.
BaseMaterial* LinkedMaterial(BaseContainer* data, LONG id, BaseDocument* doc) {
  return static_cast<BaseMaterial*>(data->GetLink(id, doc, Mbase));
}

// Clears the export state of a material when its writer leaves, also by an exception.
class ExportStateScope {
 public:
  explicit ExportStateScope(CustomOrvaneMaterial* m) : m_(m) {}
  ~ExportStateScope() {
    m_->sceneData = nullptr;
    m_->doneList = nullptr;
  }
  ExportStateScope(const ExportStateScope&) = delete;
  ExportStateScope& operator=(const ExportStateScope&) = delete;

 private:
  CustomOrvaneMaterial* m_;
};

}  // namespace

void AppendNullMaterial(const String& name, TiXmlElement* parent) {
  TiXmlElement* material = new TiXmlElement("material");
  SceneExportStringValue("name", name, material);
  material->LinkEndChild(new TiXmlElement("null_material"));
  parent->LinkEndChild(material);
}

MaterialNameTable::MaterialNameTable(BaseDocument* doc) : doc_(doc) {
  unsigned int i = 0;
  for (BaseMaterial* m = doc ? doc->GetFirstMaterial() : nullptr; m; m = m->GetNext(), ++i)
    names_.emplace(m, m->GetName() + String("_mid") + Helpers::ULongToString(i));
  nameTables.push_back(this);
}

MaterialNameTable::~MaterialNameTable() {
  for (auto it = nameTables.rbegin(); it != nameTables.rend(); ++it) {
    if (*it != this) continue;
    nameTables.erase(std::next(it).base());
    break;
  }
}

String MaterialNameTable::Name(BaseMaterial* mat, BaseDocument* doc) {
  for (auto it = nameTables.rbegin(); it != nameTables.rend(); ++it) {
    if ((*it)->doc_ != doc) continue;
    auto found = (*it)->names_.find(mat);
    if (found != (*it)->names_.end()) return found->second;
    break;
  }
  return Helpers::GetUniqueMaterialName(mat, doc);
}

void ExportBaseMaterial(BaseMaterial* mat, TiXmlElement* parent, AtomArray* done, OrvaneSceneData* sd,
                        int preview, int background) {
  if (!sd || !mat || !parent || !sd->document) return;
  BaseDocument* doc = sd->document;
  if (done && done->Find(mat) != NOTOK) return;
  const String name = preview      ? String("previewMat")
                      : background ? String("background_material")
                                   : MaterialNameTable::Name(mat, doc);
  PathScope path(done, mat, name);
  done->Append(mat);

  switch (mat->GetType()) {
    case ID_CUSTOMORVANEMATERIAL: {
      auto* data = static_cast<CustomOrvaneMaterial*>(mat->GetNodeData());
      if (data) data->ExportMaterialXml(name, parent, done, background, sd);
      break;
    }
    case kContainerMaterial: {
      auto* data = static_cast<OrvaneContainerMaterial*>(mat->GetNodeData());
      if (data) data->ExportMaterialXml(name, parent, background, sd);
      break;
    }
    default: {
      // Any other material is written through a temporary plug-in material filled from it.
      BaseMaterial* temp = BaseMaterial::Alloc(ID_CUSTOMORVANEMATERIAL);
      if (!temp) break;
      doc->InsertMaterial(temp);
      auto* data = static_cast<CustomOrvaneMaterial*>(temp->GetNodeData());
      try {
        if (data) {
          data->ConvertBaseMaterial(mat);
          data->ExportMaterialXml(name, parent, done, background, sd);
        }
      } catch (...) {
        temp->Remove();
        BaseMaterial::Free(temp);
        throw;
      }
      temp->Remove();
      BaseMaterial::Free(temp);
      break;
    }
  }
}

void CustomOrvaneMaterial::ExportMaterialXml(String name, TiXmlElement* parent, AtomArray* done, int bg,
                                             OrvaneSceneData* sd) {
  BaseMaterial* mat = static_cast<BaseMaterial*>(Get());
  if (!sd || !sd->document || !parent || !mat) return;
  BaseContainer* data = mat->GetDataInstance();
  BaseDocument* doc = sd->document;

  // A direct call keeps its own list, which starts with this material.
  PathScope path(done, mat, name);
  if (path.Owns()) done->Append(mat);

  ExportStateScope state(this);
  sceneData = sd;
  doneList = done;
  background = bg;
  textureIndex = 0;
  const String outer = name;
  String working = name;

  const LONG type = data->GetLong(MAT_TYPE, 0);
  const bool wrapped = type != MAT_TYPE_BLEND && data->GetBool(MAT_USE_ALPHA);
  if (wrapped) working = name + String(kAlphaSuffix);

  if (!bg && type != MAT_TYPE_BLEND && sd->clayMode) {
    MaterialExportClayMaterial(working, mat, parent);
  } else {
    switch (type) {
      case MAT_TYPE_DIFFUSE: MaterialExportDiffuseMaterial(working, mat, parent); break;
      case MAT_TYPE_OREN_NAYAR: MaterialExportOrenNayarMaterial(working, mat, parent); break;
      case MAT_TYPE_PHONG: MaterialExportPhongMaterial(working, mat, parent); break;
      case MAT_TYPE_DIFFUSE_TRANSMITTER: MaterialExportDiffuseTransMaterial(working, mat, parent); break;
      case MAT_TYPE_SPECULAR:
        MaterialExportMedium(working, mat, parent);
        MaterialExportSpecularMaterial(working, mat, parent);
        break;
      case MAT_TYPE_BLEND: MaterialExportBlendMat(working, mat, parent); break;
      case MAT_TYPE_GLOSSY_TRANSPARENT:
        MaterialExportMedium(working, mat, parent);
        MaterialExportGlossyMaterial(working, mat, parent);
        break;
      case MAT_TYPE_NULL:
        // Without the wrapper, objects still refer to the material by its own name.
        if (!wrapped) AppendNullMaterial(outer, parent);
        working = kNullMaterial;
        break;
      default:
        // A model this writer does not know renders nothing, but its name stays defined.
        AppendNullMaterial(working, parent);
        break;
    }
  }

  if (wrapped) {
    textureIndex = 0;
    String bName = kNullMaterial;
    if (BaseMaterial* partner = LinkedMaterial(data, MAT_BLEND_A, doc)) {
      bName = ReferenceName(partner, done, doc);
      ExportBaseMaterial(partner, parent, done, sd, 0, 0);
    }
    AppendBlend(outer, working, bName, mat, parent);
  }
}

void CustomOrvaneMaterial::AppendBlend(const String& name, const String& aName, const String& bName,
                                       BaseMaterial* mat, TiXmlElement* parent) {
  BaseContainer* data = mat->GetDataInstance();
  std::unique_ptr<TiXmlElement> material(new TiXmlElement("material"));
  SceneExportStringValue("name", name, material.get());
  TiXmlElement* blend = new TiXmlElement("blend");
  material->LinkEndChild(blend);
  SceneExportStringValue("a_name", aName, blend);
  SceneExportStringValue("b_name", bName, blend);
  SceneExportBoolValue("step_blend", data->GetBool(Id(MAT_STEP_BLEND)), blend);
  MaterialExportBlend(name, data, blend);
  parent->LinkEndChild(material.release());
}

Bool CustomOrvaneMaterial::MaterialExportBlendMat(String name, BaseMaterial* mat, TiXmlElement* parent) {
  if (!mat || !parent || !sceneData || !sceneData->document) return false;
  BaseDocument* doc = sceneData->document;
  BaseContainer* data = mat->GetDataInstance();
  String names[2] = {String(kNullMaterial), String(kNullMaterial)};
  const LONG links[2] = {MAT_BLEND_A, MAT_BLEND_B};
  for (int i = 0; i < 2; ++i) {
    BaseMaterial* partner = LinkedMaterial(data, links[i], doc);
    if (!partner) continue;
    names[i] = ReferenceName(partner, doneList, doc);
    ExportBaseMaterial(partner, parent, doneList, sceneData, 0, 0);
  }

  AppendBlend(name, names[0], names[1], mat, parent);
  return true;
}
