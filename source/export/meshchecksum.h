// Checksums of polygon objects that name their mesh files.
#pragma once

#include <cstdint>

#include "c4d.h"

class MaterialNameTable;

/// Checksums over everything that decides the content of a polygon object's mesh file: its
/// points, polygons and UVW coordinates, the texture tags that apply to it (material by its export
/// name, offsets, lengths, projection, restriction and placement), its phong settings, its
/// polygon selections, its subdivision settings (which travel with the mesh), the scene scale and
/// a salt that keeps light meshes apart from ordinary ones. The object's name and its own matrix
/// do not count. Every step is the host's CRC-32
/// continued from the previous step; large arrays are summed on several threads.
class MeshChecksum {
 public:
  /// The identity of a mesh: the checksum that names its file, and a 64-bit fingerprint over the
  /// same bytes that tells two meshes apart when their checksums collide.
  struct Key {
    ULONG checksum = 0;
    uint64_t fingerprint = 0;
    bool operator==(const Key& o) const { return checksum == o.checksum && fingerprint == o.fingerprint; }
    bool operator!=(const Key& o) const { return !(*this == o); }
  };

  /// The checksum of `obj` (0 for a null object). `scale` is the scene scale its positions are
  /// written with; material names are those of `doc` (null: the object's own document), read from
  /// `names` when that is the export's table for that document.
  static ULONG CalcMeshChecksum(PolygonObject* obj, int salt, double scale = 1.0, BaseDocument* doc = nullptr,
                                const MaterialNameTable* names = nullptr);
  /// The checksum with its fingerprint (both 0 for a null object).
  static Key CalcMeshKey(PolygonObject* obj, int salt, double scale = 1.0, BaseDocument* doc = nullptr,
                         const MaterialNameTable* names = nullptr);

  /// Continues `start` over the point and polygon counts, the first UVW tag's data, the points and
  /// the polygons.
  static ULONG CalcMeshDataChecksum(PolygonObject* obj, ULONG start);
  /// Continues `start` over the texture tags that apply to `obj`.
  static ULONG CalcTextureTagChecksum(PolygonObject* obj, ULONG start, BaseDocument* doc = nullptr,
                                      const MaterialNameTable* names = nullptr);
  /// Continues `start` over the settings of the first phong tag (unchanged without one).
  static ULONG CalcPhongChecksum(PolygonObject* obj, ULONG start);
  /// Continues `start` over the names and polygons of the polygon selection tags.
  static ULONG CalcSelectionChecksum(PolygonObject* obj, ULONG start);
};
