// Parameter IDs of the light tag.
#pragma once

/// Plug-in ID of the light tag.
constexpr int ID_MYLIGHTTAG = 1020892;

/// Parameters of the light tag, in its container.
enum {
  LIGHTTAG_EMISSION_TYPE = 1215,  ///< LONG cycle: the emission spectrum, `LIGHTTAG_EMISSION_*`.

  LIGHTTAG_GROUP_BLACKBODY = 1220,  ///< Group of the blackbody settings.
  LIGHTTAG_GROUP_RGB = 1221,        ///< Group of the RGB settings.
  LIGHTTAG_GROUP_UNIFORM = 1222,    ///< Group of the uniform settings.
  LIGHTTAG_GROUP_PEAK = 1223,       ///< Group of the peak settings.

  LIGHTTAG_BLACKBODY_TEMPERATURE = 1224,  ///< Real: blackbody temperature in kelvin.
  LIGHTTAG_BLACKBODY_GAIN = 1225,         ///< Real: blackbody gain.
  LIGHTTAG_UNIFORM_VALUE = 1226,          ///< Real: value of the uniform spectrum.
  LIGHTTAG_RGB_COLOR = 1227,              ///< Vector: colour of the RGB spectrum.
  LIGHTTAG_RGB_GAMMA = 1228,              ///< Real: gamma of the RGB spectrum.

  LIGHTTAG_PEAK = 1231,        ///< Real: lower end of the peak, in nanometres.
  LIGHTTAG_PEAK_WIDTH = 1232,  ///< Real: width of the peak, in nanometres.
  LIGHTTAG_PEAK_VALUE = 1233,  ///< Real: value inside the peak.
  LIGHTTAG_PEAK_BASE = 1234,   ///< Real: value outside the peak.

  LIGHTTAG_SCALE_MEASURE = 1300,  ///< LONG cycle: photometric measure, `LIGHTTAG_MEASURE_*`.
  LIGHTTAG_SCALE_VALUE = 1301,    ///< Real: value in that measure.

  LIGHTTAG_IES = 1307,                 ///< Bool: use an IES profile.
  LIGHTTAG_IES_FILE = 1308,            ///< Filename: the IES profile.
  LIGHTTAG_IES_RENDER_BUTTON = 1309,   ///< Button: renders the profile's preview.
  LIGHTTAG_IES_PREVIEW_BITMAP = 1310,  ///< Bitmap button: shows the preview; holds no value.
  LIGHTTAG_IES_PREVIEW = 1311,         ///< Filename: the preview image (always hidden).
  LIGHTTAG_EMISSION_SCALE = 1312,      ///< Bool: scale the emission to the photometric value.
  LIGHTTAG_LAYER = 1313,               ///< LONG cycle: light layer 0 to 9.
};

/// Values of `LIGHTTAG_EMISSION_TYPE`.
enum {
  LIGHTTAG_EMISSION_PEAK = 1216,
  LIGHTTAG_EMISSION_RGB = 1217,
  LIGHTTAG_EMISSION_BLACKBODY = 1218,
  LIGHTTAG_EMISSION_UNIFORM = 1219,
};

/// Values of `LIGHTTAG_SCALE_MEASURE`.
enum {
  LIGHTTAG_MEASURE_LUMINOUS_FLUX = 1302,
  LIGHTTAG_MEASURE_LUMINOUS_INTENSITY = 1304,
  LIGHTTAG_MEASURE_LUMINANCE = 1305,
  LIGHTTAG_MEASURE_LUMINOUS_EMITTANCE = 1306,
};
