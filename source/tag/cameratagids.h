// Parameter IDs of the camera tag. The scene export reads the tag's container by these IDs.
#pragma once

/// Plug-in ID of the camera tag.
constexpr int ID_CAMERATAG = 1022083;

/// Parameters of the camera tag and the values of its cycles.
enum {
  // White balance (integer cycle) and its illuminants.
  CAMTAG_WB_E = 1905,           ///< White balance: illuminant E.
  CAMTAG_WB_D50 = 1906,         ///< White balance: D50.
  CAMTAG_WB_D55 = 1907,         ///< White balance: D55.
  CAMTAG_WB_D65 = 1908,         ///< White balance: D65.
  CAMTAG_WB_D75 = 1909,         ///< White balance: D75.
  CAMTAG_WB_A = 1910,           ///< White balance: A.
  CAMTAG_WB_B = 1911,           ///< White balance: B.
  CAMTAG_WB_C = 1912,           ///< White balance: C.
  CAMTAG_WB_9300 = 1913,        ///< White balance: 9300 K.
  CAMTAG_WB_F2 = 1914,          ///< White balance: F2.
  CAMTAG_WB_F7 = 1915,          ///< White balance: F7.
  CAMTAG_WB_F11 = 1916,         ///< White balance: F11.
  CAMTAG_WHITE_BALANCE = 1917,  ///< Integer cycle: one of the `CAMTAG_WB_*` values.

  CAMTAG_AUTOFOCUS = 1925,          ///< Bool: autofocus.
  CAMTAG_EXPOSURE_DURATION = 1926,  ///< Real: exposure duration in seconds.
  CAMTAG_FSTOP = 1927,              ///< Real: f-number.

  // Tonemapping.
  CAMTAG_CAMERA_TONEMAPPER_GROUP = 1941,  ///< Description group: camera tonemapper settings.
  CAMTAG_FILM_ISO = 1942,                 ///< Real: film sensitivity (camera tonemapper).
  CAMTAG_EV_ADJUST = 1943,                ///< Real: exposure-value adjustment (camera tonemapper).
  CAMTAG_RESPONSE_FUNCTION = 1944,        ///< Filename: camera response function file.
  CAMTAG_TONEMAPPER = 1945,               ///< Integer cycle: one of the `CAMTAG_TONEMAPPER_*` values.
  CAMTAG_TONEMAPPER_LINEAR = 1946,        ///< Tonemapper: linear.
  CAMTAG_TONEMAPPER_REINHARD = 1947,      ///< Tonemapper: Reinhard.
  CAMTAG_TONEMAPPER_CAMERA = 1948,        ///< Tonemapper: camera response.
  CAMTAG_PRE_SCALE = 1949,                ///< Real: Reinhard pre-scale, also the linear scale.
  CAMTAG_POST_SCALE = 1950,               ///< Real: Reinhard post-scale.
  CAMTAG_SCALE_TONEMAPPER_GROUP = 1951,   ///< Description group: scale-based tonemapper settings.
  CAMTAG_BURN = 1952,                     ///< Real: Reinhard burn.

  // Image.
  CAMTAG_SUPER_SAMPLE_FACTOR = 1960,  ///< Integer: super-sampling factor.
  CAMTAG_WATERMARK = 1961,            ///< Bool: watermark.
  CAMTAG_DIFFRACTION = 1962,          ///< Integer cycle: one of the `CAMTAG_DIFFRACTION_*` values.

  // Aperture.
  CAMTAG_APERTURE_SHAPE = 1963,            ///< Integer cycle: one of the `CAMTAG_SHAPE_*` values.
  CAMTAG_SHAPE_CIRCULAR = 1964,            ///< Aperture: circular.
  CAMTAG_SHAPE_GENERATED = 1965,           ///< Aperture: generated from blades.
  CAMTAG_SHAPE_IMAGE = 1966,               ///< Aperture: from an image.
  CAMTAG_NUM_BLADES = 1967,                ///< Integer: blades of the generated aperture.
  CAMTAG_BLADE_OFFSET = 1968,              ///< Real: blade offset.
  CAMTAG_BLADE_CURVATURE_RADIUS = 1969,    ///< Real: blade curvature radius.
  CAMTAG_START_ANGLE = 1970,               ///< Real: start angle of the blades.
  CAMTAG_APERTURE_IMAGE = 1971,            ///< Filename: aperture image of the image shape.
  CAMTAG_GENERATED_APERTURE_GROUP = 1972,  ///< Description group: generated aperture settings.
  CAMTAG_IMAGE_APERTURE_GROUP = 1973,      ///< Description group: image aperture settings.

  // Filters.
  CAMTAG_FILTER_MN_CUBIC = 1974,           ///< Filter: cubic.
  CAMTAG_FILTER_FASTBOX = 1975,            ///< Filter: fast box (splat filter only).
  CAMTAG_FILTER_GAUSSIAN = 1976,           ///< Filter: Gaussian.
  CAMTAG_SPLAT_FILTER = 1977,              ///< Integer cycle: one of the `CAMTAG_FILTER_*` values.
  CAMTAG_DOWNSIZE_FILTER = 1978,           ///< Integer cycle: mn_cubic or gaussian.
  CAMTAG_USE_OBSTACLE_MAP = 1979,          ///< Bool: obstacle map on.
  CAMTAG_OBSTACLE_MAP = 1980,              ///< Filename: obstacle-map image.
  CAMTAG_DIFFRACTION_POST_PROCESS = 1982,  ///< Diffraction: as a post-process.
  CAMTAG_DIFFRACTION_APERTURE = 1983,      ///< Diffraction: at the aperture.
  CAMTAG_SPLAT_RING = 1984,                ///< Real: ring of the splat cubic filter.
  CAMTAG_SPLAT_BLUR = 1985,                ///< Real: blur of the splat cubic filter.
  CAMTAG_DOWNSIZE_RING = 1986,             ///< Real: ring of the downsize cubic filter.
  CAMTAG_DOWNSIZE_BLUR = 1987,             ///< Real: blur of the downsize cubic filter.

  // Render region, in image pixels.
  CAMTAG_RENDER_REGION = 1988,        ///< Bool: render region on.
  CAMTAG_REGION_X1 = 1989,            ///< Integer: left edge.
  CAMTAG_REGION_X2 = 1990,            ///< Integer: right edge.
  CAMTAG_REGION_Y1 = 1991,            ///< Integer: top edge.
  CAMTAG_REGION_Y2 = 1992,            ///< Integer: bottom edge.
  CAMTAG_RENDER_REGION_GROUP = 1993,  ///< Description group: render region settings.

  CAMTAG_INFO_OVERLAY = 1994,  ///< Bool: info overlay.
  CAMTAG_UNREAD_FLAG = 1996,   ///< Bool: carried, read by nothing.
};
