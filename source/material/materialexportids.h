// The plug-in material's type and the parameters of it that the scene export reads.
#pragma once

/// Plug-in ID of the plug-in material.
constexpr int ID_CUSTOMORVANEMATERIAL = 1024337;

/// Parameters of the plug-in material read by the scene export.
enum {
  MAT_USE_EMISSION = 6007,      ///< Bool: the material emits light.
  MAT_EMISSION_SCALE = 6080,    ///< Bool: scale the emission to a photometric value.
  MAT_SCALE_MEASURE = 6083,     ///< LONG: the measure, `MAT_MEASURE_*`.
  MAT_SCALE_VALUE = 6088,       ///< Real: the value in that measure.
  MAT_LIGHT_LAYER = 6090,       ///< LONG cycle: the light layer 0 to 9 of the emission.
  MAT_USE_IES_PROFILE = 6281,   ///< Bool: give the emission an IES profile.
  MAT_IES_PROFILE_FILE = 6282,  ///< Filename: the IES profile.
};

/// Values of `MAT_SCALE_MEASURE`.
enum {
  MAT_MEASURE_LUMINOUS_FLUX = 6084,
  MAT_MEASURE_LUMINOUS_INTENSITY = 6085,
  MAT_MEASURE_LUMINANCE = 6086,
  MAT_MEASURE_LUMINOUS_EMITTANCE = 6087,
};
