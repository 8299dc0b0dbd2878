// Conversion of a host standard material into the plug-in material: the renderer model that fits
// the host's channels, its values, and copies of the host's channel shaders.
#include "material/customorvanematerial.h"

namespace {

// Exponent of a blurred transparency or reflection: blurriness 1 gives 25, nearly 0 almost 5025.
double ExponentFromBlurriness(double blurriness) { return 5025.0 - 5000.0 * blurriness; }

// Texture value b of the exponent channel after a conversion that derives an exponent.
constexpr double kConvertedExponentTexB = 15.0;

}  // namespace

Bool CustomOrvaneMaterial::ConvertBaseMaterial(BaseMaterial* src) {
  if (!src) return false;
  BaseMaterial* target = static_cast<BaseMaterial*>(Get());
  if (!target) return false;
  BaseContainer* data = target->GetDataInstance();
  BaseDocument* doc = src->GetDocument();
  if (!data || !doc) return false;

  target->SetName(src->GetName());
  if (src->GetType() != Mmaterial) return true;

  const Material* host = static_cast<const Material*>(src);
  const BaseContainer* hc = src->GetDataInstance();

  // The model: transparency wins over reflection, reflection over specular.
  bool takeAlbedo = true;
  if (host->GetChannelState(CHANNEL_TRANSPARENCY)) {
    const double blurriness = hc->GetReal(MATERIAL_TRANSPARENCY_BLURRINESS);
    if (blurriness > 0.0) {
      data->SetLong(MAT_TYPE, MAT_TYPE_GLOSSY_TRANSPARENT);
      data->SetReal(MAT_EXPONENT, ExponentFromBlurriness(blurriness));
      data->SetReal(MAT_EXPONENT_TEX_B, kConvertedExponentTexB);
    } else {
      data->SetLong(MAT_TYPE, MAT_TYPE_SPECULAR);
    }
    data->SetReal(MAT_MEDIUM_IOR, hc->GetReal(MATERIAL_TRANSPARENCY_REFRACTION));
    data->SetLong(MAT_ABSORPTION_SPECTRUM, MAT_SPECTRUM_RGB);
    // The medium writes one minus this colour: a white transparency absorbs nothing.
    data->SetVector(MAT_ABSORPTION_COLOR, hc->GetVector(MATERIAL_TRANSPARENCY_COLOR));
    data->SetReal(MAT_ABSORPTION_SCALE, 10.0 * hc->GetReal(MATERIAL_TRANSPARENCY_BRIGHTNESS, 1.0));
    takeAlbedo = false;
  } else if (host->GetChannelState(CHANNEL_REFLECTION)) {
    data->SetLong(MAT_TYPE, MAT_TYPE_PHONG);
    const double r = hc->GetReal(MATERIAL_REFLECTION_BRIGHTNESS);
    data->SetReal(MAT_PHONG_IOR, 1.0 + 10.0 * r * r);
    const double blurriness = hc->GetReal(MATERIAL_REFLECTION_BLURRINESS);
    data->SetReal(MAT_EXPONENT, blurriness > 0.0 ? ExponentFromBlurriness(blurriness) : 100000.0);
    data->SetReal(MAT_EXPONENT_TEX_B, kConvertedExponentTexB);
  } else if (host->GetChannelState(CHANNEL_SPECULAR)) {
    data->SetLong(MAT_TYPE, MAT_TYPE_PHONG);
    const double width = 100.0 * hc->GetReal(MATERIAL_SPECULAR_WIDTH);
    data->SetReal(MAT_EXPONENT, 0.025 * width * width);
    data->SetReal(MAT_PHONG_IOR, 1.0 + hc->GetReal(MATERIAL_SPECULAR_HEIGHT) * 0.7042253521126761);
    data->SetReal(MAT_EXPONENT_TEX_B, kConvertedExponentTexB);
  } else {
    data->SetLong(MAT_TYPE, hc->GetLong(MATERIAL_ILLUMINATION_MODEL) == MATERIAL_ILLUMINATION_ORENNAYAR
                                ? MAT_TYPE_OREN_NAYAR
                                : MAT_TYPE_DIFFUSE);
  }
  if (takeAlbedo) {
    data->SetVector(MAT_ALBEDO_COLOR, hc->GetVector(MATERIAL_COLOR_COLOR));
    data->SetReal(MAT_ALBEDO_BRIGHTNESS, hc->GetReal(MATERIAL_COLOR_BRIGHTNESS));
  }

  // Copies of the host's shaders; the host material keeps its own.
  auto copyShader = [&](LONG hostLink, LONG targetLink) {
    BaseShader* shader = static_cast<BaseShader*>(hc->GetLink(hostLink, doc, Xbase));
    if (!shader) return false;
    BaseShader* copy = static_cast<BaseShader*>(shader->GetClone(COPYFLAGS_NONE));
    if (!copy) return false;
    target->InsertShader(copy);
    data->SetLink(targetLink, copy);
    return true;
  };

  const LONG type = data->GetLong(MAT_TYPE);
  const bool transmits = type == MAT_TYPE_SPECULAR || type == MAT_TYPE_GLOSSY_TRANSPARENT;
  if (type == MAT_TYPE_DIFFUSE || type == MAT_TYPE_OREN_NAYAR || type == MAT_TYPE_PHONG)
    copyShader(MATERIAL_COLOR_SHADER, MAT_ALBEDO_SHADER);
  if (host->GetChannelState(CHANNEL_LUMINANCE)) {
    copyShader(MATERIAL_LUMINANCE_SHADER, MAT_EMISSION_SHADER);
    data->SetBool(MAT_USE_EMISSION, TRUE);
    data->SetLong(MAT_EMISSION_SPECTRUM, MAT_SPECTRUM_RGB);
    data->SetVector(MAT_EMISSION_COLOR, hc->GetVector(MATERIAL_LUMINANCE_COLOR));
    data->SetReal(MAT_EMISSION_BRIGHTNESS, hc->GetReal(MATERIAL_LUMINANCE_BRIGHTNESS));
  }
  if (host->GetChannelState(CHANNEL_BUMP) && copyShader(MATERIAL_BUMP_SHADER, MAT_BUMP_SHADER)) {
    data->SetBool(MAT_USE_BUMP, TRUE);
    data->SetReal(MAT_BUMP_TEX_B, 0.01 * hc->GetReal(MATERIAL_BUMP_STRENGTH));
  }
  if (host->GetChannelState(CHANNEL_DISPLACEMENT) &&
      copyShader(MATERIAL_DISPLACEMENT_SHADER, MAT_DISPLACEMENT_SHADER)) {
    data->SetBool(MAT_USE_DISPLACEMENT, TRUE);
    data->SetReal(MAT_DISPLACEMENT_TEX_B, 0.01 * hc->GetReal(MATERIAL_DISPLACEMENT_HEIGHT));
  }
  if ((type == MAT_TYPE_PHONG || type == MAT_TYPE_GLOSSY_TRANSPARENT) &&
      host->GetChannelState(CHANNEL_SPECULARCOLOR))
    copyShader(MATERIAL_SPECULARCOLOR_SHADER, MAT_EXPONENT_SHADER);
  if (!transmits && copyShader(MATERIAL_ALPHA_SHADER, MAT_ALPHA_SHADER)) {
    data->SetBool(MAT_USE_ALPHA, TRUE);
    if (!hc->GetBool(MATERIAL_ALPHA_INVERT)) {
      data->SetReal(MAT_ALPHA_TEX_B, -1.0);
      data->SetReal(MAT_ALPHA_TEX_C, 1.0);
    }
  }

  SetChannels(data);
  return true;
}
