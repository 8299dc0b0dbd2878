// Start-up of the plug-in: the registrations in order, the banner, the entry table and the menus.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <utility>

#include "main/instancesuppresser.h"
#include "main/main.h"
#include "support/host_fixture.h"

namespace {

using host::PluginKind;

struct Expected {
  PluginKind kind;
  LONG id;
  const char* name;
  LONG info;
  const char* description;
  const char* icon;
  const char* help;
};

// Every registration call of a good start-up, in order.
const Expected kRegistrations[] = {
    {PluginKind::Tag, 1020892, "Orvane Light", 1, "tMyLightTag", "LightTag.tif", ""},
    {PluginKind::Tag, 1021223, "Orvane Exit Portal", 1, "TMyExitPortal", "ExitPortal.tif", ""},
    {PluginKind::Tag, 1022083, "Orvane Camera", 1, "TCameraTag", "CameraTag.tif", ""},
    {PluginKind::Tag, 1022667, "Orvane Subdivision", 1, "tSubdivision", "subdivtag.tif", ""},
    {PluginKind::Command, 1024339, "Bake UVW Tag", 0, "", "About.tif", "Bake UVW Tag of Orvane Material"},
    {PluginKind::Command, 1024338, "Bake Material on Object", 0, "", "About.tif", "Bake Material on Object"},
    {PluginKind::Command, 1020894, "About Corvane...", 0, "", "About.tif", "About"},
    {PluginKind::Command, 1021852, "Convert Materials to Orvane", 0, "", "ConvertMats.tif",
     "Convert Materials"},
    {PluginKind::Command, 1022469, "Import Orvane Material...", 0, "", "Export.tif", "Import .ovm"},
    {PluginKind::Command, 1023920, "Render with Orvane", 0, "", "Export.tif", "Render with Orvane"},
    {PluginKind::Command, 1023984, "Orvane Instance", 0, "", "instance.tif", "Creates Instances"},
    {PluginKind::Command, 1024454, "New Orvane Material", 0x10000000, "", "materialhelper.tif",
     "New Orvane Material"},
    {PluginKind::Command, 1023696, "Resume Rendering", 0x20000000, "", "resume.tif",
     "Orvane Resume Rendering"},
    {PluginKind::Command, 1023695, "Pause Rendering", 0x20000000, "", "pause.tif", "Orvane Pause Rendering"},
    {PluginKind::Command, 1023599, "Orvane Tonemapping", 0x20000000, "", "tonemapping.tif",
     "Orvane Interactive Tonemapping Dialog"},
    {PluginKind::Object, 1022273, "Orvane Instance", 0x20000004, "Oorvaneinstance", "instance.tif", ""},
    {PluginKind::VideoPost, 1020896, "Orvane Render Settings", 0, "oMyRenderSettings", "", ""},
    {PluginKind::Command, 1022283, "#$3 --", 0, "", "", ""},
    {PluginKind::Command, 1022284, "#$6 --", 0, "", "", ""},
    {PluginKind::Library, 1024271, "", 1000, "", "", ""},
    {PluginKind::CustomGui, 0, "My String GUI", 0, "", "", ""},
    {PluginKind::Library, 1000002, "", 1000, "", "", ""},
    {PluginKind::CustomGui, 0, "My String GUI", 0, "", "", ""},
    {PluginKind::Library, 1024403, "", 1000, "", "", ""},
    {PluginKind::CustomGui, 0, "My String GUI", 0x20000001, "", "", ""},
    {PluginKind::Shader, 1023863, "OVL Code", 0, "xcorvaneovlshader", "", ""},
    {PluginKind::Material, 1024337, "Orvane Material", 0x20000001, "Morvanematerial", "", ""},
    {PluginKind::Shader, 1024768, "OVL Noise", 0, "xovlnoise", "", ""},
    {PluginKind::Shader, 1024769, "OVL Blend", 0, "xovlblend", "", ""},
    {PluginKind::Shader, 1024770, "OVL Gradient", 0, "xovlgradient", "", ""},
};

class StartupTest : public HostTest {
 protected:
  void TearDown() override {
    PluginEnd();
    HostTest::TearDown();
  }
};

TEST_F(StartupTest, RegistersEverythingInOrderAndPrintsTheBanner) {
  ASSERT_TRUE(PluginStart());

  std::vector<host::Registration> regs = host::Registrations();
  ASSERT_EQ(regs.size(), std::size(kRegistrations));
  for (size_t i = 0; i < regs.size(); ++i) {
    SCOPED_TRACE("registration " + std::to_string(i + 1));
    const Expected& e = kRegistrations[i];
    EXPECT_TRUE(regs[i].accepted);
    EXPECT_EQ(regs[i].kind, e.kind);
    EXPECT_EQ(regs[i].id, e.id);
    EXPECT_EQ(regs[i].name, e.name);
    EXPECT_EQ(regs[i].info, e.info);
    EXPECT_EQ(regs[i].description, e.description);
    EXPECT_EQ(regs[i].icon, e.icon);
    EXPECT_EQ(regs[i].help, e.help);
  }
  // Every icon named at registration is shipped and readable, also the one of the animation tag
  // that start-up leaves out.
  std::vector<std::string> icons{"animationtag.tif"};
  for (const host::Registration& r : regs)
    if (!r.icon.empty()) icons.push_back(r.icon);
  for (const std::string& icon : icons) {
    BaseBitmap* bm = BaseBitmap::Alloc();
    EXPECT_EQ(bm->Init(GeGetPluginPath() + Filename("res") + Filename(String(icon))), IMAGERESULT_OK) << icon;
    EXPECT_EQ(bm->GetBw(), 32) << icon;
    BaseBitmap::Free(bm);
  }
  EXPECT_EQ(regs[16].priority, 100);  // the render-settings video post

  std::string rule = kBannerRule;
  ASSERT_EQ(rule.size(), 127u);
  EXPECT_EQ(rule, std::string(".__.--._.-._.-.__.--._.-.__.--._.-._.-.__.--._.-.__.--._.-._.-.__.--._.-"
                              ".__.--._.-._.-.__.--._.-.__.--._.-._.-.__.--._.-.__.--."));
  std::vector<std::string> console = Console();
  // One console line a call: the blank lines around the banner are lines of their own.
  ASSERT_EQ(console.size(), 7u);
  EXPECT_EQ(console[0], "");
  EXPECT_EQ(console[1], rule);
  EXPECT_EQ(console[2], "._.-. Corvane 2.6.1");
  EXPECT_EQ(console[3].rfind("._.-. ", 0), 0u);
  EXPECT_EQ(console[4].rfind("._.-. ", 0), 0u);
  EXPECT_NE(console[4].find("http"), std::string::npos);
  EXPECT_EQ(console[5], rule);
  EXPECT_EQ(console[6], "");
}

// True when a node of type `id` can be allocated (and frees it again).
template <typename Node>
bool Allocates(LONG id) {
  Node* node = Node::Alloc(id);
  const bool ok = node;
  Node::Free(node);
  return ok;
}

TEST_F(StartupTest, RegisteredNodeTypesCanBeAllocated) {
  ASSERT_TRUE(PluginStart());
  struct Kind {
    LONG id;
    bool (*alloc)(LONG);
  } kinds[] = {
      {1020892, Allocates<BaseTag>},       {1022273, Allocates<BaseObject>},
      {1024337, Allocates<BaseMaterial>},  {1024768, Allocates<BaseShader>},
      {1020896, Allocates<BaseVideoPost>},
  };
  for (const Kind& k : kinds) EXPECT_TRUE(k.alloc(k.id)) << k.id;
  // Registered by nobody: the animation tag, the node shader, the container material.
  EXPECT_EQ(BaseTag::Alloc(1022560), nullptr);
  EXPECT_EQ(BaseShader::Alloc(1025501), nullptr);
  EXPECT_EQ(BaseMaterial::Alloc(1025500), nullptr);
}

TEST_F(StartupTest, RefusedSeparatorEndsStartUpWithoutBanner) {
  host::RefuseRegistration(1022283);
  EXPECT_FALSE(PluginStart());
  std::vector<host::Registration> regs = host::Registrations();
  ASSERT_EQ(regs.size(), 18u);
  EXPECT_EQ(regs.back().id, 1022283);
  EXPECT_FALSE(regs.back().accepted);
  EXPECT_TRUE(Console().empty());
  // The suppresser stays until the end.
  EXPECT_NE(GetInstanceSuppresser(), nullptr);
  PluginEnd();
  EXPECT_EQ(GetInstanceSuppresser(), nullptr);
}

TEST_F(StartupTest, RefusedLibraryEndsStartUp) {
  host::RefuseRegistration(1000002);
  EXPECT_FALSE(PluginStart());
  std::vector<host::Registration> regs = host::Registrations();
  ASSERT_EQ(regs.size(), 22u);
  EXPECT_EQ(regs.back().kind, PluginKind::Library);
  EXPECT_FALSE(regs.back().accepted);
}

TEST_F(StartupTest, EmptyNameSkipsOnlyThatRegistration) {
  host::OverrideString(10020, "");
  host::OverrideString(10000, "");
  ASSERT_TRUE(PluginStart());
  std::vector<host::Registration> regs = host::Registrations();
  EXPECT_EQ(regs.size(), std::size(kRegistrations) - 2);
  for (const host::Registration& r : regs) {
    EXPECT_NE(r.id, 1023920);
    EXPECT_NE(r.id, 1020896);
  }
  EXPECT_EQ(Console().size(), 7u);  // the banner only
}

TEST_F(StartupTest, MessagesAnswerAsTheHostExpects) {
  EXPECT_TRUE(PluginMessage(0, nullptr));
  EXPECT_FALSE(PluginMessage(2, nullptr));
  EXPECT_FALSE(PluginMessage(C4DPL_BUILDMENU, nullptr));
  host::SetPluginPath("/nonexistent");
  EXPECT_FALSE(PluginMessage(C4DPL_INIT_RESOURCE, nullptr));
  host::SetPluginPath(CORVANE_SOURCE_DIR);
  EXPECT_TRUE(PluginMessage(C4DPL_INIT_RESOURCE, nullptr));
  EXPECT_EQ(GeLoadString(10020), String("Render with Orvane"));
}

// --- Menus --------------------------------------------------------------------------------------

int CountCommand(const BaseContainer& menu, const String& command) {
  int n = 0;
  for (LONG i = 0; const GeData* d = menu.GetIndexData(i); ++i) {
    if (d->GetContainer())
      n += CountCommand(*d->GetContainer(), command);
    else if (menu.GetIndexId(i) == MENURESOURCE_COMMAND && d->GetString() == command)
      ++n;
  }
  return n;
}

bool HasTitle(const BaseContainer& menu, const String& title) {
  for (LONG i = 0; const GeData* d = menu.GetIndexData(i); ++i) {
    if (d->GetString() == title) return true;
    if (d->GetContainer() && HasTitle(*d->GetContainer(), title)) return true;
  }
  return false;
}

class MenuTest : public HostTest {};

TEST_F(MenuTest, NewMaterialEntryIsAddedOnceAfterTheFirstNestedSubmenu) {
  const String entry("PLUGIN_CMD_1024454");
  EXPECT_FALSE(PluginMessage(C4DPL_BUILDMENU, nullptr));
  EXPECT_FALSE(PluginMessage(C4DPL_BUILDMENU, nullptr));

  BaseContainer* manager = GetMenuResource("M_MATERIAL_MANAGER");
  ASSERT_NE(manager, nullptr);
  EXPECT_EQ(CountCommand(*manager, entry), 1);
  BaseContainer* file = manager->GetContainerInstance(MENURESOURCE_SUBMENU);
  ASSERT_NE(file, nullptr);
  LONG nested = file->FindIndex(MENURESOURCE_SUBMENU);
  ASSERT_NE(nested, NOTOK);
  EXPECT_EQ(file->GetIndexId(nested + 1), MENURESOURCE_COMMAND);
  EXPECT_EQ(file->GetIndexData(nested + 1)->GetString(), entry);

  // Without a connection object the picture viewer gets no options.
  EXPECT_FALSE(HasTitle(*GetMenuResource("M_PICTURE_VIEWER"), "Orvane Options"));
  EXPECT_FALSE(HasTitle(*manager, "Orvane Options"));
}

TEST_F(MenuTest, WithoutNestedSubmenuTheEntryGoesFirst) {
  BaseContainer* file = GetMenuResource("M_MATERIAL_MANAGER")->GetContainerInstance(MENURESOURCE_SUBMENU);
  ASSERT_NE(file, nullptr);
  file->RemoveData(MENURESOURCE_SUBMENU);
  PluginMessage(C4DPL_BUILDMENU, nullptr);
  EXPECT_EQ(file->GetIndexData(0)->GetString(), String("PLUGIN_CMD_1024454"));
}

TEST_F(MenuTest, OtherProgramVersionsGetNoEntries) {
  for (LONG version : {-1, 5, 7}) {
    host::ResetMenus();
    host::SetVersionType(version);
    BaseContainer before = *GetMenuResource("M_MATERIAL_MANAGER");
    PluginMessage(C4DPL_BUILDMENU, nullptr);
    EXPECT_EQ(*GetMenuResource("M_MATERIAL_MANAGER"), before) << version;
  }
  host::ResetMenus();
  host::SetVersionType(4);
  PluginMessage(C4DPL_BUILDMENU, nullptr);
  EXPECT_EQ(CountCommand(*GetMenuResource("M_MATERIAL_MANAGER"), "PLUGIN_CMD_1024454"), 1);
}

// --- The entry table -------------------------------------------------------------------------------

LONG Call(LONG action, void* p1 = nullptr, void* p3 = nullptr) { return c4d_main(action, p1, nullptr, p3); }
void* Msg(LONG id) { return reinterpret_cast<void*>(static_cast<intptr_t>(id)); }

class EntryTest : public HostTest {};

TEST_F(EntryTest, FirstCallChecksVersionAndPath) {
  char path[] = "/plugins/corvaneR12.so";
  C4DHostInfo old;
  old.version = 11999;
  EXPECT_EQ(Call(C4DPL_INIT_SYS, &old, path), C4DPL_ERROR_VERSION);
  C4DHostInfo info;
  EXPECT_EQ(Call(C4DPL_INIT_SYS, &info, nullptr), C4DPL_ERROR_VERSION);
  EXPECT_EQ(Call(C4DPL_INIT_SYS, nullptr, path), C4DPL_ERROR_VERSION);
  EXPECT_EQ(Call(C4DPL_INIT_SYS, &info, path), 1);
  EXPECT_EQ(GetHostInfo(), &info);
  EXPECT_EQ(Call(C4DPL_END), 1);
  EXPECT_EQ(GetHostInfo(), nullptr);
}

TEST_F(EntryTest, OddAnswersAndNestedStartsAreKept) {
  char path[] = "/plugins/corvaneR12.so";
  C4DHostInfo info;
  EXPECT_EQ(Call(C4DPL_INIT_VERSION), 5);
  EXPECT_EQ(Call(5), -1);
  EXPECT_EQ(Call(99), -1);
  EXPECT_EQ(Call(C4DPL_MESSAGE, Msg(0)), 1);
  EXPECT_EQ(Call(C4DPL_MESSAGE, Msg(2)), -1);
  EXPECT_EQ(Call(C4DPL_MESSAGE, Msg(C4DPL_BUILDMENU)), -1);

  ASSERT_EQ(Call(C4DPL_INIT_SYS, &info, path), 1);
  EXPECT_EQ(Call(C4DPL_INIT_SYS, &info, path), 1);  // nested: counted only
  ASSERT_EQ(Call(C4DPL_INIT), 1);
  ASSERT_NE(GetInstanceSuppresser(), nullptr);
  EXPECT_EQ(Call(C4DPL_END), 1);  // the nested end: the plug-in stays
  EXPECT_NE(GetInstanceSuppresser(), nullptr);
  EXPECT_EQ(Call(C4DPL_END), 1);  // the last end frees the suppresser
  EXPECT_EQ(GetInstanceSuppresser(), nullptr);
  EXPECT_EQ(Call(C4DPL_END), 1);  // one too many does nothing
}

// --- End to end -----------------------------------------------------------------------------------

TEST(RunnerTest, ListsTheRegistrationsAndTheBanner) {
  TempDir write;
  std::string out;
  int status = RunCommand(std::string(CORVANE_HOST_EXE) + " plugins --plugin-dir " + CORVANE_PLUGIN_DIR +
                              " --write-path " + write.path(),
                          &out);
  ASSERT_EQ(status, 0) << out;
  EXPECT_NE(out.find("._.-. Corvane 2.6.1\n"), std::string::npos) << out;
  size_t first = out.find("tag 1020892 Orvane Light\n");
  size_t render = out.find("command 1023920 Render with Orvane\n");
  size_t last = out.find("shader 1024770 OVL Gradient\n");
  ASSERT_NE(first, std::string::npos) << out;
  ASSERT_NE(render, std::string::npos) << out;
  ASSERT_NE(last, std::string::npos) << out;
  EXPECT_LT(first, render);
  EXPECT_LT(render, last);
  EXPECT_NE(out.find("videopost 1020896 Orvane Render Settings\n"), std::string::npos);
}

TEST(RunnerTest, MissingModuleIsAClearFailure) {
  TempDir empty;
  std::string out;
  int status = RunCommand(std::string(CORVANE_HOST_EXE) + " plugins --plugin-dir " + empty.path() +
                              " --write-path " + empty.path(),
                          &out);
  EXPECT_NE(status, 0);
  EXPECT_NE(out.find("corvane-host: cannot load the plug-in module " + empty.path() + "/corvaneR12.so"),
            std::string::npos)
      << out;

  // Reached through another user's link in a shared folder, the module is not loaded.
  if (::geteuid() != 0) GTEST_SKIP() << "only root plants another user's link";
  const std::string shared = empty.path() + "/shared", link = shared + "/plugins";
  ASSERT_EQ(::mkdir(shared.c_str(), 01777), 0);
  ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
  ASSERT_EQ(::symlink(CORVANE_PLUGIN_DIR, link.c_str()), 0);
  ASSERT_EQ(::lchown(link.c_str(), 65534, 65534), 0);
  status = RunCommand(
      std::string(CORVANE_HOST_EXE) + " plugins --plugin-dir " + link + " --write-path " + empty.path(),
      &out);
  EXPECT_NE(status, 0);
  EXPECT_NE(out.find("corvane-host: cannot load the plug-in module " + link + "/corvaneR12.so: the link " +
                     link + " belongs to another user (nobody)"),
            std::string::npos)
      << out;
}

TEST(RunnerTest, BadUsageIsRejected) {
  std::string out;
  // An unknown command points to the list of commands, and to the one meant where it is a slip.
  const std::pair<std::string, std::string> commands[] = {
      {"launch", "unknown command launch (corvane-host --help lists the commands)"},
      {"rendr", "unknown command rendr: did you mean render? (corvane-host --help lists the commands)"},
      {"check-materials",
       "unknown command check-materials: did you mean check-material? (corvane-host --help lists the "
       "commands)"},
      {"rn", "unknown command rn: did you mean run? (corvane-host --help lists the commands)"},
  };
  for (const auto& [command, said] : commands) {
    EXPECT_EQ(RunCommand(std::string(CORVANE_HOST_EXE) + " " + command, &out), 2);
    EXPECT_EQ(out, "corvane-host: " + said + "\n");
  }
  EXPECT_EQ(RunCommand(std::string(CORVANE_HOST_EXE) + " plugins --write-path", &out), 2);
  EXPECT_NE(out.find("option --write-path needs a value"), std::string::npos) << out;
  // So does an unknown option, of the runner or of a command, and to the one meant where it is a slip.
  const std::pair<std::string, std::string> options[] = {
      {" --verbose plugins", "unknown option --verbose (corvane-host --help lists the options)"},
      {" run 1 --verbose", "unknown option --verbose (corvane-host --help lists the options)"},
      {" render --write_path x",
       "unknown option --write_path: did you mean --write-path? (corvane-host --help lists the options)"},
      {" run 1 --answr yes",
       "unknown option --answr: did you mean --answer? (corvane-host --help lists the options)"},
      {" --hepl", "unknown option --hepl: did you mean --help? (corvane-host --help lists the options)"},
  };
  for (const auto& [line, said] : options) {
    EXPECT_EQ(RunCommand(std::string(CORVANE_HOST_EXE) + line + " 2>&1", &out), 2) << line;
    EXPECT_EQ(out, "corvane-host: " + said + "\n");
  }

  // A default write path that cannot be made says so, and how to name another.
  TempDir home;
  std::ofstream(home / "file") << "";
  EXPECT_EQ(RunCommand("HOME=" + home / "file" +
                           " " CORVANE_HOST_EXE " --plugin-dir " CORVANE_PLUGIN_DIR
                           " render --renderer-dir " CORVANE_RENDERER_DIR " 2>&1 >/dev/null",
                       &out),
            1);
  EXPECT_EQ(out, "corvane-host: cannot make the write path " + home / "file/.corvane" +
                     " (~/.corvane): Not a directory; --write-path DIR names another\n");
}

}  // namespace
