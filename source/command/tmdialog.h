// The interactive tonemapping dialog of the in-host render.
#pragma once

#include "c4d.h"
#include "object/tonemappingdata.h"

class OrvaneDLLWrapper;

/// Gadgets of the tonemapping dialog.
enum {
  IDC_TM_LINEAR_SCALE = 6001,       ///< Linear scale.
  IDC_TM_APPLY = 6002,              ///< Apply button.
  IDC_TM_TONEMAPPER = 6016,         ///< Radio group of the tonemapper.
  IDC_TM_REINHARD = 6017,           ///< Its Reinhard entry.
  IDC_TM_LINEAR = 6018,             ///< Its linear entry.
  IDC_TM_CAMERA = 6019,             ///< Its camera entry.
  IDC_TM_REINHARD_POST = 6020,      ///< Reinhard post-scale.
  IDC_TM_REINHARD_PRE = 6021,       ///< Reinhard pre-scale.
  IDC_TM_REINHARD_BURN = 6022,      ///< Reinhard burn.
  IDC_TM_LAYER_COLOR = 6023,        ///< Layer i's red, green, blue: 6023 + 3i, 6024 + 3i, 6025 + 3i.
  IDC_TM_LAYER_GAIN = 6053,         ///< Layer i's gain: 6053 + i.
  IDC_TM_RESPONSE_FILE = 6063,      ///< Camera response file name.
  IDC_TM_FILM_ISO = 6064,           ///< Film ISO.
  IDC_TM_EV_ADJUST = 6065,          ///< EV adjustment.
  IDC_TM_WHITEPOINT_PRESET = 6066,  ///< White-point preset: 0 for a hand-entered point, or 6069 to 6081.
  IDC_TM_WHITEPOINT_X = 6067,       ///< White point x.
  IDC_TM_WHITEPOINT_Y = 6068,       ///< White point y.
  IDC_TM_PRESET_FIRST = 6069,       ///< First white-point preset.
  IDC_TM_PRESET_LAST = 6081,        ///< Last white-point preset.
  IDC_TM_LAYER_ENABLED = 6082,      ///< Layer i enabled: 6082 + i.
};

/// The white point (chromaticity x, y) of a preset; any value that is no preset gives the default
/// (0.31234, 0.3289).
void WhitePointOfPreset(LONG preset, Real* x, Real* y);

/// Edits the connection's tonemapping settings; "Apply" hands them to the running render.
class TMDialog : public GeDialog {
 public:
  /// The connection whose settings the dialog edits (not owned).
  void SetConnection(OrvaneDLLWrapper* connection) { orvane_ = connection; }
  /// Builds the gadgets.
  Bool CreateLayout() override;
  /// Fills the gadgets from the connection's settings, every layer ticked.
  Bool InitValues() override;
  /// Keeps the white point and its preset in step; "Apply" stores the settings and tells the
  /// running render to send them.
  Bool Command(LONG id, const BaseContainer& msg) override;
  /// Stores the settings (without sending them) and lets the dialog close.
  Bool AskClose() override;
  /// The settings as the gadgets show them; an unticked layer has gain 0.
  TonemappingData GetTonemappingData() const;

 private:
  Bool LoadLayout();
  void SetWhitePoint(Real x, Real y);

  OrvaneDLLWrapper* orvane_ = nullptr;
};
