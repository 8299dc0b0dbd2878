// The mesh file: its exact bytes, round trips, and a reader that refuses damaged files without
// touching the record it was given.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "export/orvanemesh.h"
#include "support/host_fixture.h"

using namespace Orvane;

namespace {

std::vector<unsigned char> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void PutU32(std::vector<unsigned char>& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

void PutF32(std::vector<unsigned char>& b, float f) {
  uint32_t v;
  std::memcpy(&v, &f, 4);
  PutU32(b, v);
}

void PutString(std::vector<unsigned char>& b, const std::string& s) {
  PutU32(b, static_cast<uint32_t>(s.size()));
  b.insert(b.end(), s.begin(), s.end());
}

std::vector<std::string> DirEntries(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename());
  return names;
}

// A small mesh that uses every section.
OrvaneMesh SmallMesh() {
  OrvaneMesh m;
  m.uvMappingCount = 1;
  m.materialNames = {"defaultMat", "Wood_mid2"};
  m.uvSets = {{"default", 0}};
  m.positions = {{0, 0, 0}, {1, 0, 0}, {0, 0, 1}, {1.5f, -2, 3}};
  m.normals = {{0, 1, 0}, {0, 1, 0}, {0, 1, 0}, {1, 0, 0}};
  m.uvs = {{0, 1}, {1, 1}, {0.25f, 0.75f}};
  m.triangles = {{{2, 1, 0}, {2, 1, 0}, 0}, {{0, 3, 2}, {0, 1, 2}, 1}};
  return m;
}

// The bytes `SmallMesh` must become, built field by field.
std::vector<unsigned char> SmallMeshBytes() {
  OrvaneMesh m = SmallMesh();
  std::vector<unsigned char> b;
  PutU32(b, 5456751);
  PutU32(b, 1);
  PutU32(b, 1);
  PutU32(b, 2);
  PutString(b, "defaultMat");
  PutString(b, "Wood_mid2");
  PutU32(b, 1);
  PutString(b, "default");
  PutU32(b, 0);
  for (const MeshArray<Vec3f>* v : {&m.positions, &m.normals}) {
    PutU32(b, static_cast<uint32_t>(v->size()));
    for (const Vec3f& p : *v) {
      PutF32(b, p.x);
      PutF32(b, p.y);
      PutF32(b, p.z);
    }
  }
  PutU32(b, 3);
  for (const Vec2f& t : m.uvs) {
    PutF32(b, t.x);
    PutF32(b, t.y);
  }
  PutU32(b, 2);
  for (const Triangle& t : m.triangles) {
    for (uint32_t i : t.vertexIndices) PutU32(b, i);
    for (uint32_t i : t.uvIndices) PutU32(b, i);
    PutU32(b, t.materialIndex);
  }
  return b;
}

void ExpectEqualMeshes(const OrvaneMesh& a, const OrvaneMesh& b) {
  EXPECT_EQ(a.uvMappingCount, b.uvMappingCount);
  EXPECT_EQ(a.materialNames, b.materialNames);
  ASSERT_EQ(a.uvSets.size(), b.uvSets.size());
  for (size_t i = 0; i < a.uvSets.size(); ++i) {
    EXPECT_EQ(a.uvSets[i].name, b.uvSets[i].name);
    EXPECT_EQ(a.uvSets[i].index, b.uvSets[i].index);
  }
  auto same = [](const auto& x, const auto& y) {
    return x.size() == y.size() &&
           (x.empty() || std::memcmp(x.data(), y.data(), x.size() * sizeof x[0]) == 0);
  };
  EXPECT_TRUE(same(a.positions, b.positions));
  EXPECT_TRUE(same(a.normals, b.normals));
  EXPECT_TRUE(same(a.uvs, b.uvs));
  EXPECT_TRUE(same(a.triangles, b.triangles));
}

// A record filled with values no file holds, to see that a refused read leaves it alone.
OrvaneMesh Sentinel() {
  OrvaneMesh m;
  m.uvMappingCount = 77;
  m.materialNames = {"a", "b", "c"};
  m.positions = {{9, 9, 9}};
  m.triangles = {{{7, 7, 7}, {7, 7, 7}, 7}};
  return m;
}

TEST(OrvaneMeshTest, EmptyMeshIsThirtySixBytes) {
  TempDir dir;
  OrvaneMesh m;
  m.uvMappingCount = 1;
  ASSERT_TRUE(OrvaneMesh::writeToFile(dir / "empty.ovmesh", m));
  std::vector<unsigned char> expected = {0x6F, 0x43, 0x53, 0x00, 1, 0, 0, 0, 1, 0, 0, 0};
  expected.resize(36, 0);
  EXPECT_EQ(ReadBytes(dir / "empty.ovmesh"), expected);
}

TEST(OrvaneMeshTest, WritesEverySectionByteForByteAndReadsItBack) {
  TempDir dir;
  std::string path = dir / "small.ovmesh";
  ASSERT_TRUE(OrvaneMesh::writeToFile(path, SmallMesh()));
  EXPECT_EQ(ReadBytes(path), SmallMeshBytes());

  OrvaneMesh back = Sentinel();
  ASSERT_TRUE(OrvaneMesh::readFromFile(path, back));
  ExpectEqualMeshes(back, SmallMesh());
  // Only the finished file is left in the folder.
  EXPECT_EQ(DirEntries(dir.path()), std::vector<std::string>{"small.ovmesh"});
}

TEST(OrvaneMeshTest, MeshWithoutNormalsHasAZeroNormalCount) {
  TempDir dir;
  OrvaneMesh m = SmallMesh();
  m.normals.clear();
  ASSERT_TRUE(OrvaneMesh::writeToFile(dir / "n.ovmesh", m));
  std::vector<unsigned char> bytes = ReadBytes(dir / "n.ovmesh");
  EXPECT_EQ(bytes.size(), SmallMeshBytes().size() - 4 * 12);
  OrvaneMesh back;
  ASSERT_TRUE(OrvaneMesh::readFromFile(dir / "n.ovmesh", back));
  EXPECT_EQ(back.positions.size(), 4u);
  EXPECT_TRUE(back.normals.empty());
}

TEST(OrvaneMeshTest, ALargeMeshHoldsExactlyItsBytesAndReadsBack) {
  // Large files have their room reserved before they are written: nothing of it may remain.
  TempDir dir;
  OrvaneMesh m = SmallMesh();
  m.positions.resize(90001);
  m.normals.resize(90001);
  for (size_t i = 0; i < m.positions.size(); ++i) {
    m.positions[i] = Vec3f{float(i), -float(i), 0.5f};
    m.normals[i] = Vec3f{0, 1, float(i % 7)};
  }
  m.triangles.resize(30000);
  for (uint32_t i = 0; i < m.triangles.size(); ++i) m.triangles[i] = {{i, i + 1, i + 2}, {0, 1, 2}, i % 2};
  std::string path = dir / "large.ovmesh";
  ASSERT_TRUE(OrvaneMesh::writeToFile(path, m));
  const size_t extra = (m.positions.size() - 4) * 24 + (m.triangles.size() - 2) * 28;
  EXPECT_EQ(std::filesystem::file_size(path), SmallMeshBytes().size() + extra);
  OrvaneMesh back;
  ASSERT_TRUE(OrvaneMesh::readFromFile(path, back));
  ExpectEqualMeshes(back, m);
  EXPECT_EQ(DirEntries(dir.path()), std::vector<std::string>{"large.ovmesh"});
}

TEST(OrvaneMeshTest, NamesUpToTheLimitRoundTripLongerOnesAreRefused) {
  TempDir dir;
  OrvaneMesh m = SmallMesh();
  std::string longest(1024, 'x');
  longest[0] = 'A';
  longest[1023] = 'Z';
  m.materialNames[1] = longest;
  m.uvSets[0].name = longest;
  ASSERT_TRUE(OrvaneMesh::writeToFile(dir / "long.ovmesh", m));
  OrvaneMesh back;
  ASSERT_TRUE(OrvaneMesh::readFromFile(dir / "long.ovmesh", back));
  ExpectEqualMeshes(back, m);

  for (int which = 0; which < 2; ++which) {
    OrvaneMesh tooLong = SmallMesh();
    (which == 0 ? tooLong.materialNames[0] : tooLong.uvSets[0].name) = std::string(1025, 'y');
    files::Result error;
    EXPECT_FALSE(OrvaneMesh::writeToFile(dir / "too.ovmesh", tooLong, &error));
    EXPECT_EQ(error.error(), EOVERFLOW);
    EXPECT_FALSE(std::filesystem::exists(dir / "too.ovmesh"));
  }
}

TEST(OrvaneMeshTest, ReadReplacesEveryArrayOfTheRecord) {
  TempDir dir;
  OrvaneMesh m;
  m.uvMappingCount = 1;
  m.materialNames = {"only"};
  ASSERT_TRUE(OrvaneMesh::writeToFile(dir / "one.ovmesh", m));
  OrvaneMesh back = Sentinel();
  ASSERT_TRUE(OrvaneMesh::readFromFile(dir / "one.ovmesh", back));
  ExpectEqualMeshes(back, m);
}

TEST(OrvaneMeshTest, RefusedFilesLeaveTheRecordUntouched) {
  TempDir dir;
  std::vector<unsigned char> good = SmallMeshBytes();
  auto patched = [&](size_t at, uint32_t v) {
    std::vector<unsigned char> b = good;
    std::memcpy(&b[at], &v, 4);
    return b;
  };
  // Offset of the positions count: header, names, UV set.
  const size_t positionsAt = 16 + (4 + 10) + (4 + 9) + 4 + (4 + 7) + 4;
  std::vector<unsigned char> trailing = good;
  trailing.push_back(0);
  struct Case {
    const char* what;
    std::vector<unsigned char> bytes;
  } cases[] = {
      {"wrong magic", patched(0, 0x0053436E)},
      {"version 2", patched(4, 2)},
      {"name count beyond the file", patched(12, 0xFFFFFFFF)},
      {"name length beyond the limit", patched(16, 1025)},
      {"position count beyond the file", patched(positionsAt, 0xFFFFFFFF)},
      {"position count one too many", patched(positionsAt, 5)},
      {"a byte after the last triangle", trailing},
      {"empty file", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteBytes(dir / "bad.ovmesh", c.bytes);
    OrvaneMesh m = Sentinel();
    EXPECT_FALSE(OrvaneMesh::readFromFile(dir / "bad.ovmesh", m));
    ExpectEqualMeshes(m, Sentinel());
  }
  OrvaneMesh m = Sentinel();
  EXPECT_FALSE(OrvaneMesh::readFromFile(dir / "missing.ovmesh", m));
  EXPECT_FALSE(OrvaneMesh::readFromFile(dir.path(), m));
  ExpectEqualMeshes(m, Sentinel());
}

TEST(OrvaneMeshTest, EveryTruncationOfAValidFileIsRefused) {
  TempDir dir;
  std::vector<unsigned char> good = SmallMeshBytes();
  for (size_t length = 0; length < good.size(); ++length) {
    SCOPED_TRACE(length);
    WriteBytes(dir / "cut.ovmesh", std::vector<unsigned char>(good.begin(), good.begin() + length));
    OrvaneMesh m = Sentinel();
    ASSERT_FALSE(OrvaneMesh::readFromFile(dir / "cut.ovmesh", m));
    ExpectEqualMeshes(m, Sentinel());
  }
}

// Runs in a child process: exits 0 when the write of a large mesh failed under a 200 kB limit
// for a file too large.
[[noreturn]] void WriteBigMeshUnderAFileSizeLimit(const std::string& path) {
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit limit{200000, 200000};
  setrlimit(RLIMIT_FSIZE, &limit);
  OrvaneMesh big = SmallMesh();
  big.positions.assign(100000, Vec3f{1, 2, 3});
  files::Result error;
  bool written = OrvaneMesh::writeToFile(path, big, &error);
  _exit(written ? 1 : error.error() == EFBIG ? 0 : 2);
}

TEST(OrvaneMeshTest, AnUnwritablePathLeavesNoFile) {
  TempDir dir;
  files::Result error;
  EXPECT_FALSE(OrvaneMesh::writeToFile(dir / "no/such/dir/m.ovmesh", SmallMesh(), &error));
  EXPECT_EQ(error.error(), ENOENT);
  EXPECT_TRUE(DirEntries(dir.path()).empty());
}

TEST(OrvaneMeshTest, AWriteThatFailsHalfwayLeavesTheOldFileAndNoOther) {
  TempDir dir;
  std::string path = dir / "m.ovmesh";
  ASSERT_TRUE(OrvaneMesh::writeToFile(path, SmallMesh()));
  // A file size limit makes the writes of a large mesh fail after the first bytes.
  EXPECT_EXIT(WriteBigMeshUnderAFileSizeLimit(path), ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(ReadBytes(path), SmallMeshBytes());
  EXPECT_EQ(DirEntries(dir.path()), std::vector<std::string>{"m.ovmesh"});
}

}  // namespace
