// Export, import, export again: a material file this system writes imports into a material whose
// own material file holds the same "material" and "medium" elements, names aside.
#include <gtest/gtest.h>

// GCC 12 warns of maybe-uninitialized std::function members inside <regex>'s automaton.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <regex>
#pragma GCC diagnostic pop
#include <string>

#include "export/orvanesceneexporter.h"
#include "import/import_support.h"
#include "support/image_files.h"

namespace {

// The elements of a material file after its comments, names aside: every text of an element whose
// tag ends in "name" becomes "N", texture folders named after the material become "textures.N".
std::string Elements(const std::string& path) {
  TiXmlDocument file;
  if (!file.LoadFile(path.c_str())) return "unreadable " + path;
  std::string out;
  for (const TiXmlElement* e = file.RootElement()->FirstChildElement(); e; e = e->NextSiblingElement()) {
    TiXmlPrinter printer;
    printer.SetIndent("");
    printer.SetLineBreak("");
    e->Accept(&printer);
    out += printer.CStr();
    out += "\n";
  }
  out = std::regex_replace(out, std::regex("<(\\w*name)>[^<]*</\\1>"), "<$1>N</$1>");
  return std::regex_replace(out, std::regex("textures\\.[^/<]*"), "textures.N");
}

class RoundTripTest : public ImportTest {
 protected:
  /// Exports `mat` of `from` as `file` and answers the file's elements.
  std::string Export(BaseDocument* from, BaseMaterial* mat, const std::string& file) {
    OrvaneSceneExporter exporter;
    EXPECT_EQ(exporter.exportOVM(from, mat, Filename(String(dir / file)), 0), 1) << file;
    return Elements(dir / file);
  }
};

TEST_F(RoundTripTest, ExportImportExportGivesTheSameMaterialElements) {
  const std::string image = dir / "wood.png";
  ASSERT_TRUE(WritePngFile(image, 2, 1, {255, 0, 0, 0, 0, 255}));
  // One row per material: its name and the parameters set besides the type (the last row links
  // a bitmap shader to the albedo).
  const struct {
    const char* name;
    LONG type;
    std::vector<std::pair<LONG, GeData>> set;
  } rows[] = {
      {"diffuse", MAT_TYPE_DIFFUSE, {{MAT_ALBEDO_COLOR, LVector(0.5, 0.25, 0.125)}}},
      {"oren-nayar", MAT_TYPE_OREN_NAYAR, {{MAT_USE_SIGMA, true}}},
      {"phong", MAT_TYPE_PHONG, {}},
      {"phong nk", MAT_TYPE_PHONG, {{MAT_USE_NK, true}, {MAT_NK_FILE, "Au.nk"}}},
      {"transmitter", MAT_TYPE_DIFFUSE_TRANSMITTER, {}},
      {"specular", MAT_TYPE_SPECULAR, {}},
      {"specular subsurface",
       MAT_TYPE_SPECULAR,
       {{MAT_USE_SUBSURFACE, true}, {MAT_ABSORPTION_COLOR, LVector(0.5, 0.75, 0.25)}}},
      {"glossy", MAT_TYPE_GLOSSY_TRANSPARENT, {}},
      {"null", MAT_TYPE_NULL, {}},
      {"emission rgb", MAT_TYPE_DIFFUSE, {{MAT_USE_EMISSION, true}}},
      {"emission blackbody",
       MAT_TYPE_DIFFUSE,
       {{MAT_USE_EMISSION, true}, {MAT_EMISSION_SPECTRUM, MAT_SPECTRUM_BLACKBODY}}},
      {"emission uniform",
       MAT_TYPE_DIFFUSE,
       {{MAT_USE_EMISSION, true}, {MAT_EMISSION_SPECTRUM, MAT_SPECTRUM_UNIFORM}}},
      {"emission peak",
       MAT_TYPE_DIFFUSE,
       {{MAT_USE_EMISSION, true}, {MAT_EMISSION_SPECTRUM, MAT_SPECTRUM_PEAK}}},
      {"emission tabulated",
       MAT_TYPE_DIFFUSE,
       {{MAT_USE_EMISSION, true},
        {MAT_EMISSION_SPECTRUM, MAT_SPECTRUM_TABULATED},
        {MAT_EMISSION_TAB_START, "3.8e-07"},
        {MAT_EMISSION_TAB_END, "7.8e-07"},
        {MAT_EMISSION_TAB_VALUES, "1 2.5 3"},
        {MAT_EMISSION_TAB_COUNT, 3}}},
      {"bitmap", MAT_TYPE_DIFFUSE, {}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    BaseMaterial* mat = BaseMaterial::Alloc(ID_CUSTOMORVANEMATERIAL);
    mat->SetName(String(r.name));
    doc->InsertMaterial(mat);
    BaseContainer* bc = mat->GetDataInstance();
    bc->SetLong(MAT_TYPE, r.type);
    for (const auto& [id, value] : r.set) bc->SetData(id, value);
    if (std::string(r.name) == "bitmap") {
      BaseShader* bitmap = BaseShader::Alloc(Xbitmap);
      bitmap->GetDataInstance()->SetFilename(BITMAPSHADER_FILENAME, Filename(String(image)));
      mat->InsertShader(bitmap);
      bc->SetLink(MAT_ALBEDO_SHADER, bitmap);
    }
    CustomOrvaneMaterial::SetChannels(mat->GetDataInstance());
    const std::string first = Export(doc, mat, "first.ovm");

    BaseDocument* empty = BaseDocument::Alloc();
    host::SetActiveDocument(empty);
    ImportOVM().ImportFile(empty, Filename(String(dir / "first.ovm")));
    BaseMaterial* imported = empty->GetFirstMaterial();
    while (imported && imported->GetNext()) imported = imported->GetNext();  // the exported one
    ASSERT_NE(imported, nullptr);
    EXPECT_EQ(Export(empty, imported, "second.ovm"), first);
    host::SetActiveDocument(doc);
    BaseDocument::Free(empty);
  }
  EXPECT_EQ(Messages(), std::vector<std::string>());
}

}  // namespace
