// The material export dispatch: the one entry for any host material, the plug-in material's own
// writer with its clay override and alpha wrapper, and the blend model with its partners.
#include <tinyxml.h>

#include <functional>
#include <iterator>
#include <memory>
#include <utility>
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

// The indexes of lists of written materials alive on this thread, innermost last.
thread_local std::vector<WrittenMaterialsIndex*> writtenIndexes;

// Readies a top-level call's list of written materials for its duration: a call without a list
// gets one of its own, so that partner links that form a cycle end (each material on the path is
// written once), and a list without an index gets one.
class PathScope {
 public:
  PathScope(AtomArray*& done, BaseMaterial* top, const String& name) {
    if (!done) {
      own_ = AtomArray::Alloc();
      done = own_;
      ownPaths.push_back({own_, top, name});
    }
    if (!WrittenMaterialsIndex::Of(done)) index_.reset(new WrittenMaterialsIndex(done));
  }
  ~PathScope() {
    index_.reset();
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
  std::unique_ptr<WrittenMaterialsIndex> index_;
};

// True when the list of written materials holds `mat`.
bool Holds(AtomArray* done, BaseMaterial* mat) {
  WrittenMaterialsIndex* index = WrittenMaterialsIndex::Of(done);
  return index ? index->Holds(mat) : done->Find(mat) != NOTOK;
}

// Records `mat` in the list of written materials.
void Record(AtomArray* done, BaseMaterial* mat) {
  if (WrittenMaterialsIndex* index = WrittenMaterialsIndex::Of(done))
    index->Add(mat);
  else
    done->Append(mat);
}

// The name under which `partner` is (or will be) written in the call that keeps `done`.
String ReferenceName(BaseMaterial* partner, AtomArray* done, OrvaneSceneData* sd) {
  for (const OwnPath& path : ownPaths)
    if (path.list == done && path.top == partner) return path.name;
  return sd->MaterialName(partner);
}

// The material that `id` links in the exported document, or null.
BaseMaterial* LinkedMaterial(BaseContainer* data, LONG id, BaseDocument* doc) {
  return static_cast<BaseMaterial*>(data->GetLink(id, doc, Mbase));
}

// The steps of a material export that wait their turn. A step may add steps; they run after it
// and before every step that was waiting already, in the order they were added: the order that
// calls nested in one another would give, without the call stack growing with the length of a
// chain of blend partners. Each top-level call runs a queue of its own.
class StepQueue {
 public:
  typedef std::function<void()> Step;

  StepQueue() : outer_(current_) { current_ = this; }
  ~StepQueue() { current_ = outer_; }
  StepQueue(const StepQueue&) = delete;
  StepQueue& operator=(const StepQueue&) = delete;

  // Adds `step` to the queue of this thread; without one, runs it (with what it adds) at once.
  static void Add(Step step) {
    if (current_) {
      current_->added_.push_back(std::move(step));
      return;
    }
    StepQueue queue;
    queue.added_.push_back(std::move(step));
    queue.Run();
  }

  // Runs the steps added so far and every step they add.
  void Run() {
    for (;;) {
      for (auto it = added_.rbegin(); it != added_.rend(); ++it) waiting_.push_back(std::move(*it));
      added_.clear();
      if (waiting_.empty()) return;
      Step step = std::move(waiting_.back());
      waiting_.pop_back();
      step();
    }
  }

 private:
  static thread_local StepQueue* current_;
  StepQueue* outer_;
  std::vector<Step> added_;    // added by the running step, in order
  std::vector<Step> waiting_;  // next to run last
};
thread_local StepQueue* StepQueue::current_ = nullptr;

// Sets the export state of a material for one writer and puts back what it held before when the
// writer leaves, also by an exception.
class ExportStateScope {
 public:
  ExportStateScope(CustomOrvaneMaterial* m, OrvaneSceneData* sd, AtomArray* done, int bg)
      : m_(m), sd_(m->sceneData), done_(m->doneList), bg_(m->background), texture_(m->textureIndex) {
    m->sceneData = sd;
    m->doneList = done;
    m->background = bg;
    m->textureIndex = 0;
  }
  ~ExportStateScope() {
    m_->sceneData = sd_;
    m_->doneList = done_;
    m_->background = bg_;
    m_->textureIndex = texture_;
  }
  ExportStateScope(const ExportStateScope&) = delete;
  ExportStateScope& operator=(const ExportStateScope&) = delete;

 private:
  CustomOrvaneMaterial* m_;
  OrvaneSceneData* sd_;
  AtomArray* done_;
  int bg_;
  int texture_;
};

// One material as a step of a queue: skipped when `done` (never null here) holds it, else named,
// recorded and written. A plug-in material leaves its partners to the queue.
void WriteMaterial(BaseMaterial* mat, TiXmlElement* parent, AtomArray* done, OrvaneSceneData* sd, int preview,
                   int background) {
  if (!sd || !mat || !parent || !sd->document) return;
  BaseDocument* doc = sd->document;
  if (Holds(done, mat)) return;
  const String name = preview      ? String("previewMat")
                      : background ? String("background_material")
                                   : sd->MaterialName(mat);
  Record(done, mat);

  switch (mat->GetType()) {
    case ID_CUSTOMORVANEMATERIAL: {
      auto* data = static_cast<CustomOrvaneMaterial*>(mat->GetNodeData());
      if (data) data->WriteMaterialXml(name, parent, done, background, sd);
      break;
    }
    case kContainerMaterial: {
      auto* data = static_cast<OrvaneContainerMaterial*>(mat->GetNodeData());
      if (data) data->ExportMaterialXml(name, parent, background, sd);
      break;
    }
    default: {
      // Any other material is written through a temporary plug-in material filled from it, whole
      // before the temporary material goes.
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

}  // namespace

WrittenMaterialsIndex::WrittenMaterialsIndex(AtomArray* list) : list_(list) {
  Sync();
  writtenIndexes.push_back(this);
}

WrittenMaterialsIndex::~WrittenMaterialsIndex() {
  for (auto it = writtenIndexes.rbegin(); it != writtenIndexes.rend(); ++it) {
    if (*it != this) continue;
    writtenIndexes.erase(std::next(it).base());
    break;
  }
}

WrittenMaterialsIndex* WrittenMaterialsIndex::Of(const AtomArray* list) {
  if (!list) return nullptr;
  for (auto it = writtenIndexes.rbegin(); it != writtenIndexes.rend(); ++it)
    if ((*it)->list_ == list) return *it;
  return nullptr;
}

void WrittenMaterialsIndex::Sync() {
  if (!list_) return;
  const LONG count = list_->GetCount();
  if (count < indexed_) {
    atoms_.clear();
    indexed_ = 0;
  }
  for (; indexed_ < count; ++indexed_) atoms_.insert(list_->GetIndex(indexed_));
}

bool WrittenMaterialsIndex::Holds(C4DAtom* atom) {
  Sync();
  return atoms_.count(atom) != 0;
}

void WrittenMaterialsIndex::Add(C4DAtom* atom) {
  if (!list_) return;
  list_->Append(atom);
  Sync();
}

void AppendNullMaterial(const String& name, TiXmlElement* parent) {
  TiXmlElement* material = new TiXmlElement("material");
  SceneExportStringValue("name", name, material);
  material->LinkEndChild(new TiXmlElement("null_material"));
  parent->LinkEndChild(material);
}

void ExportBaseMaterial(BaseMaterial* mat, TiXmlElement* parent, AtomArray* done, OrvaneSceneData* sd,
                        int preview, int background) {
  if (!sd || !mat || !parent || !sd->document) return;
  // Only a call that keeps a list of its own needs the name here.
  String ownName;
  if (!done)
    ownName = preview      ? String("previewMat")
              : background ? String("background_material")
                           : sd->MaterialName(mat);
  PathScope path(done, mat, ownName);
  StepQueue queue;
  WriteMaterial(mat, parent, done, sd, preview, background);
  queue.Run();
}

void CustomOrvaneMaterial::ExportMaterialXml(String name, TiXmlElement* parent, AtomArray* done, int bg,
                                             OrvaneSceneData* sd) {
  BaseMaterial* mat = static_cast<BaseMaterial*>(Get());
  if (!sd || !sd->document || !parent || !mat) return;
  // A direct call keeps its own list, which starts with this material.
  PathScope path(done, mat, name);
  if (path.Owns()) Record(done, mat);
  StepQueue queue;
  WriteMaterialXml(name, parent, done, bg, sd);
  queue.Run();
}

void CustomOrvaneMaterial::WriteMaterialXml(const String& name, TiXmlElement* parent, AtomArray* done, int bg,
                                            OrvaneSceneData* sd) {
  BaseMaterial* mat = static_cast<BaseMaterial*>(Get());
  if (!sd || !sd->document || !parent || !mat) return;
  BaseContainer* data = mat->GetDataInstance();
  BaseDocument* doc = sd->document;

  ExportStateScope state(this, sd, done, bg);
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
    // The partner behind the cut-out comes first, then the wrapper.
    String bName = kNullMaterial;
    if (BaseMaterial* partner = LinkedMaterial(data, MAT_BLEND_A, doc)) {
      bName = ReferenceName(partner, done, sd);
      StepQueue::Add([=] { WriteMaterial(partner, parent, done, sd, 0, 0); });
    }
    StepQueue::Add([=] { FinishBlend(outer, working, bName, mat, parent, done, bg, sd); });
  }
}

void CustomOrvaneMaterial::FinishBlend(const String& name, const String& aName, const String& bName,
                                       BaseMaterial* mat, TiXmlElement* parent, AtomArray* done, int bg,
                                       OrvaneSceneData* sd) {
  ExportStateScope state(this, sd, done, bg);
  AppendBlend(name, aName, bName, mat, parent);
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
  OrvaneSceneData* sd = sceneData;
  AtomArray* done = doneList;
  const int bg = background;
  BaseContainer* data = mat->GetDataInstance();
  String names[2] = {String(kNullMaterial), String(kNullMaterial)};
  const LONG links[2] = {MAT_BLEND_A, MAT_BLEND_B};
  // The partners a and b, then the blend that names them.
  for (int i = 0; i < 2; ++i) {
    BaseMaterial* partner = LinkedMaterial(data, links[i], sd->document);
    if (!partner) continue;
    names[i] = ReferenceName(partner, done, sd);
    if (done)
      StepQueue::Add([=] { WriteMaterial(partner, parent, done, sd, 0, 0); });
    else
      ExportBaseMaterial(partner, parent, nullptr, sd, 0, 0);
  }
  StepQueue::Add([=] { FinishBlend(name, names[0], names[1], mat, parent, done, bg, sd); });
  return true;
}
