// Builds a renderer mesh from a host polygon object's arrays: triangles, shared vertices and
// shared texture coordinates.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "c4d.h"
#include "export/orvanemesh.h"

/// Where the texture coordinates of a run of polygons come from: one UVW entry per polygon
/// (polygons beyond `count`, or all when `uvw` is null, read as zero), moved by the offsets and
/// divided by the lengths of a texture tag when `transform` is set. A length of 0 divides by 1.
struct MeshUVSource {
  const UVWStruct* uvw = nullptr;
  LONG count = 0;
  bool transform = false;
  Real offsetU = 0.0, offsetV = 0.0, lengthU = 1.0, lengthV = 1.0;
};

/// Fills an empty `Orvane::OrvaneMesh` from runs of polygons, each with its material and texture
/// coordinates. Each polygon becomes one triangle (c, b, a) or, for a quadrangle, two: (c, b, a)
/// and (a, d, c), in the order the runs were added. Positions are (x, z, y) times the scale,
/// normals (x, z, y) of the unit phong normals, texture coordinates (u, 1 - v). Equal vertices
/// (position and normal) and equal texture coordinates are stored once, numbered in order of
/// first appearance; -0 counts as 0 and every NaN as one value. Polygons outside the object, and
/// polygons with a point index outside the object, are left out. Large meshes are converted on
/// several threads with the same result.
class MeshBuilder {
 public:
  /// A builder for `mesh`. The arrays stay owned by the caller and must outlive the builder;
  /// `phong` (four normals per polygon) may be null for a mesh without normals.
  MeshBuilder(Orvane::OrvaneMesh& mesh, const LVector* points, LONG pointCount, const CPolygon* polygons,
              LONG polygonCount, const SVector* phong, Real scale);
  ~MeshBuilder();
  MeshBuilder(const MeshBuilder&) = delete;
  MeshBuilder& operator=(const MeshBuilder&) = delete;

  /// The index of `name` among the mesh's material names, appending it when it is new.
  uint32_t AddMaterial(const std::string& name);
  /// Adds the polygons `first` to `last` (clamped to the object) with `material`.
  void AddPolygons(LONG first, LONG last, uint32_t material, const MeshUVSource& uv);
  /// Adds every polygon of `selection`, segment by segment.
  void AddPolygons(const BaseSelect& selection, uint32_t material, const MeshUVSource& uv);
  /// Converts every polygon added. `threads` 0 chooses by the mesh's size; 1 converts on the
  /// calling thread.
  void Build(int threads = 0);
  /// After `Build`: true when every position, normal and texture coordinate of the mesh is finite.
  bool Finite() const;

 private:
  struct Impl;
  Impl* impl_;
};
