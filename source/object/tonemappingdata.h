// The interactive tonemapping settings of the in-host render, and the texts that hand them to
// the renderer.
#pragma once

#include <string>

#include "c4d.h"

/// Number of light layers whose scale the tonemapping sets.
constexpr int kTonemappingLayers = 10;

/// The interactive tonemapping settings that the tonemapping dialog edits.
struct TonemappingData {
  /// Tonemappers.
  enum { LINEAR = 0, REINHARD = 1, CAMERA = 2 };

  LONG tonemapper = REINHARD;    ///< 0 linear, 1 Reinhard, 2 camera.
  Real linearScale = 1.0;        ///< Scale of the linear tonemapper.
  Real reinhardPreScale = 2.0;   ///< Reinhard scale before the curve.
  Real reinhardPostScale = 1.0;  ///< Reinhard scale after the curve.
  Real reinhardBurn = 10.0;      ///< Reinhard burn.
  Real layerColor[kTonemappingLayers][3] = {
      {1, 1, 1}, {1, 1, 1}, {1, 1, 1}, {1, 1, 1}, {1, 1, 1},
      {1, 1, 1}, {1, 1, 1}, {1, 1, 1}, {1, 1, 1}, {1, 1, 1}};           ///< Red, green, blue per layer.
  Real layerGain[kTonemappingLayers] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1};  ///< Gain per layer.
  std::string cameraResponseFile = "dscs315.txt";  ///< File name (UTF-8) of the camera response.
  Real filmIso = 50.0;                             ///< Film speed of the camera tonemapper.
  Real evAdjust = 0.0;                             ///< Exposure adjustment of the camera tonemapper.
  Real whitePointX = 0.33242;                      ///< White point chromaticity x.
  Real whitePointY = 0.34743;                      ///< White point chromaticity y.
  LONG whitePointPreset = 0;                       ///< Preset of the white point; 0 for one entered by hand.
};

/// The "tonemapping" element of the settings: the chosen tonemapper with its values (any
/// tonemapper but Reinhard and camera counts as linear).
std::string TonemappingText(const TonemappingData& tm);
/// The "white_point" element of the settings.
std::string WhitePointText(const TonemappingData& tm);
/// The "layer_controls" element of the settings: each layer's colour times its gain.
std::string LayerControlsText(const TonemappingData& tm);
