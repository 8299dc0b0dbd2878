// What a shader is given when it is prepared and sampled.
#pragma once

#include "c4d_vector.h"

class BaseDocument;

/// Answers of `BaseShader::InitRender`.
enum {
  INITRENDERRESULT_OK = 0,            ///< Ready to sample.
  INITRENDERRESULT_OUTOFMEMORY = -100,
  INITRENDERRESULT_ASSETMISSING = -101,
  INITRENDERRESULT_UNKNOWNERROR = -102,
};

/// The render that is about to sample a shader.
struct InitRenderStruct {
  BaseDocument* doc = nullptr;  ///< The document rendered (may be null).
  Real time = 0.0;              ///< Document time in seconds.
};

/// One sampling point.
struct ChannelData {
  LVector p;         ///< Texture position: u, v, w.
  LVector n;         ///< Surface normal (zero when unknown).
  LVector d;         ///< Extent of the sample in u and v (zero: a point).
  Real t = 0.0;      ///< Document time in seconds.
  Real off = 0.0;    ///< Blur offset.
  Real scale = 0.0;  ///< Blur scale.
};

/// Host shader types besides the bitmap shader (`Xbitmap`).
enum {
  Xcolor = 5832,        ///< One colour.
  Xgradient = 1011100,  ///< Two colours blended along u or v.
};

/// Parameters of the colour shader.
enum {
  COLORSHADER_COLOR = 1000,       ///< LVector (default 1, 1, 1).
  COLORSHADER_BRIGHTNESS = 1001,  ///< Real, multiplies the colour (default 1).
};

/// Parameters of the gradient shader.
enum {
  GRADIENTSHADER_START = 1000,  ///< LVector: the colour at 0 (default black).
  GRADIENTSHADER_END = 1001,    ///< LVector: the colour at 1 (default white).
  GRADIENTSHADER_TYPE = 1002,   ///< LONG: `GRADIENTSHADER_TYPE_U` (default) or `_V`.
};
enum {
  GRADIENTSHADER_TYPE_U = 0,  ///< From the left edge (u = 0) to the right (u = 1).
  GRADIENTSHADER_TYPE_V = 1,  ///< From the top edge (v = 0) to the bottom (v = 1).
};
