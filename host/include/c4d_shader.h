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

/// What a render knows of the surface point it samples a shader at.
struct VolumeData {
  LVector p;  ///< The surface point in world coordinates.
  LVector n;  ///< The surface normal in world coordinates.
};

/// One sampling point.
struct ChannelData {
  LVector p;         ///< Texture position: u, v, w.
  LVector n;         ///< Surface normal (zero when unknown).
  LVector d;         ///< Extent of the sample in u and v (zero: a point).
  Real t = 0.0;      ///< Document time in seconds.
  Real off = 0.0;    ///< Blur offset.
  Real scale = 0.0;  ///< Blur scale.
  VolumeData* vd = nullptr;  ///< The surface being rendered; null for a flat sample (previews).
};
