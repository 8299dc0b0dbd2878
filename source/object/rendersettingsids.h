// Parameter IDs of the render-settings video post. The scene export, the render command and the
// shaders read the node's container by these IDs.
#pragma once

/// Plug-in ID of the render-settings video post.
constexpr int ID_RENDERSETTINGS = 1020896;

/// Parameters of the render-settings video post, with the value type `RenderSettingsNode::Init`
/// stores for each.
enum {
  RS_SUN_OBJECT = 1301,                     ///< Link: object whose direction gives the sun direction.
  RS_TURBIDITY = 1303,                      ///< Real: sky turbidity.
  RS_MAX_DEPTH = 1330,                      ///< Integer: maximum path depth.
  RS_MAX_NUM_CONSEC_REJECTIONS = 1331,      ///< Integer: Metropolis rejection limit.
  RS_HALT_TIME = 1332,                      ///< Real: halt after this many seconds (-1: never).
  RS_SAVE_OVI = 1333,                       ///< Bool: save the renderer's raw image.
  RS_RENDER_MODE = 1334,                    ///< Integer cycle: one of the `RS_MODE_*` values.
  RS_MODE_PT = 1335,                        ///< Render mode: path tracing.
  RS_MODE_BIDIR = 1336,                     ///< Render mode: bidirectional path tracing.
  RS_MODE_MLT = 1337,                       ///< Render mode: Metropolis light transport.
  RS_MODE_BIDIR_MLT = 1338,                 ///< Render mode: bidirectional with Metropolis.
  RS_CUSTOM_SCALE = 1340,                   ///< Real: scene scale of the custom unit.
  RS_LARGE_MUTATION_PROB = 1350,            ///< Real: Metropolis large-mutation probability.
  RS_MAX_CHANGE = 1351,                     ///< Real: Metropolis maximum change.
  RS_LOGGING = 1352,                        ///< Bool: renderer log.
  RS_DISPLAY_PERIOD = 1353,                 ///< Real (exported as integer): seconds between displays.
  RS_IMAGE_SAVE_PERIOD = 1354,              ///< Real (exported as integer): seconds between saves.
  RS_SAVE_UNTONEMAPPED_EXR = 1355,          ///< Bool: save an untonemapped EXR.
  RS_SAVE_TONEMAPPED_EXR = 1356,            ///< Bool: save a tonemapped EXR.
  RS_NUM_THREADS = 1357,                    ///< Integer: render threads when not chosen automatically.
  RS_CACHE_TREES = 1358,                    ///< Bool: cache the acceleration trees.
  RS_POLARISATION = 1359,                   ///< Bool: kept, never exported (always off).
  RS_HYBRID = 1361,                         ///< Bool: hybrid mode (never editable).
  RS_BIH_TRI_THRESHOLD = 1362,              ///< Integer, thousands: tree-build triangle threshold.
  RS_LIGHTING_MODE_SUNSKY = 1364,           ///< Lighting mode: sun and sky.
  RS_LIGHTING_MODE_BACKGROUND = 1365,       ///< Lighting mode: background material.
  RS_GROUP_BACKGROUND = 1366,               ///< Description group of the background settings.
  RS_GROUP_SUNSKY = 1367,                   ///< Description group of the sun and sky settings.
  RS_LIGHTING_MODE = 1368,                  ///< Integer cycle: one of the `RS_LIGHTING_MODE_*` values.
  RS_LIGHTING_MODE_NONE = 1379,             ///< Lighting mode: neither sun and sky nor background.
  RS_EXTRA_ATMOSPHERIC = 1381,              ///< Bool: sun and sky option.
  RS_HALT_SPP = 1382,                       ///< Real: halt at these samples per pixel (-1: never).
  RS_AUTO_CHOOSE_NUM_THREADS = 1383,        ///< Bool: let the renderer choose its thread count.
  RS_BACKGROUND_MATERIAL = 1384,            ///< Link: background material (needs emission).
  RS_SCALE_UNIT = 1386,                     ///< Integer cycle: one of the `RS_UNIT_*` values.
  RS_UNIT_KM = 1387,                        ///< Scene unit: kilometres.
  RS_UNIT_M = 1388,                         ///< Scene unit: metres.
  RS_UNIT_CM = 1389,                        ///< Scene unit: centimetres.
  RS_UNIT_MM = 1390,                        ///< Scene unit: millimetres.
  RS_UNIT_CUSTOM = 1391,                    ///< Scene unit: `RS_CUSTOM_SCALE`.
  RS_SUNSKY_LAYERS = 1392,                  ///< Bool: sun and sky get light layers of their own.
  RS_EXPORT_FILENAME = 1393,                ///< Filename: explicit scene file path.
  RS_USE_DOCUMENT_PATH = 1394,              ///< Bool: write the scene beside the document.
  RS_CLAY_MODE = 1397,                      ///< Bool: clay render.
  RS_FOREGROUND_ALPHA = 1398,               ///< Bool: foreground alpha (forces clay).
  RS_LAUNCH_FLAG_A = 1399,                  ///< Bool: handed to the renderer launch.
  RS_LAUNCH_FLAG_B = 1400,                  ///< Bool: handed to the renderer launch.
  RS_NETWORK_MASTER = 1402,                 ///< Bool: network master mode.
  RS_NETWORK_PORT = 1403,                   ///< Integer: network port.
  RS_USE_SCENE_PATH = 1408,                 ///< Bool: write the scene to a chosen path.
  RS_LIGHT_LAYER_NAME = 1410,               ///< String: name of light layer 1; layers 2 to 10 follow.
  RS_LIGHT_LAYER_NAME_LAST = 1419,          ///< String: name of light layer 10.
  RS_ANIMATION = 1420,                      ///< Bool: export the frame range, one scene per frame.
  RS_SAVE_IMAGE = 1421,                     ///< Bool: hand an output image path to the renderer.
  RS_OUTPUT_FILENAME = 1422,                ///< Filename: output image path.
  RS_RENDERS_DIR = 1423,                    ///< Bool: output into a renders folder beside the scene.
  RS_CLAY_COLOR = 1424,                     ///< Vector: albedo of the clay material.
  RS_WAIT_FOR_SLAVE_FRAMES_ON_STOP = 1426,  ///< Bool: network option.
  RS_FRAME_UPLOAD_PERIOD = 1427,            ///< Real (exported as integer): network upload period.
  RS_GLASS_ACCELERATION = 1428,             ///< Bool: glass acceleration.
  RS_VERBOSE = 1429,                        ///< Bool: verbose renderer output.
};
