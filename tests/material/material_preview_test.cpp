// The material's preview and export buttons: the preview's material file, image name and renderer
// command line; the export's material file and packed archive; what happens when nothing could be
// written or the user cancels.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "host_clock.h"
#include "host_user.h"
#include "main/orvanelaunch.h"
#include "material_test_support.h"

namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

class PreviewTest : public MaterialTest {
 protected:
  void SetUp() override {
    MaterialTest::SetUp();
    host::SetStartupWritePath(writePath.path());
    host::SetPluginPath(plugin.path());
    fs::create_directories(plugin / "preview");
    fs::copy_file(CORVANE_SOURCE_DIR "/preview/preview.ovs", plugin / "preview/preview.ovs");
    mat = Add("Glass", MAT_TYPE_DIFFUSE);
  }

  // The renderer stand-in, installed in `renderer` and made the renderer.
  void InstallRenderer() {
    fs::path bin = fs::path(renderer.path()) / "Orvane.app/Contents/MacOS";
    fs::create_directories(bin);
    for (const char* name : {"Orvane", "OrvaneConsole"}) {
      fs::create_symlink(fs::path(CORVANE_RENDERER_DIR) / "Orvane.app/Contents/MacOS" / name, bin / name);
    }
    Helpers::GlobalSettings settings;
    settings.path = String(renderer.path().c_str());
    ASSERT_TRUE(Helpers::SaveSettings(&settings));
  }

  // The command lines the stand-in logged, once there are `count` whole ones.
  std::vector<Strings> Logged(size_t count) {
    std::string text;
    EXPECT_TRUE(WaitFor([&] {
      text = ReadFile(renderer / "orvane-standin.log");
      return !text.empty() && text.back() == '\n' &&
             size_t(std::count(text.begin(), text.end(), '\n')) >= count;
    })) << text;
    std::vector<Strings> lines;
    std::stringstream s(text);
    for (std::string line; std::getline(s, line);) {
      lines.emplace_back();
      std::stringstream f(line);
      for (std::string field; std::getline(f, field, '\t');) lines.back().push_back(field);
    }
    return lines;
  }

  Bool Press(LONG id) {
    DescriptionCommand dc;
    dc.id = DescID(DescLevel(id));
    return Data(mat)->Message(mat, MSG_DESCRIPTION_COMMAND, &dc);
  }
  std::string Stored() const { return host::ToUtf8(mat->GetDataInstance()->GetString(MAT_PREVIEW_IMAGE)); }

  TempDir writePath, plugin, renderer, out;
  BaseMaterial* mat = nullptr;
};

TEST_F(PreviewTest, PreviewWritesTheMaterialFileAndStartsTheRendererOnThePreviewScene) {
  InstallRenderer();
  fs::remove_all(plugin / "preview/renders");  // made when missing
  ASSERT_TRUE(Press(MAT_PREVIEW_BUTTON));

  const std::string image = Stored();
  const std::string renders = plugin / "preview/renders/";
  ASSERT_EQ(image.compare(0, renders.size(), renders), 0) << image;
  const std::string name = image.substr(renders.size());
  ASSERT_GT(name.size(), 4u);
  EXPECT_EQ(name.substr(name.size() - 4), ".png");
  EXPECT_EQ(name.find_first_not_of("0123456789"), name.size() - 4);

  const std::string ovm = ReadFile(plugin / "preview/preview.ovm");
  EXPECT_NE(ovm.find("<name>previewMat</name>"), std::string::npos);
  EXPECT_NE(ovm.find("<name>nullMat</name>"), std::string::npos);

  const auto lines = Logged(1);
  ASSERT_EQ(lines.size(), 1u);
  const Strings& argv = lines[0];
  ASSERT_EQ(argv.size(), 12u);
  EXPECT_EQ(argv[0], renderer / "Orvane.app/Contents/MacOS/Orvane");
  EXPECT_EQ(argv[1], plugin / "preview/preview.ovs");
  EXPECT_EQ(argv[2], "-seed");
  const Strings rest(argv.begin() + 4, argv.end());
  EXPECT_EQ(rest, (Strings{"-n", "wm", "-p", "7100", "-haltspp", "1000", "-o", image}));
  EXPECT_TRUE(WaitFor([&] { return fs::exists(image); }));
}

TEST_F(PreviewTest, ImageNamesBorneByFilesAreDrawnAgain) {
  InstallRenderer();
  host::ManualClock clock;
  clock.Advance(5);
  host::SetClock(&clock);
  fs::create_directories(plugin / "preview/renders");
  std::ofstream(plugin / "preview/renders/55.png") << "taken";
  const bool pressed = Press(MAT_PREVIEW_BUTTON);
  host::SetClock(nullptr);
  ASSERT_TRUE(pressed);
  EXPECT_EQ(Stored(), plugin / "preview/renders/66.png");
  EXPECT_EQ(ReadFile(plugin / "preview/renders/55.png"), "taken");
  Logged(1);
}

TEST_F(PreviewTest, NothingStartsWhenNoMaterialFileWasWrittenOrNoRendererIsKnown) {
  // No renderer and the chooser cancelled: nothing written.
  EXPECT_FALSE(Press(MAT_PREVIEW_BUTTON));
  EXPECT_FALSE(fs::exists(plugin / "preview/preview.ovm"));
  EXPECT_EQ(Stored(), "");
  ASSERT_FALSE(host::user::History().empty());
  EXPECT_EQ(host::user::History()[0].text, "Choose Orvane dir");

  // A material in no document writes no material file: no renderer, no stored path.
  InstallRenderer();
  mat->Remove();
  EXPECT_FALSE(Press(MAT_PREVIEW_BUTTON));
  EXPECT_EQ(Stored(), "");
  EXPECT_FALSE(fs::exists(renderer / "orvane-standin.log"));
  BaseMaterial::Free(mat);

  // Other description buttons do nothing.
  mat = Add("Other");
  EXPECT_TRUE(Press(MAT_TYPE));
  EXPECT_FALSE(fs::exists(plugin / "preview/preview.ovm"));
}

TEST_F(PreviewTest, ExportWritesTheMaterialFileAndPacksIt) {
  InstallRenderer();
  host::user::ChooseFile(out / "glass.zip");
  host::ClearConsole();
  ASSERT_TRUE(Press(MAT_EXPORT_BUTTON));

  const std::string ovm = writePath / "materials/glass.ovm";
  const std::string povm = out / "glass.povm";
  const auto console = Console();
  ASSERT_GE(console.size(), 3u);
  EXPECT_EQ(console[0], povm);
  EXPECT_EQ(console[1], ovm);
  EXPECT_EQ(console[2], "* Exporting OVM...");
  EXPECT_NE(ReadFile(ovm).find("<name>Glass_mid0</name>"), std::string::npos);

  const auto lines = Logged(1);
  EXPECT_EQ(lines[0], (Strings{renderer / "Orvane.app/Contents/MacOS/OrvaneConsole", "--pack", ovm, povm}));
  EXPECT_TRUE(WaitFor([&] { return fs::exists(povm) && fs::file_size(povm) > 0; }));
}

TEST_F(PreviewTest, ExportCancelledOrUnwritableShowsWhyAndPacksNothing) {
  InstallRenderer();
  EXPECT_FALSE(Press(MAT_EXPORT_BUTTON));
  auto shown = host::user::History();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].prompt, host::Prompt::FileSave);
  EXPECT_TRUE(shown[0].cancelled);
  EXPECT_EQ(shown[1].text, "OVM Export canceled by user.");
  EXPECT_FALSE(fs::exists(writePath / "materials"));

  // A material in no document: the file cannot be written, so nothing is packed.
  mat->Remove();
  host::user::ChooseFile(out / "loose");
  EXPECT_FALSE(Press(MAT_EXPORT_BUTTON));
  shown = host::user::History();
  EXPECT_EQ(shown.back().text, "The material file " + (writePath / "materials/loose.ovm") +
                                   " could not be written "
                                   "(the material is in no document); nothing was packed.");
  EXPECT_FALSE(fs::exists(renderer / "orvane-standin.log"));
  BaseMaterial::Free(mat);
}

}  // namespace
