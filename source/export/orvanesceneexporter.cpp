#include "export/orvanesceneexporter.h"

#include <algorithm>
#include <cstdio>

#include "export/xmlbuilders.h"
#include "main/helpers.h"
#include "main/main.h"
#include "material/exportbasematerial.h"
#include "object/orvaneinstanceids.h"
#include "utils/stringutils.h"

namespace {

// Host object types and parameters the traversal reads.
constexpr LONG kTypeWithoutOwnGeometry = 1011146;  // contributes nothing itself; its children count
constexpr LONG kHostInstanceLink = 1001;
constexpr LONG kHostInstanceRenderInstance = 1002;
constexpr LONG kLightType = 90002;
constexpr LONG kLightTypeArea = 8;
constexpr LONG kLightAreaShapeObject = 100014;
constexpr LONG kLightAreaShape = 100015;
constexpr LONG kAreaShapeObject = 6;
// Render modes of an object.
constexpr LONG kRenderModeOn = 0;
constexpr LONG kRenderModeUndefined = 2;
// Instances followed inside instances: deeper chains are cut off.
constexpr size_t kMaxInstanceNesting = 256;

}  // namespace

OrvaneSceneExporter::OrvaneSceneExporter() = default;

OrvaneSceneExporter::~OrvaneSceneExporter() {
  delete sceneData;
  AtomArray::Free(areaLightShapes);
}

void* OrvaneSceneExporter::Alloc() { return nullptr; }

void OrvaneSceneExporter::Free(void*) {}

void OrvaneSceneExporter::CopyTo(void*, void*) {}

Bool OrvaneSceneExporter::Do(void*, BaseObject*, const LMatrix&, Bool) {
  // The whole scene is written on the first call; a further call finds no scene data.
  exportOVS();
  return false;
}

void OrvaneSceneExporter::initOVS(BaseDocument* doc, OrvaneDLLWrapper*, Filename scene, int foregroundAlpha,
                                  int, int clay, int animation, int frame, const files::Folder* sceneFolder) {
  // Normally the previous export has freed its data already.
  delete sceneData;
  sceneData = new OrvaneSceneData();
  sceneData->document = doc;
  sceneData->frame = frame;
  sceneData->foregroundAlpha = foregroundAlpha;
  sceneData->animation = animation;
  sceneData->clayMode = clay;
  sceneData->sceneDir = scene.GetDirectory();
  // Walked once: the scene, its mesh and texture folders and every file in them go through it.
  if (sceneFolder && sceneFolder->IsOpen()) {
    sceneData->sceneFolder = *sceneFolder;
  } else {
    const std::string dir = Helpers::ToUTF8String(sceneData->sceneDir.GetString());
    sceneData->sceneWalk = files::Folder::Open(dir.empty() ? "." : dir, &sceneData->sceneFolder);
  }
  Filename base = scene.GetFile();
  base.ClearSuffix();
  baseName = base.GetString();
  sceneData->modelsDir = sceneData->sceneDir + Filename(String("models.") + baseName);
  sceneData->texturesDir = sceneData->sceneDir + Filename(String("textures.") + baseName);
}

int OrvaneSceneExporter::exportOVSWithCacheRebuild() {
  if (!sceneData || !sceneData->document) return 0;
  Run(sceneData->document, TRUE, 1.0, FALSE, BUILDFLAGS_EXTERNALRENDERER, nullptr, nullptr);
  // A traversal that never called back (nothing to visit) still leaves a scene to write.
  if (sceneData) exportOVS();
  return 1;
}

void OrvaneSceneExporter::FreeExportState() {
  xmlDocument.Clear();
  sceneElement = nullptr;
  commentNode = nullptr;
  AtomArray::Free(areaLightShapes);
  delete sceneData;
  sceneData = nullptr;
}

void OrvaneSceneExporter::initVariables() {
  commentNode = nullptr;
  renderSettings = nullptr;
  camera = nullptr;
  cameraData = BaseContainer();
  cameraTagData = BaseContainer();
  hasCameraTag = 0;
  sceneData->globalScale = 1.0;
  sceneData->exposureDuration = 0.05;
  instanceCount = 0;
  notFiniteCount = 0;
  placementNotFinite = false;
  sceneSaved = false;
  saveFailure.clear();
  unwrittenMesh.clear();
  unwrittenMeshReason.clear();
  refusedFolder.clear();
  unusableTexture.clear();
  meshChecksums.clear();
  meshFingerprints.clear();
  meshKeys.clear();
  expandingInstances_.clear();
  AtomArray::Free(areaLightShapes);
  areaLightShapes = AtomArray::Alloc();
  // Every writer of this export, the mesh export's threads among them, reads the names from here.
  sceneData->MakeMaterialNames();
  if (!sceneData->animation) {
    fileName = baseName + String(".ovs");
  } else {
    char frame[16];
    std::snprintf(frame, sizeof frame, "%06d", sceneData->frame);
    fileName = baseName + String("_frame") + String(frame) + String(".ovs");
  }
}

int OrvaneSceneExporter::exportOVS() {
  if (!sceneData || !sceneData->document) return 0;

  // The start-up banner's rule frames every export's lines.
  GePrint(kBannerRule);
  GePrint("Starting export...");
  Helpers::StopTime timer;
  timer.Start();

  initVariables();

  const String dir = sceneData->sceneDir.GetString();
  const String path = dir.Content() ? dir + String("/") + fileName : fileName;
  // No program could open a scene at a longer path: nothing of it is written.
  if (!Helpers::PathFits(Helpers::ToUTF8String(path))) {
    saveFailure = files::ErrorText(ENAMETOOLONG);
    GePrint(String("Could not save scene to: ") + path + String(": ") + String(saveFailure));
    GePrint(kBannerRule);
    FreeExportState();
    return 1;
  }

  sceneElement = new TiXmlElement("scene");
  xmlDocument.LinkEndChild(sceneElement);

  SceneExportCorvaneComments();
  SceneExportErrorReportInfo();

  TiXmlElement* rendererSettings = new TiXmlElement("renderer_settings");
  renderSettings = Helpers::GetOrvaneRenderSettingsData(sceneData->document);

  GetSceneCameraData();
  SceneExportRenderSettings(rendererSettings);
  SceneExportCamera(rendererSettings);
  SceneExportLighting();
  SceneExportTonemapping();

  sceneElement->LinkEndChild(rendererSettings);

  ExportPassMaterials();
  ExportPassMeshes();
  ExportPassLighLayers();

  GePrint(String("Processing time: ") + timer.GetElapsed(Helpers::StopTime::kMinutesAndSeconds));
  timer.Start();

  refusedFolder = sceneData->FolderRefusal();
  unusableTexture = sceneData->unusableTexture;
  if (!refusedFolder.empty()) {
    // Nothing of the scene goes through a folder another user planted.
    GePrint(String("Did not save the scene to: ") + path + String(": ") + String(refusedFolder));
  } else if (!unusableTexture.empty()) {
    // The renderer could never read that texture: no scene that names it is saved.
    GePrint(String("Did not save the scene to: ") + path + String(": ") + String(unusableTexture));
  } else if (!unwrittenMesh.empty()) {
    // A scene naming a mesh file that is not there is no scene to render: the one saved before
    // (with all its meshes) stays as it was.
    GePrint(String("Did not save the scene to: ") + path + String(": the mesh file ") +
            String(unwrittenMesh) + String(" was not written"));
  } else {
    // The scene's new mesh and texture folders stay with it; a failure or an interruption before
    // removes them.
    files::Result saved = sceneData->sceneWalk;
    if (saved.ok())
      saved = SaveXmlFile(xmlDocument, sceneData->sceneFolder, Helpers::ToUTF8String(fileName),
                          {&sceneData->newModels, &sceneData->newTextures});
    sceneSaved = saved.ok();
    if (sceneSaved) {
      GePrint(String("Saved scene to: ") + path);
    } else {
      saveFailure = saved.Text();
      GePrint(String("Could not save scene to: ") + path + String(": ") + String(saveFailure));
    }
  }
  GePrint(String("Saving time: ") + timer.GetElapsed(Helpers::StopTime::kSeconds));
  GePrint(kBannerRule);

  FreeExportState();
  return 1;
}

void OrvaneSceneExporter::ExportPassMaterials() {
  Helpers::StopTime timer;
  timer.Start();
  GePrint("Exporting materials...");

  SceneExportDefaultMats();

  pass = 0;
  if (BaseObject* first = sceneData->document->GetFirstObject()) TraverseHierarchy(first, LMatrix(), 0, 1);

  // Every material of the document, first to last; the list holds the materials written so far,
  // partners of blend materials among them, so that each is written once.
  AtomArray* written = AtomArray::Alloc();
  {
    const WrittenMaterialsIndex index(written);
    for (BaseMaterial* mat = sceneData->document->GetFirstMaterial(); mat; mat = mat->GetNext())
      ExportBaseMaterial(mat, sceneElement, written, sceneData, 0, 0);
  }
  written->Flush();
  AtomArray::Free(written);

  GePrint(String("Material export time: ") + timer.GetElapsed(Helpers::StopTime::kSeconds));
  GePrint(" ");
}

void OrvaneSceneExporter::ExportPassMeshes() {
  Helpers::StopTime timer;
  timer.Start();
  GePrint("Exporting objects and lights...");

  pass = 1;
  if (BaseObject* first = sceneData->document->GetFirstObject()) TraverseHierarchy(first, LMatrix(), 0, 1);

  GePrint(String("Object export time: ") + timer.GetElapsed(Helpers::StopTime::kSeconds));
  GePrint(String("Instances exported: ") + String::LongToString(instanceCount));
  if (notFiniteCount > 0)
    GePrint(String("Not exported for coordinates that are not finite: ") +
            String::LongToString(notFiniteCount));
  GePrint(" ");
}

int OrvaneSceneExporter::TraverseHierarchy(BaseObject* obj, LMatrix m, int single, int visible) {
  for (BaseObject* o = obj; o; o = o->GetNext()) {
    const LMatrix M = single ? m : m * o->GetMl();

    const LONG mode = o->GetRenderMode();
    const int vis = mode == kRenderModeUndefined ? visible : mode == kRenderModeOn ? 1 : 0;

    const LayerData* layer = o->GetLayerData(sceneData ? sceneData->document : o->GetDocument());
    const int layerOn = !layer || layer->render ? 1 : 0;
    const int skip = (o->GetAllBits() & BIT_CONTROLOBJECT) ? 1 : 0;

    bool general = true;
    switch (o->GetType()) {
      case kTypeWithoutOwnGeometry: general = false; break;
      case Osphere: {
        BaseObject* cache = o->GetCache();
        if (cache && !cache->GetDeformCache()) {
          Do(o, M, vis && layerOn, 0);
          general = false;
        }
        break;
      }
      case Oinstance:
        if (o->GetDataInstance()->GetBool(kHostInstanceRenderInstance)) {
          Do(o, M, vis && layerOn, skip);
          general = false;
        }
        break;
      default: break;
    }
    // An object whose layer is not rendered stays out of the scene, its caches with it.
    if (general && layerOn) {
      if (BaseObject* deformed = o->GetDeformCache())
        TraverseHierarchy(deformed, M, 0, vis);
      else if (BaseObject* cache = o->GetCache())
        TraverseHierarchy(cache, M, 0, vis);
      else
        Do(o, M, vis, skip);
    }

    // The children apply their own layers.
    if (BaseObject* child = o->GetDown()) TraverseHierarchy(child, M, 0, vis);

    if (single) break;
  }
  return 1;
}

int OrvaneSceneExporter::Do(BaseObject* obj, const LMatrix& mg, int visible, int skip) {
  if (!obj || skip || !visible || !sceneData) return 1;

  if (pass == 0) {
    // Only a light that is switched on claims its shape: the shape of a light that is off is
    // written as the object it is.
    if (obj->GetType() != Olight || !obj->GetDeformMode()) return 1;
    const BaseContainer* bc = obj->GetDataInstance();
    if (bc->GetLong(kLightType) == kLightTypeArea && bc->GetLong(kLightAreaShape) == kAreaShapeObject) {
      BaseList2D* shape = bc->GetLink(kLightAreaShapeObject, sceneData->document, Opolygon);
      if (shape && areaLightShapes) areaLightShapes->Append(shape);
    }
    return 1;
  }

  switch (obj->GetType()) {
    case Opolygon:
      // A polygon object that shapes an area light is written by the light's writer.
      if (areaLightShapes && areaLightShapes->Find(obj) != NOTOK) break;
      ExportPolygonObject(static_cast<PolygonObject*>(obj), mg);
      break;
    case Osphere: SceneExportModelSphere(obj, mg, 0); break;
    case Olight:
      if (!obj->GetDeformMode()) break;
      ExportLightObject(obj, mg);
      break;
    case Oinstance:
    case ID_ORVANEINSTANCE: {
      const LONG linkId = obj->GetType() == Oinstance ? kHostInstanceLink : INSTANCE_LINK;
      // Read in the exported document: an instance inside a cache lies in no document itself.
      BaseObject* link = obj->GetDataInstance()->GetObjectLink(linkId, sceneData->document);
      if (!link || Helpers::IsLinkedParent(obj, link) || !obj->GetDeformMode() || !sceneData->document) break;
      if (std::find(expandingInstances_.begin(), expandingInstances_.end(), obj) !=
          expandingInstances_.end()) {
        GePrint(String("Instance \"") + obj->GetName() +
                String("\" leads back to itself through other instances: not followed again."));
        break;
      }
      if (expandingInstances_.size() >= kMaxInstanceNesting) {
        GePrint(String("Instance \"") + obj->GetName() +
                String("\" lies too deep in other instances: skipped."));
        break;
      }
      // The linked object and its subtree again, at the instance's matrix.
      expandingInstances_.push_back(obj);
      TraverseHierarchy(link, mg, 1, 1);
      expandingInstances_.pop_back();
      break;
    }
    default: break;
  }
  return 1;
}

int OrvaneSceneExporter::RunPass(BaseDocument* doc, BaseObject* obj, LMatrix m, int single, int) {
  if (!doc) return 0;
  if (!obj) obj = doc->GetFirstObject();
  TraverseHierarchy(obj, m, single, 1);
  return 1;
}

void OrvaneSceneExporter::QuickAnimateScene(BaseTime time) {
  if (!sceneData || !sceneData->document) return;
  BaseDocument* doc = sceneData->document;
  for (BaseObject* o = doc->GetFirstObject(); o; o = o->GetNext()) doc->AnimateObject(o, time, 0);
}

void OrvaneSceneExporter::GetUsedMaterials(std::vector<BaseMaterial*>& out, PolygonObject* obj) {
  if (!obj) return;
  Helpers::TextureTagList tags = Helpers::GetUsedTextureTags(obj);
  auto add = [&out](TextureTag* tag) {
    BaseMaterial* mat = tag ? tag->GetMaterial() : nullptr;
    if (mat && std::find(out.begin(), out.end(), mat) == out.end()) out.push_back(mat);
  };
  for (BaseTag* t = obj->GetFirstTag(); t; t = t->GetNext()) {
    if (t->GetType() != Tpolygonselection || !static_cast<SelectionTag*>(t)->GetBaseSelect()) continue;
    add(Helpers::GetTexTagWithSelection(tags, t));
  }
  add(Helpers::GetTexTagWithSelection(tags, nullptr));
}

BaseObject* MakeObjectEditable(BaseObject* obj, BaseDocument* doc) {
  if (!obj) return nullptr;
  BaseLink* link = BaseLink::Alloc();
  link->SetLink(obj);
  ModelingCommandData cd;
  cd.doc = doc;
  cd.op = obj;
  cd.bc = obj->GetDataInstance();
  cd.mode = MODELINGCOMMANDMODE_ALL;
  cd.flags = MODELINGCOMMANDFLAGS_CREATEUNDO;
  SendModelingCommand(MCOMMAND_MAKEEDITABLE, cd);
  BaseObject* result = static_cast<BaseObject*>(link->GetLink(doc, Obase));
  BaseLink::Free(link);
  return result;
}

bool IsRenderInstance(BaseObject* obj) {
  return obj && obj->GetType() == Oinstance && obj->GetDataInstance()->GetBool(kHostInstanceRenderInstance);
}
