// The plug-in material: carries the renderer's material models. Its whole state lives in its
// parameter container (materialparams.h); the object itself holds only the working state of one
// running export.
#pragma once

#include <string>

#include "c4d.h"
#include "material/materialparams.h"
#include "shader/ovlshaderdata.h"

class TiXmlElement;
struct OrvaneSceneData;

/// The Orvane material.
class CustomOrvaneMaterial : public MaterialData {
 public:
  /// A new material's data for the host.
  static NodeData* Alloc() { return new CustomOrvaneMaterial; }

  /// Writes every default of the parameter set into the material's container (overwriting what it
  /// holds), then `SetChannels`. True.
  Bool Init(GeListNode* node) override;
  /// The render information the material asks of the host: 0x6000006.
  LONG GetRenderInfo(BaseMaterial* mat) override;
  /// Sets the channel and page switches from `MAT_TYPE`.
  static void SetChannels(BaseContainer* data);

  // --- Export: dispatch and models ---------------------------------------------------------

  /// Writes this material (`name` is its element name) with the clay override and alpha wrapper.
  /// A list `done` given must already hold the material (or the host material it stands for);
  /// without one the call keeps a list of its own.
  void ExportMaterialXml(String name, TiXmlElement* parent, AtomArray* done, int background,
                         OrvaneSceneData* sd);
  /// The model writers: one "material" element each; false when `mat` is null.
  Bool MaterialExportBlendMat(String name, BaseMaterial* mat, TiXmlElement* parent);
  Bool MaterialExportDiffuseMaterial(String name, BaseMaterial* mat, TiXmlElement* parent);
  Bool MaterialExportOrenNayarMaterial(String name, BaseMaterial* mat, TiXmlElement* parent);
  Bool MaterialExportPhongMaterial(String name, BaseMaterial* mat, TiXmlElement* parent);
  Bool MaterialExportDiffuseTransMaterial(String name, BaseMaterial* mat, TiXmlElement* parent);
  Bool MaterialExportSpecularMaterial(String name, BaseMaterial* mat, TiXmlElement* parent);
  Bool MaterialExportGlossyMaterial(String name, BaseMaterial* mat, TiXmlElement* parent);
  Bool MaterialExportClayMaterial(String name, BaseMaterial* mat, TiXmlElement* parent);

  // --- Export: channels ---------------------------------------------------------------------

  /// Albedo channel; `kind` 0 writes "albedo", 1 (phong) "diffuse_albedo"/"specular_reflectivity".
  void MaterialExportAlbedo(String name, BaseContainer* data, int kind, TiXmlElement* parent);
  void MaterialExportExponent(String name, BaseContainer* data, TiXmlElement* parent);
  void MaterialExportSigma(String name, BaseContainer* data, TiXmlElement* parent);
  void MaterialExportBlend(String name, BaseContainer* data, TiXmlElement* parent);
  void MaterialExportBump(String name, BaseContainer* data, TiXmlElement* parent);
  void MaterialExportDisplacement(String name, BaseContainer* data, TiXmlElement* parent);
  void MaterialExportAbsorptionLayer(String name, BaseContainer* data, TiXmlElement* parent);
  void MaterialExportEmission(String name, BaseContainer* data, TiXmlElement* parent);

  /// True when `sh` (not null) is one of the generated OVL shader types.
  Bool IsOVLShader(BaseShader* sh);
  /// Bakes `sh` at the material's bake size to the JPEG `file`; true when it was written.
  Bool BakeShader(BaseShader* sh, Filename file, BaseContainer* data, SAVEBIT flags);
  /// True when the link `id` holds a shader that is not a generated OVL shader (the page greys
  /// out what such a shader overrides).
  Bool OvlShaderUsed(BaseContainer* data, BaseDocument* doc, int id);

  // --- Export: OVL programs -----------------------------------------------------------------

  /// Appends the "shader" element of `shader` (generated or code shader) to `channel`, and its
  /// texture definitions to `material`; 1 when the "shader" element was appended.
  int ExportShader(TiXmlElement* material, TiXmlElement* channel, BaseShader* shader,
                   int& textureIndex, std::string evalHeader, OVLReturnType returnType);
  /// `text` with every occurrence of `pattern` replaced by `replacement`.
  std::string ReplaceShaderString(std::string text, std::string pattern, std::string replacement);

  // --- Export: medium and conversion --------------------------------------------------------

  /// The "medium" element written before specular and glossy_transparent materials.
  Bool MaterialExportMedium(String name, BaseMaterial* mat, TiXmlElement* parent);
  /// Fills this material's container from a host standard material `src`.
  Bool ConvertBaseMaterial(BaseMaterial* src);

  // --- State of one running export ----------------------------------------------------------

  OrvaneSceneData* sceneData = nullptr;  ///< The export's scene data.
  AtomArray* doneList = nullptr;         ///< Materials already written (may be null).
  int background = 0;                    ///< The material being written is the background.
  int textureIndex = 0;                  ///< Index of the next "texture" definition.

 private:
  // Appends "material" `name` holding "blend" with the partners `aName` and `bName`, the step
  // switch and the blend-factor channel of `mat`.
  void AppendBlend(const String& name, const String& aName, const String& bName, BaseMaterial* mat,
                   TiXmlElement* parent);

  BaseMaterial* node_ = nullptr;  // the material this data belongs to (set by `Init`)
};

/// Registers the material under the name of string resource 10025; true without registering when
/// that name is empty.
Bool RegisterCustomOrvaneMaterial();
