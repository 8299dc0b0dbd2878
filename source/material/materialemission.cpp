// The emission channel of the plug-in material: base spectrum, light layer and emission texture.
#include <tinyxml.h>

#include "export/orvanescenedata.h"
#include "export/xmlbuilders.h"
#include "main/helpers.h"
#include "material/channelrule.h"
#include "material/customorvanematerial.h"

namespace {

// The emission texture values in the numbering `off` raises.
MaterialChannels::TextureValueIds EmissionTexture(int off) {
  return {off + MAT_EMISSION_TEX_EXPONENT, off + MAT_EMISSION_TEX_A, off + MAT_EMISSION_TEX_B,
          off + MAT_EMISSION_TEX_C};
}

TiXmlElement* Append(TiXmlElement* parent, const char* name) {
  auto* element = new TiXmlElement(name);
  parent->LinkEndChild(element);
  return element;
}

// Writes the spectrum of kind `MAT_EMISSION_SPECTRUM` into `constant`; nothing for another kind.
// `off` raises every ID and kind (a node shader's numbering).
void WriteEmissionSpectrum(const BaseContainer* data, int off, TiXmlElement* constant) {
  switch (data->GetLong(off + MAT_EMISSION_SPECTRUM) - off) {
    case MAT_SPECTRUM_RGB:
      SceneExportSpectrumRGB(data->GetVector(off + MAT_EMISSION_COLOR),
                             data->GetReal(off + MAT_EMISSION_GAMMA),
                             data->GetReal(off + MAT_EMISSION_BRIGHTNESS), constant);
      break;
    case MAT_SPECTRUM_BLACKBODY:
      SceneExportSpectrumBlackbody(data->GetReal(off + MAT_EMISSION_TEMPERATURE),
                                   data->GetReal(off + MAT_EMISSION_GAIN), constant);
      break;
    case MAT_SPECTRUM_PEAK:
      SceneExportSpectrumPeak(data->GetReal(off + MAT_EMISSION_PEAK_MIN),
                              data->GetReal(off + MAT_EMISSION_PEAK_WIDTH),
                              data->GetReal(off + MAT_EMISSION_BASE_VALUE),
                              data->GetReal(off + MAT_EMISSION_PEAK_VALUE), constant);
      break;
    case MAT_SPECTRUM_UNIFORM:
      SceneExportSpectrumUniform(data->GetReal(off + MAT_EMISSION_UNIFORM), constant);
      break;
    case MAT_SPECTRUM_TABULATED:
      SceneExportSpectrumTabulated(Helpers::ToUTF8String(data->GetString(off + MAT_EMISSION_TAB_START)),
                                   Helpers::ToUTF8String(data->GetString(off + MAT_EMISSION_TAB_END)),
                                   data->GetLong(off + MAT_EMISSION_TAB_COUNT),
                                   Helpers::ToUTF8String(data->GetString(off + MAT_EMISSION_TAB_VALUES)),
                                   constant);
      break;
    default: break;
  }
}

}  // namespace

void CustomOrvaneMaterial::MaterialExportEmission(String name, BaseContainer* data, TiXmlElement* parent) {
  OrvaneSceneData* sd = sceneData;
  if (!data || !parent || !sd || !sd->document) return;
  if (!data->GetBool(Id(MAT_USE_EMISSION))) return;

  WriteEmissionSpectrum(data, idOffset, Append(Append(parent, "base_emission"), "constant"));
  const unsigned layer = sd->AddLightLayer(data->GetLong(Id(MAT_LIGHT_LAYER)));
  SceneExportLongValue("layer", static_cast<int>(layer), parent);

  BaseShader* shader = MaterialChannels::LinkedShader(data, Id(MAT_EMISSION_SHADER), sd->document);
  if (!shader) return;

  if (shader->IsInstanceOf(Xbitmap)) {
    // The texture definition comes before the channel element that refers to it.
    const auto v = MaterialChannels::ReadTextureValues(data, EmissionTexture(idOffset));
    if (MaterialChannels::WriteBitmapTexture(*this, shader, name, v, background, parent)) {
      ExportTextureIndex(Append(parent, "emission"), textureIndex);
      ++textureIndex;
    }
    return;
  }
  if (IsOVLShader(shader)) {
    ExportShader(parent, Append(parent, "emission"), shader, textureIndex,
                 "def eval(vec3 pos) vec3: ", OVL_RETURN_VEC3, name);
    return;
  }
  TiXmlElement* emission = Append(parent, "emission");
  std::string path;
  if (MaterialChannels::BakeChannelImage(*this, shader, name, "_emission.jpg", "emission", data, 0, &path)) {
    const auto v = MaterialChannels::ReadTextureValues(data, EmissionTexture(idOffset));
    ExportTexture(parent, path, v.exponent, v.a, v.b, v.c, sd->sceneDir, background);
    ExportTextureIndex(emission, textureIndex);
    ++textureIndex;
    return;
  }
  // A failed bake leaves the base emission alone and no empty "emission".
  parent->RemoveChild(emission);
}
