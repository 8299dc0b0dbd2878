// Baking a material's channels into an image along an object's texture coordinates.
#pragma once

#include "c4d_gedata.h"

class BaseDocument;
class BaseThread;
class MultipassBitmap;
class TextureTag;
class UVWTag;

/// Bake settings.
enum {
  BAKE_TEX_COLOR = 1012,          ///< Bool: bake the colour channel (the one channel baked here).
  BAKE_TEX_WIDTH = 1020,          ///< LONG: image width in pixels.
  BAKE_TEX_HEIGHT = 1021,         ///< LONG: image height in pixels.
  BAKE_TEX_PIXELBORDER = 1022,    ///< LONG: pixels around the baked polygons that get the colour
                                  ///< of their baked neighbours (default 0).
  BAKE_TEX_U_MIN = 1024,          ///< Real: u at the image's left edge (default 0).
  BAKE_TEX_U_MAX = 1025,          ///< Real: u at the image's right edge (default 1).
  BAKE_TEX_V_MIN = 1026,          ///< Real: v at the image's top edge (default 0).
  BAKE_TEX_V_MAX = 1027,          ///< Real: v at the image's bottom edge (default 1).
  BAKE_TEX_SUPERSAMPLING = 1030,  ///< LONG n: (n + 1) x (n + 1) samples per pixel (default 0).
};

/// Results of `InitBakeTexture` and `BakeTexture`.
enum {
  BAKE_TEX_ERR_NONE = 0,
  BAKE_TEX_ERR_NO_DOC = 3000,  ///< No document, or not a bake document.
  BAKE_TEX_ERR_NO_MEM = 3001,
  BAKE_TEX_ERR_NO_TEXTURE_TAG = 3002,  ///< No texture tag, or not one in the document.
  BAKE_TEX_ERR_NO_OBJECT = 3003,       ///< The texture tag is not on a polygon object.
  BAKE_TEX_ERR_NO_UVW_TAG = 3004,      ///< A UVW tag is missing or not on that object.
  BAKE_TEX_ERR_NO_MATERIAL = 3005,     ///< No material, or not one this host can bake.
  BAKE_TEX_ERR_NO_CHANNEL = 3006,      ///< No channel to bake.
  BAKE_TEX_ERR_WRONG_SIZE = 3007,      ///< Image size below 1 or above 16384, or an empty u/v range.
  BAKE_TEX_ERR_WRONG_BITMAP = 3008,    ///< No image, or not of the size of the settings.
  BAKE_TEX_ERR_SHADER = 3009,          ///< A shader refused to prepare.
  BAKE_TEX_ERR_USERBREAK = 3010,       ///< The thread was asked to stop.
};

/// Called while baking with the percentage done.
typedef void BakeProgressHook(LONG percent, void* userdata);

/// Prepares baking the material of `textag` (a standard material) on the object that carries it,
/// all in `doc`: the material is evaluated at the coordinates of `texuvw` and written into the
/// image where `destuvw` (null: `texuvw`) places each polygon. Both UVW tags must be on that
/// object. Answers a new bake document that holds copies of everything needed and lies in `doc`'s
/// folder under its name (so a bitmap shader finds its file as in `doc`), owned by the caller, or
/// null with `*err` (when given) set.
BaseDocument* InitBakeTexture(BaseDocument* doc, TextureTag* textag, UVWTag* texuvw, UVWTag* destuvw,
                              const BaseContainer& bc, LONG* err = nullptr, BaseThread* th = nullptr);

/// Bakes into `bmp`, which must have the size of the settings: each sample point (pixel centres
/// without supersampling) that a polygon covers in the destination coordinates gets the colour
/// channel there (its shader sampled at the interpolated texture coordinates, else its colour).
/// Pixels no polygon covers are left as they were, but for the pixel border. Answers a
/// `BAKE_TEX_ERR_*` value.
LONG BakeTexture(BaseDocument* bakedoc, const BaseContainer& bc, MultipassBitmap* bmp,
                 BaseThread* th = nullptr, BakeProgressHook* hook = nullptr, void* userdata = nullptr);
