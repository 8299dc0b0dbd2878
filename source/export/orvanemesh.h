// The in-memory form of a renderer mesh file ("ovmesh") with its writer and reader.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "export/meshallocator.h"
#include "files/folder.h"
#include "files/result.h"

namespace Orvane {

/// A point or direction of three 32-bit floats.
struct Vec3f {
  float x, y, z;
};

/// A texture coordinate (u, v) of two 32-bit floats.
struct Vec2f {
  float x, y;
};

/// One triangle: corner indices into the positions (and normals), corner indices into the texture
/// coordinates, and the index of its material name.
struct Triangle {
  uint32_t vertexIndices[3];
  uint32_t uvIndices[3];
  uint32_t materialIndex;
};

/// A growable array of mesh elements; new elements are left uninitialised.
template <typename T>
using MeshArray = std::vector<T, MeshAllocator<T>>;

/// A named UV set and its number.
struct UVSetExposition {
  std::string name;
  uint32_t index = 0;
};

/// A triangle mesh as the renderer reads it from a mesh file. All integers and floats of the file
/// are little-endian; strings are a 32-bit length and that many bytes, arrays a 32-bit count and
/// their elements, in the order of the fields below.
class OrvaneMesh {
 public:
  /// First field of every mesh file (the bytes 6F 43 53 00 on disk).
  static constexpr uint32_t MAGIC_NUMBER = 5456751;
  /// Second field of every mesh file.
  static constexpr uint32_t FORMAT_VERSION = 1;
  /// The largest element count of an array: counts are unsigned 32-bit.
  static constexpr uint64_t MAX_VECTOR_LENGTH = 0xFFFFFFFFu;
  /// The longest string the format holds, in bytes.
  static constexpr uint32_t MAX_STRING_LENGTH = 1024;

  /// An empty record with `uvMappingCount` 0; whoever fills it sets the count.
  OrvaneMesh();
  /// Frees the arrays.
  ~OrvaneMesh();

  /// Writes `mesh` to `path` (a UTF-8 byte path). The bytes go to a temporary file beside the
  /// target (see files/temporary.h), which is renamed over the target only once every byte was
  /// written; on any failure no file is left behind. False when the file could not be written, or
  /// when the mesh cannot be stored (a name longer than `MAX_STRING_LENGTH`, an array longer than
  /// `MAX_VECTOR_LENGTH`). `result`, when given, receives what the failed call gave (EOVERFLOW for
  /// a mesh that cannot be stored), or success.
  static bool writeToFile(const std::string& path, const OrvaneMesh& mesh, files::Result* result = nullptr);
  /// `writeToFile` for the file `name` in the open folder `folder`: nothing is walked again.
  static bool writeToFile(const files::Folder& folder, const std::string& name, const OrvaneMesh& mesh,
                          files::Result* result = nullptr);

  /// Reads the mesh file at `path` into `mesh`, opened as every input file is (files/folder.h:
  /// a regular file, never waited on, under the rule for shared folders). False, with `mesh`
  /// unchanged, when the file cannot be opened, has a wrong magic number or version, ends early,
  /// holds counts or string lengths beyond the format or the file, or holds bytes after the last
  /// triangle.
  static bool readFromFile(const std::string& path, OrvaneMesh& mesh);

  /// Number of UV mappings the triangles carry.
  uint32_t uvMappingCount = 0;
  /// The material names the triangles refer to by position.
  std::vector<std::string> materialNames;
  /// The named UV sets.
  std::vector<UVSetExposition> uvSets;
  /// Vertex positions.
  MeshArray<Vec3f> positions;
  /// Vertex normals, one per position, or empty.
  MeshArray<Vec3f> normals;
  /// Texture coordinates.
  MeshArray<Vec2f> uvs;
  /// The triangles.
  MeshArray<Triangle> triangles;
};

}  // namespace Orvane
