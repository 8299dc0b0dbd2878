// The plug-in's end leaves no thread of its own waiting for a renderer that ends after the unload.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

#include "../../app/plugin_module.cpp"  // the runner's loading and ending of the plug-in
#include "c4d.h"
#include "host_control.h"
#include "support/host_fixture.h"

namespace fs = std::filesystem;

namespace {

TEST(PluginEndTest, ARendererEndingAfterTheModuleIsUnloadedIsLeftUnharmed) {
  TempDir work;
  fs::copy(CORVANE_RENDERER_DIR, work / "renderer", fs::copy_options::recursive);
  std::ofstream(work / "corvaneSettings.cfg") << "<global_settings><PATH>" << work / "renderer"
                                              << "</PATH></global_settings>\n";
  const std::string release = work / "release";
  ASSERT_EQ(mkfifo(release.c_str(), 0600), 0);
  ASSERT_EQ(setenv("ORVANE_STANDIN_WAIT", release.c_str(), 1), 0);

  host::ResetAll();
  host::SetStartupWritePath(work.path());
  host::SetPluginPath(CORVANE_PLUGIN_DIR);
  {
    PluginModule plugin;
    std::string error;
    ASSERT_TRUE(plugin.Start(CORVANE_PLUGIN_DIR, &error)) << error;
    BaseDocument* doc = BaseDocument::Alloc();
    host::SetActiveDocument(doc);
    EXPECT_TRUE(CallCommand(1023920));  // the renderer runs until the test opens and closes the FIFO
    host::SetActiveDocument(nullptr);
    BaseDocument::Free(doc);
    unsetenv("ORVANE_STANDIN_WAIT");
  }  // the plug-in ended and its module unloaded, as the runner does it

  // Released now, the renderer is this process's to reap.
  ASSERT_EQ(close(open(release.c_str(), O_WRONLY | O_CLOEXEC)), 0);
  siginfo_t ended{};
  ASSERT_EQ(waitid(P_ALL, 0, &ended, WEXITED), 0);
  EXPECT_EQ(std::make_pair(ended.si_code, ended.si_status), std::make_pair(int{CLD_EXITED}, 0));
  host::ResetAll();
}

TEST(PluginModuleTest, TheModuleLoadedIsTheFileTheWalkOpened) {
  TempDir work;
  host::ResetAll();
  host::SetStartupWritePath(work.path());
  host::SetPluginPath(CORVANE_PLUGIN_DIR);
  std::string error;
  // A link to a folder open in this process (as another user's is in theirs) whose path is too
  // long for the walk: the check fails, and nothing is loaded, though the kernel would follow it.
  TooLongFolder folders(work.path());
  ASSERT_TRUE(folders.Link("corvaneR12.so", CORVANE_PLUGIN_DIR "/corvaneR12.so"));
  const std::string link = work / "far";
  ASSERT_EQ(::symlink(("/proc/self/fd/" + std::to_string(folders.Descriptor())).c_str(), link.c_str()), 0);
  PluginModule far;
  EXPECT_FALSE(far.Start(link, &error));
  EXPECT_EQ(error, "cannot load the plug-in module " + link + "/corvaneR12.so: File name too long");
  host::ResetAll();
}

}  // namespace
