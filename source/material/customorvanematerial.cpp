// The plug-in material: its defaults, its channel switches and its registration.
#include "material/customorvanematerial.h"

namespace {

// The render information the material asks of the host.
constexpr LONG kRenderInfo = 0x6000006;

// The defaults of the texture values exponent, a, b and c of one channel, from `first` on.
void SetTextureValues(BaseContainer* bc, LONG first, Real exponent, Real a, Real b, Real c) {
  bc->SetReal(first, exponent);
  bc->SetReal(first + 1, a);
  bc->SetReal(first + 2, b);
  bc->SetReal(first + 3, c);
}

// The defaults of the peak spectrum parameters, from `first` on.
void SetPeak(BaseContainer* bc, LONG first) {
  bc->SetReal(first, 100.0);
  bc->SetReal(first + 1, 600.0);
  bc->SetReal(first + 2, 1.0);
  bc->SetReal(first + 3, 1.0);
}

}  // namespace

Bool CustomOrvaneMaterial::Init(GeListNode* node) {
  if (!node) return true;
  BaseContainer* bc = static_cast<BaseMaterial*>(node)->GetDataInstance();
  WriteDefaults(bc, 0);
  SetChannels(bc);
  return true;
}

void CustomOrvaneMaterial::WriteDefaults(BaseContainer* bc, int o) {
  const LVector white(1.0, 1.0, 1.0);

  bc->SetLong(o + MAT_TYPE, o + MAT_TYPE_DIFFUSE);
  if (!o) bc->SetLong(MAT_SELECTOR, MAT_SELECTOR_DEFAULT);

  // Albedo, exponent and sigma.
  bc->SetVector(o + MAT_ALBEDO_COLOR, white);
  bc->SetReal(o + MAT_ALBEDO_BRIGHTNESS, 0.8);
  bc->SetReal(o + MAT_ALBEDO_GAMMA, 2.2);
  SetTextureValues(bc, o + MAT_ALBEDO_TEX_EXPONENT, 2.2, 0.0, 1.0, 0.0);
  bc->SetBool(o + MAT_ALBEDO_IS_SPECULAR, false);
  bc->SetReal(o + MAT_EXPONENT, 1000.0);
  SetTextureValues(bc, o + MAT_EXPONENT_TEX_EXPONENT, 2.2, 0.0, 1.0, 0.0);
  bc->SetReal(o + MAT_SIGMA, 0.2);
  SetTextureValues(bc, o + MAT_SIGMA_TEX_EXPONENT, 1.0, 0.0, 1.0, 0.0);

  // Bump, displacement, blend factor and partners.
  SetTextureValues(bc, o + MAT_BUMP_TEX_EXPONENT, 1.0, 0.0, 0.001, 0.0);
  SetTextureValues(bc, o + MAT_DISPLACEMENT_TEX_EXPONENT, 1.0, 0.0, 0.001, 0.0);
  bc->SetReal(o + MAT_ALPHA_VALUE, 0.5);
  SetTextureValues(bc, o + MAT_ALPHA_TEX_EXPONENT, 1.0, 0.0, 1.0, 0.0);
  bc->SetBool(o + MAT_STEP_BLEND, false);

  // Phong and specular.
  bc->SetReal(o + MAT_PHONG_IOR, 1.6);
  bc->SetBool(o + MAT_USE_NK, false);
  bc->SetString(o + MAT_NK_FILE, String("cr.nk"));
  bc->SetBool(o + MAT_TRANSPARENT, true);

  // Absorption layer.
  bc->SetVector(o + MAT_ABSORPTION_LAYER_COLOR, white);
  bc->SetReal(o + MAT_ABSORPTION_LAYER_BRIGHTNESS, 0.8);
  bc->SetReal(o + MAT_ABSORPTION_LAYER_GAMMA, 2.2);
  SetTextureValues(bc, o + MAT_ABSORPTION_LAYER_TEX_EXPONENT, 2.2, 0.0, 1.0, 0.0);

  // Emission. The tabulated values are text: a new material holds an empty one.
  bc->SetLong(o + MAT_EMISSION_SPECTRUM, o + MAT_SPECTRUM_RGB);
  bc->SetVector(o + MAT_EMISSION_COLOR, white);
  bc->SetReal(o + MAT_EMISSION_BRIGHTNESS, 0.8);
  bc->SetReal(o + MAT_EMISSION_GAMMA, 1.0);
  bc->SetReal(o + MAT_EMISSION_TEMPERATURE, 6500.0);
  bc->SetReal(o + MAT_EMISSION_GAIN, 1.0);
  bc->SetReal(o + MAT_EMISSION_UNIFORM, 1.0);
  SetPeak(bc, o + MAT_EMISSION_PEAK_MIN);
  bc->SetString(o + MAT_EMISSION_TAB_VALUES, String());
  SetTextureValues(bc, o + MAT_EMISSION_TEX_EXPONENT, 2.2, 0.0, 1.0, 0.0);
  bc->SetLong(o + MAT_LIGHT_LAYER, 0);
  bc->SetBool(o + MAT_EMISSION_SCALE, false);
  bc->SetLong(o + MAT_EMISSION_SCALE_MEASURE, o + MAT_MEASURE_LUMINOUS_FLUX);
  bc->SetReal(o + MAT_EMISSION_SCALE_VALUE, 100.0);

  // Medium.
  bc->SetLong(o + MAT_MEDIUM_TYPE, o + MAT_MEDIUM_BASIC);
  bc->SetLong(o + MAT_MEDIUM_PRECEDENCE, 10);
  bc->SetReal(o + MAT_MEDIUM_IOR, 1.6);
  bc->SetReal(o + MAT_MEDIUM_CAUCHY_B, 0.0);
  bc->SetBool(o + MAT_USE_SUBSURFACE, false);
  bc->SetReal(o + MAT_HEMOGLOBIN_FRACTION, 0.05);
  bc->SetReal(o + MAT_MELANIN_FRACTION, 0.25);
  bc->SetReal(o + MAT_MELANIN_TYPE_BLEND, 0.5);
  if (!o) {  // a node shader has no atmosphere medium
    bc->SetReal(MAT_TURBIDITY, 2.0);
    bc->SetVector(MAT_ATMOSPHERE_CENTER, LVector(0.0, 0.0, 0.0));
  }
  bc->SetLong(o + MAT_ABSORPTION_SPECTRUM, o + MAT_SPECTRUM_RGB);
  bc->SetVector(o + MAT_ABSORPTION_COLOR, white);
  bc->SetReal(o + MAT_ABSORPTION_GAMMA, 1.0);
  bc->SetReal(o + MAT_ABSORPTION_SCALE, 1.0);
  bc->SetReal(o + MAT_ABSORPTION_TEMPERATURE, 6500.0);
  bc->SetReal(o + MAT_ABSORPTION_GAIN, 1.0);
  bc->SetReal(o + MAT_ABSORPTION_UNIFORM, 0.0);
  SetPeak(bc, o + MAT_ABSORPTION_PEAK_MIN);
  bc->SetString(o + MAT_ABSORPTION_TAB_VALUES, String());
  bc->SetLong(o + MAT_SCATTERING_SPECTRUM, o + MAT_SPECTRUM_UNIFORM);
  bc->SetVector(o + MAT_SCATTERING_COLOR, LVector(0.0, 0.0, 0.0));
  bc->SetReal(o + MAT_SCATTERING_GAMMA, 1.0);
  bc->SetReal(o + MAT_SCATTERING_SCALE, 1.0);
  bc->SetReal(o + MAT_SCATTERING_TEMPERATURE, 6500.0);
  bc->SetReal(o + MAT_SCATTERING_GAIN, 1.0);
  bc->SetReal(o + MAT_SCATTERING_UNIFORM, 0.0);
  SetPeak(bc, o + MAT_SCATTERING_PEAK_MIN);
  bc->SetString(o + MAT_SCATTERING_TAB_VALUES, String());
  bc->SetLong(o + MAT_PHASE_FUNCTION, o + MAT_PHASE_UNIFORM);
  bc->SetVector(o + MAT_PHASE_G, LVector(0.9, 0.9, 0.9));
  bc->SetReal(o + MAT_PHASE_G_GAMMA, 2.2);

  // Baking (a node shader bakes at a fixed size).
  if (!o) {
    bc->SetLong(MAT_BAKE_WIDTH, 1024);
    bc->SetLong(MAT_BAKE_HEIGHT, 1024);
  }
}

LONG CustomOrvaneMaterial::GetRenderInfo(BaseMaterial*) { return kRenderInfo; }

void CustomOrvaneMaterial::SetChannels(BaseContainer* data) {
  if (!data) return;
  // Written in this order; a switch a type does not name stays as it is.
  struct Row {
    bool alpha, albedo, phong, medium, exponent, sigma, specular;
    bool clearsSurface;  // bump, displacement and emission off (blend and null)
  };
  Row row;
  switch (data->GetLong(MAT_TYPE, MAT_TYPE_DIFFUSE)) {
    case MAT_TYPE_DIFFUSE:
    case MAT_TYPE_DIFFUSE_TRANSMITTER: row = {false, true, false, false, false, false, false, false}; break;
    case MAT_TYPE_OREN_NAYAR: row = {false, true, false, false, false, true, false, false}; break;
    case MAT_TYPE_PHONG: row = {false, true, true, false, true, false, false, false}; break;
    case MAT_TYPE_SPECULAR: row = {false, false, false, true, false, false, true, false}; break;
    case MAT_TYPE_GLOSSY_TRANSPARENT: row = {false, false, false, true, true, false, false, false}; break;
    case MAT_TYPE_BLEND:
    case MAT_TYPE_NULL: row = {true, false, false, false, false, false, false, true}; break;
    default: return;
  }
  if (row.alpha) data->SetBool(MAT_USE_ALPHA, true);
  data->SetBool(MAT_USE_ALBEDO, row.albedo);
  data->SetBool(MAT_SHOW_PHONG, row.phong);
  data->SetBool(MAT_SHOW_MEDIUM, row.medium);
  data->SetBool(MAT_USE_EXPONENT, row.exponent);
  data->SetBool(MAT_USE_SIGMA, row.sigma);
  if (row.clearsSurface) {
    data->SetBool(MAT_USE_BUMP, false);
    data->SetBool(MAT_USE_DISPLACEMENT, false);
    data->SetBool(MAT_USE_EMISSION, false);
  }
  data->SetBool(MAT_SHOW_SPECULAR, row.specular);
}

Bool RegisterCustomOrvaneMaterial() {
  String name = GeLoadString(10025);
  if (!name.Content()) return true;
  return RegisterMaterialPlugin(ID_CUSTOMORVANEMATERIAL, name, 0x20000001, CustomOrvaneMaterial::Alloc,
                                "Morvanematerial", 0);
}
