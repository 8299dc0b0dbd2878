// The texture tag: puts a material on an object with a projection.
#pragma once

#include "c4d_basetag.h"

class BaseDraw;
class BaseMaterial;
class PolygonObject;

/// Parameters of the texture tag.
enum {
  TEXTURETAG_OFFSETX = 1000,      ///< Real, texture offset in u (default 0).
  TEXTURETAG_OFFSETY = 1001,      ///< Real, texture offset in v (default 0).
  TEXTURETAG_LENGTHX = 1002,      ///< Real, texture length in u: 1 / tiles (default 1).
  TEXTURETAG_LENGTHY = 1003,      ///< Real, texture length in v: 1 / tiles (default 1).
  TEXTURETAG_PROJECTION = 1004,   ///< LONG, a `TEXTURETAG_PROJECTION_*` value (default UVW).
  TEXTURETAG_RESTRICTION = 1006,  ///< String, the polygon selection it is limited to ("" = all).
  TEXTURETAG_MATERIAL = 1010,     ///< Weak link to the material.
  TEXTURETAG_MATRIX = 1100,       ///< LMatrix, the texture's placement relative to the object.
};

/// Projections of the texture tag.
enum {
  TEXTURETAG_PROJECTION_SPHERICAL = 0,
  TEXTURETAG_PROJECTION_CYLINDRICAL = 1,
  TEXTURETAG_PROJECTION_FLAT = 2,
  TEXTURETAG_PROJECTION_CUBIC = 3,
  TEXTURETAG_PROJECTION_FRONTAL = 4,
  TEXTURETAG_PROJECTION_SPATIAL = 5,
  TEXTURETAG_PROJECTION_UVW = 6,
  TEXTURETAG_PROJECTION_SHRINKWRAP = 7,
  TEXTURETAG_PROJECTION_CAMERAMAP = 8,
};

/// A texture tag (type `Ttexture`). Everything it holds lives in its parameter container, so a
/// copy of the container is a copy of the tag.
class TextureTag : public BaseTag {
 public:
  /// A new texture tag with its defaults: no material, UVW projection, offsets 0, lengths 1,
  /// no restriction, identity placement.
  static TextureTag* Alloc();
  static void Free(TextureTag*& tag);
  /// The material, when it still exists and lies in the tag's document; else null.
  BaseMaterial* GetMaterial() const;
  /// Links the material (null clears the link).
  void SetMaterial(BaseMaterial* mat);
  /// The texture's placement relative to the object that carries the tag. The axis lengths are
  /// the texture's half size: a flat projection covers -1..1 of the placement's x and y.
  LMatrix GetMl() const;
  void SetMl(const LMatrix& m);

 private:
  TextureTag();
};

/// Texture coordinates that `tag`'s projection gives the polygons of `op`: a new UVW tag with one
/// entry per polygon, owned by the caller and inserted nowhere, or null. `opmg` is the global
/// matrix of `op`, `texopmg` that of the object carrying the tag, in whose space the tag's
/// placement lies. Flat, spherical, cylindrical and cubic projections are computed; UVW copies the
/// object's own UVW tag (null when it has none); the view-dependent and other projections fall
/// back to UVW. Offsets and lengths are not applied. Flat: u = (x + 1) / 2 and v = (1 - y) / 2 of
/// the point in placement space.
UVWTag* GenerateUVW(PolygonObject* op, const LMatrix& opmg, TextureTag* tag, const LMatrix& texopmg,
                    BaseDraw* view);
