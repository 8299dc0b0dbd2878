// Texture loading: where a texture path leads, the console line, the bitmap shader and the
// mapping values.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "host_clock.h"
#include "host_control.h"
#include "import/import_support.h"
#include "support/zip_writer.h"

namespace {

// The exponent, a, b and c that Texture() writes.
const double kMapping[] = {2.2, 0.5, 0.25, 0.125};

std::string Texture(const std::string& path) {
  return "<texture><path>" + path +
         "</path><uv_set>default</uv_set><exponent>2.2</exponent>"
         "<a>0.5</a><b>0.25</b><c>0.125</c></texture>";
}

TEST_F(ImportTest, TexturePathsResolveAgainstTheMaterialFilesFolder) {
  std::filesystem::create_directories(dir / "tex");
  Write("tex/wood.png", "png");
  Write("top.png", "png");
  const std::string absolute = dir / "tex/wood.png";
  // One row per path form: the path in the file, the console line, whether it loads.
  const struct {
    std::string path;
    std::string line;
    bool loads;
  } rows[] = {
      {"tex/wood.png", "Loaded texture: " + dir.path() + "/tex/wood.png", true},
      {"tex\\wood.png", "Loaded texture: " + dir.path() + "/tex/wood.png", true},
      {"/top.png", "Loaded texture: " + dir.path() + "/top.png", true},
      {absolute, "Loaded texture: " + absolute, true},  // not beside the file: as written
      {"C:\\tex\\wood.png", "Failed to load texture from: C:\\tex\\wood.png", false},
      {"tex/missing.png", "Failed to load texture from: " + dir.path() + "/tex/missing.png", false},
      {"tex", "Failed to load texture from: " + dir.path() + "/tex", false},
      {"", "Failed to load texture from: " + dir.path() + "/", false},
      {"a", "Failed to load texture from: " + dir.path() + "/a", false},
      // Control characters of the file (a screen clear, a title) reach the console as they are: the
      // runner escapes them where it prints the line.
      {"\x1b[2J\x1b]0;owned\x07.png",
       "Failed to load texture from: " + dir.path() + "/\x1b[2J\x1b]0;owned\x07.png", false},
  };
  int n = 0;
  for (const auto& r : rows) {
    const std::string name = "T" + std::to_string(n++);
    host::ClearConsole();
    ImportBody(
        Mat(name, "<diffuse>" + Texture(r.path) +
                      "<albedo><texture><texture_index>0</texture_index></texture></albedo></diffuse>"),
        name + ".ovm");
    ASSERT_FALSE(Console().empty()) << r.path;
    EXPECT_EQ(Console().front(), r.line);
    BaseContainer* data = Data(name);
    BaseList2D* shader = data->GetLink(MAT_ALBEDO_SHADER, doc);
    EXPECT_EQ(shader != nullptr, r.loads) << r.path;
    if (shader) {
      EXPECT_EQ(shader->GetType(), Xbitmap);
      EXPECT_EQ(shader->GetUp(), doc->SearchMaterial(String(name)));
      EXPECT_EQ(host::ToUtf8(shader->GetDataInstance()->GetFilename(BITMAPSHADER_FILENAME).GetString()),
                r.line.substr(std::string("Loaded texture: ").size()));
    }
    // The mapping values are written whether or not the image was found.
    const LONG mapping[] = {MAT_ALBEDO_TEX_EXPONENT, MAT_ALBEDO_TEX_A, MAT_ALBEDO_TEX_B, MAT_ALBEDO_TEX_C};
    for (int k = 0; k < 4; ++k) EXPECT_EQ(data->GetReal(mapping[k]), kMapping[k]) << r.path;
  }
}

// An archive's textures are named where the import keeps them, in the folder it names at its end
// (even when another import took the name meanwhile), and a backslash in an entry's name
// separates folders as it does in the material's texture path.
TEST_F(ImportTest, AnArchivesTexturesAreNamedInTheFolderTheImportKeeps) {
  host::SetStartupWritePath(dir.path());
  static host::ManualClock clock;  // the timer stands still: the folder is named "wood.povm0"
  host::SetClock(&clock);
  const std::string material =
      "<scenedata>" +
      Mat("Red", "<diffuse>" + Texture("tex\\red.png") +
                     "<albedo><texture><texture_index>0</texture_index></texture></albedo></diffuse>") +
      "</scenedata>";
  const std::string archive = Write("wood.povm", MakeZip({{"good.ovm", material}, {"tex\\red.png", "png"}}));
  // Another import takes the name this one would get once the archive is unpacked (its top
  // level is listed then).
  const std::string taken = dir / "materials/wood.povm0";
  host::SetConsoleEcho([&](const std::string& line) {
    if (line == "good.ovm") std::filesystem::create_directories(taken);
  });
  const Bool imported = import.ImportFile(doc, Filename(String(archive)));
  host::SetConsoleEcho(nullptr);
  EXPECT_TRUE(imported);
  const std::string red = dir / "materials/wood.povm0-2/tex/red.png";
  const std::vector<std::string> lines = Console();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Loaded texture: " + red), lines.end());
  BaseList2D* shader = Data("Red")->GetLink(MAT_ALBEDO_SHADER, doc);
  ASSERT_NE(shader, nullptr);
  EXPECT_EQ(host::ToUtf8(shader->GetDataInstance()->GetFilename(BITMAPSHADER_FILENAME).GetString()), red);
  EXPECT_EQ(ReadFile(red), "png");
}

TEST_F(ImportTest, EveryChannelTextureLandsInItsOwnLinkAndMapping) {
  Write("t.png", "png");
  const std::string index = "<texture><texture_index>0</texture_index></texture>";
  ImportBody(Mat("Blend", "<blend><a_name>x</a_name><b_name>y</b_name><blend>" + index + "</blend>" +
                              Texture("t.png") + "</blend>") +
             Mat("Glossy", "<glossy_transparent>" + Texture("t.png") + "<exponent>" + index +
                               "</exponent><internal_medium_name>m</internal_medium_name>"
                               "<bump>" +
                               index + "</bump><displacement>" + index + "</displacement><emission>" + index +
                               "</emission><absorption_layer_transmittance>" + index +
                               "</absorption_layer_transmittance></glossy_transparent>") +
             Mat("Oren", "<oren_nayar>" + Texture("t.png") + "<sigma>" + index + "</sigma></oren_nayar>"));
  const struct {
    const char* material;
    int link, sw;
  } rows[] = {
      {"Blend", MAT_ALPHA_SHADER, MAT_USE_ALPHA},
      {"Glossy", MAT_EXPONENT_SHADER, MAT_USE_EXPONENT},
      {"Glossy", MAT_BUMP_SHADER, MAT_USE_BUMP},
      {"Glossy", MAT_DISPLACEMENT_SHADER, MAT_USE_DISPLACEMENT},
      {"Glossy", MAT_EMISSION_SHADER, MAT_USE_EMISSION},
      {"Glossy", MAT_ABSORPTION_LAYER_SHADER, MAT_USE_ABSORPTION_LAYER},
      {"Oren", MAT_SIGMA_SHADER, MAT_USE_SIGMA},
  };
  for (const auto& r : rows) {
    BaseContainer* data = Data(r.material);
    EXPECT_NE(data->GetLink(r.link, doc), nullptr) << r.material << " " << r.link;
    EXPECT_TRUE(data->GetBool(r.sw)) << r.material << " " << r.link;
    // Exponent, a, b and c follow the link.
    for (int k = 0; k < 4; ++k) EXPECT_EQ(data->GetReal(r.link + 1 + k), kMapping[k]) << k;
  }
}

}  // namespace
