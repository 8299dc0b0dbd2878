// The geometry of the scene: meshes with their files, models, exit portals and spheres.
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "export/meshchecksum.h"
#include "export/orvanesceneexporter.h"
#include "files/folder.h"
#include "export/wavefrontexport.h"
#include "export/xmlbuilders.h"
#include "main/helpers.h"
#include "tag/myexitportal.h"
#include "tag/mylighttagids.h"
#include "tag/mysubdivision.h"

namespace {

constexpr LONG kSphereRadius = 1110;

// "mesh_" + checksum, then "_2", "_3", ... for the further meshes of one checksum.
Filename NumberedMeshName(ULONG checksum, size_t number) {
  String name = String("mesh_") + Helpers::ULongToString(checksum);
  if (number > 0) name += String("_") + Helpers::ULongToString(static_cast<unsigned>(number + 1));
  Filename file;
  file.SetFile(Filename(name));
  file.SetSuffix("ovmesh");
  return file;
}

}  // namespace

Filename OrvaneSceneExporter::MeshFileName(PolygonObject* obj, int salt, bool* firstUse,
                                           uint64_t* fingerprint) {
  // An object of the document stays as it is through one export; caches and temporary objects
  // may come and go, so only the document's own meshes are remembered.
  MeshChecksum::Key key;
  const bool inDocument = obj->GetDocument() == sceneData->document;
  auto known = inDocument ? meshKeys.find({obj, salt}) : meshKeys.end();
  if (known != meshKeys.end()) {
    key.checksum = known->second.first;
    key.fingerprint = known->second.second;
  } else {
    key = MeshChecksum::CalcMeshKey(obj, salt, sceneData->globalScale, sceneData->document,
                                    sceneData->materialNames.get());
    if (inDocument) meshKeys[{obj, salt}] = {key.checksum, key.fingerprint};
  }
  if (fingerprint) *fingerprint = key.fingerprint;
  std::vector<uint64_t>& named = meshFingerprints[key.checksum];
  auto it = std::find(named.begin(), named.end(), key.fingerprint);
  if (it != named.end()) {
    if (firstUse) *firstUse = false;
    return NumberedMeshName(key.checksum, static_cast<size_t>(it - named.begin()));
  }
  // A new mesh for this export. A number whose file this exporter wrote for another mesh (in an
  // earlier frame) stays with that mesh and is passed over.
  for (;;) {
    const Filename file = NumberedMeshName(key.checksum, named.size());
    auto written = writtenMeshFiles.find(WavefrontExport::MeshFilePath(sceneData->modelsDir, file));
    if (written == writtenMeshFiles.end() || written->second == key.fingerprint) break;
    named.push_back(written->second);
  }
  named.push_back(key.fingerprint);
  meshChecksums[key.checksum] = 1;
  if (firstUse) *firstUse = true;
  return NumberedMeshName(key.checksum, named.size() - 1);
}

OrvaneSceneExporter::MeshFile OrvaneSceneExporter::WriteMeshFile(PolygonObject* obj, const Filename& mesh,
                                                                 int lightMode, uint64_t fingerprint) {
  WavefrontExport exporter;
  const std::string file = WavefrontExport::MeshFilePath(sceneData->modelsDir, mesh);
  // Not in a mesh folder that another user planted, nor reused from one; once any folder of the
  // export is refused, no scene is saved and no mesh is worth converting.
  if (!sceneData->UseFolder(sceneData->modelsDir)) return MeshFile::kFolderRefused;
  // The name holds the mesh's checksum: a file of that name is that mesh, written before. Only a
  // file itself counts; through a link the file is written anew, and a FIFO or a device there is
  // refused when the mesh is written. A path no program could open is refused there too.
  const files::Folder models = sceneData->OpenFolder(sceneData->modelsDir);
  struct stat st;
  if (Helpers::PathFits(file) &&
      ::fstatat(models.Descriptor(), Helpers::ToUTF8String(mesh.GetString()).c_str(), &st,
                AT_SYMLINK_NOFOLLOW) == 0 &&
      S_ISREG(st.st_mode))
    return MeshFile::kNamed;
  exporter.WriteInto(models);
  if (exporter.ExportObj(sceneData->document, sceneData->modelsDir, mesh, obj, sceneData->globalScale,
                         lightMode, sceneData->materialNames.get()))
    writtenMeshFiles[file] = fingerprint;
  else if (!exporter.NotFinite() && unwrittenMesh.empty()) {
    unwrittenMesh = file;  // the renderer must not start on a scene without it
    unwrittenMeshReason = exporter.WriteError().Text();
  }
  return exporter.NotFinite() ? MeshFile::kNotFinite : MeshFile::kNamed;
}

Filename OrvaneSceneExporter::ExportMeshOnce(PolygonObject* obj, int salt, const char* kind,
                                             BaseObject* owner) {
  bool firstUse = false;
  uint64_t fingerprint = 0;
  Filename mesh = MeshFileName(obj, salt, &firstUse, &fingerprint);
  const MeshFile written = WriteMeshFile(obj, mesh, salt, fingerprint);
  if (written != MeshFile::kNamed) {
    // Named but never written: a later use of the same mesh tries again and fails the same way,
    // and no "mesh" element names it.
    if (written == MeshFile::kNotFinite) ReportNotFinite(kind, owner);
    return Filename();
  }
  if (firstUse)
    SceneExportMesh(obj, mesh);
  else
    ++instanceCount;
  return mesh;
}

bool OrvaneSceneExporter::ExportPolygonObject(PolygonObject* obj, LMatrix m) {
  if (!obj || !sceneData || obj->GetPolygonCount() <= 0) return true;
  if (!PlacementIsFinite(m)) {
    ReportNotFinite("Object", obj);
    return true;
  }
  Filename mesh = ExportMeshOnce(obj, 0, "Object", obj);
  if (!mesh.Content()) return true;

  if (BaseTag* portal = obj->GetTag(ID_MYEXITPORTAL)) {
    if (portal->GetDataInstance()->GetBool(PORTAL_ENABLED, FALSE)) SceneExportExitPortal(obj, mesh, m);
    return true;
  }
  if (!obj->GetTag(ID_MYLIGHTTAG)) SceneExportModel(obj, mesh, m, LIGHTTYPE_NONE, nullptr);
  return true;
}

bool OrvaneSceneExporter::SceneExportMesh(BaseObject* obj, Filename& mesh) {
  TiXmlElement* element = new TiXmlElement("mesh");
  WriteComment(obj->GetName(), element);
  SceneExportStringValue("name", mesh.GetFileString(), element);
  SceneExportBoolValue("normal_smoothing", obj->GetTag(Tphong) ? 1 : 0, element);
  TiXmlElement* external = new TiXmlElement("external");
  SceneExportStringValue("path", WavefrontExport::MeshFilePath(sceneData->modelsDir, mesh), external);
  element->LinkEndChild(external);
  SceneExportBoolValue("merge_vertices_with_same_pos_and_normal", 0, element);
  if (BaseTag* tag = obj->GetTag(ID_MYSUBDIVISION)) {
    const BaseContainer bc = tag->GetData();
    SceneExportLongValue("max_num_subdivisions", bc.GetLong(SUBDIV_MAX_NUM_SUBDIVISIONS, 0), element);
    SceneExportRealValue("subdivide_pixel_threshold", bc.GetReal(SUBDIV_PIXEL_THRESHOLD, 0.0), element);
    SceneExportRealValue("subdivide_curvature_threshold", bc.GetReal(SUBDIV_CURVATURE_THRESHOLD, 0.0),
                         element);
    SceneExportRealValue("displacement_error_threshold", bc.GetReal(SUBDIV_DISPLACEMENT_ERROR_THRESHOLD, 0.0),
                         element);
    SceneExportBoolValue("subdivision_smoothing", bc.GetBool(SUBDIV_SMOOTHING, FALSE), element);
    SceneExportBoolValue("view_dependent_subdivision", bc.GetBool(SUBDIV_VIEW_DEPENDENT, FALSE), element);
    SceneExportBoolValue("wrap_u", bc.GetBool(SUBDIV_WRAP_U, FALSE), element);
    SceneExportBoolValue("wrap_v", bc.GetBool(SUBDIV_WRAP_V, FALSE), element);
  }
  sceneElement->LinkEndChild(element);
  return true;
}

bool OrvaneSceneExporter::SceneExportModel(BaseObject* obj, Filename& mesh, LMatrix m, LightType type,
                                           BaseObject* light) {
  if (type != LIGHTTYPE_NONE && !light) return false;
  TiXmlElement* model = new TiXmlElement("model");
  WriteComment(obj->GetName(), model);
  SceneExportRealValue("scale", 1.0, model);
  SceneExportStringValue("mesh_name", mesh.GetFileString(), model);
  placementNotFinite = false;
  if (SceneExportObjectMotionBlur(model, obj, m))
    SceneExportMoBlurMatrix(model, m);
  else
    SceneExportPosAndMatrix(model, m);
  if (placementNotFinite) {
    delete model;
    ReportNotFinite(light ? "Light" : "Object", light ? light : obj);
    return false;
  }

  // What makes the model emit: the light tag's scaling and profile, a spot's default profile, or
  // the scaling and profiles of the materials the object uses.
  BaseTag* lightTag = light ? light->GetTag(ID_MYLIGHTTAG) : nullptr;
  switch (static_cast<int>(type)) {
    case LIGHTTYPE_SPOT: {
      Bool tagProfile = false;
      if (lightTag) {
        tagProfile = lightTag->GetDataInstance()->GetBool(LIGHTTAG_IES, FALSE);
        SceneExportLigthScalingLT(model, lightTag);
      }
      if (!tagProfile) {
        const Filename profile = GeGetPluginPath() + Filename("presets") + Filename("default.ies");
        SceneExportIESProfile(model, "defaultLight", Helpers::ToUTF8String(profile.GetString()));
      }
      break;
    }
    case LIGHTTYPE_AREA:
    case 0:  // no kind given: as an area light
      if (lightTag) SceneExportLigthScalingLT(model, lightTag);
      break;
    case LIGHTTYPE_NONE: {
      std::vector<BaseMaterial*> materials;
      if (obj->GetType() == Opolygon) GetUsedMaterials(materials, static_cast<PolygonObject*>(obj));
      SceneExportLigthScaling(model, materials);
      break;
    }
  }
  sceneElement->LinkEndChild(model);
  return true;
}

bool OrvaneSceneExporter::SceneExportExitPortal(BaseObject* obj, Filename& mesh, LMatrix m) {
  TiXmlElement* portal = new TiXmlElement("exit_portal");
  WriteComment(obj->GetName(), portal);
  SceneExportRealValue("scale", 1.0, portal);
  SceneExportStringValue("mesh_name", mesh.GetFileString(), portal);
  placementNotFinite = false;
  SceneExportPosAndMatrix(portal, m);
  if (placementNotFinite) {
    delete portal;
    ReportNotFinite("Object", obj);
    return false;
  }
  sceneElement->LinkEndChild(portal);
  return true;
}

bool OrvaneSceneExporter::SceneExportModelSphere(BaseObject* obj, LMatrix m, int light) {
  TiXmlElement* sphere = new TiXmlElement("sphere");
  WriteComment(obj->GetName(), sphere);
  const double scale = sceneData->globalScale;
  const double radius = obj->GetDataInstance()->GetReal(kSphereRadius, 1.0) * scale;
  placementNotFinite = !std::isfinite(radius);
  if (!SceneExportObjectMotionBlur(sphere, obj, m)) {
    const LVector center = m.off * scale;
    if (!std::isfinite(center.x) || !std::isfinite(center.y) || !std::isfinite(center.z))
      placementNotFinite = true;
    SceneExportVectorValue("center", center, sphere, 1);
  }
  if (placementNotFinite) {
    delete sphere;
    ReportNotFinite(light ? "Light" : "Object", obj);
    return false;
  }
  SceneExportRealValue("radius", radius, sphere);
  std::string material = "defaultLight";
  if (!light) {
    material = "defaultMat";
    Helpers::TextureTagList tags = Helpers::GetUsedTextureTags(obj);
    TextureTag* tex = Helpers::GetTexTagWithSelection(tags, nullptr);
    if (BaseMaterial* mat = tex ? tex->GetMaterial() : nullptr)
      material = Helpers::ToUTF8String(sceneData->MaterialName(mat));
  }
  SceneExportStringValue("material_name", material, sphere);
  sceneElement->LinkEndChild(sphere);
  return true;
}
