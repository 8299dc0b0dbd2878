// The light tag: its parameter set, the preview bitmap button and the IES preview.
#include <gtest/gtest.h>

#include <tinyxml.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "export/orvanemesh.h"
#include "host_clock.h"
#include "host_user.h"
#include "main/orvanelaunch.h"
#include "support/host_fixture.h"
#include "tag/mylighttag.h"
#include "tag/mylighttagids.h"

namespace {

// A 3 x 2 pixel PNG image.
const char kPng[] =
    "\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52\x00\x00\x00\x03\x00\x00\x00\x02"
    "\x08\x02\x00\x00\x00\x12\x16\xf1\x4d\x00\x00\x00\x11\x49\x44\x41\x54\x78\x9c\x63\xf8\xcf\xc0\x00"
    "\x41\x30\xfa\x3f\x03\x00\x3e\xd5\x05\xfb\xa8\x2e\x2f\x4d\x00\x00\x00\x00\x49\x45\x4e\x44\xae\x42"
    "\x60\x82";

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

// The "path" texts of the "ies_profile" elements of the models of a scene file, in order.
Strings ProfilePaths(const std::string& file) {
  Strings paths;
  TiXmlDocument doc;
  if (!doc.LoadFile(file.c_str())) return paths;
  for (TiXmlElement* m = doc.RootElement()->FirstChildElement("model"); m; m = m->NextSiblingElement("model"))
    for (TiXmlElement* p = m->FirstChildElement("ies_profile"); p; p = p->NextSiblingElement("ies_profile"))
      paths.push_back(p->FirstChildElement("path") ? p->FirstChildElement("path")->GetText() : "(none)");
  return paths;
}

class LightTagTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    ASSERT_TRUE(RegisterMyLightTag());
    doc = BaseDocument::Alloc();
    light = BaseObject::Alloc(Olight);
    doc->InsertObject(light, nullptr, nullptr);
    tag = light->MakeTag(ID_MYLIGHTTAG);
    ASSERT_TRUE(tag);
  }
  void TearDown() override {
    BaseDocument::Free(doc);
    HostTest::TearDown();
  }

  // Asks the tag for the image of its preview bitmap button; the bitmap handed over, or null.
  BaseBitmap* RequestPreview(LONG id = LIGHTTAG_IES_PREVIEW_BITMAP) {
    DescriptionGetBitmap request;
    request.id = DescID(DescLevel(id));
    EXPECT_TRUE(tag->Message(MSG_DESCRIPTION_GETBITMAP, &request));
    return request.bmp;
  }

  BaseDocument* doc = nullptr;
  BaseObject* light = nullptr;
  BaseTag* tag = nullptr;
};

TEST_F(LightTagTest, NewTagHoldsItsDefaults) {
  const BaseContainer& bc = *tag->GetDataInstance();
  struct Entry {
    LONG id;
    GeData value;
  };
  const Entry expected[] = {
      {LIGHTTAG_EMISSION_TYPE, LONG(1217)},
      {LIGHTTAG_RGB_COLOR, LVector(1, 1, 1)},
      {LIGHTTAG_RGB_GAMMA, 2.2},
      {LIGHTTAG_UNIFORM_VALUE, 1.0},
      {LIGHTTAG_BLACKBODY_TEMPERATURE, 6500.0},
      {LIGHTTAG_BLACKBODY_GAIN, 1.0},
      {LIGHTTAG_PEAK, 300.0},
      {LIGHTTAG_PEAK_WIDTH, 550.0},
      {LIGHTTAG_PEAK_VALUE, 200.0},
      {LIGHTTAG_PEAK_BASE, 0.0},
      {LIGHTTAG_SCALE_MEASURE, LONG(1305)},
      {LIGHTTAG_SCALE_VALUE, 100.0},
      {LIGHTTAG_IES, false},
      {LIGHTTAG_EMISSION_SCALE, false},
      {LIGHTTAG_LAYER, LONG(0)},
  };
  // Exactly these entries, in this order: nothing else is set until the user sets it.
  ASSERT_EQ(bc.GetCount(), LONG(std::size(expected)));
  for (LONG i = 0; i < bc.GetCount(); ++i) {
    SCOPED_TRACE("entry " + std::to_string(i));
    EXPECT_EQ(bc.GetIndexId(i), expected[i].id);
    EXPECT_TRUE(*bc.GetIndexData(i) == expected[i].value);
  }
  EXPECT_EQ(bc.GetDataPointer(LIGHTTAG_IES_FILE), nullptr);
  EXPECT_EQ(bc.GetDataPointer(LIGHTTAG_IES_PREVIEW), nullptr);
}

TEST_F(LightTagTest, PreviewBitmapButtonHoldsNoValue) {
  GeData value;
  ASSERT_TRUE(tag->GetParameter(DescID(DescLevel(LIGHTTAG_IES_PREVIEW_BITMAP)), value));
  EXPECT_EQ(value.GetType(), CUSTOMDATATYPE_BITMAPBUTTON);
  auto* button = static_cast<BitmapButtonStruct*>(value.GetCustomDataType(CUSTOMDATATYPE_BITMAPBUTTON));
  ASSERT_TRUE(button);
  EXPECT_EQ(button->op, tag);
  EXPECT_EQ(button->desc[0].id, LIGHTTAG_IES_PREVIEW_BITMAP);
  EXPECT_EQ(button->dirty, 0);

  // Setting it stores nothing; every other parameter goes to the container as usual.
  const LONG before = tag->GetDataInstance()->GetCount();
  EXPECT_TRUE(tag->SetParameter(DescID(DescLevel(LIGHTTAG_IES_PREVIEW_BITMAP)), GeData(LONG(5))));
  EXPECT_EQ(tag->GetDataInstance()->GetCount(), before);
  EXPECT_TRUE(tag->SetParameter(DescID(DescLevel(LIGHTTAG_LAYER)), GeData(LONG(4))));
  EXPECT_EQ(tag->GetDataInstance()->GetLong(LIGHTTAG_LAYER), 4);
  ASSERT_TRUE(tag->GetParameter(DescID(DescLevel(LIGHTTAG_SCALE_VALUE)), value));
  EXPECT_EQ(value.GetReal(), 100.0);
}

TEST_F(LightTagTest, PreviewBitmapIsHandedOverOnlyWhenItLoads) {
  TempDir dir;
  WriteFile(dir / "preview.png", std::string(kPng, sizeof kPng - 1));
  WriteFile(dir / "half.png", std::string(kPng, 12));
  WriteFile(dir / "text.png", "not an image");
  BaseContainer* bc = tag->GetDataInstance();

  // Without a preview path the tag looks for "NOPATH".
  EXPECT_EQ(RequestPreview(), nullptr);

  struct Case {
    const char* file;
    bool shown;
  };
  for (const Case& c : {Case{"missing.png", false}, Case{"half.png", false}, Case{"text.png", false},
                        Case{"preview.png", true}}) {
    SCOPED_TRACE(c.file);
    bc->SetFilename(LIGHTTAG_IES_PREVIEW, Filename(String(dir / c.file)));
    BaseBitmap* bmp = RequestPreview();
    EXPECT_EQ(bmp != nullptr, c.shown);
    if (bmp) {
      EXPECT_EQ(bmp->GetFilename(), Filename(String(dir / c.file)));
      EXPECT_EQ(bmp->GetBw(), 3);
      EXPECT_EQ(bmp->GetBh(), 2);
      BaseBitmap::Free(bmp);
    }
  }
  // Only the preview bitmap answers a bitmap request.
  EXPECT_EQ(RequestPreview(LIGHTTAG_IES_RENDER_BUTTON), nullptr);
}

TEST_F(LightTagTest, DescriptionShowsWhatTheSettingsUse) {
  BaseContainer* bc = tag->GetDataInstance();
  // Hidden state of: peak, RGB, blackbody and uniform groups, IES file, measure, value, preview.
  const LONG ids[] = {LIGHTTAG_GROUP_PEAK,    LIGHTTAG_GROUP_RGB,  LIGHTTAG_GROUP_BLACKBODY,
                      LIGHTTAG_GROUP_UNIFORM, LIGHTTAG_IES_FILE,   LIGHTTAG_SCALE_MEASURE,
                      LIGHTTAG_SCALE_VALUE,   LIGHTTAG_IES_PREVIEW};
  struct Case {
    const char* what;
    LONG type, ies, scale;
    const char* hidden;  // one letter per entry of `ids`: h hidden, s shown
  };
  const Case cases[] = {
      {"new tag", 1217, 0, 0, "hshhhhhh"},
      {"peak", 1216, 0, 0, "shhhhhhh"},
      {"blackbody with IES", 1218, 1, 0, "hhshshhh"},
      {"uniform with scale", 1219, 0, 1, "hhhshssh"},
      {"unknown type: groups as the resource has them", 4711, 2, 1, "sssshssh"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    bc->SetLong(LIGHTTAG_EMISSION_TYPE, c.type);
    bc->SetLong(LIGHTTAG_IES, c.ies);
    bc->SetLong(LIGHTTAG_EMISSION_SCALE, c.scale);
    Description description;
    ASSERT_TRUE(tag->GetDescription(&description));
    std::string hidden;
    for (LONG id : ids) hidden += description.IsHidden(id) ? 'h' : 's';
    EXPECT_EQ(hidden, c.hidden);
    const BaseContainer* layer = description.GetParameter(DescID(DescLevel(LIGHTTAG_LAYER)));
    ASSERT_TRUE(layer);
    EXPECT_EQ(layer->GetContainer(DESC_CYCLE).GetString(2), String("Layer 3"));
  }

  // A layer stored outside the ten is set back to the first.
  bc->SetLong(LIGHTTAG_LAYER, 10);
  Description description;
  ASSERT_TRUE(tag->GetDescription(&description));
  EXPECT_EQ(bc->GetLong(LIGHTTAG_LAYER, -1), 0);
}

// The IES preview: the plug-in's folder is a copy of the shipped one, the renderer the stand-in.
class IesPreviewTest : public LightTagTest {
 protected:
  void SetUp() override {
    LightTagTest::SetUp();
    host::SetClock(&clock);
    host::SetStartupWritePath(writePath.path());
    fs::copy(fs::path(CORVANE_SOURCE_DIR) / "preview", fs::path(plugin.path()) / "preview",
             fs::copy_options::recursive);
    host::SetPluginPath(plugin.path());
    scene = plugin / "preview/iespreview.ovs";
    WriteFile(renderer / "lamp.ies", "IESNA:LM-63-2002\nTILT=NONE\n");
  }
  void TearDown() override {
    LightTagTest::TearDown();
    host::SetClock(nullptr);
  }

  // Lays out the renderer stand-in in its folder and makes it the renderer.
  void InstallRenderer() {
    fs::path bin = fs::path(renderer.path()) / "Orvane.app/Contents/MacOS";
    fs::create_directories(bin);
    for (const char* name : {"Orvane", "OrvaneConsole"})
      fs::create_symlink(fs::path(CORVANE_RENDERER_DIR) / "Orvane.app/Contents/MacOS" / name, bin / name);
    Helpers::GlobalSettings settings;
    settings.path = String(renderer.path());
    ASSERT_TRUE(Helpers::SaveSettings(&settings));
  }

  // The command lines the stand-in logged, once there are `count` of them.
  std::vector<Strings> Logged(size_t count) {
    std::vector<Strings> lines;
    auto complete = [&] {
      lines.clear();
      std::stringstream s(ReadFile(renderer / "orvane-standin.log"));
      std::string line;
      while (std::getline(s, line)) {
        Strings fields;
        std::stringstream f(line);
        std::string field;
        while (std::getline(f, field, '\t')) fields.push_back(field);
        lines.push_back(fields);
      }
      return lines.size() >= count;
    };
    EXPECT_TRUE(WaitFor(complete)) << lines.size() << " of " << count << " command lines";
    return lines;
  }

  Bool PressRender() {
    DescriptionCommand command;
    command.id = DescID(DescLevel(LIGHTTAG_IES_RENDER_BUTTON));
    return tag->Message(MSG_DESCRIPTION_COMMAND, &command);
  }

  void UseProfile(const std::string& file) {
    tag->GetDataInstance()->SetFilename(LIGHTTAG_IES_FILE, Filename(String(file)));
  }

  Filename Preview() const { return tag->GetDataInstance()->GetFilename(LIGHTTAG_IES_PREVIEW); }

  host::ManualClock clock;
  TempDir plugin, writePath, renderer;
  std::string scene;
};

TEST_F(IesPreviewTest, WithoutAProfileTheButtonDoesNothing) {
  InstallRenderer();
  const std::string before = ReadFile(scene);
  EXPECT_TRUE(PressRender());
  EXPECT_FALSE(Preview().Content());
  EXPECT_EQ(ReadFile(scene), before);
  EXPECT_FALSE(fs::exists(renderer / "orvane-standin.log"));
}

TEST_F(IesPreviewTest, PreviewRendersTheProfileIntoTheBitmap) {
  InstallRenderer();
  UseProfile(renderer / "lamp.ies");
  clock.Advance(1234);
  ASSERT_TRUE(PressRender());

  const std::string image = plugin / "preview/renders/ies12341234.png";
  EXPECT_EQ(Preview(), Filename(String(image)));
  EXPECT_EQ(ProfilePaths(scene), Strings{renderer / "lamp.ies"});
  std::vector<Strings> lines = Logged(1);
  ASSERT_EQ(lines.size(), 1u);
  const Strings& args = lines[0];
  ASSERT_EQ(args.size(), 10u);
  EXPECT_EQ(args[0], renderer / "Orvane.app/Contents/MacOS/Orvane");
  EXPECT_EQ(args[1], scene);
  EXPECT_EQ(args[2], "-seed");
  EXPECT_EQ(Strings(args.begin() + 4, args.end()), (Strings{"-n", "wm", "-p", "7777", "-o", image}));

  // The renderer's image is what the bitmap button shows.
  ASSERT_TRUE(WaitFor([&] { return fs::exists(image) && fs::file_size(image) > 0; }));
  BaseBitmap* bmp = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (bmp = RequestPreview()) != nullptr; }));
  EXPECT_EQ(bmp->GetFilename(), Filename(String(image)));
  BaseBitmap::Free(bmp);

  // Another profile: the same image is rendered again.
  clock.Advance(1);
  WriteFile(renderer / "other.ies", "IESNA:LM-63-2002\nTILT=NONE\n");
  UseProfile(renderer / "other.ies");
  ASSERT_TRUE(PressRender());
  EXPECT_EQ(Preview(), Filename(String(image)));
  EXPECT_EQ(ProfilePaths(scene), Strings{renderer / "other.ies"});
  lines = Logged(2);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1].back(), image);
}

TEST_F(IesPreviewTest, AnImageOfTheChosenNameIsNotOverwritten) {
  InstallRenderer();
  UseProfile(renderer / "lamp.ies");
  fs::create_directories(plugin / "preview/renders");
  WriteFile(plugin / "preview/renders/ies00.png", "taken");
  ASSERT_TRUE(PressRender());
  EXPECT_NE(Preview(), Filename(String(plugin / "preview/renders/ies00.png")));
  EXPECT_TRUE(host::ToUtf8(Preview().GetString()).rfind(plugin / "preview/renders/ies", 0) == 0);
  EXPECT_EQ(Logged(1).size(), 1u);
  EXPECT_EQ(ReadFile(plugin / "preview/renders/ies00.png"), "taken");
}

TEST_F(IesPreviewTest, WithoutARendererNothingStarts) {
  UseProfile(renderer / "lamp.ies");
  const std::string before = ReadFile(scene);
  EXPECT_FALSE(PressRender()) << "the directory chooser was cancelled";
  EXPECT_TRUE(Preview().Content()) << "the preview path stays chosen";
  EXPECT_EQ(ReadFile(scene), before);
  std::vector<host::Shown> shown = host::user::History();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].prompt, host::Prompt::Directory);
}

TEST_F(IesPreviewTest, TheButtonAnswersTrueAtOnceWhateverTheLaunchGave) {
  // The settings file names a folder without the renderer: the launch fails and says so.
  Helpers::GlobalSettings settings;
  settings.path = String(renderer / "empty");
  ASSERT_TRUE(Helpers::SaveSettings(&settings));
  UseProfile(renderer / "lamp.ies");
  EXPECT_TRUE(PressRender());
  const std::vector<std::string> console = host::ConsoleLines();
  ASSERT_FALSE(console.empty());
  EXPECT_EQ(
      console.back(),
      "Could not start " + renderer / "empty/Orvane.app/Contents/MacOS/Orvane: No such file or directory");
  EXPECT_EQ(ProfilePaths(scene), Strings{renderer / "lamp.ies"});
}

TEST_F(IesPreviewTest, APreviewSceneThatCannotBeEditedStartsNothing) {
  InstallRenderer();
  UseProfile(renderer / "lamp.ies");
  struct Case {
    const char* what;
    const char* text;  // null: no file at all
  };
  const Case cases[] = {
      {"missing", nullptr},
      {"not XML", "<scene><model><ies_profile><path>x</path></ies_profile>"},
      {"another root", "<scenedata><model><ies_profile /></model></scenedata>"},
      {"no model with a profile",
       "<scene><model><scale>1</scale></model><mesh><ies_profile /></mesh></scene>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    host::user::Reset();
    fs::remove(scene);
    if (c.text) WriteFile(scene, c.text);
    EXPECT_FALSE(PressRender());
    EXPECT_EQ(fs::exists(scene), c.text != nullptr);
    if (c.text) {
      EXPECT_EQ(ReadFile(scene), c.text);
    }
    std::vector<host::Shown> shown = host::user::History();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].prompt, host::Prompt::Message);
    EXPECT_EQ(shown[0].text, "The IES preview scene could not be prepared: " + scene);
  }
  EXPECT_FALSE(fs::exists(renderer / "orvane-standin.log"));
}

TEST_F(IesPreviewTest, ChangeIesEditsTheFirstModelWithAProfile) {
  WriteFile(scene,
            "<!--head--><scene><model><scale>1</scale></model>"
            "<model><ies_profile><material_name>defaultLight</material_name><path>a</path><path>b</path>"
            "</ies_profile></model><model><ies_profile><path>c</path></ies_profile></model></scene>");
  auto* data = static_cast<MyLightTag*>(tag->GetNodeData());
  EXPECT_EQ(data->ChangeIES(Filename("/profiles/x.ies")), 1);
  EXPECT_EQ(ProfilePaths(scene), (Strings{"b", "c"}));
  TiXmlDocument doc;
  ASSERT_TRUE(doc.LoadFile(scene.c_str()));
  TiXmlElement* profile =
      doc.RootElement()->FirstChildElement("model")->NextSiblingElement("model")->FirstChildElement(
          "ies_profile");
  std::vector<std::string> children;
  for (TiXmlElement* e = profile->FirstChildElement(); e; e = e->NextSiblingElement())
    children.push_back(std::string(e->Value()) + "=" + (e->GetText() ? e->GetText() : ""));
  EXPECT_EQ(children, (Strings{"material_name=defaultLight", "path=b", "path=/profiles/x.ies"}));
}

TEST_F(IesPreviewTest, TheShippedPreviewSceneCarriesAProfile) {
  // The template names the default profile until a preview rewrites it.
  EXPECT_EQ(ProfilePaths(scene), Strings{"../presets/default.ies"});
  EXPECT_TRUE(fs::exists(fs::path(CORVANE_SOURCE_DIR) / "presets/default.ies"));
  // Its meshes lie beside it and read back; the emitter's triangles are the light's.
  TiXmlDocument doc;
  ASSERT_TRUE(doc.LoadFile(scene.c_str()));
  Strings materials;
  for (TiXmlElement* m = doc.RootElement()->FirstChildElement("mesh"); m; m = m->NextSiblingElement("mesh")) {
    const std::string path =
        plugin /
        ("preview/" + std::string(m->FirstChildElement("external")->FirstChildElement("path")->GetText()));
    Orvane::OrvaneMesh mesh;
    ASSERT_TRUE(Orvane::OrvaneMesh::readFromFile(path, mesh)) << path;
    EXPECT_EQ(mesh.triangles.size(), mesh.materialNames[0] == "defaultLight" ? 2u : 4u);
    materials.push_back(mesh.materialNames[0]);
  }
  EXPECT_EQ(materials, (Strings{"previewWall", "defaultLight"}));
  auto* data = static_cast<MyLightTag*>(tag->GetNodeData());
  EXPECT_EQ(data->ChangeIES(Filename("/p/lamp.ies")), 1);
  EXPECT_EQ(ProfilePaths(scene), Strings{"/p/lamp.ies"});
}

}  // namespace
