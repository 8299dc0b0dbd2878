#include "export/orvanemesh.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "files/temporary.h"

namespace Orvane {

// The file's numbers are little-endian and its elements are copied byte for byte.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "mesh files are written in the machine's byte order");
static_assert(sizeof(Vec3f) == 12 && sizeof(Vec2f) == 8 && sizeof(Triangle) == 28,
              "mesh elements must have the file's layout");

namespace {

// A binary file written through a temporary file beside the target. Small pieces are gathered in
// a buffer, large arrays go straight to the file. The first failing call leaves its result.
class MeshOutput {
 public:
  MeshOutput(const files::Folder& folder, const std::string& name) : path_(folder.PathOf(name)) {
    result_ = folder.CreateTemporary(name, &file_);
  }

  // The file `path`, its folder walked first.
  explicit MeshOutput(const std::string& path) : path_(path) {
    result_ = files::CreateTemporary(path, &file_);
  }

  MeshOutput(const MeshOutput&) = delete;
  MeshOutput& operator=(const MeshOutput&) = delete;

  bool ok() const { return result_.ok() && file_.IsOpen(); }

  void put(const void* data, size_t size) {
    if (!ok() || size == 0) return;
    if (used_ + size <= sizeof buffer_) {
      std::memcpy(buffer_ + used_, data, size);
      used_ += size;
      return;
    }
    flush();
    if (size < sizeof buffer_ / 2) {
      std::memcpy(buffer_, data, size);
      used_ = size;
    } else {
      putDirect(data, size);
    }
  }

  void putU32(uint32_t v) { put(&v, sizeof v); }

  // Reserves the blocks of a file of `size` bytes before it is written, where that makes the
  // writing faster: a file system that allocates blocks as the pages are written back otherwise
  // books every block of a large file one by one as it is written. A file system whose pages
  // live in memory only would fill the reserved pages with zeros first, and a small file gains
  // nothing. Where the file system cannot reserve, the file is written as it is.
  void reserve(uint64_t size) {
    if (!ok() || size < kReserveFrom) return;
    struct statfs fs;
    const int fd = file_.Descriptor();
    if (fstatfs(fd, &fs) != 0 || fs.f_type == TMPFS_MAGIC || fs.f_type == RAMFS_MAGIC) return;
    if (fallocate(fd, 0, 0, static_cast<off_t>(size)) == 0)
      reserved_ = size;
    else if (errno == ENOSPC)
      fail(errno);
  }

  // What the failed call gave, or success.
  const files::Result& result() const { return result_; }

  // Writes what is left, closes the file and renames it over the target.
  bool commit() {
    flush();
    // Nothing of the reservation may stay behind the last byte written.
    if (ok() && reserved_ > written_ && ftruncate(file_.Descriptor(), static_cast<off_t>(written_)) != 0)
      fail(errno);
    if (!ok()) return false;
    result_ = file_.Commit();
    return result_.ok();
  }

 private:
  void flush() {
    if (used_ > 0) putDirect(buffer_, used_);
    used_ = 0;
  }

  void putDirect(const void* data, size_t size) {
    if (!ok()) return;
    result_ = file_.Write(data, size);
    if (result_.ok()) written_ += size;
  }

  void fail(int error) {
    if (result_.ok()) result_ = files::Result::System(error, path_);
    file_.Discard();
  }

  static constexpr uint64_t kReserveFrom = uint64_t(1) << 20;

  std::string path_;
  files::TemporaryFile file_;
  files::Result result_;
  uint64_t reserved_ = 0, written_ = 0;
  size_t used_ = 0;
  char buffer_[1 << 16];
};

// A binary file read with a count of the bytes it still holds, so that no count in it can make
// the reader allocate more than the file could fill.
class MeshInput {
 public:
  explicit MeshInput(const std::string& path) {
    int fd = -1;
    if (!files::OpenFile(path, &fd).ok()) return;
    struct stat st;
    if (fstat(fd, &st) != 0 || !(file_ = fdopen(fd, "rb"))) {
      close(fd);
      return;
    }
    remaining_ = static_cast<uint64_t>(st.st_size);
  }
  ~MeshInput() {
    if (file_) std::fclose(file_);
  }
  MeshInput(const MeshInput&) = delete;
  MeshInput& operator=(const MeshInput&) = delete;

  bool isOpen() const { return file_ != nullptr; }
  uint64_t remaining() const { return remaining_; }

  bool get(void* data, size_t size) {
    if (size > remaining_) return false;
    if (size > 0 && std::fread(data, 1, size, file_) != size) return false;
    remaining_ -= size;
    return true;
  }

  bool getU32(uint32_t& v) { return get(&v, sizeof v); }

  // True when `count` elements of at least `minSize` bytes each can still be in the file.
  bool canHold(uint32_t count, uint64_t minSize) const { return count * minSize <= remaining_; }

 private:
  std::FILE* file_ = nullptr;
  uint64_t remaining_ = 0;
};

bool fitsCount(size_t n) { return n <= OrvaneMesh::MAX_VECTOR_LENGTH; }

void write(MeshOutput& out, const std::string& s) {
  out.putU32(static_cast<uint32_t>(s.size()));
  out.put(s.data(), s.size());
}

template <typename T>
void writeVector(MeshOutput& out, const MeshArray<T>& v) {
  out.putU32(static_cast<uint32_t>(v.size()));
  out.put(v.data(), v.size() * sizeof(T));
}

bool read(MeshInput& in, std::string& s) {
  uint32_t length = 0;
  if (!in.getU32(length) || length > OrvaneMesh::MAX_STRING_LENGTH) return false;
  char buffer[OrvaneMesh::MAX_STRING_LENGTH];
  if (!in.get(buffer, length)) return false;
  s.assign(buffer, length);
  return true;
}

template <typename T>
bool readVector(MeshInput& in, MeshArray<T>& v) {
  uint32_t count = 0;
  if (!in.getU32(count) || !in.canHold(count, sizeof(T))) return false;
  v.resize(count);
  return in.get(v.data(), static_cast<size_t>(count) * sizeof(T));
}

}  // namespace

OrvaneMesh::OrvaneMesh() = default;

OrvaneMesh::~OrvaneMesh() = default;

namespace {

bool writeMesh(MeshOutput& out, const OrvaneMesh& mesh, files::Result* result);

}  // namespace

bool OrvaneMesh::writeToFile(const std::string& path, const OrvaneMesh& mesh, files::Result* result) {
  MeshOutput out(path);
  return writeMesh(out, mesh, result);
}

bool OrvaneMesh::writeToFile(const files::Folder& folder, const std::string& name, const OrvaneMesh& mesh,
                             files::Result* result) {
  MeshOutput out(folder, name);
  return writeMesh(out, mesh, result);
}

namespace {

bool writeMesh(MeshOutput& out, const OrvaneMesh& mesh, files::Result* result) {
  files::Result unused;
  files::Result& reason = result ? *result : unused;
  reason = files::Result::System(EOVERFLOW);
  if (!fitsCount(mesh.materialNames.size()) || !fitsCount(mesh.uvSets.size()) ||
      !fitsCount(mesh.positions.size()) || !fitsCount(mesh.normals.size()) || !fitsCount(mesh.uvs.size()) ||
      !fitsCount(mesh.triangles.size()))
    return false;
  for (const std::string& name : mesh.materialNames)
    if (name.size() > OrvaneMesh::MAX_STRING_LENGTH) return false;
  for (const UVSetExposition& set : mesh.uvSets)
    if (set.name.size() > OrvaneMesh::MAX_STRING_LENGTH) return false;

  uint64_t size = 9 * sizeof(uint32_t) + mesh.positions.size() * sizeof(Vec3f) +
                  mesh.normals.size() * sizeof(Vec3f) + mesh.uvs.size() * sizeof(Vec2f) +
                  mesh.triangles.size() * sizeof(Triangle);
  for (const std::string& name : mesh.materialNames) size += sizeof(uint32_t) + name.size();
  for (const UVSetExposition& set : mesh.uvSets) size += 2 * sizeof(uint32_t) + set.name.size();

  out.reserve(size);
  out.putU32(OrvaneMesh::MAGIC_NUMBER);
  out.putU32(OrvaneMesh::FORMAT_VERSION);
  out.putU32(mesh.uvMappingCount);
  out.putU32(static_cast<uint32_t>(mesh.materialNames.size()));
  for (const std::string& name : mesh.materialNames) write(out, name);
  out.putU32(static_cast<uint32_t>(mesh.uvSets.size()));
  for (const UVSetExposition& set : mesh.uvSets) {
    write(out, set.name);
    out.putU32(set.index);
  }
  writeVector(out, mesh.positions);
  writeVector(out, mesh.normals);
  writeVector(out, mesh.uvs);
  writeVector(out, mesh.triangles);
  const bool written = out.commit();
  reason = out.result();
  return written;
}

}  // namespace

bool OrvaneMesh::readFromFile(const std::string& path, OrvaneMesh& mesh) {
  MeshInput in(path);
  if (!in.isOpen()) return false;
  uint32_t magic = 0, version = 0;
  if (!in.getU32(magic) || magic != MAGIC_NUMBER) return false;
  if (!in.getU32(version) || version != FORMAT_VERSION) return false;

  OrvaneMesh result;
  if (!in.getU32(result.uvMappingCount)) return false;

  uint32_t count = 0;
  // Every name takes at least its 4-byte length, every UV set its length and its index.
  if (!in.getU32(count) || !in.canHold(count, 4)) return false;
  result.materialNames.resize(count);
  for (std::string& name : result.materialNames)
    if (!read(in, name)) return false;

  if (!in.getU32(count) || !in.canHold(count, 8)) return false;
  result.uvSets.resize(count);
  for (UVSetExposition& set : result.uvSets)
    if (!read(in, set.name) || !in.getU32(set.index)) return false;

  if (!readVector(in, result.positions) || !readVector(in, result.normals) || !readVector(in, result.uvs) ||
      !readVector(in, result.triangles))
    return false;
  // Nothing follows the last triangle in a mesh file.
  if (in.remaining() != 0) return false;

  mesh.uvMappingCount = result.uvMappingCount;
  mesh.materialNames = std::move(result.materialNames);
  mesh.uvSets = std::move(result.uvSets);
  mesh.positions = std::move(result.positions);
  mesh.normals = std::move(result.normals);
  mesh.uvs = std::move(result.uvs);
  mesh.triangles = std::move(result.triangles);
  return true;
}

}  // namespace Orvane
