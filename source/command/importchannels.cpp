// The channel importers: one material parameter of the element model (a constant, an OVL program
// or a texture) onto the channel parameters of the plug-in material.
#include <charconv>
#include <new>
#include <string>

#include "command/importovm.h"
#include "command/importtext.h"
#include "material/materialparams.h"
#include "orvane_utils/OrvaneBlackBodySpectrum.h"
#include "orvane_utils/OrvaneConstantDisplacementParam.h"
#include "orvane_utils/OrvaneConstantWavelengthDependentParam.h"
#include "orvane_utils/OrvaneConstantWavelengthIndependentParam.h"
#include "orvane_utils/OrvanePeakSpectrum.h"
#include "orvane_utils/OrvaneRGBSpectrum.h"
#include "orvane_utils/OrvaneRegularSpectrum.h"
#include "orvane_utils/OrvaneShaderDisplacementParam.h"
#include "orvane_utils/OrvaneShaderWavelengthDependentParam.h"
#include "orvane_utils/OrvaneShaderWavelengthIndependentParam.h"
#include "orvane_utils/OrvaneTextureDisplacementParam.h"
#include "orvane_utils/OrvaneTextureWavelengthDependentParam.h"
#include "orvane_utils/OrvaneTextureWavelengthIndependentParam.h"
#include "orvane_utils/OrvaneUniformSpectrum.h"
#include "shader/ovlshader.h"
#include "shader/ovlshaderdata.h"

using namespace Orvane;

LVector ColorVectorConversion(LVector colour, Real* brightness) {
  if (colour.x <= 1.0 && colour.y <= 1.0 && colour.z <= 1.0) return colour;
  int which = 2;
  if (colour.x >= colour.y && colour.x >= colour.z)
    which = 0;
  else if (colour.y >= colour.z)
    which = 1;
  const Real m = which == 0 ? colour.x : which == 1 ? colour.y : colour.z;
  LVector result(colour.x / m, colour.y / m, colour.z / m);
  if (which == 0) result.x = 1.0;
  if (which == 1) result.y = 1.0;
  if (which == 2) result.z = 1.0;
  if (brightness) *brightness = m;
  return result;
}

namespace {

using TextureSetter = Bool (ImportOVM::*)(BaseContainer*, const OrvaneTexture*, BaseMaterial*);

// The texture at `index` of the list, or null for an index outside it.
const OrvaneTexture* TextureAt(const ImportOVM::TextureList& textures, uint32_t index) {
  return index < textures.size() ? &textures[index] : nullptr;
}

// A wavelength of the model (nanometres) as the file and the material writer hold it: metres,
// with the 15 significant digits a double always keeps, so that the metres of the file come back
// as written (the conversion to nanometres and back adds noise in the 17th digit).
String WavelengthText(double nanometres) {
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, nanometres / 1e9, std::chars_format::general, 15);
  return String(std::string(buf, res.ptr));
}

// The samples, each followed by one blank, every digit kept.
String ValuesText(const std::vector<double>& values) {
  String text;
  for (double v : values) text += String::RealToString(v) + " ";
  return text;
}

// Albedo and absorption layer constants.
struct ColourIds {
  int colour, brightness, gamma;
  const char* blackbodyWarning;
  const char* peakWarning;
  const char* tabulatedWarning;
};

constexpr ColourIds kAlbedoIds = {MAT_ALBEDO_COLOR,
                                  MAT_ALBEDO_BRIGHTNESS,
                                  MAT_ALBEDO_GAMMA,
                                  "Albedo blackbody spectrum in Material ",
                                  "Albedo peak spectrum in Material ",
                                  "Albedo tabulated spectrum in Material "};
constexpr ColourIds kLayerIds = {MAT_ABSORPTION_LAYER_COLOR,
                                 MAT_ABSORPTION_LAYER_BRIGHTNESS,
                                 MAT_ABSORPTION_LAYER_GAMMA,
                                 "Absorption layer blackbody spectrum in Material ",
                                 "Absorption layer spectrum in Material ",
                                 "Absorption layer spectrum in Material "};

}  // namespace

// One spectral channel in its three forms; the constant form is the caller's.
#define CORVANE_SPECTRAL_FORMS(param, link, sw, setter)                                                \
  switch ((param)->GetType()) {                                                                        \
    case OrvaneShaderWavelengthDependentParam::TYPE:                                                   \
      ImportShader(link, sw, static_cast<OrvaneShaderWavelengthDependentParam*>(param)->shader, data); \
      return true;                                                                                     \
    case OrvaneTextureWavelengthDependentParam::TYPE:                                                  \
      if (const OrvaneTexture* tex = TextureAt(                                                        \
              textures, static_cast<OrvaneTextureWavelengthDependentParam*>(param)->texture_index))    \
        (this->*(setter))(data, tex, mat);                                                             \
      return true;                                                                                     \
    case OrvaneConstantWavelengthDependentParam::TYPE: break;                                          \
    default: return true;                                                                              \
  }

namespace {

// Writes the constant colour of the albedo or the absorption layer, or warns.
template <typename WarnFn>
void ImportColourConstant(BaseContainer* data, const OrvaneSpectrum* spectrum, const ColourIds& ids,
                          WarnFn warn) {
  if (!spectrum) return;
  switch (spectrum->GetType()) {
    case OrvaneRGBSpectrum::TYPE: {
      const auto* rgb = static_cast<const OrvaneRGBSpectrum*>(spectrum);
      const Vec3* v = rgb->rgb.getPointer();
      data->SetVector(ids.colour, v ? LVector(v->x, v->y, v->z) : LVector(0.0));
      data->SetReal(ids.brightness, 1.0);
      data->SetReal(ids.gamma, rgb->gamma);
      break;
    }
    case OrvaneUniformSpectrum::TYPE: {
      const double v = static_cast<const OrvaneUniformSpectrum*>(spectrum)->value;
      data->SetVector(ids.colour, LVector(v, v, v));
      data->SetReal(ids.brightness, 1.0);
      data->SetReal(ids.gamma, 1.0);
      break;
    }
    case OrvaneBlackBodySpectrum::TYPE: warn(ids.blackbodyWarning); break;
    case OrvanePeakSpectrum::TYPE: warn(ids.peakWarning); break;
    case OrvaneRegularSpectrum::TYPE: warn(ids.tabulatedWarning); break;
    default: break;
  }
}

}  // namespace

Bool ImportOVM::ImportAlbedo(BaseContainer* data, OrvaneWavelengthDependentParam* param,
                             const TextureList& textures, BaseMaterial* mat) {
  if (!data || !param) return true;
  CORVANE_SPECTRAL_FORMS(param, MAT_ALBEDO_SHADER, MAT_USE_ALBEDO, &ImportOVM::ImportDiffuseTexture)
  ImportColourConstant(data,
                       static_cast<OrvaneConstantWavelengthDependentParam*>(param)->spectrum.getPointer(),
                       kAlbedoIds, [&](const char* lead) { Warn(lead, mat); });
  return true;
}

Bool ImportOVM::ImportAbsorptionLayer(BaseContainer* data, OrvaneWavelengthDependentParam* param,
                                      const TextureList& textures, BaseMaterial* mat) {
  if (!data || !param) return true;
  CORVANE_SPECTRAL_FORMS(param, MAT_ABSORPTION_LAYER_SHADER, MAT_USE_ABSORPTION_LAYER,
                         &ImportOVM::ImportAbsorptionLayerTexture)
  ImportColourConstant(data,
                       static_cast<OrvaneConstantWavelengthDependentParam*>(param)->spectrum.getPointer(),
                       kLayerIds, [&](const char* lead) { Warn(lead, mat); });
  return true;
}

Bool ImportOVM::ImportEmission(BaseContainer* data, OrvaneWavelengthDependentParam* param,
                               const TextureList& textures, BaseMaterial* mat) {
  if (!data || !param) return true;
  CORVANE_SPECTRAL_FORMS(param, MAT_EMISSION_SHADER, MAT_USE_EMISSION, &ImportOVM::ImportEmissionMap)
  const OrvaneSpectrum* spectrum =
      static_cast<OrvaneConstantWavelengthDependentParam*>(param)->spectrum.getPointer();
  if (!spectrum) return true;
  switch (spectrum->GetType()) {
    case OrvaneRGBSpectrum::TYPE: Warn("Emission RGB spectrum in Material ", mat); break;
    case OrvaneBlackBodySpectrum::TYPE: Warn("Emission blackbody spectrum in Material ", mat); break;
    case OrvaneUniformSpectrum::TYPE: Warn("Emission uniform spectrum in Material ", mat); break;
    case OrvaneRegularSpectrum::TYPE: Warn("Emission tabulated spectrum in Material ", mat); break;
    case OrvanePeakSpectrum::TYPE: Warn("Emission peak spectrum in Material ", mat); break;
    default: break;
  }
  return true;
}

Bool ImportOVM::ImportBaseEmission(BaseContainer* data, OrvaneWavelengthDependentParam* param,
                                   BaseMaterial*) {
  if (!data || !param || param->GetType() != OrvaneConstantWavelengthDependentParam::TYPE) return true;
  const OrvaneSpectrum* spectrum =
      static_cast<OrvaneConstantWavelengthDependentParam*>(param)->spectrum.getPointer();
  if (!spectrum) return true;
  data->SetBool(MAT_USE_EMISSION, TRUE);
  switch (spectrum->GetType()) {
    case OrvaneRGBSpectrum::TYPE: {
      const auto* rgb = static_cast<const OrvaneRGBSpectrum*>(spectrum);
      const Vec3* v = rgb->rgb.getPointer();
      Real brightness = 1.0;
      const LVector colour = ColorVectorConversion(v ? LVector(v->x, v->y, v->z) : LVector(0.0), &brightness);
      data->SetVector(MAT_EMISSION_COLOR, colour);
      data->SetReal(MAT_EMISSION_BRIGHTNESS, brightness);
      data->SetReal(MAT_EMISSION_GAMMA, rgb->gamma);
      data->SetLong(MAT_EMISSION_SPECTRUM, MAT_SPECTRUM_RGB);
      break;
    }
    case OrvaneBlackBodySpectrum::TYPE: {
      const auto* bb = static_cast<const OrvaneBlackBodySpectrum*>(spectrum);
      data->SetReal(MAT_EMISSION_GAIN, bb->gain);
      data->SetReal(MAT_EMISSION_TEMPERATURE, bb->temperature);
      data->SetLong(MAT_EMISSION_SPECTRUM, MAT_SPECTRUM_BLACKBODY);
      break;
    }
    case OrvaneUniformSpectrum::TYPE:
      data->SetReal(MAT_EMISSION_UNIFORM, static_cast<const OrvaneUniformSpectrum*>(spectrum)->value);
      data->SetLong(MAT_EMISSION_SPECTRUM, MAT_SPECTRUM_UNIFORM);
      break;
    case OrvanePeakSpectrum::TYPE: {
      const auto* peak = static_cast<const OrvanePeakSpectrum*>(spectrum);
      data->SetReal(MAT_EMISSION_PEAK_MIN, peak->peak_min);
      data->SetReal(MAT_EMISSION_PEAK_WIDTH, peak->peak_width);
      data->SetReal(MAT_EMISSION_BASE_VALUE, peak->base_value);
      data->SetReal(MAT_EMISSION_PEAK_VALUE, peak->peak_value);
      data->SetLong(MAT_EMISSION_SPECTRUM, MAT_SPECTRUM_PEAK);
      break;
    }
    case OrvaneRegularSpectrum::TYPE: {
      const auto* tab = static_cast<const OrvaneRegularSpectrum*>(spectrum);
      data->SetString(MAT_EMISSION_TAB_START, WavelengthText(tab->start_wavelength));
      data->SetString(MAT_EMISSION_TAB_END, WavelengthText(tab->end_wavelength));
      data->SetLong(MAT_EMISSION_TAB_COUNT, tab->num_values);
      data->SetString(MAT_EMISSION_TAB_VALUES, ValuesText(tab->values));
      data->SetLong(MAT_EMISSION_SPECTRUM, MAT_SPECTRUM_TABULATED);
      break;
    }
    default: break;
  }
  return true;
}

namespace {

struct ScalarIds {
  int value, link, sw;
  TextureSetter setter;
};

}  // namespace

// One scalar channel: a constant into `value`, else a code shader or a texture.
#define CORVANE_SCALAR_CHANNEL(ids)                                                                     \
  if (!data || !param) return true;                                                                     \
  switch (param->GetType()) {                                                                           \
    case OrvaneConstantWavelengthIndependentParam::TYPE:                                                \
      data->SetReal((ids).value, static_cast<OrvaneConstantWavelengthIndependentParam*>(param)->value); \
      break;                                                                                            \
    case OrvaneShaderWavelengthIndependentParam::TYPE:                                                  \
      ImportShader((ids).link, (ids).sw,                                                                \
                   static_cast<OrvaneShaderWavelengthIndependentParam*>(param)->shader, data);          \
      break;                                                                                            \
    case OrvaneTextureWavelengthIndependentParam::TYPE:                                                 \
      if (const OrvaneTexture* tex = TextureAt(                                                         \
              textures, static_cast<OrvaneTextureWavelengthIndependentParam*>(param)->texture_index))   \
        (this->*((ids).setter))(data, tex, mat);                                                        \
      break;                                                                                            \
    default: break;                                                                                     \
  }                                                                                                     \
  return true;

Bool ImportOVM::ImportExponent(BaseContainer* data, OrvaneWavelengthIndependentParam* param,
                               const TextureList& textures, BaseMaterial* mat) {
  const ScalarIds ids{MAT_EXPONENT, MAT_EXPONENT_SHADER, MAT_USE_EXPONENT, &ImportOVM::ImportExponentMap};
  CORVANE_SCALAR_CHANNEL(ids)
}

Bool ImportOVM::ImportSigma(BaseContainer* data, OrvaneWavelengthIndependentParam* param,
                            const TextureList& textures, BaseMaterial* mat) {
  const ScalarIds ids{MAT_SIGMA, MAT_SIGMA_SHADER, MAT_USE_SIGMA, &ImportOVM::ImportSigmaMap};
  CORVANE_SCALAR_CHANNEL(ids)
}

namespace {

struct DisplaceIds {
  int link, sw;
  TextureSetter setter;
  const char* constantWarning;  // null: the constant is stored in `value`
  int value;
};

}  // namespace

// One displacement-family channel: a constant into `value` or a warning, else a code shader or a
// texture.
#define CORVANE_DISPLACE_CHANNEL(ids)                                                                       \
  if (!data || !param) return true;                                                                         \
  switch (param->GetType()) {                                                                               \
    case OrvaneConstantDisplacementParam::TYPE:                                                             \
      if ((ids).constantWarning)                                                                            \
        Warn((ids).constantWarning, mat);                                                                   \
      else                                                                                                  \
        data->SetReal((ids).value, static_cast<OrvaneConstantDisplacementParam*>(param)->value);            \
      break;                                                                                                \
    case OrvaneShaderDisplacementParam::TYPE:                                                               \
      ImportShader((ids).link, (ids).sw, static_cast<OrvaneShaderDisplacementParam*>(param)->shader, data); \
      break;                                                                                                \
    case OrvaneTextureDisplacementParam::TYPE:                                                              \
      if (const OrvaneTexture* tex =                                                                        \
              TextureAt(textures, static_cast<OrvaneTextureDisplacementParam*>(param)->texture_index))      \
        (this->*((ids).setter))(data, tex, mat);                                                            \
      break;                                                                                                \
    default: break;                                                                                         \
  }                                                                                                         \
  return true;

Bool ImportOVM::ImportBump(BaseContainer* data, OrvaneDisplacementParam* param, const TextureList& textures,
                           BaseMaterial* mat) {
  const DisplaceIds ids{MAT_BUMP_SHADER, MAT_USE_BUMP, &ImportOVM::ImportBumpMap,
                        "Bump constant in Material ", 0};
  CORVANE_DISPLACE_CHANNEL(ids)
}

Bool ImportOVM::ImportDisplacement(BaseContainer* data, OrvaneDisplacementParam* param,
                                   const TextureList& textures, BaseMaterial* mat) {
  const DisplaceIds ids{MAT_DISPLACEMENT_SHADER, MAT_USE_DISPLACEMENT, &ImportOVM::ImportDisplacementMap,
                        "Displacement constant in Material ", 0};
  CORVANE_DISPLACE_CHANNEL(ids)
}

Bool ImportOVM::ImportBlend(BaseContainer* data, OrvaneDisplacementParam* param, const TextureList& textures,
                            BaseMaterial* mat) {
  const DisplaceIds ids{MAT_ALPHA_SHADER, MAT_USE_ALPHA, &ImportOVM::ImportBlendMap, nullptr,
                        MAT_ALPHA_VALUE};
  CORVANE_DISPLACE_CHANNEL(ids)
}

void ImportOVM::ImportShader(int linkId, int switchId, std::string code, BaseContainer* container) {
  if (!container || !document) return;
  BaseShader* shader = BaseShader::Alloc(ID_OVLSHADER);
  if (!shader) return;
  document->InsertShader(shader, nullptr);
  shader->GetDataInstance()->SetString(OVL_CODE, ImportText(code));
  container->SetLink(linkId, shader);
  container->SetBool(switchId, TRUE);
}
