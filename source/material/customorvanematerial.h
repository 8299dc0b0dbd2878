// The plug-in material: carries the renderer's material models. Its whole state lives in its
// parameter container (materialparams.h); the object itself holds only the working state of one
// running export.
#pragma once

#include <memory>
#include <string>

#include "c4d.h"
#include "material/materialparams.h"
#include "shader/ovlshaderdata.h"

class TiXmlElement;
struct OrvaneSceneData;

/// The colour of a channel as its constant gives it: for `MAT_USE_ALBEDO` the albedo colour times
/// its brightness, for `MAT_USE_EMISSION` the emission colour times its brightness, black for any
/// other channel (IDs and channel raised by `idOffset` for a node shader's container). No gamma.
LVector GetColor(const BaseContainer* data, int channel, int idOffset = 0);

/// The 8-bit value of a colour component: 0 for values up to 0, else value × 255 truncated and
/// at most 255.
LONG ColorTo8Bit(double value);

/// Prepares the surface sample `vd` for a material and answers the sampling point of its shaders:
/// the projected texture coordinates, the shading normal, time 0, on a surface.
ChannelData SurfaceChannelData(VolumeData* vd);

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
  /// Writes every default of the parameter set into `bc` with every ID and selector value raised
  /// by `offset`; a raised set (a node shader's) leaves out the selector, the bake size and the
  /// atmosphere settings.
  static void WriteDefaults(BaseContainer* bc, int offset);
  /// Sets the channel and page switches from `MAT_TYPE`.
  static void SetChannels(BaseContainer* data);

  // --- Export: dispatch and models ---------------------------------------------------------

  /// Writes this material (`name` is its element name) with the clay override and alpha wrapper.
  /// A list `done` given must already hold the material (or the host material it stands for);
  /// without one the call keeps a list of its own.
  void ExportMaterialXml(String name, TiXmlElement* parent, AtomArray* done, int background,
                         OrvaneSceneData* sd);
  /// `ExportMaterialXml` as one step of the material export's queue, with a list `done` that
  /// already holds the material: the partner of an alpha wrapper, the partners of a blend and the
  /// element that names them are left to the queue running on this thread (written at once when
  /// none runs).
  void WriteMaterialXml(const String& name, TiXmlElement* parent, AtomArray* done, int background,
                        OrvaneSceneData* sd);
  /// The model writers: one "material" element each; false when `mat` is null. The blend writes
  /// its partners first: through the running queue, as `WriteMaterialXml` does.
  Bool MaterialExportBlendMat(String name, BaseMaterial* mat, TiXmlElement* parent);
  Bool MaterialExportDiffuseMaterial(String name, BaseList2D* mat, TiXmlElement* parent);
  Bool MaterialExportOrenNayarMaterial(String name, BaseList2D* mat, TiXmlElement* parent);
  Bool MaterialExportPhongMaterial(String name, BaseList2D* mat, TiXmlElement* parent);
  Bool MaterialExportDiffuseTransMaterial(String name, BaseList2D* mat, TiXmlElement* parent);
  Bool MaterialExportSpecularMaterial(String name, BaseList2D* mat, TiXmlElement* parent);
  Bool MaterialExportGlossyMaterial(String name, BaseList2D* mat, TiXmlElement* parent);
  Bool MaterialExportClayMaterial(String name, BaseList2D* mat, TiXmlElement* parent);

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
  /// Bakes `sh` at the material's bake size to the JPEG `file`; true when it was written. In an
  /// export nothing is written once a folder of the export is refused (`FolderRefusal`).
  Bool BakeShader(BaseShader* sh, Filename file, BaseContainer* data, SAVEBIT flags);
  /// True when the link `id` holds a shader that is not a generated OVL shader (the page greys
  /// out what such a shader overrides).
  Bool OvlShaderUsed(BaseContainer* data, BaseDocument* doc, int id);

  // --- Export: OVL programs -----------------------------------------------------------------

  /// Appends the "shader" element of `shader` (generated or code shader) to `channel`, and its
  /// texture definitions to `material` (named `name` in what the console says of them); 1 when the
  /// "shader" element was appended.
  int ExportShader(TiXmlElement* material, TiXmlElement* channel, BaseShader* shader, int& textureIndex,
                   std::string evalHeader, OVLReturnType returnType, const String& name = String());
  /// `text` with every occurrence of `pattern` replaced by `replacement`. When some character
  /// occurs more often in the pattern than in the replacement (a placeholder replaced by a number),
  /// the first occurrence is replaced until none is left, so an occurrence that a replacement
  /// completes is replaced too ("$tex0$tex01$$", "$tex01$", "1" gives "1"); otherwise the
  /// occurrences of the text as given are replaced in one pass, left to right ("aab", "ab", "ba"
  /// gives "aba"). An empty pattern leaves the text as it is. Memory is linear in the length of the
  /// text and of the result; time too, times the length of the replacement.
  std::string ReplaceShaderString(std::string text, std::string pattern, std::string replacement);

  // --- Export: medium and conversion --------------------------------------------------------

  /// The "medium" element written before specular and glossy_transparent materials.
  Bool MaterialExportMedium(String name, BaseList2D* mat, TiXmlElement* parent);
  /// Fills this material's container from a host standard material `src`.
  Bool ConvertBaseMaterial(BaseMaterial* src);

  // --- Host callbacks: messages and buttons, attribute page, host shading --------------------

  /// Host messages: forwarded to the albedo shader; channel switches after a parameter change;
  /// partner marking and replacement; the preview and export buttons.
  Bool Message(GeListNode* node, LONG type, void* data) override;
  /// Loads the page and shows only what the material's type and switches use.
  Bool GetDDescription(GeListNode* node, Description* description, LONG& flags) override;
  /// Greys out constants and texture values that a linked shader overrides.
  Bool GetDEnabling(GeListNode* node, const DescID& id, const GeData& value, LONG flags,
                    const BaseContainer* itemdesc) override;
  /// Caches everything the per-sample callbacks read; answers the albedo shader's preparation.
  LONG InitRender(BaseMaterial* mat, const InitRenderStruct& irs) override;
  /// Ends the linked shaders' renders and drops the cache.
  void FreeRender(BaseMaterial* mat) override;
  /// Shades one sample: albedo (or black for transmitting types) lit by the host's diffuse light,
  /// refraction, a traced reflection for reflecting types, and emission.
  void CalcSurface(BaseMaterial* mat, VolumeData* vd) override;
  /// Fully transparent for transmitting types, else opaque.
  void CalcTransparency(BaseMaterial* mat, VolumeData* vd) override;
  /// The viewport image: the albedo colour or shader, with the blend factor as alpha.
  Bool InitGLImage(BaseMaterial* mat, BaseDocument* doc, BaseThread* th, BaseBitmap* bmp, LONG doccolorspace,
                   Bool linearworkflow) override;

  /// Re-points the blend partner links that lead to `oldAndNew[0]` to `oldAndNew[1]` (nothing for
  /// a material in no document).
  void ReplacePartners(BaseMaterial* mat, BaseMaterial** oldAndNew);
  /// The preview button: writes the preview material file and starts the renderer on the preview
  /// scene; false when no renderer is configured.
  Bool RenderPreview(BaseMaterial* mat);
  /// The export button: writes the material file and has the renderer pack it; false when the
  /// user cancelled or nothing was written.
  Bool ExportMaterialFile(BaseMaterial* mat);

  /// A sampled channel: its shader (not owned) and the mapping a·s² + b·s + c of each component.
  struct ShaderSampler {
    BaseShader* shader = nullptr;
    double a = 0.0, b = 0.0, c = 0.0;
    /// The shader's mapped colour at `cd`.
    LVector Sample(ChannelData* cd) const;
  };

  // --- Render state, filled by InitRender -----------------------------------------------------

  LONG renderType = 0;                             ///< `MAT_TYPE` of the render.
  std::unique_ptr<ShaderSampler> albedoSampler;    ///< The albedo shader, or null.
  std::unique_ptr<ShaderSampler> emissionSampler;  ///< The emission shader, or null.
  LONG transmits = 0;                              ///< 1: transparent with refraction.
  LONG reflects = 0;                               ///< 1: adds a traced reflection.
  LVector albedoColor;                             ///< Albedo constant.
  LVector emissionColor;                           ///< Emission constant (black when off).
  double refractiveIndex = 1.0;                    ///< Index of refraction of the surface.

  // --- ID view --------------------------------------------------------------------------------

  /// What every parameter ID (and selector value) read or written by this object is raised by:
  /// 0 for the plug-in material, `NODE_ID_OFFSET` when a node shader writes through it.
  int idOffset = 0;
  /// `id` of the parameter set in this object's numbering.
  int Id(int id) const { return id + idOffset; }
  /// True when a node shader writes through this object (no bake size, no atmosphere medium).
  bool IsNodeView() const { return idOffset != 0; }

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
  // `AppendBlend` once the partners are written, under the export state it was scheduled with.
  void FinishBlend(const String& name, const String& aName, const String& bName, BaseMaterial* mat,
                   TiXmlElement* parent, AtomArray* done, int background, OrvaneSceneData* sd);
};

/// Registers the material under the name of string resource 10025; true without registering when
/// that name is empty.
Bool RegisterCustomOrvaneMaterial();
