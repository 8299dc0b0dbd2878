// The scene exporter: writes the host's document as a renderer scene (".ovs") inside the host's
// cache-rebuilding traversal.
#pragma once

#include <tinyxml.h>

#include <cstdint>
#include <map>
#include <unordered_map>
#include <set>
#include <string>
#include <vector>

#include "c4d.h"
#include "export/orvanescenedata.h"

class OrvaneDLLWrapper;

/// Writes one scene per `initOVS` + `exportOVSWithCacheRebuild`, or one material file per
/// `exportOVM`. Users construct it on their stack and keep it for the duration of their exports.
/// The element writers are its members and share its fields; one exporter serves one thread.
class OrvaneSceneExporter : public Hierarchy {
 public:
  /// The kind of a "model": what light, if any, it carries.
  enum LightType { LIGHTTYPE_SPOT = 1, LIGHTTYPE_AREA = 2, LIGHTTYPE_NONE = 3 };

  /// An exporter holding nothing: no scene data, an empty XML document.
  OrvaneSceneExporter();
  /// Frees whatever an interrupted export still holds.
  ~OrvaneSceneExporter();
  OrvaneSceneExporter(const OrvaneSceneExporter&) = delete;
  OrvaneSceneExporter& operator=(const OrvaneSceneExporter&) = delete;

  // --- The host's traversal ---------------------------------------------------------

  /// No per-level data: null.
  void* Alloc() override;
  /// Nothing to free.
  void Free(void* data) override;
  /// Nothing to copy.
  void CopyTo(void* src, void* dst) override;
  /// The host's callback: writes the whole scene on the first call and ends the traversal.
  Bool Do(void* data, BaseObject* op, const LMatrix& mg, Bool controlobject) override;

  // --- Entry points -----------------------------------------------------------------

  /// Prepares the export of one frame: new scene data for `doc`, the scene's folder, base name and
  /// the folders of its meshes and textures beside it. The scene's folder is `sceneFolder` when
  /// given (walked once for all frames of a render), else it is walked here. `connection` and
  /// `network` are not used.
  void initOVS(BaseDocument* doc, OrvaneDLLWrapper* connection, Filename scene, int foregroundAlpha,
               int network, int clay, int animation, int frame, const files::Folder* sceneFolder = nullptr);
  /// Writes the prepared frame's scene inside the host's cache rebuild for an external renderer.
  /// 0 without scene data or document, else 1.
  int exportOVSWithCacheRebuild();
  /// Writes and saves the prepared scene, through the scene's open folder, with its new mesh and
  /// texture folders kept in the same step; 0 without scene data or document, else 1. A scene whose
  /// path (or a mesh path it would name) is longer than the system takes is not saved: no program
  /// could open it.
  int exportOVS();
  /// Writes the material `mat` of `doc`, with the materials it depends on, as the material file
  /// `file` (its suffix replaced by ".ovm"), and bakes its textures into the folder
  /// "textures." + the file's name beside it, which is emptied first. With `preview` the material
  /// is named "previewMat". 1 when the file was saved; 0 for a null document or material, for a
  /// file whose folder is not an absolute path, and when the file could not be saved (with a
  /// console line).
  int exportOVM(BaseDocument* doc, BaseMaterial* mat, Filename file, int preview);
  /// How many texture images the last `exportOVM` could not bake and write (each with a console
  /// line); the material file then goes without them.
  int failedImages() const { return lastFailedImages; }
  /// Resets the exporter's per-export state and chooses the scene's file name.
  void initVariables();

  // --- Passes and traversal ---------------------------------------------------------

  /// The default materials, the area-light shapes (pass 0) and the document's materials.
  void ExportPassMaterials();
  /// Every object and light of the document (pass 1).
  void ExportPassMeshes();
  /// The names of the light layers 1 to 10 in use.
  void ExportPassLighLayers();
  /// Visits `obj` and (unless `single`) its following siblings with their subtrees: `m` is the
  /// parent's global matrix, or with `single` the matrix `obj` is placed at. Always 1.
  int TraverseHierarchy(BaseObject* obj, LMatrix m, int single, int visible);
  /// Handles one object in the current pass. Always 1.
  int Do(BaseObject* obj, const LMatrix& mg, int visible, int skip);
  /// Visits `obj` (the document's first object when null) in the current pass; 0 without a
  /// document. The last argument has no effect.
  int RunPass(BaseDocument* doc, BaseObject* obj, LMatrix m, int single, int unused);
  /// Animates the document's top-level objects to `time`.
  void QuickAnimateScene(BaseTime time);
  /// Appends to `out` the materials that texture `obj` (those of its polygon selections in tag
  /// order, then the unrestricted one), each once, in order of first appearance.
  void GetUsedMaterials(std::vector<BaseMaterial*>& out, PolygonObject* obj);

  // --- Comments, metadata and light-layer names ----------------------------------------

  /// The three comments that head every file the exporter writes.
  void SceneExportCorvaneComments();
  /// The "metadata" element: exporter, platform and date of creation.
  void SceneExportErrorReportInfo();
  /// A "layer_name" element naming the light layer of dense index `index`.
  void SceneExportLayerName(String name, unsigned index);
  /// An "alias_material" element.
  void SceneExportAliasMaterial(String currentName, String newName);
  /// Appends a comment holding `text` to `parent` (the root element when null) and makes it
  /// `commentNode`. The text is kept valid inside a comment: "--" and a final "-" are broken up by
  /// a blank, characters XML does not allow become U+FFFD, and it is cut to fit `commentText`.
  void WriteComment(const String& text, TiXmlElement* parent = nullptr);

  // --- Models, meshes, spheres and exit portals -----------------------------------------

  /// Writes a polygon object: its mesh file once per mesh, its "mesh" element the first time this
  /// export names that mesh, then an "exit_portal" (under an enabled exit-portal tag), nothing
  /// more (under a disabled one or a light tag) or a "model". Objects without polygons are
  /// skipped, and so, with a line naming them, are objects whose place or mesh is not finite
  /// after the scene scale. Always true.
  bool ExportPolygonObject(PolygonObject* obj, LMatrix m);
  /// The file name of `obj`'s mesh ("mesh_" + checksum + ".ovmesh"; salt 0 for objects, 1 for the
  /// meshes of lights). A different mesh whose checksum collides with one named before gets
  /// "_2", "_3", ... after the checksum; so does one whose file this exporter wrote for another
  /// mesh in an earlier frame. `firstUse` is set when this export names the mesh for the first
  /// time (its "mesh" element is still to be written); `fingerprint` receives the mesh's.
  Filename MeshFileName(PolygonObject* obj, int salt, bool* firstUse, uint64_t* fingerprint);
  /// What `WriteMeshFile` made of a mesh.
  enum class MeshFile {
    kNamed,          ///< Its file is there, or its write failed and `unwrittenMesh` says so.
    kNotFinite,      ///< The mesh holds a number that is not finite: no file can be written.
    kFolderRefused,  ///< The export's folders are refused (`OrvaneSceneData::FolderRefusal`).
  };
  /// Converts `obj` and writes its mesh file `mesh` into the models folder unless a file of that
  /// name is there already; `fingerprint` is that of `MeshFileName`.
  MeshFile WriteMeshFile(PolygonObject* obj, const Filename& mesh, int lightMode, uint64_t fingerprint);
  /// Names, writes and declares the mesh of `obj` (salt 1 for a light's mesh): the "mesh" element
  /// on the first use of its file in this export, else one more counted instance. Answers the file,
  /// or an empty name, declaring nothing, when there is no file: for a mesh holding a number that
  /// is not finite, `kind` `owner` (the object or light it stands for) is reported as not exported
  /// (`ReportNotFinite`); a refused folder goes unsaid here, as the scene's last line names it.
  Filename ExportMeshOnce(PolygonObject* obj, int salt, const char* kind, BaseObject* owner);
  /// Appends "mesh": name comment, file name, smoothing, the file's path, and the subdivision
  /// settings of a subdivision tag. True.
  bool SceneExportMesh(BaseObject* obj, Filename& mesh);
  /// Appends "model" placing `mesh` at `m` (keyframes under motion blur). False, writing nothing,
  /// for a light type other than `LIGHTTYPE_NONE` without a light object.
  bool SceneExportModel(BaseObject* obj, Filename& mesh, LMatrix m, LightType type, BaseObject* light);
  /// Appends "exit_portal" placing `mesh` at `m`. True.
  bool SceneExportExitPortal(BaseObject* obj, Filename& mesh, LMatrix m);
  /// Appends "sphere": centre (or keyframes under motion blur), radius and material ("defaultLight"
  /// for a light). True.
  bool SceneExportModelSphere(BaseObject* obj, LMatrix m, int light);

  // --- Lights ---------------------------------------------------------------------------

  /// Writes an enabled host light as emitting geometry by its type: a point light (result 0), a
  /// spot light or an area light (result 1 when written). Other types write nothing (0).
  int ExportLightObject(BaseObject* light, LMatrix matrix);
  /// A point light: its "defaultLight" material and a "sphere" of radius 0.01 at its place.
  void SceneExportPointLight(BaseObject* light, LMatrix matrix);
  /// A spot light: its "defaultLight" material and a 0.001 square mesh facing its Z axis, whose
  /// model carries an IES profile (the tag's, else the plug-in's default). 1 when written.
  int SceneExportSpotLight(BaseObject* light, LMatrix matrix);
  /// An area light of a built-in shape (disc, rectangle, sphere, cylinder, cube, hemisphere): its
  /// "defaultLight" material and a mesh of that shape and size. 0, writing nothing, for any other
  /// shape number. 1 when written.
  int SceneExportAreaLight(BaseObject* light, LMatrix matrix);
  /// An area light shaped by its linked polygon object: its "defaultLight" material and that
  /// object's mesh at the object's own place. 0, writing nothing, without such an object.
  int SceneExportAreaLightCustom(BaseObject* light, LMatrix matrix);

  // --- Render settings, camera and tonemapping --------------------------------------------

  /// Finds the render view's scene camera (else the view's editor camera) and copies its
  /// container and that of its camera tag.
  void GetSceneCameraData();
  /// Writes the render settings into `rendererSettings` and sets the scene scale and the clay
  /// albedo; FALSE, after a short list, when the document has no render settings.
  Bool SceneExportRenderSettings(TiXmlElement* rendererSettings);
  /// True without a camera, or when the camera's place, axes, focus distance and keyframes are
  /// finite after the scene scale.
  bool CameraIsFinite();
  /// Writes "camera" into the scene and the camera's image settings into `rendererSettings`; a
  /// camera whose coordinates are not finite is replaced, with a line naming it, by the camera at
  /// the origin that stands in for a missing one. 1.
  int SceneExportCamera(TiXmlElement* rendererSettings);
  /// Writes "tonemapping" into the scene from the camera tag. 1.
  int SceneExportTonemapping();

  // --- Transforms, keyframes and motion blur -----------------------------------------------

  /// True when `m`'s position times the scene scale and its axes are finite numbers.
  bool PlacementIsFinite(const LMatrix& m) const;
  /// Counts a `kind` ("Object", "Light", "Camera") left out of the scene because its coordinates
  /// are not finite and prints one line naming it.
  void ReportNotFinite(const char* kind, BaseObject* obj);
  /// Appends "pos" (scaled, y and z exchanged) and "rotation" with the matrix of `m`'s axes.
  /// The placement writers set `placementNotFinite` when a number they wrote is not finite.
  bool SceneExportPosAndMatrix(TiXmlElement* parent, LMatrix m);
  /// Appends "rotation" with the diagonal matrix of `m`'s axis lengths.
  bool SceneExportMoBlurMatrix(TiXmlElement* parent, LMatrix m);
  /// For an object under a motion-blur tag: appends comments and keyframes sampled across the
  /// exposure and answers true; otherwise writes nothing and answers false. The keyframes follow
  /// the object's global matrix; while an instance is being expanded they are `m` (the place the
  /// instance puts the object at) composed with the object's motion since the exported frame.
  bool SceneExportObjectMotionBlur(TiXmlElement* parent, BaseObject* op, LMatrix m);
  /// Appends one "keyframe": time, scaled position, rotation axis and angle.
  void SceneExportKeyframe(double time, TiXmlElement* parent, double angle, LVector axis, LVector position);
  /// True, with `strength` set, when `op` or an ancestor (across generator caches) carries a
  /// motion-blur tag.
  bool ObjectHasMotionBlurTag(BaseObject* op, double& strength);

  // --- Default materials, lights' material and emission scaling ------------------------

  /// Appends the default material "defaultMat" (a grey diffuse, or in clay mode an Oren-Nayar of
  /// the clay colour) and the null material "nullMat".
  void SceneExportDefaultMats();
  /// Appends one emitting material "defaultLight" for `light`: spectrum and light layer from its
  /// light tag, or without one its colour times its brightness on layer 0. 0 for a null light.
  int SceneExportDefaultLightMaterial(BaseObject* light);
  /// Appends the sky, sun or background that the render settings' lighting mode chooses (a uniform
  /// background without render settings), with the light-layer names of sun and sky. 0 when the
  /// background mode finds no usable background material, else 1.
  int SceneExportLighting();
  /// Appends an "emission_scale" for the material `name` when the plug-in material's `data`
  /// switches emission scaling on.
  void SceneExportEmissionScaleElement(TiXmlElement* parent, BaseContainer* data, String name);
  /// Appends an "emission_scale" for "defaultLight" when the light tag's `data` (may be null)
  /// switches emission scaling on.
  void SceneExportEmissionScaleElementLT(TiXmlElement* parent, BaseContainer* data);
  /// Appends an "ies_profile" naming the material and the profile's path.
  void SceneExportIESProfile(TiXmlElement* parent, std::string name, std::string path);
  /// The emission scaling and IES profiles of the plug-in materials among `materials`.
  void SceneExportLigthScaling(TiXmlElement* parent, std::vector<BaseMaterial*>& materials);
  /// The emission scaling and IES profile of a light tag (may be null).
  void SceneExportLigthScalingLT(TiXmlElement* parent, BaseTag* tag);

  // --- State shared with the element writers ------------------------------------------

  OrvaneSceneData* sceneData = nullptr;     ///< Per-export data; null between exports.
  TiXmlDocument xmlDocument;                ///< The XML document being built.
  TiXmlElement* sceneElement = nullptr;     ///< The root element, owned by `xmlDocument`.
  TiXmlNode* commentNode = nullptr;         ///< The comment written last.
  BaseContainer* renderSettings = nullptr;  ///< The document's render settings, or null.
  BaseObject* camera = nullptr;             ///< The scene camera.
  BaseContainer cameraData;                 ///< Copy of the camera's container.
  BaseContainer cameraTagData;              ///< Copy of the camera tag's container.
  int hasCameraTag = 0;                     ///< 1 when the camera carries a camera tag.
  AtomArray* areaLightShapes = nullptr;     ///< Polygon objects that shape area lights.
  std::map<ULONG, int> meshChecksums;       ///< Checksums of the meshes written in this export.
  /// Per checksum, the fingerprints of the different meshes this export named with it, in order.
  std::unordered_map<ULONG, std::vector<uint64_t>> meshFingerprints;
  /// Hashes a mesh object with its salt.
  struct MeshKeyHash {
    size_t operator()(const std::pair<const PolygonObject*, int>& k) const {
      return std::hash<const void*>()(k.first) ^ (static_cast<size_t>(k.second) * 0x9E3779B97F4A7C15ull);
    }
  };
  /// Checksum and fingerprint of each document mesh (and salt) met in this export: the object that
  /// many instances show is checksummed once.
  std::unordered_map<std::pair<const PolygonObject*, int>, std::pair<ULONG, uint64_t>, MeshKeyHash> meshKeys;
  /// The mesh files this exporter wrote, in any export, with the fingerprints of their meshes.
  std::unordered_map<std::string, uint64_t> writtenMeshFiles;
  int pass = 0;                     ///< 0 gathers, 1 exports.
  char commentText[2000] = {};      ///< Text of the comment being written.
  int instanceCount = 0;            ///< Models that reused a mesh already written.
  int notFiniteCount = 0;           ///< Things left out for coordinates not finite.
  bool placementNotFinite = false;  ///< Set when a placement writer met a non-finite number.
  bool sceneSaved = false;          ///< The last export saved its scene file.
  std::string saveFailure;          ///< Why the last scene or material file was not saved.
  std::string unwrittenMesh;        ///< The first mesh file the last export could not write.
  std::string unwrittenMeshReason;  ///< Why that mesh file was not written (`files::Result::Text`).
  std::string refusedFolder;        ///< Why the last export refused its mesh or texture folder.
  std::string unusableTexture;      ///< The texture the last export's scene could not name, and why.
  String baseName;                  ///< Scene file name without suffix.
  String fileName;                  ///< File name of the scene to save.

 private:
  // Frees what one export built: the XML document, the area-light shapes and the scene data.
  void FreeExportState();
  // Texture images the last material-file export could not write.
  int lastFailedImages = 0;

  // The light's "defaultLight" material, then the light mesh `mesh` at `matrix`: its mesh file
  // (once), its "mesh" element (first use in this export) and its "model".
  void ExportLightMesh(BaseObject* light, PolygonObject* mesh, const LMatrix& matrix, LightType type);

  // The instance objects whose links are being followed, innermost last: a link that leads back
  // into one of them would never end.
  std::vector<BaseObject*> expandingInstances_;
};

/// Makes `obj` editable in `doc` (the host's modelling command) and answers the object that then
/// stands in its place; null for a null object.
BaseObject* MakeObjectEditable(BaseObject* obj, BaseDocument* doc);
/// True for a host instance object set to render as an instance.
bool IsRenderInstance(BaseObject* obj);
