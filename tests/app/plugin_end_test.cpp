// The plug-in's end leaves no thread of its own waiting for a renderer that ends after the unload.
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <utility>

#include "c4d.h"
#include "c4d_plugin.h"
#include "host_control.h"
#include "support/host_fixture.h"

namespace fs = std::filesystem;

namespace {

TEST(PluginEndTest, ARendererEndingAfterTheModuleIsUnloadedIsLeftUnharmed) {
  TempDir work;
  const fs::path macos = fs::path(work.path()) / "renderer/Orvane.app/Contents/MacOS";
  fs::create_directories(macos);
  fs::copy_file(fs::path(CORVANE_RENDERER_DIR) / "Orvane.app/Contents/MacOS/Orvane", macos / "Orvane");
  fs::create_directories(work / "write");
  std::ofstream(work / "write/corvaneSettings.cfg") << "<global_settings><PATH>" << work / "renderer"
                                                    << "</PATH></global_settings>\n";
  const std::string release = work / "release";
  ASSERT_EQ(mkfifo(release.c_str(), 0600), 0);
  ASSERT_EQ(setenv("ORVANE_STANDIN_WAIT", release.c_str(), 1), 0);

  host::ResetAll();
  host::SetStartupWritePath(work / "write");
  host::SetPluginPath(CORVANE_PLUGIN_DIR);
  const std::string path = std::string(CORVANE_PLUGIN_DIR) + "/corvaneR12.so";
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(module, nullptr) << dlerror();
  auto entry = reinterpret_cast<int (*)(int, void*, void*, void*)>(dlsym(module, "c4d_main"));
  ASSERT_NE(entry, nullptr);
  C4DHostInfo info;
  ASSERT_EQ(entry(C4DPL_INIT_SYS, &info, nullptr, const_cast<char*>(path.c_str())), 1);
  ASSERT_EQ(entry(C4DPL_MESSAGE, reinterpret_cast<void*>(static_cast<intptr_t>(C4DPL_INIT_RESOURCE)), nullptr,
                  nullptr),
            1);
  ASSERT_EQ(entry(C4DPL_INIT, nullptr, nullptr, nullptr), 1);

  BaseDocument* doc = BaseDocument::Alloc();
  host::SetActiveDocument(doc);
  EXPECT_TRUE(CallCommand(1023920));  // the renderer runs until the test opens and closes the FIFO
  host::SetActiveDocument(nullptr);
  BaseDocument::Free(doc);
  unsetenv("ORVANE_STANDIN_WAIT");

  entry(C4DPL_END, nullptr, nullptr, nullptr);
  host::ResetRegistry();
  ASSERT_EQ(dlclose(module), 0);

  // Released now, the renderer is this process's to reap.
  const int fd = open(release.c_str(), O_WRONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  close(fd);
  siginfo_t ended{};
  ASSERT_EQ(waitid(P_ALL, 0, &ended, WEXITED), 0);
  EXPECT_EQ(std::make_pair(ended.si_code, ended.si_status), std::make_pair(int{CLD_EXITED}, 0));
  host::ResetAll();
}

}  // namespace
