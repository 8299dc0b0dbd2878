// Conversion of a host polygon object into a renderer mesh file.
#pragma once

#include <string>
#include <vector>

#include "c4d.h"
#include "export/orvanemesh.h"
#include "files/folder.h"
#include "files/result.h"

class MaterialNameTable;
class MeshBuilder;
struct MeshUVSource;

/// One texture tag's mapping: its placement, projection, offsets and lengths.
struct TexDataStruct {
  /// The mapping of `tag`; with a null tag both matrices are the identity and the rest is unset.
  explicit TexDataStruct(TextureTag* tag);

  LMatrix textureMatrix;  ///< The tag's placement (`TextureTag::GetMl`).
  LMatrix inverseMatrix;  ///< Its inverse; the identity when the placement has no extent.
  UCHAR projection = 0;   ///< Texture-tag parameter 1004.
  double offsetU = 0.0;   ///< Texture-tag parameter 1000.
  double offsetV = 0.0;   ///< Texture-tag parameter 1001.
  double lengthU = 0.0;   ///< Texture-tag parameter 1002.
  double lengthV = 0.0;   ///< Texture-tag parameter 1003.
};

/// Converts one polygon object into an `Orvane::OrvaneMesh` and writes it as a mesh file: the
/// polygons as triangles, positions in the renderer's axes and scale, phong normals, texture
/// coordinates from the object's texture tags, and the material of each polygon selection. Lives
/// for one conversion.
class WavefrontExport {
 public:
  WavefrontExport();
  ~WavefrontExport();
  WavefrontExport(const WavefrontExport&) = delete;
  WavefrontExport& operator=(const WavefrontExport&) = delete;

  /// Converts `obj` and writes it to `file` in `directory` (made when missing), then prints one
  /// statistics line, or a line naming the file when it could not be written (also for a path
  /// longer than the system takes, which no program could open). `scale`
  /// multiplies every position; `lightMode` 1 gives every triangle the material "defaultLight".
  /// Answers 1 when the file was written, 0 otherwise (also for a null object). A mesh holding a
  /// number that is not finite as a 32-bit float is neither written nor reported: `NotFinite`
  /// then answers true and the caller says what it leaves out. The materials are named as in
  /// `doc`, read from `names` when that is the export's table for `doc`.
  int ExportObj(BaseDocument* doc, const Filename& directory, const Filename& file, PolygonObject* obj,
                double scale, int lightMode, const MaterialNameTable* names = nullptr);

  /// Makes `ExportObj` write into the open folder `folder` (which is `directory`, made ready by
  /// the caller) instead of walking and making `directory` itself.
  void WriteInto(const files::Folder& folder) { folder_ = folder; }

  /// Fills the mesh from `obj`: the selection groups with their materials and texture
  /// coordinates, then the triangles. Answers 1.
  int AddVerticesAndTris(PolygonObject* obj, int lightMode);

  /// True when the triangle's area is greater than 0 (Heron's formula; false when not a number).
  static bool PolygonHasArea(const LVector& p, const LVector& q, const LVector& r);

  /// The UTF-8 path of the mesh file `file` in `directory`: the path the file is written to and
  /// the path the scene names.
  static std::string MeshFilePath(const Filename& directory, const Filename& file);

  /// True when the last conversion gave a position, normal or texture coordinate that is not
  /// finite, so that no file was written.
  bool NotFinite() const { return notFinite_; }

  /// Why the last conversion wrote no file, or success.
  const files::Result& WriteError() const { return writeError_; }

  /// The mesh built by the last conversion.
  const Orvane::OrvaneMesh& GetMesh() const { return mesh_; }

 private:
  struct Group;

  // Decides the texture coordinates of each group: from the texture tag that applies to it, with
  // its projection, offsets and lengths. Coordinates the host generates are kept in `generated_`.
  int BakeUV(PolygonObject* obj, std::vector<Group>& groups, std::vector<TextureTag*>& tags);

  BaseDocument* document_ = nullptr;
  const MaterialNameTable* names_ = nullptr;
  LONG triangleCount_ = 0;
  LONG vertexCount_ = 0;
  LONG uvCount_ = 0;
  LONG phong_ = 0;
  double scale_ = 1.0;
  bool notFinite_ = false;
  files::Result writeError_;
  Orvane::OrvaneMesh mesh_;
  std::vector<UVWTag*> generated_;
  files::Folder folder_;  ///< where `ExportObj` writes, when open
};
