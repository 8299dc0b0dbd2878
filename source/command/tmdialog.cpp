#include "command/tmdialog.h"

#include "object/orvanedllwrapper.h"
#include "main/helpers.h"

namespace {

// Slider range and entry limits of a real gadget.
struct Range {
  Real sliderMin, sliderMax, min, max;
};
const Range kScaleRange = {0.0, 10.0, 0.0, 100000.0};
const Range kBurnRange = {1.001, 10.0, 1.001, 100000.0};
const Range kIsoRange = {0.001, 200.0, 0.001, 100000.0};
const Range kEvRange = {-5.0, 5.0, -100000.0, 100000.0};
const Range kWhitePointRange = {0.24, 0.46, 0.24, 0.46};

struct Preset {
  LONG id;
  const char* name;
  Real x, y;
};
const Preset kPresets[] = {
    {6069, "E", 0.33304, 0.33304},   {6070, "D50", 0.34546, 0.35834}, {6071, "D55", 0.33212, 0.3473},
    {6072, "D65", 0.31234, 0.3289},  {6073, "D75", 0.299, 0.31464},   {6074, "A", 0.44712, 0.4071},
    {6075, "B", 0.34822, 0.35144},   {6076, "C", 0.31004, 0.31602},   {6077, "9300 K", 0.28474, 0.29302},
    {6078, "F2", 0.37168, 0.3749},   {6079, "F7", 0.3128, 0.3289},    {6080, "sRGB", 0.31234, 0.3289},
    {6081, "F11", 0.38042, 0.37674},
};
const Real kDefaultWhiteX = 0.31234;
const Real kDefaultWhiteY = 0.3289;

void SetRealIn(TMDialog* d, LONG id, Real value, const Range& r) {
  d->SetReal(id, value, r.min, r.max, 0.01, FORMAT_REAL, r.sliderMin, r.sliderMax);
}

Real RealOf(const TMDialog& d, LONG id, Real def) {
  Real v = def;
  d.GetReal(id, v);
  return v;
}

}  // namespace

void WhitePointOfPreset(LONG preset, Real* x, Real* y) {
  *x = kDefaultWhiteX;
  *y = kDefaultWhiteY;
  for (const Preset& p : kPresets) {
    if (p.id == preset) {
      *x = p.x;
      *y = p.y;
    }
  }
}

Bool TMDialog::CreateLayout() { return GeDialog::CreateLayout() && LoadLayout(); }

Bool TMDialog::LoadLayout() {
  SetTitle("Orvane Interactive Tonemapping");
  // Labels get IDs of their own (6100 on), clear of the gadgets and of the preset entry 0.
  LONG labelId = 6100;
  auto label = [this, &labelId](const char* text) { AddStaticText(labelId++, 0, 0, 0, text, 0); };
  GroupBegin(6090, 0, 2, 0, "Tonemapper", 0);
  AddRadioGroup(IDC_TM_TONEMAPPER, 0, 1);
  AddChild(IDC_TM_TONEMAPPER, IDC_TM_REINHARD, "Reinhard");
  AddChild(IDC_TM_TONEMAPPER, IDC_TM_LINEAR, "Linear");
  AddChild(IDC_TM_TONEMAPPER, IDC_TM_CAMERA, "Camera");
  GroupEnd();

  GroupBegin(6091, 0, 2, 0, "Linear", 0);
  label("Scale");
  AddEditSlider(IDC_TM_LINEAR_SCALE, 0);
  GroupEnd();

  GroupBegin(6092, 0, 2, 0, "Reinhard", 0);
  label("Pre-scale");
  AddEditSlider(IDC_TM_REINHARD_PRE, 0);
  label("Post-scale");
  AddEditSlider(IDC_TM_REINHARD_POST, 0);
  label("Burn");
  AddEditSlider(IDC_TM_REINHARD_BURN, 0);
  GroupEnd();

  GroupBegin(6093, 0, 2, 0, "Camera", 0);
  label("Response function");
  AddEditText(IDC_TM_RESPONSE_FILE, 0);
  label("Film ISO");
  AddEditSlider(IDC_TM_FILM_ISO, 0);
  label("EV adjustment");
  AddEditSlider(IDC_TM_EV_ADJUST, 0);
  GroupEnd();

  GroupBegin(6094, 0, 2, 0, "White point", 0);
  label("Preset");
  AddComboBox(IDC_TM_WHITEPOINT_PRESET, 0);
  AddChild(IDC_TM_WHITEPOINT_PRESET, 0, "Custom");
  for (const Preset& p : kPresets) AddChild(IDC_TM_WHITEPOINT_PRESET, p.id, p.name);
  label("x");
  AddEditSlider(IDC_TM_WHITEPOINT_X, 0);
  label("y");
  AddEditSlider(IDC_TM_WHITEPOINT_Y, 0);
  GroupEnd();

  GroupBegin(6095, 0, 5, 0, "Light layers", 0);
  for (LONG i = 0; i < kTonemappingLayers; ++i) {
    AddCheckbox(IDC_TM_LAYER_ENABLED + i, 0, 0, 0, String("Layer ") + String::LongToString(i + 1));
    AddEditSlider(IDC_TM_LAYER_GAIN + i, 0);
    AddEditNumberArrows(IDC_TM_LAYER_COLOR + 3 * i, 0);
    AddEditNumberArrows(IDC_TM_LAYER_COLOR + 3 * i + 1, 0);
    AddEditNumberArrows(IDC_TM_LAYER_COLOR + 3 * i + 2, 0);
  }
  GroupEnd();

  AddButton(IDC_TM_APPLY, 0, 0, 0, "Apply");
  return true;
}

Bool TMDialog::InitValues() {
  if (!GeDialog::InitValues()) return false;
  TonemappingData tm = orvane_ ? orvane_->GetTonemapping() : TonemappingData();

  LONG radio = tm.tonemapper == TonemappingData::REINHARD ? IDC_TM_REINHARD
               : tm.tonemapper == TonemappingData::CAMERA ? IDC_TM_CAMERA
                                                          : IDC_TM_LINEAR;
  SetLong(IDC_TM_TONEMAPPER, radio);
  SetRealIn(this, IDC_TM_LINEAR_SCALE, tm.linearScale, kScaleRange);
  SetRealIn(this, IDC_TM_REINHARD_PRE, tm.reinhardPreScale, kScaleRange);
  SetRealIn(this, IDC_TM_REINHARD_POST, tm.reinhardPostScale, kScaleRange);
  SetRealIn(this, IDC_TM_REINHARD_BURN, tm.reinhardBurn, kBurnRange);
  for (LONG i = 0; i < kTonemappingLayers; ++i) {
    SetBool(IDC_TM_LAYER_ENABLED + i, true);
    SetRealIn(this, IDC_TM_LAYER_GAIN + i, tm.layerGain[i], kScaleRange);
    for (LONG c = 0; c < 3; ++c)
      SetRealIn(this, IDC_TM_LAYER_COLOR + 3 * i + c, tm.layerColor[i][c], kScaleRange);
  }
  SetString(IDC_TM_RESPONSE_FILE, String(tm.cameraResponseFile));
  SetRealIn(this, IDC_TM_FILM_ISO, tm.filmIso, kIsoRange);
  SetRealIn(this, IDC_TM_EV_ADJUST, tm.evAdjust, kEvRange);
  SetLong(IDC_TM_WHITEPOINT_PRESET, tm.whitePointPreset);
  SetWhitePoint(tm.whitePointX, tm.whitePointY);
  return true;
}

void TMDialog::SetWhitePoint(Real x, Real y) {
  SetRealIn(this, IDC_TM_WHITEPOINT_X, x, kWhitePointRange);
  SetRealIn(this, IDC_TM_WHITEPOINT_Y, y, kWhitePointRange);
}

TonemappingData TMDialog::GetTonemappingData() const {
  TonemappingData tm;
  tm.cameraResponseFile.clear();

  LONG radio = 0;
  GetLong(IDC_TM_TONEMAPPER, radio);
  if (radio == IDC_TM_LINEAR)
    tm.tonemapper = TonemappingData::LINEAR;
  else if (radio == IDC_TM_CAMERA)
    tm.tonemapper = TonemappingData::CAMERA;
  else if (radio == IDC_TM_REINHARD)
    tm.tonemapper = TonemappingData::REINHARD;

  tm.linearScale = RealOf(*this, IDC_TM_LINEAR_SCALE, tm.linearScale);
  tm.reinhardPreScale = RealOf(*this, IDC_TM_REINHARD_PRE, tm.reinhardPreScale);
  tm.reinhardPostScale = RealOf(*this, IDC_TM_REINHARD_POST, tm.reinhardPostScale);
  tm.reinhardBurn = RealOf(*this, IDC_TM_REINHARD_BURN, tm.reinhardBurn);
  tm.filmIso = RealOf(*this, IDC_TM_FILM_ISO, tm.filmIso);
  tm.evAdjust = RealOf(*this, IDC_TM_EV_ADJUST, tm.evAdjust);
  tm.whitePointX = RealOf(*this, IDC_TM_WHITEPOINT_X, tm.whitePointX);
  tm.whitePointY = RealOf(*this, IDC_TM_WHITEPOINT_Y, tm.whitePointY);
  GetLong(IDC_TM_WHITEPOINT_PRESET, tm.whitePointPreset);

  String response;
  if (GetString(IDC_TM_RESPONSE_FILE, response)) tm.cameraResponseFile = Helpers::ToUTF8String(response);

  for (LONG i = 0; i < kTonemappingLayers; ++i) {
    for (LONG c = 0; c < 3; ++c)
      tm.layerColor[i][c] = RealOf(*this, IDC_TM_LAYER_COLOR + 3 * i + c, tm.layerColor[i][c]);
    Bool enabled = false;
    GetBool(IDC_TM_LAYER_ENABLED + i, enabled);
    tm.layerGain[i] = enabled ? RealOf(*this, IDC_TM_LAYER_GAIN + i, tm.layerGain[i]) : 0.0;
  }
  return tm;
}

Bool TMDialog::Command(LONG id, const BaseContainer& /*msg*/) {
  switch (id) {
    case IDC_TM_WHITEPOINT_X:
    case IDC_TM_WHITEPOINT_Y:
      // A white point typed by hand belongs to no preset.
      SetLong(IDC_TM_WHITEPOINT_PRESET, 0);
      break;
    case IDC_TM_WHITEPOINT_PRESET: {
      LONG preset = 0;
      GetLong(IDC_TM_WHITEPOINT_PRESET, preset);
      // Choosing the hand-entered entry keeps the point as typed.
      if (preset == 0) break;
      Real x, y;
      WhitePointOfPreset(preset, &x, &y);
      SetWhitePoint(x, y);
      break;
    }
    case IDC_TM_APPLY:
      if (orvane_) orvane_->StoreTonemapping(GetTonemappingData(), true);
      break;
    default: break;
  }
  return true;
}

Bool TMDialog::AskClose() {
  if (orvane_) orvane_->StoreTonemapping(GetTonemappingData(), false);
  return false;
}
