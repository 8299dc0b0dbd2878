// The "Import .ovm" command: turns every "material" element of a material file (".ovm", or the
// ".ovm" inside a ".povm" archive) into a plug-in material of the active document.
//
// The command reads the file's frame itself ("scenedata", "material", "name", the type element),
// has the scene-format library's readers build the element model of each type element, and copies
// that model onto the material's parameters through the type, channel, texture and medium
// importers (importmaterials.cpp, importchannels.cpp, importtextures.cpp, importmedium.cpp).
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "c4d.h"
#include "orvane_utils/OrvaneMaterial.h"
#include "orvane_utils/OrvaneTexture.h"
#include "utils/reference.h"

class TiXmlDocument;
class TiXmlElement;

namespace Orvane {
class OrvaneBlendMaterial;
class OrvaneWavelengthDependentParam;
class OrvaneWavelengthIndependentParam;
class OrvaneDisplacementParam;
}  // namespace Orvane

/// The colour divided by its largest component when a component exceeds 1.0 (ties go to x, then
/// y), that component becoming exactly 1.0 and its value stored in `brightness` (when not null);
/// otherwise the colour unchanged and `brightness` untouched.
LVector ColorVectorConversion(LVector colour, Real* brightness);

/// Imports the materials of a material file.
class ImportOVM : public CommandData {
 public:
  /// The model's texture list.
  typedef std::vector<Orvane::OrvaneTexture> TextureList;

  ImportOVM() = default;
  ~ImportOVM() override;
  ImportOVM(const ImportOVM&) = delete;
  ImportOVM& operator=(const ImportOVM&) = delete;

  /// Asks for a ".ovm" or ".povm" file and imports it into `doc`. False, having said why on the
  /// console or in a dialog, when no file was chosen or the file could not be imported whole.
  Bool Execute(BaseDocument* doc) override;

  // --- The run ------------------------------------------------------------------------------

  /// Imports the file `file` (".ovm", or ".povm" unpacked first) into `doc`, then shows the
  /// gathered warnings in one dialog. What `Execute` does once a file is chosen. False when
  /// nothing could be imported: a file that is not a material file ("no ovm"), an archive that
  /// cannot be unpacked ("Could not unpack <path>: <reason>" on the console), one whose material
  /// file lies in a folder of it, not at its top level ("Could not import <path>: the material file
  /// must be at the archive's top level; found <its path in the archive>"), a file that cannot
  /// be read or has no "scenedata" ("Could not read material file <path>: <reason>"), or an
  /// import that stopped (see `ImportXml`). False too for a file that was not read whole: one
  /// that is not well-formed XML has what comes before its fault imported, the console line
  /// "Material file is not well-formed: <what> (line L, column C)" and, last, the dialog "The
  /// material file was not read whole: only what comes before line L, column C was imported."
  Bool ImportFile(BaseDocument* doc, const Filename& file);
  /// Imports every "material" of the loaded XML `xml` into `doc`; `file` is where the XML came
  /// from (texture paths are relative to its folder). Nothing thrown escapes: an exception ends
  /// the run with the materials made so far and one message, and false. False too without a
  /// document or "scenedata". Warnings are gathered, not shown.
  Bool ImportXml(BaseDocument* doc, TiXmlDocument& xml, const Filename& file);
  /// Shows the gathered warnings in one dialog "Import warnings:" and forgets them.
  void ShowWarnings();

  /// Creates one material from one "material" element, a blend's partners ahead of it; false only
  /// when an element is missing or the material cannot be allocated. An element is imported at
  /// most once per run. However long a chain of blends naming each other, the stack stays flat.
  Bool ImportMaterial(TiXmlElement* materialElement, TiXmlElement* sceneDataElement);
  /// The first material of this run named exactly `name`, or null.
  BaseMaterial* FindImportedMat(String name);

  // --- Type importers (false only for a null model) -----------------------------------------

  Bool ImportDiffuse(BaseContainer* data, Orvane::OrvaneMaterial* model, BaseMaterial* mat);
  Bool ImportOrenNayar(BaseContainer* data, Orvane::OrvaneMaterial* model, BaseMaterial* mat);
  Bool ImportDiffuseTrans(BaseContainer* data, Orvane::OrvaneMaterial* model, BaseMaterial* mat);
  Bool ImportPhong(BaseContainer* data, Orvane::OrvaneMaterial* model, BaseMaterial* mat);
  Bool ImportSpecular(BaseContainer* data, Orvane::OrvaneMaterial* model, BaseMaterial* mat,
                      TiXmlElement* sceneData);
  Bool ImportGlossyTrans(BaseContainer* data, Orvane::OrvaneMaterial* model, BaseMaterial* mat,
                         TiXmlElement* sceneData);

  // --- Channel importers (always true) ------------------------------------------------------

  Bool ImportAlbedo(BaseContainer* data, Orvane::OrvaneWavelengthDependentParam* param,
                    const TextureList& textures, BaseMaterial* mat);
  Bool ImportAbsorptionLayer(BaseContainer* data, Orvane::OrvaneWavelengthDependentParam* param,
                             const TextureList& textures, BaseMaterial* mat);
  Bool ImportEmission(BaseContainer* data, Orvane::OrvaneWavelengthDependentParam* param,
                      const TextureList& textures, BaseMaterial* mat);
  /// Only a constant reaches the material: emission on, the spectrum and its values.
  Bool ImportBaseEmission(BaseContainer* data, Orvane::OrvaneWavelengthDependentParam* param,
                          BaseMaterial* mat);
  Bool ImportExponent(BaseContainer* data, Orvane::OrvaneWavelengthIndependentParam* param,
                      const TextureList& textures, BaseMaterial* mat);
  Bool ImportSigma(BaseContainer* data, Orvane::OrvaneWavelengthIndependentParam* param,
                   const TextureList& textures, BaseMaterial* mat);
  Bool ImportBump(BaseContainer* data, Orvane::OrvaneDisplacementParam* param, const TextureList& textures,
                  BaseMaterial* mat);
  Bool ImportDisplacement(BaseContainer* data, Orvane::OrvaneDisplacementParam* param,
                          const TextureList& textures, BaseMaterial* mat);
  Bool ImportBlend(BaseContainer* data, Orvane::OrvaneDisplacementParam* param, const TextureList& textures,
                   BaseMaterial* mat);

  /// A new OVL code shader holding `code`, in the document's shader list, linked at `linkId`
  /// with `switchId` on. Nothing for a null container or when the shader cannot be made.
  void ImportShader(int linkId, int switchId, std::string code, BaseContainer* container);

  // --- Textures -----------------------------------------------------------------------------

  /// The texture setters: load the image into the channel and write its four mapping values.
  Bool ImportDiffuseTexture(BaseContainer* data, const Orvane::OrvaneTexture* tex, BaseMaterial* mat);
  Bool ImportAbsorptionLayerTexture(BaseContainer* data, const Orvane::OrvaneTexture* tex, BaseMaterial* mat);
  Bool ImportEmissionMap(BaseContainer* data, const Orvane::OrvaneTexture* tex, BaseMaterial* mat);
  Bool ImportExponentMap(BaseContainer* data, const Orvane::OrvaneTexture* tex, BaseMaterial* mat);
  Bool ImportSigmaMap(BaseContainer* data, const Orvane::OrvaneTexture* tex, BaseMaterial* mat);
  Bool ImportBumpMap(BaseContainer* data, const Orvane::OrvaneTexture* tex, BaseMaterial* mat);
  Bool ImportDisplacementMap(BaseContainer* data, const Orvane::OrvaneTexture* tex, BaseMaterial* mat);
  Bool ImportBlendMap(BaseContainer* data, const Orvane::OrvaneTexture* tex, BaseMaterial* mat);
  /// Finds the image `path` (a drive path as written, else relative to the material file's
  /// folder; a "/..." path not found there as written), prints "Loaded texture: " or "Failed to
  /// load texture from: " with the candidate, and links a new bitmap shader of the material.
  void LoadTexture(BaseMaterial* mat, BaseContainer* container, int linkId, int switchId,
                   const std::string& path);

  // --- Medium -------------------------------------------------------------------------------

  /// Copies the first "medium" of "scenedata" named `mediumName` onto the medium parameters.
  void ImportMedium(BaseContainer* container, TiXmlElement* sceneDataElement, String mediumName);
  /// The first three blank-separated numbers of `text` (missing ones 0.0) through
  /// `ColorVectorConversion` with `brightness`.
  LVector StringToVector(String text, Real* brightness);

  // --- State of the command -----------------------------------------------------------------

  BaseDocument* document = nullptr;  ///< The document of the running import.
  Filename fileName;                 ///< The chosen file; after a ".povm", its unpacked ".ovm".
  std::vector<String> warnings;      ///< Warnings of the running import, in order.

 private:
  /// A blend material whose partners are being imported ahead of it.
  struct PendingBlend {
    TiXmlElement* element = nullptr;  ///< Its "material" element.
    BaseMaterial* mat = nullptr;
    BaseContainer* data = nullptr;
    Orvane::OrvaneBlendMaterial* model = nullptr;
    Reference<Orvane::OrvaneMaterial> owner;  ///< Holds `model` when the import made it.
    TiXmlElement* sceneData = nullptr;
    int partner = 0;                     ///< 0: partner a, 1: partner b, 2: both done.
    bool listed = false;                 ///< `matches` holds the elements of the current partner.
    std::vector<TiXmlElement*> matches;  ///< The "material" elements named as the current partner.
    size_t match = 0;                    ///< The next of `matches` to take up.
    bool importing = false;              ///< `matches[match]` is being imported.
  };
  /// What `ImportMaterial` does up to a blend's partners: a blend is left in `blends`, every
  /// other material is finished.
  Bool BeginMaterial(TiXmlElement* materialElement, TiXmlElement* sceneDataElement,
                     std::vector<PendingBlend>& blends);
  /// Sets the blend type of `mat`; for a blend model, adds it to `blends` and answers true.
  bool StartBlend(BaseContainer* data, Orvane::OrvaneMaterial* model, BaseMaterial* mat,
                  TiXmlElement* sceneData, std::vector<PendingBlend>& blends);
  /// Works through `blends` until it is empty: each blend's partners in turn (each imported
  /// first when needed, its own partners pushed on top), then the rest of the blend.
  void RunBlends(std::vector<PendingBlend>& blends);
  /// Links the partners of `blend` that are already imported; answers the next "material"
  /// element to import first, or null when both partners are done.
  TiXmlElement* NextPartner(PendingBlend& blend);
  /// Adds an imported material of `element` to this run's list and sets its channel switches.
  void FinishMaterial(TiXmlElement* element, BaseMaterial* mat);
  /// Empties the indexes of the file being imported and the elements still in progress.
  void ForgetFileIndexes();
  /// Adds the warning `lead` + the quoted name of `mat` + " not supported.".
  void Warn(const char* lead, BaseMaterial* mat);
  /// The "material" elements of "scenedata" of that name, in file order (made at the first use).
  const std::vector<TiXmlElement*>& MaterialElementsNamed(TiXmlElement* sceneData, const String& name);
  /// Materials made by the running import, in creation order (owned by the document), and the
  /// first of each name.
  std::vector<BaseMaterial*> importedMaterials_;
  /// While a ".povm" is imported: the folder it was unpacked into, which gets its own name only
  /// once the import keeps it, and that name (each with a slash). Paths into the folder are shown
  /// and kept under its own name.
  std::string unpackedFrom_, unpackedAs_;
  /// The bitmap shaders the running import linked.
  std::vector<BaseShader*> loadedTextures_;
  /// `path` with `unpackedFrom_` at its start replaced by `unpackedAs_`.
  std::string Shown(const std::string& path) const;
  /// The console's line `words` + the texture `path`: at once, or while a ".povm" is imported once
  /// its folder has its own name (`SayTextures`), so that each import names its own files.
  void SayTexture(const char* words, const std::string& path);
  /// Says the lines `SayTexture` held, under the folder's name now.
  void SayTextures();
  /// The lines held by `SayTexture`: their words and paths.
  std::vector<std::pair<const char*, std::string>> textureLines_;
  std::map<String, BaseMaterial*> importedByName_;
  /// The "material" elements of the running import's "scenedata" by name.
  std::map<String, std::vector<TiXmlElement*>> elementsByName_;
  TiXmlElement* indexedSceneData_ = nullptr;
  /// The first "medium" element of each name in "mediaSceneData_" (made at the first use).
  std::map<String, const TiXmlElement*> mediaByName_;
  TiXmlElement* mediaSceneData_ = nullptr;
  /// True while `ImportXml` runs: the indexes above are valid only then.
  bool running_ = false;
  /// "material" elements of the running import already taken up, and those still being imported.
  std::set<const TiXmlElement*> visited_;
  std::set<const TiXmlElement*> inProgress_;
};

/// Registers the command under the name of string resource 10014; true without registering
/// when that name is empty.
Bool RegisterImportOVM();

/// Plug-in ID of the import command.
constexpr LONG ID_IMPORTOVM = 1022469;
