// The channel writers of the plug-in material (albedo, exponent, sigma, blend factor, bump,
// displacement, absorption layer) and the shader tests and baking they rely on.
#include <tinyxml.h>

#include "export/orvanescenedata.h"
#include "main/helpers.h"
#include "material/channelrule.h"
#include "material/customorvanematerial.h"

using MaterialChannels::ChannelConstant;
using MaterialChannels::ChannelInfo;

namespace {

// The largest side of a baked channel image that the host bakes.
constexpr LONG kMaxBakeSide = 16384;
// JPEG quality of baked channel images.
constexpr LONG kBakeQuality = 100;
// The side of the square images a node shader bakes.
constexpr LONG kNodeBakeSide = 512;

const char kHeaderVec3[] = "def eval(vec3 pos) vec3: ";
const char kHeaderRealAt[] = "def eval(vec3 pos) real: ";
const char kHeaderReal[] = "def eval() real: ";

const ChannelInfo kAlbedo = {
    "albedo",          MAT_USE_ALBEDO,
    MAT_ALBEDO_SHADER, ChannelConstant::kRgb,
    MAT_ALBEDO_COLOR,  MAT_ALBEDO_BRIGHTNESS,
    MAT_ALBEDO_GAMMA,  {MAT_ALBEDO_TEX_EXPONENT, MAT_ALBEDO_TEX_A, MAT_ALBEDO_TEX_B, MAT_ALBEDO_TEX_C},
    "_albedo.jpg",     0,
    kHeaderVec3,       OVL_RETURN_VEC3};
const ChannelInfo kExponent = {
    "exponent",
    MAT_USE_EXPONENT,
    MAT_EXPONENT_SHADER,
    ChannelConstant::kReal,
    MAT_EXPONENT,
    0,
    0,
    {MAT_EXPONENT_TEX_EXPONENT, MAT_EXPONENT_TEX_A, MAT_EXPONENT_TEX_B, MAT_EXPONENT_TEX_C},
    "_exponent.jpg",
    SAVEBIT_GREYSCALE,
    kHeaderRealAt,
    OVL_RETURN_REAL};
const ChannelInfo kSigma = {"sigma",
                            MAT_USE_SIGMA,
                            MAT_SIGMA_SHADER,
                            ChannelConstant::kReal,
                            MAT_SIGMA,
                            0,
                            0,
                            {MAT_SIGMA_TEX_EXPONENT, MAT_SIGMA_TEX_A, MAT_SIGMA_TEX_B, MAT_SIGMA_TEX_C},
                            "_sigma.jpg",
                            SAVEBIT_GREYSCALE,
                            kHeaderRealAt,
                            OVL_RETURN_REAL};
const ChannelInfo kBlend = {"blend",
                            MAT_USE_ALPHA,
                            MAT_ALPHA_SHADER,
                            ChannelConstant::kReal,
                            MAT_ALPHA_VALUE,
                            0,
                            0,
                            {MAT_ALPHA_TEX_EXPONENT, MAT_ALPHA_TEX_A, MAT_ALPHA_TEX_B, MAT_ALPHA_TEX_C},
                            "_alpha.jpg",
                            SAVEBIT_GREYSCALE,
                            kHeaderReal,
                            OVL_RETURN_REAL};
const ChannelInfo kBump = {"bump",
                           MAT_USE_BUMP,
                           MAT_BUMP_SHADER,
                           ChannelConstant::kNone,
                           0,
                           0,
                           0,
                           {MAT_BUMP_TEX_EXPONENT, MAT_BUMP_TEX_A, MAT_BUMP_TEX_B, MAT_BUMP_TEX_C},
                           "_bump.jpg",
                           SAVEBIT_GREYSCALE,
                           kHeaderReal,
                           OVL_RETURN_REAL};
const ChannelInfo kDisplacement = {
    "displacement",
    MAT_USE_DISPLACEMENT,
    MAT_DISPLACEMENT_SHADER,
    ChannelConstant::kNone,
    0,
    0,
    0,
    {MAT_DISPLACEMENT_TEX_EXPONENT, MAT_DISPLACEMENT_TEX_A, MAT_DISPLACEMENT_TEX_B, MAT_DISPLACEMENT_TEX_C},
    "_displacement.jpg",
    SAVEBIT_GREYSCALE,
    kHeaderReal,
    OVL_RETURN_REAL};
const ChannelInfo kAbsorptionLayer = {"absorption layer",
                                      MAT_USE_ABSORPTION_LAYER,
                                      MAT_ABSORPTION_LAYER_SHADER,
                                      ChannelConstant::kRgb,
                                      MAT_ABSORPTION_LAYER_COLOR,
                                      MAT_ABSORPTION_LAYER_BRIGHTNESS,
                                      MAT_ABSORPTION_LAYER_GAMMA,
                                      {MAT_ABSORPTION_LAYER_TEX_EXPONENT, MAT_ABSORPTION_LAYER_TEX_A,
                                       MAT_ABSORPTION_LAYER_TEX_B, MAT_ABSORPTION_LAYER_TEX_C},
                                      "_absorption_layer.jpg",
                                      0,
                                      kHeaderVec3,
                                      OVL_RETURN_VEC3};

}  // namespace

void CustomOrvaneMaterial::MaterialExportAlbedo(String name, BaseContainer* data, int kind,
                                                TiXmlElement* parent) {
  if (!data || !data->GetBool(Id(MAT_USE_ALBEDO))) return;
  const char* element = "albedo";
  if (kind != 0)
    element = data->GetBool(Id(MAT_ALBEDO_IS_SPECULAR)) ? "specular_reflectivity" : "diffuse_albedo";
  MaterialChannels::WriteChannel(*this, kAlbedo, element, name, data, parent);
}

void CustomOrvaneMaterial::MaterialExportExponent(String name, BaseContainer* data, TiXmlElement* parent) {
  MaterialChannels::WriteChannel(*this, kExponent, "exponent", name, data, parent);
}

void CustomOrvaneMaterial::MaterialExportSigma(String name, BaseContainer* data, TiXmlElement* parent) {
  MaterialChannels::WriteChannel(*this, kSigma, "sigma", name, data, parent);
}

void CustomOrvaneMaterial::MaterialExportBlend(String name, BaseContainer* data, TiXmlElement* parent) {
  MaterialChannels::WriteChannel(*this, kBlend, "blend", name, data, parent);
}

void CustomOrvaneMaterial::MaterialExportBump(String name, BaseContainer* data, TiXmlElement* parent) {
  MaterialChannels::WriteChannel(*this, kBump, "bump", name, data, parent);
}

void CustomOrvaneMaterial::MaterialExportDisplacement(String name, BaseContainer* data,
                                                      TiXmlElement* parent) {
  MaterialChannels::WriteChannel(*this, kDisplacement, "displacement", name, data, parent);
}

void CustomOrvaneMaterial::MaterialExportAbsorptionLayer(String name, BaseContainer* data,
                                                         TiXmlElement* parent) {
  MaterialChannels::WriteChannel(*this, kAbsorptionLayer, "absorption_layer_transmittance", name, data,
                                 parent);
}

Bool CustomOrvaneMaterial::IsOVLShader(BaseShader* sh) {
  // The code shader counts too: a channel embeds its program and never bakes it.
  return sh && (sh->IsInstanceOf(ID_OVLSHADER) || ::IsOVLShader(sh));
}

Bool CustomOrvaneMaterial::BakeShader(BaseShader* sh, Filename file, BaseContainer* data, SAVEBIT flags) {
  if (!sh || !data) return false;
  // Every image that is not written counts against the export.
  auto failed = [this] {
    if (sceneData) ++sceneData->failedImages;
    return false;
  };
  // A node shader has no bake size of its own: it bakes at a fixed size.
  const bool node = IsNodeView();
  const LONG width = node ? kNodeBakeSide : data->GetLong(MAT_BAKE_WIDTH);
  const LONG height = node ? kNodeBakeSide : data->GetLong(MAT_BAKE_HEIGHT);
  if (width < 1 || height < 1 || width > kMaxBakeSide || height > kMaxBakeSide) return failed();
  MultipassBitmap* bitmap = MultipassBitmap::Alloc(width, height, COLORMODE_RGB);
  if (!bitmap) return failed();
  const Filename directory = file.GetDirectory();
  // A render's new texture folder is the export's: a failed or interrupted export removes it. One
  // another user planted in a shared folder is not written into. An image at a path no program
  // could open is not baked: the scene would name it.
  std::string why;
  if (!Helpers::PathFits(Helpers::ToUTF8String(file.GetString())) ||
      (sceneData ? !sceneData->UseFolder(directory) : !(why = Helpers::UseFolder(directory)).empty())) {
    MultipassBitmap::Free(bitmap);
    if (!sceneData && !why.empty())
      GePrint(String("Could not bake into ") + directory.GetString() + String(": ") + String(why));
    return failed();
  }
  bool saved = false;
  // An image the host could not bake is not written: it would hold black for the shader.
  if (Helpers::BakeShaderToBitmap(bitmap, sh, sceneData ? sceneData->document : nullptr)) {
    BaseContainer options;
    options.SetLong(JPGSAVER_QUALITY, kBakeQuality);
    saved = bitmap->Save(file, FILTER_JPG, &options, flags) == IMAGERESULT_OK;
  }
  MultipassBitmap::Free(bitmap);
  return saved || failed();
}

Bool CustomOrvaneMaterial::OvlShaderUsed(BaseContainer* data, BaseDocument* doc, int id) {
  if (!data || !doc) return true;
  BaseShader* sh = MaterialChannels::LinkedShader(data, id, doc);
  if (!sh) return false;
  return !IsOVLShader(sh);
}
