// The plug-in's end leaves no thread of its own waiting for a renderer that ends after the unload.
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

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
  ASSERT_EQ(::symlink(files::ProcDescriptorPath(folders.Descriptor()).c_str(), link.c_str()), 0);
  PluginModule far;
  EXPECT_FALSE(far.Start(link, &error));
  EXPECT_EQ(error, "cannot load the plug-in module " + link + "/corvaneR12.so: File name too long");

  // Each row reaches the loader. Where only trusted users can change what the path names (a tree
  // made under umask 0002 too), it loads the module by that path, and so names it; where a folder on
  // it lets others rename its entries, from the walk's descriptor, by a name that other processes
  // (a debugger) follow to it while it is loaded. Copies, so that the loader does not take the
  // module loaded already.
  const std::string module = CORVANE_PLUGIN_DIR "/corvaneR12.so";
  for (const char* folder : {"open", "group", "bad", "open/bad"}) fs::create_directories(work / folder);
  ::chmod((work / "open").c_str(), 0777);
  ::chmod((work / "group").c_str(), 0775);
  for (const char* copy : {"open", "group"}) fs::copy_file(module, work / copy + "/corvaneR12.so");
  for (const char* bad : {"bad", "open/bad"})
    std::ofstream(work / bad + "/corvaneR12.so") << std::string(4096, 0x7f);
  const std::string descriptor = "/proc/" + std::to_string(::getpid()) + "/fd/";
  const struct {
    std::string dir, loadedAs, error;
  } rows[] = {
      {CORVANE_PLUGIN_DIR, module, ""},
      {work / "group", work / "group/corvaneR12.so", ""},
      {work / "open", descriptor, ""},
      {work / "bad", "", work / "bad/corvaneR12.so: invalid ELF header"},
      {work / "open/bad", "", work / "open/bad/corvaneR12.so: invalid ELF header"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.dir);
    PluginModule plugin;
    error.clear();
    EXPECT_EQ(plugin.Start(row.dir, &error), row.error.empty()) << error;
    EXPECT_EQ(error, row.error.empty() ? "" : "cannot load the plug-in module " + row.error);
    std::vector<std::string> loaded;  // the names the loader gives the modules it holds
    ::dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* names) {
          const std::string name = info->dlpi_name;
          if (name.find("corvaneR12.so") != std::string::npos || name.rfind("/proc/", 0) == 0)
            static_cast<std::vector<std::string>*>(names)->push_back(name);
          return 0;
        },
        &loaded);
    struct stat file, named;
    ASSERT_EQ(::stat((row.dir + "/corvaneR12.so").c_str(), &file), 0);
    if (!row.loadedAs.empty()) {
      ASSERT_EQ(loaded.size(), 1u);
      EXPECT_EQ(loaded[0].substr(0, row.loadedAs.size()), row.loadedAs) << loaded[0];
      EXPECT_TRUE(::stat(loaded[0].c_str(), &named) == 0 && files::SameFile(named, file)) << loaded[0];
    }
    plugin.End();
    // Its descriptor goes with the module.
    if (row.loadedAs == descriptor) {
      EXPECT_FALSE(::stat(loaded[0].c_str(), &named) == 0 && files::SameFile(named, file)) << loaded[0];
    }
  }
  host::ResetAll();
}

TEST(PluginModuleTest, UnderADebuggerThePluginsAreListed) {
  // The debugger finds the module by the path the loader was given, where it stops in it and names
  // its functions: by its own path where only trusted users can change it (the build's folder, a
  // tree made under umask 0002), else a path of this process's descriptor, which the debugger (a
  // process of its own) follows to the same file. Bounded in time, so that a debugger that hangs
  // fails; the leak check cannot run under a debugger.
  TempDir work;
  for (const auto& [folder, mode] :
       {std::make_pair(std::string(CORVANE_PLUGIN_DIR), mode_t{0}),
        std::make_pair(work / "group", mode_t{0775}), std::make_pair(work / "open", mode_t{0777})}) {
    SCOPED_TRACE(folder);
    if (mode != 0) {
      fs::copy(CORVANE_PLUGIN_DIR, folder, fs::copy_options::recursive);
      ASSERT_EQ(::chmod(folder.c_str(), mode), 0);
    }
    std::string said;
    const int status = RunCommand(
        "ASAN_OPTIONS=detect_leaks=0 timeout -s KILL 300 gdb -q -batch -nx -ex 'set breakpoint pending on' "
        "-ex 'break c4d_main' -ex run -ex bt -ex 'delete' -ex continue --args " +
            std::string(CORVANE_HOST_EXE) + " --plugin-dir " + folder + " --write-path " + work / "write" +
            " plugins < /dev/null 2>&1",
        &said);
    EXPECT_EQ(status, 0) << "gdb did not end within five minutes, or failed: " << said;
    EXPECT_NE(said.find("Breakpoint 1, c4d_main ("), std::string::npos) << said;
    EXPECT_NE(said.find("\n#0  c4d_main ("), std::string::npos) << said;
    EXPECT_NE(said.find("\nseparator 1022283\n"), std::string::npos) << said;
    EXPECT_NE(said.find("exited normally"), std::string::npos) << said;
  }
}

}  // namespace
