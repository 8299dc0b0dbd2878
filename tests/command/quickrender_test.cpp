// The render command: export thread (scene path, frames, suppresser, launch) and export dialog.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "command/exportdialog.h"
#include "command/ovsexportthread.h"
#include "command/quickrender.h"
#include "export/meshallocator.h"
#include "files/result.h"
#include "host_clock.h"
#include "host_document_file.h"
#include "host_record.h"
#include "host_user.h"
#include "main/instancesuppresser.h"
#include "main/main.h"
#include "support/host_fixture.h"
#include "support/scene_parts.h"

namespace fs = std::filesystem;

namespace {

constexpr LONG kProbeTag = 1059991;
constexpr LONG kRenderSettings = 1020896;

// What the probe tag saw each time the document was evaluated: the frame and the suppresser.
struct Evaluation {
  int frame;
  bool suppressed;
  bool operator==(const Evaluation& o) const { return frame == o.frame && suppressed == o.suppressed; }
};

std::mutex g_mutex;
std::vector<Evaluation> g_evaluations;
std::atomic<bool> g_block{false};
std::atomic<bool> g_blocked{false};
// A lock file the probe tries while it evaluates (none when empty): how often it was held, how often free.
std::string g_lockFile;
std::atomic<int> g_lockHeld{0}, g_lockFree{0};

// A tag that notes every evaluation and, while `g_block` is set, holds the evaluation up (as a
// large document would).
class ProbeTag : public TagData {
 public:
  static NodeData* Alloc() { return new ProbeTag; }
  LONG Execute(BaseTag*, BaseDocument* doc, BaseObject*, BaseThread*, LONG, LONG) override {
    InstanceSuppresser* s = GetInstanceSuppresser();
    {
      std::lock_guard<std::mutex> lock(g_mutex);
      g_evaluations.push_back({doc->GetTime().GetFrame(doc->GetFps()), s && s->IsSet()});
      const int fd = g_lockFile.empty() ? -1 : ::open(g_lockFile.c_str(), O_RDONLY | O_CLOEXEC);
      if (fd >= 0) {
        ++(::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK ? g_lockHeld : g_lockFree);
        ::close(fd);
      }
    }
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (g_block.load() && std::chrono::steady_clock::now() < giveUp) {
      g_blocked.store(true);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return EXECUTIONRESULT_OK;
  }
};

std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class QuickRenderTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    ASSERT_TRUE(PluginStart());
    ASSERT_TRUE(RegisterTagPlugin(kProbeTag, "Probe", 0, ProbeTag::Alloc, "", nullptr, 0));
    host::SetStartupWritePath(write.path());
    // Every renderer started from here on holds the pipe's writing end, inherited: the test waits for
    // its end before its folders go.
    int alive[2];
    ASSERT_EQ(::pipe(alive), 0);
    ASSERT_EQ(::fcntl(alive[0], F_SETFD, FD_CLOEXEC), 0);
    renderersAlive = alive[0];
    renderersHold = alive[1];
    {
      std::lock_guard<std::mutex> lock(g_mutex);
      g_evaluations.clear();
    }
    g_block.store(false);
    g_blocked.store(false);
    g_lockFile.clear();
    g_lockHeld = g_lockFree = 0;
    // A renderer that writes its command line, one argument a line, beside its bundle.
    const fs::path macos = fs::path(renderer.path()) / "Orvane.app/Contents/MacOS";
    fs::create_directories(macos);
    {
      std::ofstream script(macos / "Orvane");
      // It is started through the descriptor of the file that was checked, which is its $0.
      script << "#!/bin/sh\nlog='" << renderer / "launch.log"
             << "'\n"
             << "printf '%s\\n' \"$0\" \"$@\" > \"$log.tmp\" && mv \"$log.tmp\" \"$log\"\n";
    }
    fs::permissions(macos / "Orvane", fs::perms::owner_all);
    std::ofstream settings(write / "corvaneSettings.cfg");
    settings << "<global_settings><PATH>" << renderer.path() << "</PATH></global_settings>\n";
    host::ClearConsole();
    host::ClearInterfaceCalls();
  }
  void TearDown() override {
    BaseDocument::Free(doc);
    PluginEnd();
    EXPECT_TRUE(RenderersEnded()) << "a renderer the test started still runs after a minute";
    HostTest::TearDown();
  }

  // Waits until every renderer the test started has ended (the pipe they hold reads its end), for
  // a minute at most; false when one still runs.
  bool RenderersEnded() {
    if (renderersHold >= 0) ::close(renderersHold);
    renderersHold = -1;
    bool ended = renderersAlive < 0;
    for (pollfd p = {renderersAlive, POLLIN, 0}; !ended && ::poll(&p, 1, 60000) > 0;) {
      char bytes[64];
      const ssize_t n = ::read(renderersAlive, bytes, sizeof bytes);
      ended = n == 0 || (n < 0 && errno != EINTR);
    }
    if (renderersAlive >= 0) ::close(renderersAlive);
    renderersAlive = -1;
    return ended;
  }

  // Loads `json` as the document, with the probe tag on an object of its own.
  void Open(const std::string& json) {
    std::string error;
    doc = host::LoadDocumentText(json, "test document", &error);
    ASSERT_NE(doc, nullptr) << error;
    BaseObject* probe = BaseObject::Alloc(Onull);
    doc->InsertObject(probe, nullptr, nullptr);
    ASSERT_NE(probe->MakeTag(kProbeTag), nullptr);
  }

  // The render settings of the document, added when missing.
  BaseContainer* Settings() { return VideoPostSettings(doc, kRenderSettings); }

  // Runs the export thread's work here and now.
  void RunExport() {
    OVSExportThread thread(doc);
    ASSERT_TRUE(thread.Start(FALSE));
  }

  // The renderer's command line once it has started (empty when it does not within ten seconds):
  // the renderer renames its log into place.
  std::vector<std::string> Launched() {
    const std::string log = renderer / "launch.log";
    WaitForName(renderer.path(), "launch.log");
    return ReadLines(log);
  }

  bool Printed(const std::string& line) {
    std::vector<std::string> c = Console();
    return std::find(c.begin(), c.end(), line) != c.end();
  }

  std::vector<std::string> SavedScenes() {
    std::vector<std::string> saved;
    for (const std::string& line : Console())
      if (line.rfind("Saved scene to: ", 0) == 0) saved.push_back(line.substr(16));
    return saved;
  }

  std::vector<Evaluation> Evaluations() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_evaluations;
  }

  TempDir write;
  TempDir renderer;
  TempDir work;
  BaseDocument* doc = nullptr;
  int renderersAlive = -1, renderersHold = -1;  // the pipe the started renderers hold: read, write
};

bool IsNumber(const std::string& s) {
  const size_t digits = !s.empty() && s[0] == '-' ? 1 : 0;
  return s.size() > digits && s.find_first_not_of("0123456789", digits) == std::string::npos;
}

TEST_F(QuickRenderTest, WithoutRenderSettingsTheCurrentFrameGoesToAFreshQuickRenderFolder) {
  Open(R"({"frame": 5, "objects": [{"type": 5140, "name": "Group"}]})");
  const std::string folder = write / "quickrender";
  fs::create_directories(folder + "/models.old");
  std::ofstream(folder + "/stale.ovs") << "old";

  RunExport();

  EXPECT_FALSE(fs::exists(folder + "/stale.ovs"));
  EXPECT_FALSE(fs::exists(folder + "/models.old"));
  EXPECT_TRUE(fs::exists(folder + "/quickrender.ovs"));
  EXPECT_EQ(SavedScenes(), std::vector<std::string>{folder + "/quickrender.ovs"});
  std::vector<std::string> args = Launched();
  ASSERT_EQ(args.size(), 4u);
  EXPECT_EQ(
      args[0],
      renderer / "Orvane.app/Contents/MacOS/Orvane");  // the path checked, in folders of its owner alone
  EXPECT_EQ(args[1], folder + "/quickrender.ovs");
  EXPECT_EQ(args[2], "-seed");
  EXPECT_TRUE(IsNumber(args[3])) << args[3];

  // One evaluation for the frame, one after the time was restored, both while suppressed.
  EXPECT_EQ(Evaluations(), (std::vector<Evaluation>{{5, true}, {5, true}}));
  EXPECT_FALSE(GetInstanceSuppresser()->IsSet());
  EXPECT_EQ(host::InterfaceCalls(),
            (std::vector<std::string>{"StopAllThreads", "GeShowMouse 3", "StatusSetSpin", "StatusClear",
                                      "SetMousePointer 2"}));
}

TEST_F(QuickRenderTest, AnimationWritesEveryFrameInOrderAndLaunchesTheFirst) {
  struct Case {
    BaseTime from, to;
    std::vector<std::string> files;
    std::vector<Evaluation> evaluations;
  } cases[] = {
      {BaseTime(2, 30),
       BaseTime(4, 30),
       {"quickrender_frame000002.ovs", "quickrender_frame000003.ovs", "quickrender_frame000004.ovs"},
       {{2, true}, {3, true}, {4, true}, {9, true}}},
      {BaseTime(3, 30), BaseTime(3, 30), {"quickrender.ovs"}, {{3, true}, {9, true}}},
      // A time without a usable denominator counts as the time in seconds (here none).
      {BaseTime(2, 0),
       BaseTime(0.05),
       {"quickrender_frame000000.ovs", "quickrender_frame000001.ovs"},
       {{0, true}, {1, true}, {9, true}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.files.front());
    BaseDocument::Free(doc);
    fs::remove(renderer / "launch.log");
    host::ClearConsole();
    {
      std::lock_guard<std::mutex> lock(g_mutex);
      g_evaluations.clear();
    }
    Open(R"({"frame": 9})");
    Settings()->SetBool(1420, TRUE);
    BaseContainer* rd = doc->GetActiveRenderData()->GetDataInstance();
    rd->SetTime(RDATA_FRAMEFROM, c.from);
    rd->SetTime(RDATA_FRAMETO, c.to);

    RunExport();

    std::vector<std::string> expected;
    for (const std::string& f : c.files) expected.push_back(write / "quickrender/" + f);
    EXPECT_EQ(SavedScenes(), expected);
    for (const std::string& f : expected) EXPECT_TRUE(fs::exists(f)) << f;
    EXPECT_EQ(Evaluations(), c.evaluations);
    EXPECT_EQ(doc->GetTime(), BaseTime(9, 30));
    EXPECT_FALSE(GetInstanceSuppresser()->IsSet());
    std::vector<std::string> args = Launched();
    ASSERT_GE(args.size(), 2u);
    EXPECT_EQ(args[1], expected.front());
  }
}

TEST_F(QuickRenderTest, EmptyFrameRangeExportsAndLaunchesNothing) {
  Open(R"({"frame": 1})");
  Settings()->SetBool(1420, TRUE);
  BaseContainer* rd = doc->GetActiveRenderData()->GetDataInstance();
  rd->SetTime(RDATA_FRAMEFROM, BaseTime(5, 30));
  rd->SetTime(RDATA_FRAMETO, BaseTime(3, 30));

  RunExport();

  EXPECT_TRUE(Printed("The frame range 5 to 3 is empty: nothing exported."));
  EXPECT_TRUE(SavedScenes().empty());
  EXPECT_FALSE(Printed("Launching Orvane..."));
  EXPECT_TRUE(Evaluations().empty());
  EXPECT_EQ(host::InterfaceCalls().back(), "SetMousePointer 2");
}

TEST_F(QuickRenderTest, ScenePathAndOutputFollowTheRenderSettings) {
  struct Case {
    const char* what;
    void (*set)(BaseContainer* rs, BaseDocument* doc, const std::string& work);
    std::string message;                 // printed instead of an export, or ""
    std::string scene;                   // relative to the work folder, or "" for the quick-render one
    std::vector<std::string> extraArgs;  // after the seed (paths relative to the work folder)
    std::string madeFolder;              // a folder that must exist afterwards
  } cases[] = {
      {"document path of an unsaved document",
       [](BaseContainer* rs, BaseDocument*, const std::string&) {
         rs->SetBool(1408, TRUE);
         rs->SetBool(1394, TRUE);
       },
       "Document is not saved, cannot obtain document path.",
       "",
       {},
       ""},
      {"document path of a saved document",
       [](BaseContainer* rs, BaseDocument* d, const std::string& w) {
         rs->SetBool(1408, TRUE);
         rs->SetBool(1394, TRUE);
         d->SetDocumentPath(Filename(String(w)));
         d->SetDocumentName(Filename("shot.c4d"));
       },
       "",
       "shot.ovs",
       {},
       ""},
      {"explicit file in a missing folder",
       [](BaseContainer* rs, BaseDocument*, const std::string& w) {
         rs->SetBool(1408, TRUE);
         rs->SetFilename(1393, Filename(String(w + "/missing/shot.ovs")));
       },
       "Export filename is empty or directory does not exist.",
       "",
       {},
       ""},
      {"explicit file left empty",
       [](BaseContainer* rs, BaseDocument*, const std::string&) { rs->SetBool(1408, TRUE); },
       "Export filename is empty or directory does not exist.",
       "",
       {},
       ""},
      {"renders folder beside the scene",
       [](BaseContainer* rs, BaseDocument*, const std::string& w) {
         rs->SetBool(1408, TRUE);
         rs->SetFilename(1393, Filename(String(w + "/a/b/shot")));
         rs->SetBool(1421, TRUE);
         rs->SetBool(1423, TRUE);
         rs->SetFilename(1422, Filename("/elsewhere/ignored.tif"));
       },
       "",
       "a/b/shot.ovs",
       {"-o", "a/b/shot.renders/shot.png"},
       "a/b/shot.renders"},
      {"renders folder asked for but no scene path",
       [](BaseContainer* rs, BaseDocument*, const std::string& w) {
         rs->SetBool(1421, TRUE);
         rs->SetBool(1423, TRUE);
         rs->SetFilename(1422, Filename(String(w + "/out/img.tif")));
       },
       "",
       "",
       {"-o", "out/img.png"},
       ""},
      {"network master",
       [](BaseContainer* rs, BaseDocument*, const std::string&) {
         rs->SetBool(1402, TRUE);
         rs->SetLong(1403, 7100);
       },
       "",
       "",
       {"-n", "wm", "-p", "7100"},
       ""},
      {"foreground alpha",
       [](BaseContainer* rs, BaseDocument*, const std::string&) { rs->SetBool(1398, TRUE); },
       "Foreground aplha: forcing clay mode with PT.",
       "",
       {},
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BaseDocument::Free(doc);
    fs::remove(renderer / "launch.log");
    host::ClearConsole();
    fs::create_directories(work / "a/b");
    Open("{}");
    c.set(Settings(), doc, work.path());

    RunExport();

    const bool exports = c.message.empty() || c.message.rfind("Foreground", 0) == 0;
    if (!c.message.empty()) {
      EXPECT_TRUE(Printed(c.message));
    }
    if (!exports) {
      EXPECT_TRUE(SavedScenes().empty());
      EXPECT_FALSE(Printed("Launching Orvane..."));
      continue;
    }
    const std::string scene = c.scene.empty() ? write / "quickrender/quickrender.ovs" : work / c.scene;
    EXPECT_EQ(SavedScenes(), std::vector<std::string>{scene});
    std::vector<std::string> args = Launched();
    ASSERT_EQ(args.size(), 4 + c.extraArgs.size());
    EXPECT_EQ(args[1], scene);
    for (size_t i = 0; i < c.extraArgs.size(); ++i) {
      std::string want = c.extraArgs[i];
      if (want.find('/') != std::string::npos) want = work / want;
      EXPECT_EQ(args[4 + i], want);
    }
    if (!c.madeFolder.empty()) {
      EXPECT_TRUE(fs::is_directory(work / c.madeFolder));
    }
    EXPECT_FALSE(fs::exists(write / "quickrender/shot.renders"));
  }
}

TEST_F(QuickRenderTest, ARenderRunsOnlyInAnAbsoluteWritePathWhoseLockItHoldsAndOnPathsThatFit) {
  // Its scene's path longer than a path may be; made one folder at a time.
  std::string tooLong = work / "long";
  while (tooLong.size() < 4080)
    tooLong += "/" + std::string(std::min<size_t>(200, 4079 - tooLong.size()), 'd');
  const std::string shared = work / "shared", shared2 = work / "shared2", lock = "/.quickrender.lock";
  const auto notAbsolute = [](const std::string& w) {
    return "The host's write path \"" + w + "\" is not an absolute path: no quickrender folder there.";
  };
  const struct Row {
    std::string what, writePath;
    std::function<void()> prepare;
    std::string printed;  // the render's last line
    bool asAnotherUser = false;
  } rows[] = {
      {"no write path", "", nullptr, notAbsolute("")},
      {"a relative write path", "relative/write", nullptr, notAbsolute("relative/write")},
      {"a write path so long that the scene's path is longer than a path may be", tooLong,
       [&] { fs::create_directories(tooLong); },
       "Not launching Orvane: the scene " + tooLong +
           "/quickrender/quickrender.ovs was not saved: File name too long."},
      {"this user's lock file that others may read is made the user's own and held while exporting",
       write.path(),
       [&] {
         g_lockFile = write.path() + lock;
         std::ofstream{g_lockFile};
         EXPECT_EQ(::chmod(g_lockFile.c_str(), 0644), 0);
       },
       "Orvane executed..."},
      {"another user's lock file in a write path anyone may write to is refused, naming its owner", shared,
       [&] {
         fs::create_directory(shared);
         std::ofstream{shared + lock};
         EXPECT_EQ(::chmod(shared.c_str(), 01777) | ::chown((shared + lock).c_str(), 65534, 65534), 0);
       },
       "Cannot lock the write path: the file " + shared + lock + " belongs to another user (" +
           files::UserName(65534) + ").",
       true},
      {"another user's folder at the lock's name there is refused as the lock, naming its owner", shared2,
       [&] {
         fs::create_directories(shared2 + lock);
         EXPECT_EQ(::chmod(shared2.c_str(), 01777) | ::chown((shared2 + lock).c_str(), 65534, 65534), 0);
       },
       "Cannot lock the write path: the folder " + shared2 + lock + " belongs to another user (" +
           files::UserName(65534) + ").",
       true},
  };
  std::string removed, leftOut;
  for (const Row& row : rows) {
    if (row.asAnotherUser && ::geteuid() != 0) {
      leftOut += (leftOut.empty() ? "\"" : "; \"") + row.what + "\"";
      continue;
    }
    SCOPED_TRACE(row.what);
    BaseDocument::Free(doc);
    host::ClearConsole();
    if (row.prepare) row.prepare();
    host::SetStartupWritePath(row.writePath);
    Open("{}");
    RunExport();
    EXPECT_EQ(Console().back(), row.printed);
    const std::string folder = row.writePath + "/quickrender";
    if (g_lockFile.empty()) {
      EXPECT_TRUE(SavedScenes().empty());
      EXPECT_FALSE(Printed("Launching Orvane..."));
      EXPECT_TRUE(!fs::exists(folder) || fs::is_empty(folder));
    } else {
      struct stat st = {};
      EXPECT_EQ(::stat(g_lockFile.c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 07777, 0600u);
      EXPECT_GT(g_lockHeld.load(), 0);
      EXPECT_EQ(g_lockFree.load(), 0);
      g_lockFile.clear();
    }
    EXPECT_FALSE(fs::exists("relative"));
    RunCommand("rm -rf " + work / "long", &removed);  // rm removes paths beyond what a path may be
  }
  if (!leftOut.empty()) GTEST_SKIP() << "planting a file as another user needs root: left out " << leftOut;
}

// The export dialog with a count of its timer calls.
class CountingDialog : public ExportDialog {
 public:
  using ExportDialog::ExportDialog;
  void Timer(const BaseContainer& msg) override {
    ++timers;
    ExportDialog::Timer(msg);
  }
  std::atomic<int> timers{0};
};

TEST_F(QuickRenderTest, DialogStaysOpenWhileExportingAndClosesItselfAfter) {
  host::ManualClock clock;
  host::SetClock(&clock);
  Open("{}");
  g_block.store(true);
  host::user::TypeKeys("x");
  // Once the key has been delivered (the export still held up), let the export go on.
  std::atomic<int> timersWhileBlocked{-1};
  CountingDialog dialog(doc);
  std::thread release([&] {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while ((host::user::Pending() > 0 || !g_blocked.load() || dialog.timers.load() < 5) &&
           std::chrono::steady_clock::now() < giveUp)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    timersWhileBlocked.store(dialog.timers.load());
    g_block.store(false);
  });

  EXPECT_TRUE(dialog.Open(DLG_TYPE_MODAL, 0, 400, 400, 0, 0, 0));
  release.join();

  EXPECT_FALSE(dialog.IsOpen());
  EXPECT_EQ(dialog.Thread(), nullptr);
  EXPECT_GE(timersWhileBlocked.load(), 5) << "the host's loop went on while the export ran";
  EXPECT_EQ(dialog.GetTitle(), String("OVS Exporting..."));
  std::vector<host::Shown> shown = host::user::History();
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(shown.back().prompt, host::Prompt::DialogKeys);
  EXPECT_EQ(SavedScenes().size(), 1u);
  EXPECT_EQ(Launched().size(), 4u);
  host::SetClock(nullptr);
}

TEST_F(QuickRenderTest, DialogWithoutRendererStartsNothing) {
  fs::remove(write / "corvaneSettings.cfg");
  // The chooser is answered, but the answer cannot be kept: the write path is not there.
  host::SetStartupWritePath(write / "missing");
  host::user::ChooseDirectory(renderer.path());
  Open("{}");
  ExportDialog dialog(doc);
  EXPECT_FALSE(dialog.Open(DLG_TYPE_MODAL, 0, 400, 400, 0, 0, 0));
  EXPECT_EQ(dialog.Thread(), nullptr);
  EXPECT_EQ(dialog.GetTimerInterval(), 0);
  EXPECT_FALSE(dialog.AskClose());
  std::vector<host::Shown> shown = host::user::History();
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(shown.front().prompt, host::Prompt::Directory);
  EXPECT_EQ(shown.front().text, "Choose Orvane dir");
  EXPECT_TRUE(Evaluations().empty());
}

TEST_F(QuickRenderTest, DialogStartsOneThreadOnly) {
  Open("{}");
  ExportDialog dialog(doc);
  ASSERT_TRUE(dialog.InitValues());
  OVSExportThread* first = dialog.Thread();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(dialog.GetTimerInterval(), 250);
  EXPECT_TRUE(dialog.InitValues());
  EXPECT_EQ(dialog.Thread(), first);
  first->Wait();
  EXPECT_FALSE(dialog.AskClose());
  dialog.Timer(BaseContainer());
  EXPECT_EQ(dialog.Thread(), nullptr);
  EXPECT_EQ(dialog.GetTimerInterval(), 0);
  EXPECT_EQ(SavedScenes().size(), 1u);
  EXPECT_EQ(Launched().size(), 4u);

  ExportDialog noDocument(nullptr);
  EXPECT_FALSE(noDocument.InitValues());
}

TEST_F(QuickRenderTest, DialogGoneBeforeItsTimerWaitsForTheExport) {
  Open("{}");
  {
    ExportDialog dialog(doc);
    ASSERT_TRUE(dialog.InitValues());
  }
  // The export ran to its end (and its thread was freed: the leak check would say otherwise).
  EXPECT_EQ(SavedScenes().size(), 1u);
  EXPECT_EQ(Launched().size(), 4u);
}

TEST_F(QuickRenderTest, CommandRunsTheDialogOnTheActiveDocument) {
  Open(R"({"frame": 2})");
  host::SetActiveDocument(doc);
  EXPECT_TRUE(CallCommand(1023920));
  host::SetActiveDocument(nullptr);
  EXPECT_EQ(SavedScenes(), std::vector<std::string>{write / "quickrender/quickrender.ovs"});
  EXPECT_EQ(Launched().size(), 4u);
}

}  // namespace

namespace {

TEST_F(QuickRenderTest, MeshMemoryGoesBackOnceTheExportIsOver) {
  Open(R"({"objects": [{"type": 5140, "name": "Group"}]})");
  // A strip of triangles large enough for the mesh arrays to come from the kept-block cache.
  const LONG quads = 100000;
  PolygonObject* strip = PolygonObject::Alloc(2 * (quads + 1), quads);
  LVector* points = strip->GetPointW();
  for (LONG i = 0; i <= quads; ++i) {
    points[2 * i] = LVector(i, 0, 0);
    points[2 * i + 1] = LVector(i, 0, 1);
  }
  CPolygon* polygons = strip->GetPolygonW();
  for (LONG i = 0; i < quads; ++i) polygons[i] = CPolygon(2 * i, 2 * i + 1, 2 * i + 3, 2 * i + 2);
  doc->InsertObject(strip, nullptr, nullptr);

  RunExport();

  EXPECT_TRUE(fs::exists(write / "quickrender/quickrender.ovs"));
  EXPECT_EQ(Orvane::KeptMeshBlockBytes(), 0u);
}

}  // namespace
