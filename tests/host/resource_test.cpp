// String resources and the host's menus.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "c4d.h"
#include "host_control.h"
#include "support/host_fixture.h"

namespace {

namespace fs = std::filesystem;

class ResourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::ResetAll();
    std::string pattern = SystemTemporaryFolder() + "/corvane-res-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir = pattern;
  }
  void TearDown() override {
    host::ResetAll();
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  // Writes the string file and loads it.
  Bool Load(const std::string& content) {
    std::ofstream(dir / "c4d_strings.str", std::ios::binary) << content;
    return resource.Init(Filename(String(dir.string())));
  }
  fs::path dir;
};

TEST_F(ResourceTest, ReadsStringsWithCommentsAndEscapes) {
  ASSERT_TRUE(
      Load("// The plug-in's strings\n"
           "\n"
           "1000 \"Export\"\n"
           "  1001   \"Say \\\"hi\\\" \\\\ now\"   // trailing comment\n"
           "\t// indented comment\r\n"
           "1002 \"caf\xC3\xA9\"\r\n"
           "1003 \"\"\n"
           "1004 \"two\\nlines\""));  // no newline at the end
  EXPECT_EQ(GeLoadString(1000), String("Export"));
  EXPECT_EQ(host::ToUtf8(GeLoadString(1001)), "Say \"hi\" \\ now");
  EXPECT_EQ(host::ToUtf8(GeLoadString(1002)), "caf\xC3\xA9");
  EXPECT_EQ(GeLoadString(1003), String());
  EXPECT_EQ(host::ToUtf8(GeLoadString(1004)), "two\nlines");
  EXPECT_EQ(GeLoadString(999), String());
  EXPECT_TRUE(host::ConsoleLines().empty());

  // A second load replaces everything.
  ASSERT_TRUE(Load("5 \"five\"\n"));
  EXPECT_EQ(GeLoadString(1000), String());
  EXPECT_EQ(GeLoadString(5), String("five"));
  resource.Free();
  EXPECT_EQ(GeLoadString(5), String());
}

TEST_F(ResourceTest, AMalformedLineFailsTheLoad) {
  const char* bad[] = {
      "12\n",                          // no text
      "12 \"open\n",                   // unterminated
      "abc \"x\"\n",                   // no number
      "-3 \"x\"\n",                    // not a resource number
      "12 junk \"x\"\n",               // something between number and text
      "12 \"x\" junk\n",               // something after the text
      "99999999999999999999 \"x\"\n",  // number out of range
      "4294967297 \"x\"\n",            // would wrap around to 1
      "12 \"ends in a backslash\\\n",
  };
  for (const char* line : bad) {
    SCOPED_TRACE(line);
    host::ClearConsole();
    EXPECT_FALSE(Load(std::string("1 \"good\"\n") + line));
    EXPECT_EQ(GeLoadString(1), String());  // nothing half loaded
    EXPECT_EQ(GeLoadString(12), String());
    const auto lines = host::ConsoleLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("line 2"), std::string::npos) << lines[0];
  }
  EXPECT_FALSE(resource.Init(Filename(String((dir / "missing").string()))));
}

TEST_F(ResourceTest, OverridesWinOverTheFile) {
  ASSERT_TRUE(Load("1 \"file one\"\n2 \"file two\"\n"));
  host::OverrideString(1, "override \xC3\xA9");
  host::OverrideString(2, "");  // an empty override is an answer too
  host::OverrideString(3, "only here");
  EXPECT_EQ(host::ToUtf8(GeLoadString(1)), "override \xC3\xA9");
  EXPECT_EQ(GeLoadString(2), String());
  EXPECT_EQ(GeLoadString(3), String("only here"));
  EXPECT_EQ(resource.LoadString(1), String("file one"));  // the file itself is unchanged
  host::ClearStringOverrides();
  EXPECT_EQ(GeLoadString(2), String("file two"));
  EXPECT_EQ(GeLoadString(3), String());
}

TEST_F(ResourceTest, InitWithoutPathReadsResBesideThePlugin) {
  fs::create_directory(dir / "res");
  std::ofstream(dir / "res" / "c4d_strings.str") << "7 \"seven\"\n";
  host::SetPluginPath(dir.string());
  ASSERT_TRUE(resource.Init());
  EXPECT_EQ(GeLoadString(7), String("seven"));
}

TEST_F(ResourceTest, Menus) {
  BaseContainer* viewer = GetMenuResource(String("M_PICTURE_VIEWER"));
  BaseContainer* materials = GetMenuResource(String("M_MATERIAL_MANAGER"));
  ASSERT_NE(viewer, nullptr);
  ASSERT_NE(materials, nullptr);
  EXPECT_EQ(GetMenuResource(String("M_NOTHING")), nullptr);
  EXPECT_EQ(GetMenuResource(String("M_PICTURE_VIEWER")), viewer);  // the host's own instance

  EXPECT_TRUE(SearchMenuResource(viewer, String("IDM_SAVE_AS")));
  EXPECT_TRUE(SearchMenuResource(materials, String("IDM_SHADER_NOISE")));  // two levels down
  EXPECT_FALSE(SearchMenuResource(materials, String("IDM_SAVE_AS")));
  EXPECT_FALSE(SearchMenuResource(viewer, String("IDS_OUTWINDOW_FILE")));  // a title, no command
  EXPECT_FALSE(SearchMenuResource(nullptr, String("IDM_OPEN")));

  GeData* file = SearchPluginMenuResource(String("IDS_MATERIAL_FILE"));
  ASSERT_NE(file, nullptr);
  ASSERT_NE(file->GetContainer(), nullptr);
  GeData* shaders = SearchPluginMenuResource(String("IDS_MATERIAL_SHADER"));
  ASSERT_NE(shaders, nullptr);
  GeData* command = SearchPluginMenuResource(String("IDM_ZOOM_OUT"));
  ASSERT_NE(command, nullptr);
  EXPECT_EQ(command->GetString(), String("IDM_ZOOM_OUT"));
  EXPECT_EQ(SearchPluginMenuResource(String("IDS_NOTHING")), nullptr);

  // A plug-in adds its own submenu; a reset restores the host's menus.
  BaseContainer mine;
  mine.InsData(MENURESOURCE_SUBTITLE, String("Corvane"));
  mine.InsData(MENURESOURCE_COMMAND, String("PLUGIN_CMD_1030004"));
  file->GetContainer()->InsData(MENURESOURCE_STRING, mine);
  EXPECT_TRUE(SearchMenuResource(materials, String("PLUGIN_CMD_1030004")));
  EXPECT_NE(SearchPluginMenuResource(String("Corvane")), nullptr);
  host::ResetMenus();
  EXPECT_FALSE(SearchMenuResource(materials, String("PLUGIN_CMD_1030004")));
  EXPECT_EQ(SearchPluginMenuResource(String("Corvane")), nullptr);
  EXPECT_TRUE(SearchMenuResource(materials, String("IDM_LOAD_MATERIALS")));

  host::SetVersionType(3);
  EXPECT_EQ(GeGetVersionType(), 3);
  host::ResetAll();
  EXPECT_EQ(GeGetVersionType(), 0);
}

}  // namespace
