// The plug-in's tool commands run through the runner as a person runs them from the menu: on a
// document file, with a selection and scripted answers, and the saved document holds what each
// made. A bake followed by a render hands the renderer the baked images as the copy's textures.
#include <gtest/gtest.h>

#include <tinyxml.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "c4d.h"
#include "host_document_file.h"
#include "material/customorvanematerial.h"
#include "material/materialparams.h"
#include "object/orvaneinstance.h"
#include "object/orvaneinstanceids.h"
#include "support/host_fixture.h"
#include "support/image_files.h"

namespace fs = std::filesystem;

namespace {

// A group with a quad textured by the plug-in material "Wood" (flat projection) and a box
// textured by the standard material "Red"; "Blue" is a standard material nobody uses.
const char kDocument[] = R"json({
  "name": "tools.c4d",
  "objects": [
    {"type": 5140, "name": "Group", "position": [10, 0, 0], "children": [
      {"type": 5100, "name": "Quad",
       "points": [[-1, -1, 0], [1, -1, 0], [1, 1, 0], [-1, 1, 0]], "polygons": [[0, 1, 2, 3]],
       "tags": [{"type": 5616, "name": "WoodTag", "parameters": {"1010": {"material": "Wood"}, "1004": 2}}]},
      {"type": 5100, "name": "Box",
       "points": [[2, 0, 0], [3, 0, 0], [3, 1, 0], [2, 1, 0]], "polygons": [[0, 1, 2, 3]],
       "tags": [{"type": 5671, "uvw": [[[0, 0, 0], [1, 0, 0], [1, 1, 0], [0, 1, 0]]]},
                {"type": 5616, "name": "RedTag", "parameters": {"1010": {"material": "Red"}}}]}
    ]}
  ],
  "materials": [
    {"type": 5703, "name": "Red", "parameters": {"2100": [1, 0, 0]}},
    {"type": 5703, "name": "Blue", "parameters": {"2100": [0, 0, 1]}},
    {"type": 1024337, "name": "Wood", "parameters": {
      "6003": true, "6118": {"shader": {"type": 5832, "parameters": {"1000": [0.5, 0.25, 0]}}}}}
  ]
})json";

// The objects and tags of the document before any command, as `Describe` writes them.
const char kObjectsBefore[] =
    "Group 5140\n"
    "  Quad 5100 [tex WoodTag->Wood#2 proj 2]\n"
    "  Box 5100 [uvw] [tex RedTag->Red#0 proj 6]\n";

// Every standard material converted: each tag uses the plug-in material that took its place
// (first in the list), the old ones are kept on the layer "Old Materials".
const char kObjectsAfterConvertingAll[] =
    "Group 5140\n"
    "  Quad 5100 [tex WoodTag->Wood#4 proj 2]\n"
    "  Box 5100 [uvw] [tex RedTag->Red#0 proj 6]\n";
const char kMaterialsAfterConvertingAll[] =
    "Red 1024337 albedo none\nBlue 1024337 albedo none\nRed 5703 on Old Materials\n"
    "Blue 5703 on Old Materials\nWood 1024337 albedo 5832\n";

// The bake dialog as the runner prints it for "Wood" (a diffuse material: no exponent, no sigma).
const char kBakeDialogPrintout[] =
    "[Dialog] Bake Dialog\n"
    "  Channels:\n"
    "    Albedo [gadget 10002, check box] = 1\n"
    "    Sigma [gadget 10007, check box, disabled] = 0\n"
    "    Exponent [gadget 10006, check box, disabled] = 0\n"
    "    Bump [gadget 10004, check box] = 0\n"
    "    Displacement [gadget 10005, check box] = 0\n"
    "    Emission [gadget 10003, check box] = 0\n"
    "    Blend [gadget 10008, check box] = 0\n"
    "  Save to...:\n"
    "    [gadget 10017, text] = \"\"\n"
    "    ... [button 10018]\n"
    "  Bake Settings:\n"
    "    Res X [gadget 10011, number] = 1024\n"
    "    Res Y [gadget 10012, number] = 1024\n"
    "    Pixel Border [gadget 10013, number] = 5\n"
    "    Super Sampling [gadget 10020, number] = 0\n"
    "  Bake Shaders [button 10001]\n";

std::string Describe(BaseDocument* doc, BaseObject* op, int depth) {
  std::vector<BaseMaterial*> materials;
  for (BaseMaterial* m = doc->GetFirstMaterial(); m; m = m->GetNext()) materials.push_back(m);
  std::string out;
  for (; op; op = op->GetNext()) {
    out += std::string(2 * depth, ' ') + host::ToUtf8(op->GetName()) + " " + std::to_string(op->GetType());
    if (op->GetType() == ID_ORVANEINSTANCE) {
      BaseList2D* link = op->GetDataInstance()->GetLink(INSTANCE_LINK, doc);
      out += " ->" + (link ? host::ToUtf8(link->GetName()) : std::string("(none)"));
    }
    for (BaseTag* tag = op->GetFirstTag(); tag; tag = tag->GetNext()) {
      if (tag->GetType() == Tpoint || tag->GetType() == Tpolygon) continue;
      if (tag->GetType() == Tuvw) {
        out += " [uvw]";
      } else if (tag->GetType() == Ttexture) {
        BaseMaterial* mat = static_cast<TextureTag*>(tag)->GetMaterial();
        size_t index = 0;
        while (index < materials.size() && materials[index] != mat) ++index;
        out += " [tex " + host::ToUtf8(tag->GetName()) + "->" +
               (mat ? host::ToUtf8(mat->GetName()) : "(none)") + "#" + std::to_string(index) + " proj " +
               std::to_string(tag->GetData().GetLong(TEXTURETAG_PROJECTION)) + "]";
      } else {
        out += " [" + std::to_string(tag->GetType()) + "]";
      }
    }
    out += "\n" + Describe(doc, op->GetDown(), depth + 1);
  }
  return out;
}

// Each material: name, type, layer and (for plug-in materials) the albedo's shader.
std::string DescribeMaterials(BaseDocument* doc) {
  std::string out;
  for (BaseMaterial* m = doc->GetFirstMaterial(); m; m = m->GetNext()) {
    out += host::ToUtf8(m->GetName()) + " " + std::to_string(m->GetType());
    if (LayerObject* layer = m->GetLayerObject(doc)) out += " on " + host::ToUtf8(layer->GetName());
    if (m->GetType() == ID_CUSTOMORVANEMATERIAL) {
      auto* shader = static_cast<BaseShader*>(m->GetDataInstance()->GetLink(MAT_ALBEDO_SHADER, doc));
      out += " albedo " + (shader ? std::to_string(shader->GetType()) : std::string("none"));
      if (shader && shader->GetType() == Xbitmap)
        out += " " + host::ToUtf8(shader->GetDataInstance()->GetFilename(BITMAPSHADER_FILENAME).GetString());
    }
    out += "\n";
  }
  return out;
}

class ToolCommandsTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    ASSERT_TRUE(RegisterCustomOrvaneMaterial());
    ASSERT_TRUE(RegisterOrvaneInstance(nullptr));
    std::ofstream(document) << kDocument;
  }
  // Runs the runner with `args`; answers its output.
  std::string Run(const std::string& args, int* status) {
    std::string out;
    *status = RunCommand(std::string(CORVANE_HOST_EXE) +
                             " --plugin-dir " CORVANE_PLUGIN_DIR " --write-path " + write.path() + " " + args,
                         &out);
    return out;
  }
  // The renderer's stand-in (and its console tool) installed in `renderer`.
  static void InstallRenderer(const TempDir& renderer) {
    const fs::path macos = fs::path(renderer.path()) / "Orvane.app/Contents/MacOS";
    fs::create_directories(macos);
    for (const char* exe : {"Orvane", "OrvaneConsole"})
      fs::copy_file(fs::path(CORVANE_RENDERER_DIR) / "Orvane.app/Contents/MacOS" / exe, macos / exe);
  }
  // The saved document's objects and materials, or the reason it does not load.
  std::string Saved(std::string* materials) {
    std::string error;
    BaseDocument* doc = host::LoadDocumentFile(saved, &error);
    if (!doc) return "not loaded: " + error;
    std::string objects = Describe(doc, doc->GetFirstObject(), 0);
    *materials = DescribeMaterials(doc);
    BaseDocument::Free(doc);
    return objects;
  }

  TempDir dir, write;
  const std::string document = dir / "tools.json";
  const std::string saved = dir / "out.json";
};

TEST_F(ToolCommandsTest, EachCommandChangesTheSavedDocumentAsAskedAndPrintsWhatItShowed) {
  const std::string unchanged = "Red 5703\nBlue 5703\nWood 1024337 albedo 5832\n";
  const struct {
    const char* what;
    std::string args;
    std::string objects;
    std::string materials;
    std::string printed;  // what the command asked or showed; "" for no question at all
  } rows[] = {
      {"convert all: no selection, no question", "run 1021852", kObjectsAfterConvertingAll,
       kMaterialsAfterConvertingAll, ""},
      {"convert only the selected", "run 1021852 --select Red --answer yes",
       "Group 5140\n"
       "  Quad 5100 [tex WoodTag->Wood#3 proj 2]\n"
       "  Box 5100 [uvw] [tex RedTag->Red#0 proj 6]\n",
       "Red 1024337 albedo none\nRed 5703 on Old Materials\nBlue 5703\nWood 1024337 albedo 5832\n",
       "[Question] Convert only selected materials? -> yes\n"},
      {"convert all although one is selected", "run 1021852 --select Red --answer no",
       kObjectsAfterConvertingAll, kMaterialsAfterConvertingAll,
       "[Question] Convert only selected materials? -> no\n"},
      {"instances of the selected", "run 1023984 --select Quad --select Box",
       "Group 5140\n"
       "  Quad 5100 [tex WoodTag->Wood#2 proj 2]\n"
       "  Quad 1022273 ->Quad\n"
       "  Box 5100 [uvw] [tex RedTag->Red#0 proj 6]\n"
       "  Box 1022273 ->Box\n",
       unchanged, ""},
      {"UVW tag for the selected texture tag", "run 1024339 --select WoodTag",
       "Group 5140\n"
       "  Quad 5100 [tex WoodTag->Wood#2 proj 6] [uvw]\n"
       "  Box 5100 [uvw] [tex RedTag->Red#0 proj 6]\n",
       unchanged, ""},
      // The new material comes first, named after its type.
      {"a new material", "run 1024454",
       "Group 5140\n"
       "  Quad 5100 [tex WoodTag->Wood#3 proj 2]\n"
       "  Box 5100 [uvw] [tex RedTag->Red#1 proj 6]\n",
       "Orvane Material 1024337 albedo none\nRed 5703\nBlue 5703\nWood 1024337 albedo 5832\n", ""},
      // The name line shows the plug-in's version; the credit lines share one gadget ID and all show.
      {"about changes nothing", "run 1020894", kObjectsBefore, unchanged,
       "[Dialog] About\n  Corvane 2.6.1\n  Developed by the Corvane team\n  Icons drawn by the Corvane "
       "team\n  Icons made from plain shapes, no icon set used\n  OK [button 1]\n"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    fs::remove(saved);
    int status = -1;
    const std::string out = Run(r.args + " " + document + " --save " + saved, &status);
    ASSERT_EQ(status, 0) << out;
    EXPECT_NE(out.find("Saved " + saved + "\n"), std::string::npos) << out;
    if (r.printed.empty())
      EXPECT_EQ(out.find("[Question]"), std::string::npos) << out;
    else
      EXPECT_NE(out.find(r.printed), std::string::npos) << out;
    std::string materials;
    EXPECT_EQ(Saved(&materials), r.objects);
    EXPECT_EQ(materials, r.materials);
  }
}

// The bake in docs/commands.md, run as written from the source folder (the shell joins its lines),
// with HOME a folder of this test's own: only the runner's path is the test's. It writes the JPEG the
// page names.
TEST_F(ToolCommandsTest, TheDocumentedBakeRunsAsWritten) {
  const std::string page = ReadFile(CORVANE_SOURCE_DIR "/docs/commands.md"),
                    exe = "build/release/corvane-host";
  const size_t make = page.find("mkdir -p ~/"), from = page.find(exe + " run 1024338 "),
               writes = page.find("# writes ~/", from);
  ASSERT_NE(make, std::string::npos) << page;
  ASSERT_NE(writes, std::string::npos) << page;
  const std::string mkdir = page.substr(make, page.find('\n', make) - make);
  const std::string args = page.substr(from + exe.size(), writes - from - exe.size());
  const std::string baked =
      dir.path() + page.substr(writes + 10, page.find_first_of(", \n", writes + 10) - writes - 10);
  const std::string command = "HOME=" + dir.path() + " && " + mkdir + " && " + std::string(CORVANE_HOST_EXE) +
                              " --plugin-dir " CORVANE_PLUGIN_DIR " --write-path " + write.path() + args;
  std::string out;
  ASSERT_EQ(RunCommand("cd " CORVANE_SOURCE_DIR " && " + command, &out), 0) << command << "\n" << out;
  DecodedImage image;
  ASSERT_TRUE(ReadJpegFile(baked, &image)) << baked << "\n" << out;
  EXPECT_EQ(std::make_pair(image.width, image.height), std::make_pair(256, 256));
}

// A bake that did not do its work says why and the runner exits non-zero; the dialog's printout shows
// the IDs the answers use.
TEST_F(ToolCommandsTest, ABakeThatDidNotBakeFailsTheRun) {
  const std::string noFile = "pressed\n[Message] You have to specify a file to save to.\n";
  const std::pair<std::string, std::string> rows[] = {
      {"", "Nothing to bake: select one texture tag of an Orvane material on a polygon object.\n"},
      {" --select WoodTag",
       std::string(kBakeDialogPrintout) + "Nothing was baked: the bake dialog was closed before a bake.\n"},
      // A disabled gadget takes nothing; an answer it could never take (10011=wide) is refused instead.
      {" --select WoodTag --answer gadget:10006=1 --answer button:10001",
       "[Dialog] gadget 10006 -> (cancelled)\n[Dialog] button 10001 -> " + noFile},
      {" --select WoodTag --answer button:10018 --answer button:10001",
       "[Save file] Save image to... -> (cancelled)\n[Dialog] button 10001 -> " + noFile},
      {" --select WoodTag --answer gadget:10011=4 --answer gadget:10012=4 --answer gadget:10017=" +
           dir / "missing/wood.png" + " --answer button:10001",
       "Could not save the channel albedo to " + dir / "missing/wood_albedo.jpg" +
           ": No such file or directory\nThe channel albedo was not baked (" +
           dir / "missing/wood_albedo.jpg" + ": No such file or directory); it keeps its shader.\n"},
  };
  for (const auto& [answers, printed] : rows) {
    int status = -1;
    const std::string out = Run("run 1024338 " + document + answers, &status);
    EXPECT_NE(status, 0) << answers << "\n" << out;
    EXPECT_NE(out.find(printed), std::string::npos) << answers << "\n" << out;
  }
}

// Every option that takes a value takes it after "=" as well (an answer's own "=" stays in the answer).
// The render command, run first, makes the write path that does not exist yet and writes the scene there.
TEST_F(ToolCommandsTest, OptionValuesMayFollowAnEqualsSign) {
  TempDir renderer;
  InstallRenderer(renderer);
  const std::string runner =
      std::string(CORVANE_HOST_EXE) + " --plugin-dir=" CORVANE_PLUGIN_DIR " --write-path=" + write / "new ";
  const std::string runs = runner + "run 1023920 --answer=dir:" + renderer.path() + " && test -f " +
                           write / "new/quickrender/quickrender.ovs && " + runner + "run 1024339 " +
                           document + " --select=WoodTag --answer=gadget:10011=4 --save=" + saved +
                           " && test -f " + saved + " && " + runner +
                           "render --renderer-dir=" + renderer.path() + " " + document;
  std::string out;
  EXPECT_EQ(RunCommand(runs, &out), 0) << out;
}

TEST_F(ToolCommandsTest, AnswersForDialogsAreCheckedBeforeTheRun) {
  for (const std::string answer : {"gadget:10011", "gadget:x=1", "button:", "button:1x", "popup:menu"}) {
    int status = -1;
    const std::string out = Run("run 1024338 --answer " + answer, &status);
    EXPECT_EQ(status, 2) << out;
    EXPECT_NE(out.find("corvane-host: not an answer of its kind: " + answer + "\n"), std::string::npos)
        << out;
  }
}

TEST_F(ToolCommandsTest, ABakeThenARenderHandsTheRendererTheBakedImages) {
  const std::string target = dir / "baked/wood.jpg";
  fs::create_directories(dir / "baked");
  int status = -1;
  std::string out =
      Run("run 1024338 " + document + " --select WoodTag --answer gadget:10011=16 --answer gadget:10012=8" +
              " --answer button:10018 --answer file:" + target + " --answer button:10001 --save " + saved,
          &status);
  ASSERT_EQ(status, 0) << out;
  EXPECT_NE(out.find("[Save file] Save image to... -> " + target + "\n"), std::string::npos) << out;
  const std::string albedo = dir / "baked/wood_albedo.jpg";
  DecodedImage image;
  ASSERT_TRUE(ReadJpegFile(albedo, &image)) << out;
  EXPECT_EQ(image.width, 16);
  EXPECT_EQ(image.height, 8);
  EXPECT_EQ(image.components, 3);  // the albedo is saved in colour

  // The copy and its material come first; the baked tag links the copy and the other WoodTag
  // still the original "Wood", which the saved file keeps although both are named "Wood".
  std::string materials;
  EXPECT_EQ(Saved(&materials),
            "Quad 5100 [tex WoodTag->Wood#0 proj 6] [uvw]\n"
            "Group 5140\n"
            "  Quad 5100 [tex WoodTag->Wood#3 proj 2]\n"
            "  Box 5100 [uvw] [tex RedTag->Red#1 proj 6]\n");
  EXPECT_EQ(materials,
            "Wood 1024337 albedo 5833 " + albedo + "\nRed 5703\nBlue 5703\nWood 1024337 albedo 5832\n");

  TempDir renderer;
  InstallRenderer(renderer);
  out = Run("render --renderer-dir " + renderer.path() + " " + saved, &status);
  ASSERT_EQ(status, 0) << out;
  TiXmlDocument xml;
  ASSERT_TRUE(xml.LoadFile((write / "quickrender/quickrender.ovs").c_str())) << xml.ErrorDesc();
  std::vector<std::string> paths;
  for (const TiXmlElement* m = xml.RootElement()->FirstChildElement("material"); m;
       m = m->NextSiblingElement("material")) {
    const TiXmlElement* diffuse = m->FirstChildElement("diffuse");
    for (const TiXmlElement* t = diffuse ? diffuse->FirstChildElement("texture") : nullptr; t;
         t = t->NextSiblingElement("texture")) {
      const TiXmlElement* path = t->FirstChildElement("path");
      paths.push_back(m->FirstChildElement("name")->GetText() + std::string(" ") +
                      (path && path->GetText() ? path->GetText() : ""));
    }
  }
  ASSERT_FALSE(paths.empty());
  EXPECT_EQ(paths[0], "Wood_mid0 " + albedo);
}

// The material's buttons pressed through the runner: export writes the material file into the
// write path's "materials" folder and has the renderer's console tool pack it from the folder given
// with --renderer-dir, asking for none; the folder is kept, so preview then starts the renderer on
// the preview scene unasked and the saved document holds the preview image's path.
TEST_F(ToolCommandsTest, PressingAMaterialsButtonsExportsAndPreviews) {
  TempDir renderer;
  InstallRenderer(renderer);
  int status = 0;
  std::string out = Run("press Wood 6270 " + document + " --answer file:" + (dir / "wood.povm") +
                            " --renderer-dir " + renderer.path(),
                        &status);
  ASSERT_EQ(status, 0) << out;
  EXPECT_EQ(out.find("Choose Orvane dir"), std::string::npos) << out;
  EXPECT_TRUE(fs::exists(write / "materials/wood.ovm")) << out;
  const std::string log = renderer / "orvane-standin.log";
  ASSERT_TRUE(WaitFor([&] { return fs::exists(log) && fs::file_size(log) > 0; })) << out;
  std::ifstream in(log);
  const std::string logged((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(logged.find("--pack"), std::string::npos) << logged;
  EXPECT_NE(logged.find(write / "materials/wood.ovm"), std::string::npos) << logged;

  out = Run("press Wood 6268 " + document + " --save " + saved, &status);
  ASSERT_EQ(status, 0) << out;
  std::string error;
  BaseDocument* doc = host::LoadDocumentFile(saved, &error);
  ASSERT_NE(doc, nullptr) << error;
  BaseMaterial* wood = doc->GetFirstMaterial();
  while (wood && wood->GetType() != ID_CUSTOMORVANEMATERIAL) wood = wood->GetNext();
  ASSERT_NE(wood, nullptr);
  const std::string image = host::ToUtf8(wood->GetDataInstance()->GetString(MAT_PREVIEW_IMAGE));
  EXPECT_NE(image.find("/preview/renders/"), std::string::npos) << image;
  BaseDocument::Free(doc);

  out = Run("press Nobody 6268 " + document, &status);
  EXPECT_EQ(status, 1);
}

}  // namespace
