// Geometry in exported scenes: mesh files written once and shared, mesh, model, exit-portal and
// sphere elements, subdivision settings, and meshes whose checksums collide.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

#include <tinyxml.h>

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "export/meshchecksum.h"
#include "export/orvanemesh.h"
#include "export/orvanesceneexporter.h"
#include "host_document_file.h"
#include "main/main.h"
#include "support/host_fixture.h"
#include "support/xml_text.h"

namespace fs = std::filesystem;

namespace {

// A cube of edge 2 named `name` at `position`, with `tags` (JSON, may be empty).
std::string Cube(const std::string& name, const std::string& position = "[0, 0, 0]",
                 const std::string& tags = "") {
  return R"({"type": 5100, "name": ")" + name + R"(", "position": )" + position +
         R"(, "points": [[-1,-1,-1],[1,-1,-1],[1,1,-1],[-1,1,-1],[-1,-1,1],[1,-1,1],[1,1,1],[-1,1,1]],
         "polygons": [[0,1,2,3],[4,7,6,5],[0,4,5,1],[3,2,6,7],[0,3,7,4],[1,5,6,2]], "tags": [)" +
         tags + "]}";
}

class SceneModelTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    ASSERT_TRUE(PluginStart());
  }
  void TearDown() override {
    BaseDocument::Free(doc);
    PluginEnd();
    HostTest::TearDown();
  }

  void Load(const std::string& objects, const std::string& materials = "") {
    std::string error;
    BaseDocument::Free(doc);
    doc = host::LoadDocumentText(R"({"materials": [)" + materials + R"(], "objects": [)" + objects + "]}",
                                 "test document", &error);
    ASSERT_NE(doc, nullptr) << error;
  }

  // Exports to dir/scene.ovs; answers the geometry elements in order, flattened, and the number
  // of files in the models folder.
  std::vector<std::string> Export(size_t* meshFiles = nullptr) {
    exporter.initOVS(doc, nullptr, Filename(String(dir / "scene.ovs")), 0, 0, 0, 0, 0);
    EXPECT_EQ(exporter.exportOVSWithCacheRebuild(), 1);
    TiXmlDocument xml;
    EXPECT_TRUE(xml.LoadFile((dir / "scene.ovs").c_str())) << xml.ErrorDesc();
    std::vector<std::string> out;
    if (!xml.RootElement()) return out;
    for (const TiXmlElement* e = xml.RootElement()->FirstChildElement(); e; e = e->NextSiblingElement()) {
      const std::string kind = e->Value();
      if (kind == "mesh" || kind == "model" || kind == "exit_portal" || kind == "sphere")
        out.push_back(kind + "{" + Flatten(e) + "}");
    }
    if (meshFiles) {
      *meshFiles = 0;
      if (fs::exists(Models()))
        for (const auto& f : fs::directory_iterator(Models()))
          *meshFiles += f.path().extension() == ".ovmesh";
    }
    return out;
  }

  std::string Models() const { return dir / "models.scene"; }

  // The mesh file name of `object` at the scale of a document without render settings (metres
  // per centimetre).
  std::string MeshName(const char* object) {
    const ULONG crc =
        MeshChecksum::CalcMeshChecksum(static_cast<PolygonObject*>(doc->SearchObject(object)), 0, 0.01, doc);
    return "mesh_" + std::to_string(crc) + ".ovmesh";
  }

  TempDir dir;
  BaseDocument* doc = nullptr;
  OrvaneSceneExporter exporter;
};

const char* kPlacement =
    "pos=0.000000 0.000000 0.000000;rotation{matrix=1.00000000 0.00000000 0.00000000 "
    "0.00000000 1.00000000 0.00000000 0.00000000 0.00000000 1.00000000}";

TEST_F(SceneModelTest, EqualObjectsShareOneMeshFileAndElement) {
  Load(Cube("Würfel") + ", " + Cube("Twin", "[5, 0, 0]") + R"(, {"type": 5100, "name": "Empty"})");
  size_t files = 0;
  const std::vector<std::string> elements = Export(&files);
  const std::string mesh = MeshName("Würfel");
  ASSERT_EQ(elements.size(), 3u);
  EXPECT_EQ(elements[0], "mesh{#Würfel;name=" + mesh + ";normal_smoothing=false;external{path=" + Models() +
                             "/" + mesh + "};merge_vertices_with_same_pos_and_normal=false}");
  EXPECT_EQ(elements[1], "model{#Würfel;scale=1.000000;mesh_name=" + mesh + ";" + kPlacement + "}");
  EXPECT_EQ(elements[2],
            "model{#Twin;scale=1.000000;mesh_name=" + mesh +
                ";pos=0.050000 0.000000 0.000000;rotation{matrix=1.00000000 0.00000000 0.00000000 "
                "0.00000000 1.00000000 0.00000000 0.00000000 0.00000000 1.00000000}}");
  EXPECT_EQ(files, 1u);
  EXPECT_TRUE(fs::exists(Models() + "/" + mesh));
  EXPECT_EQ(exporter.instanceCount, 1);

  // A second export into the same folder rewrites no mesh file but names the mesh again.
  struct stat before, after;
  ASSERT_EQ(stat((Models() + "/" + mesh).c_str(), &before), 0);
  const size_t lines = Console().size();
  EXPECT_EQ(Export(&files), elements);
  ASSERT_EQ(stat((Models() + "/" + mesh).c_str(), &after), 0);
  EXPECT_EQ(before.st_ino, after.st_ino);
  for (size_t i = lines; i < Console().size(); ++i)
    EXPECT_EQ(Console()[i].rfind("--Exported", 0), std::string::npos);
}

TEST_F(SceneModelTest, PortalsLightsAndSubdivision) {
  Load(
      Cube("Open", "[0, 0, 0]", R"({"type": 1021223})") + ", " +
      Cube("Shut", "[0, 0, 0]", R"({"type": 1021223, "parameters": {"1100": false}}, {"type": 5612})") +
      ", " + Cube("Lamp", "[0, 0, 0]", R"({"type": 1020892}, {"type": 1022667})") + ", " +
      Cube(
          "Fine", "[0, 0, 0]",
          R"({"type": 1022667, "parameters": {"1505": true, "1502": 0.25}}, {"type": 5673}, {"type": 5673})"));
  const std::vector<std::string> e = Export();
  auto mesh = [&](const char* name, bool smooth, const std::string& subdivision) {
    const std::string file = MeshName(name);
    return "mesh{#" + std::string(name) + ";name=" + file +
           ";normal_smoothing=" + (smooth ? "true" : "false") + ";external{path=" + Models() + "/" + file +
           "};merge_vertices_with_same_pos_and_normal=false" + subdivision + "}";
  };
  const std::string fresh =
      ";max_num_subdivisions=3;subdivide_pixel_threshold=0.000000;subdivide_curvature_threshold=0.100000;"
      "displacement_error_threshold=0.000000;subdivision_smoothing=false;view_dependent_subdivision=false;"
      "wrap_u=false;wrap_v=false";
  const std::string fine =
      ";max_num_subdivisions=3;subdivide_pixel_threshold=0.250000;subdivide_curvature_threshold=0.100000;"
      "displacement_error_threshold=0.000000;subdivision_smoothing=false;view_dependent_subdivision=true;"
      "wrap_u=false;wrap_v=false";
  const std::vector<std::string> expected = {
      mesh("Open", false, ""),
      "exit_portal{#Open;scale=1.000000;mesh_name=" + MeshName("Open") + ";" + kPlacement + "}",
      mesh("Shut", true, ""),
      mesh("Lamp", false, fresh),
      mesh("Fine", false, fine),
      "model{#Fine;scale=1.000000;mesh_name=" + MeshName("Fine") + ";" + kPlacement + "}",
  };
  EXPECT_EQ(e, expected);
}

TEST_F(SceneModelTest, SpheresWithTheirMaterials) {
  std::string error;
  doc = host::LoadDocumentText(R"({"materials": [{"name": "Clay"}], "objects": [
      {"type": 5160, "name": "Ball", "position": [100, 200, 300], "parameters": {"1110": 200.0}},
      {"type": 5160, "name": "Dyed", "tags": [{"type": 5616, "parameters": {"1010": {"material": "Clay"}}}]}],
      "renderData": {"videoPosts": [{"type": 1020896, "parameters": {"1386": 1389}}]}})",
                               "spheres", &error);
  ASSERT_NE(doc, nullptr) << error;
  const std::vector<std::string> e = Export();
  ASSERT_EQ(e.size(), 2u);
  EXPECT_EQ(e[0], "sphere{#Ball;center=1.000000 3.000000 2.000000;radius=2.000000;material_name=defaultMat}");
  EXPECT_EQ(e[1], "sphere{#Dyed;center=0.000000 0.000000 0.000000;radius=1.000000;material_name=Clay_mid0}");
}

TEST_F(SceneModelTest, LongNamesAreCutAtACharacterInUtf8) {
  std::string name;
  for (int i = 0; i < 1500; ++i) name += "\xC3\xBC";  // 3000 bytes of "ü"
  Load(Cube(name));
  const std::vector<std::string> e = Export();
  ASSERT_EQ(e.size(), 2u);
  for (const std::string& element : e) {
    const size_t from = element.find('#') + 1, to = element.find(';');
    const std::string comment = element.substr(from, to - from);
    EXPECT_EQ(comment, name.substr(0, 1998)) << "999 whole characters fit in 1999 bytes";
  }
}

// A material name longer than a mesh file's strings is cut alike in the scene, the mesh file, the
// emission scaling and the IES profile.
TEST_F(SceneModelTest, LongMaterialNamesAreTheSameInEveryFile) {
  std::string name = "L";
  for (int i = 0; i < 366; ++i) name += "\xE2\x82\xAC";
  Load(
      Cube("Lamp", "[0, 0, 0]", R"({"type": 5616, "parameters": {"1010": {"material": ")" + name + R"("}}})"),
      R"({"type": 1024337, "name": ")" + name + R"(", "parameters": {"6007": true, "6090": 3, "6080": true,
       "6083": 6084, "6088": 800.0, "6281": true, "6282": {"filename": ")" +
          (dir / "lamp.ies") + R"("}}})");
  Export();

  TiXmlDocument xml;
  ASSERT_TRUE(xml.LoadFile((dir / "scene.ovs").c_str()));
  const std::string expected = name.substr(0, 1018) + "_mid0";  // cut before the crossing character
  std::vector<std::string> used;
  std::string layer;  // of the material defined under that name
  for (const TiXmlElement* e = xml.RootElement()->FirstChildElement(); e; e = e->NextSiblingElement()) {
    if (e->ValueStr() == "material" && e->FirstChildElement("name")->GetText() == expected)
      layer = e->FirstChildElement("diffuse")->FirstChildElement("layer")->GetText();
    if (e->ValueStr() != "model") continue;
    for (const char* kind : {"emission_scale", "ies_profile"}) {
      ASSERT_NE(e->FirstChildElement(kind), nullptr) << kind;
      used.push_back(e->FirstChildElement(kind)->FirstChildElement("material_name")->GetText());
    }
    Orvane::OrvaneMesh mesh;
    ASSERT_TRUE(Orvane::OrvaneMesh::readFromFile(
        Models() + "/" + e->FirstChildElement("mesh_name")->GetText(), mesh));
    used.insert(used.end(), mesh.materialNames.begin(), mesh.materialNames.end());
  }
  EXPECT_EQ(used, (std::vector<std::string>{expected, expected, expected}));
  EXPECT_EQ(layer, "0") << "the material's layer 3 is the first layer the scene uses";
}

// The 16 bytes of a polygon whose change leaves the CRC-32 of a stream unchanged when 12 more
// bytes follow it: a non-zero solution of the linear map from the change to the CRC difference.
std::array<unsigned char, 16> CrcNeutralChange() {
  auto difference = [](const std::array<unsigned char, 16>& d) {
    unsigned char zeros[28] = {}, buf[28] = {};
    std::copy(d.begin(), d.end(), buf);
    return static_cast<uint32_t>(crc32(0, buf, 28) ^ crc32(0, zeros, 28));
  };
  // Gaussian elimination over the 128 unit changes; a row whose image vanishes is the answer.
  std::vector<std::pair<uint32_t, std::array<unsigned char, 16>>> basis;
  for (int bit = 0; bit < 128; ++bit) {
    std::array<unsigned char, 16> d{};
    d[bit / 8] = static_cast<unsigned char>(1 << (bit % 8));
    uint32_t image = difference(d);
    for (const auto& [pivotImage, pivotChange] : basis)
      if ((image ^ pivotImage) < image) {
        image ^= pivotImage;
        for (int i = 0; i < 16; ++i) d[i] ^= pivotChange[i];
      }
    if (image == 0) return d;
    basis.emplace_back(image, d);
    std::sort(basis.begin(), basis.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
  }
  return {};
}

TEST_F(SceneModelTest, MeshesWhoseChecksumsCollideKeepTheirOwnFiles) {
  Load(Cube("A") + ", " + Cube("B", "[3, 0, 0]"));
  // B's last polygon is changed so that its checksum stays that of A: the checksum's bytes end
  // with the polygons, then the scale and the salt (12 bytes) for an object without tags.
  auto* b = static_cast<PolygonObject*>(doc->SearchObject("B"));
  const std::array<unsigned char, 16> change = CrcNeutralChange();
  auto* last = reinterpret_cast<unsigned char*>(b->GetPolygonW() + 5);
  for (int i = 0; i < 16; ++i) last[i] ^= change[i];
  auto* a = static_cast<PolygonObject*>(doc->SearchObject("A"));
  const MeshChecksum::Key ka = MeshChecksum::CalcMeshKey(a, 0, 0.01, doc),
                          kb = MeshChecksum::CalcMeshKey(b, 0, 0.01, doc);
  ASSERT_EQ(ka.checksum, kb.checksum) << "the test needs colliding checksums";
  ASSERT_NE(ka.fingerprint, kb.fingerprint);

  size_t files = 0;
  const std::vector<std::string> e = Export(&files);
  const std::string first = "mesh_" + std::to_string(ka.checksum) + ".ovmesh";
  const std::string second = "mesh_" + std::to_string(ka.checksum) + "_2.ovmesh";
  ASSERT_EQ(e.size(), 4u);
  EXPECT_NE(e[0].find("name=" + first), std::string::npos) << e[0];
  EXPECT_NE(e[1].find("mesh_name=" + first), std::string::npos) << e[1];
  EXPECT_NE(e[2].find("name=" + second), std::string::npos) << e[2];
  EXPECT_NE(e[3].find("mesh_name=" + second), std::string::npos) << e[3];
  EXPECT_EQ(files, 2u);
  EXPECT_EQ(exporter.instanceCount, 0);

  // In the next frame B comes alone: it must not take A's file of the frame before.
  BaseObject* gone = a;
  BaseObject::Free(gone);
  const std::vector<std::string> alone = Export();
  ASSERT_EQ(alone.size(), 2u);
  EXPECT_NE(alone[0].find("name=" + second), std::string::npos) << alone[0];
}

}  // namespace
