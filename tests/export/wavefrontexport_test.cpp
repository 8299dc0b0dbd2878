// Polygon objects converted to meshes: a textured, smoothed cube to a known mesh, materials per
// selection, light mode, texture offsets and lengths, the written file and its console line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
// GCC 12 warns of maybe-uninitialized std::function members inside <regex>'s automaton.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <regex>
#pragma GCC diagnostic pop
#include <string>
#include <vector>

#include "export/materialnametable.h"
#include "export/meshchecksum.h"
#include "export/wavefrontexport.h"
#include "main/helpers.h"
#include "support/host_fixture.h"

using namespace Orvane;

namespace {

class WavefrontExportTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    doc_ = BaseDocument::Alloc();
  }
  void TearDown() override {
    BaseDocument::Free(doc_);
    HostTest::TearDown();
  }

  // A cube of edge 200 around the origin: six quadrangles, each with texture coordinates
  // (0, 0), (1, 0), (1, 1), (0, 1) at its corners a, b, c, d.
  PolygonObject* Cube(const char* name = "Cube") {
    PolygonObject* op = PolygonObject::Alloc(8, 6);
    op->SetName(name);
    LVector* p = op->GetPointW();
    for (int i = 0; i < 8; ++i)
      p[i] = LVector((i & 1) ^ ((i >> 1) & 1) ? 100 : -100, i & 2 ? 100 : -100, i & 4 ? 100 : -100);
    CPolygon* v = op->GetPolygonW();
    v[0] = CPolygon(0, 1, 2, 3);  // z = -100
    v[1] = CPolygon(4, 7, 6, 5);  // z = 100
    v[2] = CPolygon(0, 4, 5, 1);  // y = -100
    v[3] = CPolygon(3, 2, 6, 7);  // y = 100
    v[4] = CPolygon(0, 3, 7, 4);  // x = -100
    v[5] = CPolygon(1, 5, 6, 2);  // x = 100
    UVWTag* uvw = UVWTag::Alloc(6);
    for (LONG i = 0; i < 6; ++i)
      uvw->SetSlow(i, UVWStruct{LVector(0, 0, 0), LVector(1, 0, 0), LVector(1, 1, 0), LVector(0, 1, 0)});
    op->InsertTag(uvw, op->GetTag(Tpolygon));
    doc_->InsertObject(op, nullptr, nullptr);
    return op;
  }

  BaseMaterial* Material(const char* name) {
    BaseMaterial* mat = BaseMaterial::Alloc(Mmaterial);
    mat->SetName(name);
    BaseMaterial* last = doc_->GetFirstMaterial();
    while (last && last->GetNext()) last = last->GetNext();
    doc_->InsertMaterial(mat, last);
    return mat;
  }

  // A texture tag with `mat`, placed last on `op`, restricted to the selection `restriction`.
  TextureTag* Texture(BaseObject* op, BaseMaterial* mat, const char* restriction = "") {
    TextureTag* tag = TextureTag::Alloc();
    tag->SetMaterial(mat);
    tag->GetDataInstance()->SetString(TEXTURETAG_RESTRICTION, restriction);
    BaseTag* last = op->GetFirstTag();
    while (last && last->GetNext()) last = last->GetNext();
    op->InsertTag(tag, last);
    return tag;
  }

  SelectionTag* Selection(BaseObject* op, const char* name, std::initializer_list<LONG> polygons) {
    auto* tag = static_cast<SelectionTag*>(BaseTag::Alloc(Tpolygonselection));
    tag->SetName(name);
    for (LONG i : polygons) tag->GetBaseSelect()->Select(i);
    BaseTag* last = op->GetFirstTag();
    while (last && last->GetNext()) last = last->GetNext();
    op->InsertTag(tag, last);
    return tag;
  }

  // Converts `op` into `dir` as mesh_1.ovmesh and reads the file back.
  OrvaneMesh Convert(PolygonObject* op, double scale = 0.01, int lightMode = 0,
                     const MaterialNameTable* names = nullptr) {
    WavefrontExport exporter;
    EXPECT_EQ(exporter.ExportObj(doc_, Filename(dir_.path().c_str()), Filename("mesh_1.ovmesh"), op, scale,
                                 lightMode, names),
              1);
    OrvaneMesh back;
    EXPECT_TRUE(OrvaneMesh::readFromFile(dir_ / "mesh_1.ovmesh", back));
    EXPECT_EQ(back.uvMappingCount, 1u);
    EXPECT_EQ(back.uvSets.size(), 1u);
    EXPECT_EQ(back.uvSets.at(0).name, "default");
    return back;
  }

  BaseDocument* doc_ = nullptr;
  TempDir dir_;
};

void ExpectVec(const Vec3f& v, float x, float y, float z) {
  EXPECT_EQ(v.x, x);
  EXPECT_EQ(v.y, y);
  EXPECT_EQ(v.z, z);
}

TEST_F(WavefrontExportTest, SmoothedTexturedCubeBecomesAKnownMesh) {
  PolygonObject* cube = Cube();
  BaseTag* phong = cube->MakeTag(Tphong);
  phong->GetDataInstance()->SetBool(PHONGTAG_PHONG_ANGLELIMIT, TRUE);
  phong->GetDataInstance()->SetReal(PHONGTAG_PHONG_ANGLE, 0.5);
  Material("Other");
  Texture(cube, Material("Red"));

  OrvaneMesh m = Convert(cube);
  EXPECT_EQ(m.materialNames, (std::vector<std::string>{"Red_mid1"}));
  // Hard edges: every face has its own four vertices; the four texture corners are shared.
  EXPECT_EQ(m.triangles.size(), 12u);
  EXPECT_EQ(m.positions.size(), 24u);
  EXPECT_EQ(m.normals.size(), 24u);
  ASSERT_EQ(m.uvs.size(), 4u);
  // Polygon 0 (a, b, c, d) gives (c, b, a) and (a, d, c), texture corners alike.
  const Triangle& t0 = m.triangles[0];
  const Triangle& t1 = m.triangles[1];
  EXPECT_EQ(std::vector<uint32_t>(t0.vertexIndices, t0.vertexIndices + 3), (std::vector<uint32_t>{2, 1, 0}));
  EXPECT_EQ(std::vector<uint32_t>(t1.vertexIndices, t1.vertexIndices + 3), (std::vector<uint32_t>{0, 3, 2}));
  EXPECT_EQ(std::vector<uint32_t>(t0.uvIndices, t0.uvIndices + 3), (std::vector<uint32_t>{2, 1, 0}));
  EXPECT_EQ(std::vector<uint32_t>(t1.uvIndices, t1.uvIndices + 3), (std::vector<uint32_t>{0, 3, 2}));
  for (const Triangle& t : m.triangles) EXPECT_EQ(t.materialIndex, 0u);
  // Positions as (x, z, y) times the scale; polygon 0 is wound to face +z, written as +y.
  ExpectVec(m.positions[0], -1.0f, -1.0f, -1.0f);
  ExpectVec(m.positions[2], 1.0f, -1.0f, 1.0f);
  ExpectVec(m.normals[0], 0.0f, 1.0f, 0.0f);
  // Texture coordinates as (u, 1 - v) in order of first appearance.
  EXPECT_EQ(m.uvs[0].x, 0.0f);
  EXPECT_EQ(m.uvs[0].y, 1.0f);
  EXPECT_EQ(m.uvs[1].x, 1.0f);
  EXPECT_EQ(m.uvs[1].y, 1.0f);
  EXPECT_EQ(m.uvs[2].x, 1.0f);
  EXPECT_EQ(m.uvs[2].y, 0.0f);
  // The file holds exactly what the conversion built.
  WavefrontExport again;
  again.ExportObj(doc_, Filename(dir_.path().c_str()), Filename("mesh_2.ovmesh"), cube, 0.01, 0);
  EXPECT_EQ(again.GetMesh().positions.size(), m.positions.size());
}

TEST_F(WavefrontExportTest, WithoutSmoothingCornersAtOnePointShareAVertex) {
  OrvaneMesh m = Convert(Cube(), 1.0);
  EXPECT_EQ(m.positions.size(), 8u);
  EXPECT_TRUE(m.normals.empty());
  EXPECT_EQ(m.materialNames, (std::vector<std::string>{"defaultMat"}));
  // Without a texture tag the polygons carry no coordinates: one shared (0, 1).
  ASSERT_EQ(m.uvs.size(), 1u);
  EXPECT_EQ(m.uvs[0].y, 1.0f);
}

TEST_F(WavefrontExportTest, MaterialsFollowTheSelectionsAndEachPolygonIsConvertedOnce) {
  PolygonObject* cube = Cube();
  BaseMaterial* top = Material("Top");
  BaseMaterial* side = Material("Side");
  BaseMaterial* rest = Material("Rest");
  Selection(cube, "top", {3, 1});
  Selection(cube, "side", {1, 4, 5, 77});  // 1 is also in "top"; 77 lies beyond the cube
  Selection(cube, "empty", {});
  Texture(cube, rest);
  Texture(cube, side, "side");
  Texture(cube, top, "top");

  OrvaneMesh m = Convert(cube);
  // The empty selection has no texture tag of its own: it takes the unrestricted one.
  EXPECT_EQ(m.materialNames, (std::vector<std::string>{"Top_mid0", "Side_mid1", "Rest_mid2"}));
  // Group order: "top" (polygons 1, 3), "side" (4, 5; 1 went to "top"), "empty", then the rest
  // (0, 2).
  ASSERT_EQ(m.triangles.size(), 12u);
  const uint32_t expected[] = {0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2};
  for (size_t i = 0; i < 12; ++i) EXPECT_EQ(m.triangles[i].materialIndex, expected[i]) << i;

  // In light mode everything is the light's material.
  OrvaneMesh light = Convert(cube, 0.01, 1);
  EXPECT_EQ(light.materialNames, (std::vector<std::string>{"defaultLight"}));
  for (const Triangle& t : light.triangles) EXPECT_EQ(t.materialIndex, 0u);
}

TEST_F(WavefrontExportTest, SelectionsCoveringEverythingStillNameTheRest) {
  PolygonObject* cube = Cube();
  Selection(cube, "all", {0, 1, 2, 3, 4, 5});
  Texture(cube, Material("All"), "all");
  OrvaneMesh m = Convert(cube);
  EXPECT_EQ(m.materialNames, (std::vector<std::string>{"All_mid0", "defaultMat"}));
  EXPECT_EQ(m.triangles.size(), 12u);
}

TEST_F(WavefrontExportTest, TextureOffsetsAndLengths) {
  struct Case {
    double offsetU, offsetV, lengthU, lengthV;
    float u, v;  // of corner c, (1, 1) on the tag's coordinates
  } cases[] = {
      {0.0, 0.0, 1.0, 1.0, 1.0f, 0.0f},
      {0.5, 0.25, 2.0, 0.5, 0.25f, -0.5f},
      {0.0, 0.0, 0.0, 0.0, 1.0f, 0.0f},  // a length of 0 leaves the coordinates alone
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lengthU);
    PolygonObject* cube = Cube();
    TextureTag* tag = Texture(cube, Material("M"));
    BaseContainer* bc = tag->GetDataInstance();
    bc->SetReal(TEXTURETAG_OFFSETX, c.offsetU);
    bc->SetReal(TEXTURETAG_OFFSETY, c.offsetV);
    bc->SetReal(TEXTURETAG_LENGTHX, c.lengthU);
    bc->SetReal(TEXTURETAG_LENGTHY, c.lengthV);
    OrvaneMesh m = Convert(cube);
    const Vec2f& t = m.uvs[m.triangles[0].uvIndices[0]];
    EXPECT_FLOAT_EQ(t.x, c.u);
    EXPECT_FLOAT_EQ(t.y, c.v);
    for (const Vec2f& uv : m.uvs) EXPECT_TRUE(std::isfinite(uv.x) && std::isfinite(uv.y));
    BaseObject* o = cube;
    BaseObject::Free(o);
  }
}

TEST_F(WavefrontExportTest, ProjectedCoordinatesComeFromTheHost) {
  PolygonObject* cube = Cube();
  TextureTag* tag = Texture(cube, Material("Flat"));
  tag->GetDataInstance()->SetLong(TEXTURETAG_PROJECTION, TEXTURETAG_PROJECTION_FLAT);
  tag->SetMl(LMatrix(LVector(), LVector(100, 0, 0), LVector(0, 100, 0), LVector(0, 0, 100)));
  OrvaneMesh m = Convert(cube);
  // A flat projection over the cube's x and y: corner (-100, -100) of polygon 0 is (0, 1) on the
  // texture, written as (0, 0).
  const Vec2f& t = m.uvs[m.triangles[0].uvIndices[2]];
  EXPECT_FLOAT_EQ(t.x, 0.0f);
  EXPECT_FLOAT_EQ(t.y, 0.0f);
}

TEST_F(WavefrontExportTest, ConsoleLineAndFailures) {
  PolygonObject* cube = Cube("Würfel");
  WavefrontExport exporter;
  const std::string models = dir_ / "models.scene";
  ASSERT_EQ(exporter.ExportObj(doc_, Filename(models.c_str()), Filename("mesh_7.ovmesh"), cube, 1.0, 0), 1);
  EXPECT_TRUE(std::filesystem::exists(models + "/mesh_7.ovmesh"));
  std::vector<std::string> lines = Console();
  ASSERT_FALSE(lines.empty());
  EXPECT_TRUE(std::regex_match(
      lines.back(), std::regex("--Exported mesh_7\\.ovmesh: Würfel, 12 Tris, 8 Vertices, 1 UVs\\. "
                               "Processing Time: [0-9]+\\.[0-9]{3}s\\. Export Time: [0-9]+\\.[0-9]{3}s")))
      << lines.back();

  // A folder that cannot be made: nothing is written and the console says so.
  std::ofstream(dir_ / "blocked") << "a file";
  WavefrontExport failing;
  EXPECT_EQ(
      failing.ExportObj(doc_, Filename((dir_ / "blocked").c_str()), Filename("mesh_8.ovmesh"), cube, 1.0, 0),
      0);
  EXPECT_EQ(Console().back(), "--Could not write the mesh file " + (dir_ / "blocked") +
                                  "/mesh_8.ovmesh of Würfel: Not a directory");
  // A folder in the place of the file: the rename fails, and its reason is the one given.
  std::filesystem::create_directory(models + "/mesh_8.ovmesh");
  EXPECT_EQ(failing.ExportObj(doc_, Filename(models.c_str()), Filename("mesh_8.ovmesh"), cube, 1.0, 0), 0);
  EXPECT_EQ(Console().back(),
            "--Could not write the mesh file " + models + "/mesh_8.ovmesh of Würfel: Is a directory");
  std::vector<std::string> left;
  for (const auto& e : std::filesystem::directory_iterator(models)) left.push_back(e.path().filename());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"mesh_7.ovmesh", "mesh_8.ovmesh"}));

  // A null object: nothing at all.
  const size_t printed = Console().size();
  EXPECT_EQ(
      failing.ExportObj(doc_, Filename(dir_.path().c_str()), Filename("mesh_9.ovmesh"), nullptr, 1.0, 0), 0);
  EXPECT_EQ(Console().size(), printed);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "mesh_9.ovmesh"));
}

TEST_F(WavefrontExportTest, ALongMaterialNameStillFitsTheMeshFile) {
  std::string name;
  for (int i = 0; i < 340; ++i) name += "\xE6\x9C\xA8";  // 1,020 bytes
  PolygonObject* cube = Cube();
  BaseMaterial* mat = Material(name.c_str());
  Texture(cube, mat);
  OrvaneMesh m = Convert(cube);
  ASSERT_EQ(m.materialNames.size(), 1u);
  EXPECT_EQ(m.materialNames[0], Helpers::ToUTF8String(Helpers::GetUniqueMaterialName(mat, doc_)));
  EXPECT_EQ(m.materialNames[0], name.substr(0, 339 * 3) + "_mid0");
}

TEST_F(WavefrontExportTest, MeshesNameMaterialsFromTheExportsTable) {
  PolygonObject* cube = Cube();
  Material("First");
  BaseMaterial* mat = Material("Wood");
  Texture(cube, mat);
  const MaterialNameTable table(doc_);
  const MeshChecksum::Key before = MeshChecksum::CalcMeshKey(cube, 0, 0.01, doc_);
  mat->SetName("Renamed");
  EXPECT_EQ(Convert(cube, 0.01, 0, &table).materialNames, std::vector<std::string>{"Wood_mid1"});
  EXPECT_TRUE(MeshChecksum::CalcMeshKey(cube, 0, 0.01, doc_, &table) == before);
}

TEST_F(WavefrontExportTest, ObjectWithoutPolygonsIsAnEmptyMeshWithoutNormals) {
  PolygonObject* op = PolygonObject::Alloc(3, 0);
  op->MakeTag(Tphong);
  doc_->InsertObject(op, nullptr, nullptr);
  OrvaneMesh m = Convert(op);
  EXPECT_TRUE(m.triangles.empty());
  EXPECT_TRUE(m.positions.empty());
  EXPECT_TRUE(m.normals.empty());
  EXPECT_EQ(m.materialNames, (std::vector<std::string>{"defaultMat"}));
}

TEST(WavefrontExportStaticTest, PathsAndAreas) {
  EXPECT_EQ(WavefrontExport::MeshFilePath(Filename("/a/models.x"), Filename("mesh_1.ovmesh")),
            "/a/models.x/mesh_1.ovmesh");
  EXPECT_EQ(WavefrontExport::MeshFilePath(Filename("/a/models.x/"), Filename("mesh_1.ovmesh")),
            "/a/models.x/mesh_1.ovmesh");
  EXPECT_TRUE(WavefrontExport::PolygonHasArea(LVector(0, 0, 0), LVector(1, 0, 0), LVector(0, 1, 0)));
  EXPECT_FALSE(WavefrontExport::PolygonHasArea(LVector(0, 0, 0), LVector(1, 0, 0), LVector(2, 0, 0)));
  EXPECT_FALSE(WavefrontExport::PolygonHasArea(LVector(1, 1, 1), LVector(1, 1, 1), LVector(1, 1, 1)));
}

}  // namespace
