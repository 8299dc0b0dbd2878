// The plug-in material's parameter set: every parameter ID of the material's container and the
// values its selectors take. The scene export, the material writers, the import and the tools all
// read and write the material through these names. The node shader of the node-based material uses
// the same set with every ID raised by `NODE_ID_OFFSET`.
#pragma once

/// Plug-in ID of the plug-in material.
constexpr int ID_CUSTOMORVANEMATERIAL = 1024337;

/// What the node shader adds to every ID of this set.
constexpr int NODE_ID_OFFSET = 1000;

enum {
  // Type and page switches.
  MAT_TYPE = 6024,                  ///< LONG: the material model, `MAT_TYPE_*`.
  MAT_SELECTOR = 6032,              ///< LONG: selector shown by the layout only.
  MAT_USE_ALPHA = 6002,             ///< Bool: blend-factor channel (cut-out wrapper for non-blends).
  MAT_USE_ALBEDO = 6003,            ///< Bool: albedo channel.
  MAT_SHOW_PHONG = 6004,            ///< Bool: shows the phong group (layout only).
  MAT_USE_BUMP = 6005,              ///< Bool: bump channel.
  MAT_USE_DISPLACEMENT = 6006,      ///< Bool: displacement channel.
  MAT_USE_EMISSION = 6007,          ///< Bool: emission channel.
  MAT_USE_EXPONENT = 6008,          ///< Bool: exponent channel.
  MAT_USE_SIGMA = 6009,             ///< Bool: sigma channel.
  MAT_SHOW_MEDIUM = 6010,           ///< Bool: shows the medium group (layout only).
  MAT_SHOW_SPECULAR = 6011,         ///< Bool: shows the specular group (layout only).
  MAT_USE_ABSORPTION_LAYER = 6280,  ///< Bool: absorption-layer channel.

  // Albedo channel.
  MAT_ALBEDO_COLOR = 6114,         ///< Vector: colour of the constant.
  MAT_ALBEDO_BRIGHTNESS = 6081,    ///< Real: multiplies the colour.
  MAT_ALBEDO_GAMMA = 6115,         ///< Real: gamma of the constant.
  MAT_ALBEDO_SHADER = 6118,        ///< Shader link.
  MAT_ALBEDO_TEX_EXPONENT = 6119,  ///< Real texture values: exponent, a, b, c.
  MAT_ALBEDO_TEX_A = 6120,
  MAT_ALBEDO_TEX_B = 6121,
  MAT_ALBEDO_TEX_C = 6122,
  MAT_ALBEDO_IS_SPECULAR = 6039,  ///< Bool: phong writes "specular_reflectivity".

  // Exponent and sigma channels.
  MAT_EXPONENT = 6040,
  MAT_EXPONENT_SHADER = 6200,
  MAT_EXPONENT_TEX_EXPONENT = 6201,
  MAT_EXPONENT_TEX_A = 6202,
  MAT_EXPONENT_TEX_B = 6203,
  MAT_EXPONENT_TEX_C = 6204,
  MAT_SIGMA = 6079,
  MAT_SIGMA_SHADER = 6205,
  MAT_SIGMA_TEX_EXPONENT = 6206,
  MAT_SIGMA_TEX_A = 6207,
  MAT_SIGMA_TEX_B = 6208,
  MAT_SIGMA_TEX_C = 6209,

  // Bump, displacement, blend factor and blend partners.
  MAT_BUMP_SHADER = 6069,
  MAT_BUMP_TEX_EXPONENT = 6070,
  MAT_BUMP_TEX_A = 6071,
  MAT_BUMP_TEX_B = 6072,
  MAT_BUMP_TEX_C = 6073,
  MAT_DISPLACEMENT_SHADER = 6074,
  MAT_DISPLACEMENT_TEX_EXPONENT = 6075,
  MAT_DISPLACEMENT_TEX_A = 6076,
  MAT_DISPLACEMENT_TEX_B = 6077,
  MAT_DISPLACEMENT_TEX_C = 6078,
  MAT_ALPHA_VALUE = 6260,
  MAT_ALPHA_SHADER = 6052,
  MAT_ALPHA_TEX_EXPONENT = 6053,
  MAT_ALPHA_TEX_A = 6054,
  MAT_ALPHA_TEX_B = 6055,
  MAT_ALPHA_TEX_C = 6056,
  MAT_BLEND_A = 6259,     ///< Material link: blend partner a.
  MAT_BLEND_B = 6269,     ///< Material link: blend partner b.
  MAT_STEP_BLEND = 6261,  ///< Bool: "step_blend".

  // Phong and specular options.
  MAT_PHONG_IOR = 6038,
  MAT_USE_NK = 6144,
  MAT_NK_FILE = 6145,  ///< String: nk data file name.
  MAT_TRANSPARENT = 6049,

  // Absorption-layer channel.
  MAT_ABSORPTION_LAYER_COLOR = 6271,
  MAT_ABSORPTION_LAYER_BRIGHTNESS = 6272,
  MAT_ABSORPTION_LAYER_GAMMA = 6273,
  MAT_ABSORPTION_LAYER_SHADER = 6274,
  MAT_ABSORPTION_LAYER_TEX_EXPONENT = 6275,
  MAT_ABSORPTION_LAYER_TEX_A = 6276,
  MAT_ABSORPTION_LAYER_TEX_B = 6277,
  MAT_ABSORPTION_LAYER_TEX_C = 6278,

  // Emission.
  MAT_EMISSION_SPECTRUM = 6057,  ///< LONG: `MAT_SPECTRUM_*`.
  MAT_EMISSION_COLOR = 6060,
  MAT_EMISSION_BRIGHTNESS = 6089,
  MAT_EMISSION_GAMMA = 6061,
  MAT_EMISSION_TEMPERATURE = 6062,
  MAT_EMISSION_GAIN = 6063,
  MAT_EMISSION_UNIFORM = 6245,
  MAT_EMISSION_PEAK_MIN = 6254,
  MAT_EMISSION_PEAK_WIDTH = 6255,
  MAT_EMISSION_BASE_VALUE = 6256,
  MAT_EMISSION_PEAK_VALUE = 6257,
  MAT_EMISSION_TAB_START = 6241,   ///< String.
  MAT_EMISSION_TAB_END = 6242,     ///< String.
  MAT_EMISSION_TAB_VALUES = 6243,  ///< String.
  MAT_EMISSION_TAB_COUNT = 6244,   ///< LONG.
  MAT_EMISSION_SHADER = 6064,
  MAT_EMISSION_TEX_EXPONENT = 6065,
  MAT_EMISSION_TEX_A = 6066,
  MAT_EMISSION_TEX_B = 6067,
  MAT_EMISSION_TEX_C = 6068,
  MAT_LIGHT_LAYER = 6090,             ///< LONG: light layer 0 to 9 of the emission.
  MAT_EMISSION_SCALE = 6080,          ///< Bool: the scene writes an "emission_scale".
  MAT_EMISSION_SCALE_MEASURE = 6083,  ///< LONG: `MAT_MEASURE_*`.
  MAT_EMISSION_SCALE_VALUE = 6088,    ///< Real.
  MAT_USE_IES_PROFILE = 6281,         ///< Bool: the scene writes an "ies_profile".
  MAT_IES_PROFILE_FILE = 6282,        ///< Filename.

  // Medium.
  MAT_MEDIUM_TYPE = 6041,  ///< LONG: `MAT_MEDIUM_*`.
  MAT_MEDIUM_PRECEDENCE = 6045,
  MAT_MEDIUM_IOR = 6046,
  MAT_MEDIUM_CAUCHY_B = 6047,
  MAT_USE_SUBSURFACE = 6048,
  MAT_HEMOGLOBIN_FRACTION = 6126,
  MAT_MELANIN_FRACTION = 6127,
  MAT_MELANIN_TYPE_BLEND = 6128,
  MAT_TURBIDITY = 6284,
  MAT_ATMOSPHERE_CENTER = 6285,
  MAT_ABSORPTION_SPECTRUM = 6210,  ///< LONG: `MAT_SPECTRUM_*`.
  MAT_ABSORPTION_COLOR = 6129,
  MAT_ABSORPTION_GAMMA = 6130,
  MAT_ABSORPTION_SCALE = 6216,
  MAT_ABSORPTION_TEMPERATURE = 6224,
  MAT_ABSORPTION_GAIN = 6225,
  MAT_ABSORPTION_UNIFORM = 6228,
  MAT_ABSORPTION_PEAK_MIN = 6246,
  MAT_ABSORPTION_PEAK_WIDTH = 6247,
  MAT_ABSORPTION_BASE_VALUE = 6248,
  MAT_ABSORPTION_PEAK_VALUE = 6249,
  MAT_ABSORPTION_TAB_START = 6230,
  MAT_ABSORPTION_TAB_END = 6231,
  MAT_ABSORPTION_TAB_VALUES = 6232,
  MAT_ABSORPTION_TAB_COUNT = 6233,
  MAT_SCATTERING_SPECTRUM = 6217,  ///< LONG: `MAT_SPECTRUM_*`.
  MAT_SCATTERING_COLOR = 6133,
  MAT_SCATTERING_GAMMA = 6134,
  MAT_SCATTERING_SCALE = 6223,
  MAT_SCATTERING_TEMPERATURE = 6226,
  MAT_SCATTERING_GAIN = 6227,
  MAT_SCATTERING_UNIFORM = 6229,
  MAT_SCATTERING_PEAK_MIN = 6250,
  MAT_SCATTERING_PEAK_WIDTH = 6251,
  MAT_SCATTERING_BASE_VALUE = 6252,
  MAT_SCATTERING_PEAK_VALUE = 6253,
  MAT_SCATTERING_TAB_START = 6234,
  MAT_SCATTERING_TAB_END = 6235,
  MAT_SCATTERING_TAB_VALUES = 6236,
  MAT_SCATTERING_TAB_COUNT = 6237,
  MAT_PHASE_FUNCTION = 6136,  ///< LONG: `MAT_PHASE_*`.
  MAT_PHASE_G = 6141,
  MAT_PHASE_G_GAMMA = 6142,

  // Bake, preview and export.
  MAT_BAKE_WIDTH = 6265,
  MAT_BAKE_HEIGHT = 6266,
  MAT_PREVIEW_IMAGE = 6000,  ///< String: path of the last preview image.
  MAT_PREVIEW_BUTTON = 6268,
  MAT_EXPORT_BUTTON = 6270,
};

/// Values of `MAT_TYPE`.
enum {
  MAT_TYPE_DIFFUSE = 6025,
  MAT_TYPE_OREN_NAYAR = 6026,
  MAT_TYPE_PHONG = 6027,
  MAT_TYPE_DIFFUSE_TRANSMITTER = 6028,
  MAT_TYPE_SPECULAR = 6029,
  MAT_TYPE_BLEND = 6030,
  MAT_TYPE_GLOSSY_TRANSPARENT = 6031,
  MAT_TYPE_NULL = 6262,
};

/// The one value of `MAT_SELECTOR`.
enum { MAT_SELECTOR_DEFAULT = 6033 };

/// Spectrum kinds of `MAT_EMISSION_SPECTRUM`, `MAT_ABSORPTION_SPECTRUM`, `MAT_SCATTERING_SPECTRUM`.
enum {
  MAT_SPECTRUM_RGB = 6104,
  MAT_SPECTRUM_BLACKBODY = 6105,
  MAT_SPECTRUM_PEAK = 6106,
  MAT_SPECTRUM_UNIFORM = 6107,
  MAT_SPECTRUM_TABULATED = 6108,
};

/// Values of `MAT_MEDIUM_TYPE`.
enum {
  MAT_MEDIUM_BASIC = 6042,
  MAT_MEDIUM_DERMIS = 6043,
  MAT_MEDIUM_EPIDERMIS = 6044,
  MAT_MEDIUM_ATMOSPHERE = 6283,
};

/// Values of `MAT_PHASE_FUNCTION`.
enum {
  MAT_PHASE_UNIFORM = 6137,
  MAT_PHASE_HENYEY_GREENSTEIN = 6138,
};

/// Values of `MAT_EMISSION_SCALE_MEASURE`.
enum {
  MAT_MEASURE_LUMINOUS_FLUX = 6084,
  MAT_MEASURE_LUMINOUS_INTENSITY = 6085,
  MAT_MEASURE_LUMINANCE = 6086,
  MAT_MEASURE_LUMINOUS_EMITTANCE = 6087,
};
