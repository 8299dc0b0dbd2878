// The preview template editors on copies of the shipped templates.
#include <sys/resource.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "c4d.h"
#include "command/previewdialog.h"
#include "support/host_fixture.h"

namespace fs = std::filesystem;

namespace {

class PreviewTemplates : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    fs::create_directories(dir.path() + "/preview");
    for (const char* f : {"settings.ovs", "preview.ovs"})
      fs::copy_file(std::string(CORVANE_SOURCE_DIR) + "/preview/" + f, dir / (std::string("preview/") + f));
    host::SetPluginPath(dir.path());
  }
  std::string Read(const char* name) {
    std::ifstream in(dir / (std::string("preview/") + name));
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  static size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  }
  TempDir dir;
};

TEST_F(PreviewTemplates, SubdivisionTwiceThenOff) {
  PreviewDialog dlg;
  ASSERT_TRUE(dlg.AddSubdivisionOption(1, 3, 2.0, 0.1, 1));
  ASSERT_TRUE(dlg.AddSubdivisionOption(1, 4, 2.0, 0.1, 0));
  std::string text = Read("preview.ovs");
  for (const char* e : {"<max_num_subdivisions>", "<subdivide_pixel_threshold>",
                        "<subdivide_curvature_threshold>", "<subdivision_smoothing>"})
    EXPECT_EQ(Count(text, e), 1u) << e;
  EXPECT_NE(text.find("<max_num_subdivisions>4</max_num_subdivisions>"), std::string::npos);
  EXPECT_NE(text.find("<subdivision_smoothing>false</subdivision_smoothing>"), std::string::npos);
  EXPECT_NE(text.find("<subdivide_pixel_threshold>2</subdivide_pixel_threshold>"), std::string::npos) << text;
  ASSERT_TRUE(dlg.AddSubdivisionOption(0, 4, 2.0, 0.1, 0));
  text = Read("preview.ovs");
  EXPECT_EQ(Count(text, "subdivi"), 0u);
  EXPECT_NE(text.find("<name>preview_sphere</name>"), std::string::npos);
}

TEST_F(PreviewTemplates, Resolution) {
  PreviewDialog dlg;
  ASSERT_TRUE(dlg.ChangeResolution(300));
  std::string text = Read("settings.ovs");
  EXPECT_NE(text.find("<width>300</width>"), std::string::npos);
  EXPECT_NE(text.find("<height>300</height>"), std::string::npos);
  EXPECT_EQ(Count(text, "<width>"), 1u);
}

TEST_F(PreviewTemplates, MissingOrMalformedTemplatesStayAsTheyAre) {
  PreviewDialog dlg;
  fs::remove(dir / "preview/settings.ovs");
  ASSERT_TRUE(dlg.ChangeResolution(300));
  EXPECT_FALSE(fs::exists(dir / "preview/settings.ovs"));
  {
    std::ofstream out(dir / "preview/preview.ovs");
    out << "<scene><mesh><name>preview_sphere</name></mesh>";  // not closed
  }
  ASSERT_TRUE(dlg.AddSubdivisionOption(1, 3, 2.0, 0.1, 1));
  EXPECT_EQ(Read("preview.ovs"), "<scene><mesh><name>preview_sphere</name></mesh>");
}

// A template that cannot be saved stays as it was and the console says why.
TEST_F(PreviewTemplates, ATemplateThatCannotBeSavedIsReported) {
  const std::string settings = Read("settings.ovs"), preview = Read("preview.ovs");
  PreviewDialog dlg;
  struct rlimit before;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
  const struct rlimit small = {16, before.rlim_max};
  void (*handler)(int) = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  EXPECT_TRUE(dlg.ChangeResolution(300));
  EXPECT_TRUE(dlg.AddSubdivisionOption(1, 3, 2.0, 0.1, 1));
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &before), 0);
  std::signal(SIGXFSZ, handler);
  EXPECT_EQ(Console(),
            (std::vector<std::string>{
                "Could not save the preview scene " + (dir / "preview/settings.ovs") + ": File too large",
                "Could not save the preview scene " + (dir / "preview/preview.ovs") + ": File too large"}));
  EXPECT_EQ(Read("settings.ovs"), settings);
  EXPECT_EQ(Read("preview.ovs"), preview);
}

TEST_F(PreviewTemplates, DialogNeedsTheRenderer) {
  PreviewDialog dlg;
  EXPECT_FALSE(dlg.Open());  // no settings file and the folder chooser is cancelled
}

}  // namespace
