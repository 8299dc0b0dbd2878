// What a shader is given when it is prepared and sampled.
#pragma once

#include <functional>

#include "c4d_string.h"
#include "c4d_vector.h"

class BaseDocument;
class VolumeData;

/// Answers of `BaseShader::InitRender`.
enum {
  INITRENDERRESULT_OK = 0,  ///< Ready to sample.
  INITRENDERRESULT_OUTOFMEMORY = -100,
  INITRENDERRESULT_ASSETMISSING = -101,
  INITRENDERRESULT_UNKNOWNERROR = -102,
};

/// The render that is about to sample a shader.
struct InitRenderStruct {
  InitRenderStruct() = default;
  /// What the host hands over for a render of `doc`: the document, its folder, its frame rate, its
  /// current time and the host's version type (a null document leaves the defaults).
  explicit InitRenderStruct(BaseDocument* document);
  BaseDocument* doc = nullptr;   ///< The document rendered (may be null).
  Real time = 0.0;               ///< Document time in seconds.
  Filename docpath;              ///< The document's folder.
  LONG fps = 0;                  ///< The document's frames per second.
  LONG version_type = 0;         ///< `GeGetVersionType` of the host.
  Bool linear_workflow = FALSE;  ///< Colours are in linear space.
};

/// One sampling point.
struct ChannelData {
  LVector p;                 ///< Texture position: u, v, w.
  LVector n;                 ///< Surface normal (zero when unknown).
  LVector d;                 ///< Extent of the sample in u and v (zero: a point).
  Real t = 0.0;              ///< Document time in seconds.
  Real off = 0.0;            ///< Blur offset.
  Real scale = 0.0;          ///< Blur scale.
  LONG texflag = 0;          ///< Texture flags of the sample (1: the sample lies on a surface).
  VolumeData* vd = nullptr;  ///< The surface sample of a render, or null (bakes, viewport images).
};

// --- Surface samples of the host's renderer -----------------------------------------------------

/// Kinds of ray (`VolumeData::raybits`).
enum {
  RAYBIT_REFLECTION = 2,    ///< A reflected ray.
  RAYBIT_TRANSPARENCY = 4,  ///< A transmitted ray.
  RAYBIT_GI = 1024,         ///< A global-illumination ray.
};

/// What the renderer asks of a surface (`VolumeData::calc_trans`, `VolumeData::calc_refl`).
enum {
  CALC_NONE = 0,     ///< Nothing.
  CALC_PLAIN = 1,    ///< Transparency without refraction.
  CALC_REFRACT = 2,  ///< Transparency with refraction; for reflections: trace them.
};

/// A ray: origin, direction (unit length) and the index of refraction of the medium it travels in.
struct Ray {
  LVector p;       ///< Origin.
  LVector v;       ///< Direction.
  Real ior = 1.0;  ///< Index of refraction.
};

/// Which surface a ray last hit (opaque to plug-ins).
struct RayHitID {
  LONG object = -1;   ///< The hit object's index, -1 for none.
  LONG polygon = -1;  ///< The hit polygon's index, -1 for none.
};

/// What a traced ray hit; filled by `VolumeData::TraceColor`.
struct SurfaceIntersection {
  RayHitID hit;     ///< The surface hit.
  Real dist = 0.0;  ///< Distance along the ray.
  LVector p;        ///< The hit point.
  LVector n;        ///< The surface normal there.
};

/// The texture projection of the material being sampled (opaque to plug-ins).
struct TexData {
  LONG projection = 0;  ///< The projection kind.
};

/// Extra render buffers that a material may fill.
struct Multipass {
  LVector* vp_mat_color = nullptr;  ///< The material-colour pass of the sample, or null.
};

/// One surface sample of the host's renderer: what a material reads (the ray, the hit, what the
/// renderer asks for) and writes (colour, transparency, reflection, the secondary rays). The
/// projection into texture space, the illumination and the tracing of further rays are the
/// renderer's; each can be replaced (tests drive surfaces with given rays and lights this way).
class VolumeData {
 public:
  /// Texture coordinates of `p` (normal `n`, hit `lhit`) under `tex`; true when projected.
  typedef std::function<Bool(TexData* tex, const RayHitID& lhit, const LVector& p, const LVector& n,
                             LVector* uvw)>
      Projection;
  /// The diffuse and specular light arriving at the sample (specular with `exponent`).
  typedef std::function<void(const VolumeData& vd, LVector* diffuse, LVector* specular, Real exponent)>
      Illumination;
  /// The colour seen along `ray` up to `maxdist`, with what was hit in `si`.
  typedef std::function<LVector(const Ray& ray, Real maxdist, const RayHitID& lhit, SurfaceIntersection* si)>
      Tracer;

  LVector p;                       ///< The hit point.
  LVector n;                       ///< The surface's geometric normal.
  LVector bumpn;                   ///< The shading normal (after bump).
  LVector orign;                   ///< The interpolated normal before bump.
  Ray* ray = nullptr;              ///< The incoming ray.
  Ray* tray = nullptr;             ///< The transmission ray the material may set, or null.
  Ray* rray = nullptr;             ///< The reflection ray the material may set, or null.
  RayHitID lhit;                   ///< The surface hit.
  TexData* tex = nullptr;          ///< The current texture projection, or null.
  LONG raybits = 0;                ///< Kind of the incoming ray (`RAYBIT_*`).
  LONG raydepth = 0;               ///< Depth of the incoming ray (0: a camera ray).
  LONG calc_trans = CALC_NONE;     ///< Transparency the renderer asks for (`CALC_*`).
  LONG calc_refl = CALC_NONE;      ///< Reflection the renderer asks for (`CALC_REFRACT`: trace).
  LVector col;                     ///< Result: the surface colour.
  LVector trans;                   ///< Result: the transparency colour.
  LVector refl;                    ///< Result: the reflection colour.
  Multipass* multipass = nullptr;  ///< Extra buffers, or null.

  /// Prepares the sample for a material: the texture-dependent properties of the surface point
  /// for `tex` (null: none). The stand-in only records the call.
  void InitSurfacePointProperties(TexData* tex);
  /// How often `InitSurfacePointProperties` was called (for the host's own checks).
  LONG SurfacePointInits() const { return surfacePointInits_; }
  /// Projects `p` into texture space (the default: uvw = p; false without `uvw`).
  Bool ProjectPoint(TexData* tex, const RayHitID& lhit, const LVector& p, const LVector& n,
                    LVector* uvw) const;
  /// The light arriving at the sample (the default: white diffuse light, no specular).
  void IlluminanceSimple(LVector* diffuse, LVector* specular, Real exponent) const;
  /// Traces `ray` (the default: black, nothing hit).
  LVector TraceColor(const Ray* ray, Real maxdist, const RayHitID& lhit, SurfaceIntersection* si) const;

  /// Replaces the projection, the illumination or the tracer (an empty function restores the
  /// default).
  void SetProjection(Projection f) { projection_ = std::move(f); }
  void SetIllumination(Illumination f) { illumination_ = std::move(f); }
  void SetTracer(Tracer f) { tracer_ = std::move(f); }

 private:
  Projection projection_;
  Illumination illumination_;
  Tracer tracer_;
  LONG surfacePointInits_ = 0;
};

/// The direction of `v` mirrored about the unit normal `n`: v - 2 (v . n) n.
LVector ReflectRay(const LVector& v, const LVector& n);

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
