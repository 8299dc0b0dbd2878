// A host that runs for days: renders, imports, unpacks, bakes and refused writes, over and over in one
// process, leave its open descriptors and the file module's registry as they were, and no temporary
// behind.
#include <gtest/gtest.h>

#include <dirent.h>
#include <limits.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "archive/unpackfailure.h"
#include "c4d.h"
#include "command/bakematerialonobject.h"
#include "command/importovm.h"
#include "command/ovsexportthread.h"
#include "files/registry.h"
#include "files/result.h"
#include "host_control.h"
#include "host_document_file.h"
#include "host_record.h"
#include "host_user.h"
#include "main/main.h"
#include "material/customorvanematerial.h"
#include "material/materialparams.h"
#include "support/host_fixture.h"
#include "support/scene_parts.h"
#include "support/zip_writer.h"

namespace fs = std::filesystem;

namespace {

// How many rounds run. A round is 14 operations: a render, two imports, two unpacks, a bake and
// eight refused writes; 200 rounds take 3 to 20 s under the sanitizers, as busy as the machine is.
constexpr int kRounds = 200;

constexpr LONG kRenderSettings = 1020896;

// The process's open descriptors and what each is open on.
std::map<int, std::string> OpenDescriptors() {
  std::map<int, std::string> open;
  DIR* listing = ::opendir("/proc/self/fd");
  if (!listing) return open;
  const int own = ::dirfd(listing);
  while (const dirent* entry = ::readdir(listing)) {
    if (entry->d_name[0] == '.') continue;
    const int fd = std::stoi(entry->d_name);
    if (fd == own) continue;
    char target[PATH_MAX];
    const ssize_t n = ::readlinkat(own, entry->d_name, target, sizeof target);
    open[fd] = n < 0 ? "(gone)" : std::string(target, static_cast<size_t>(n));
  }
  ::closedir(listing);
  return open;
}

// The descriptors of `now` that `before` did not have open on the same thing, one a line: the
// first 20, then how many more.
std::string Added(const std::map<int, std::string>& before, const std::map<int, std::string>& now) {
  std::string out;
  size_t count = 0;
  for (const auto& [fd, target] : now) {
    const auto was = before.find(fd);
    if (was != before.end() && was->second == target) continue;
    if (++count <= 20) out += "\n  " + std::to_string(fd) + " -> " + target;
  }
  if (count > 20) out += "\n  and " + std::to_string(count - 20) + " more";
  return out;
}

// The temporaries' names (".x.tmp-...") anywhere below `root`.
std::vector<std::string> Temporaries(const std::string& root) {
  std::vector<std::string> found;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    const std::string name = it->path().filename();
    if (name[0] == '.' && name.find(".tmp-") != std::string::npos) found.push_back(it->path());
  }
  return found;
}

// Tells (inotify) of the files written into one folder.
class Arrivals {
 public:
  explicit Arrivals(const std::string& folder) : fd_(::inotify_init1(IN_CLOEXEC | IN_NONBLOCK)) {
    if (fd_ >= 0 && ::inotify_add_watch(fd_, folder.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO) < 0) {
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~Arrivals() {
    if (fd_ >= 0) ::close(fd_);
  }
  Arrivals(const Arrivals&) = delete;
  Arrivals& operator=(const Arrivals&) = delete;

  // Forgets what was written so far.
  void Clear() { Next(0); }
  // True once a file `name` has been written since the last `Clear` or `Wait`; false when none is
  // within ten seconds.
  bool Wait(const std::string& name) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
      const auto left = end - std::chrono::steady_clock::now();
      if (fd_ < 0 || left.count() <= 0) return false;
      if (Next(static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(left).count()), name))
        return true;
    }
  }

 private:
  // Reads what arrives within `timeoutMs`; true when it names `name`.
  bool Next(int timeoutMs, const std::string& name = "") {
    pollfd ready = {fd_, POLLIN, 0};
    if (fd_ < 0 || ::poll(&ready, 1, timeoutMs) <= 0) return false;
    alignas(inotify_event) char buffer[4096];
    bool seen = false;
    for (ssize_t n; (n = ::read(fd_, buffer, sizeof buffer)) > 0;)
      for (ssize_t at = 0; at < n;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        seen |= event->len > 0 && name == event->name;
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
    return seen;
  }

  int fd_;
};

// A quad with a plug-in material whose albedo is a gradient (baked into an image by a render), its
// texture tag active.
struct Scene {
  BaseDocument* doc = BaseDocument::Alloc();
  BaseMaterial* mat = BaseMaterial::Alloc(ID_CUSTOMORVANEMATERIAL);
  PolygonObject* quad = NewQuad("quad");
  TextureTag* tag = TextureTag::Alloc();

  Scene() {
    mat->SetName("wood");
    doc->InsertMaterial(mat);
    BaseShader* gradient = BaseShader::Alloc(Xgradient);
    mat->InsertShader(gradient);
    mat->GetDataInstance()->SetLink(MAT_ALBEDO_SHADER, gradient);
    mat->GetDataInstance()->SetBool(MAT_USE_ALBEDO, true);
    mat->GetDataInstance()->SetLong(MAT_BAKE_WIDTH, 8);
    mat->GetDataInstance()->SetLong(MAT_BAKE_HEIGHT, 8);
    doc->InsertObject(quad, nullptr, nullptr);
    quad->InsertTag(tag);
    tag->SetMaterial(mat);
    BaseContainer data = tag->GetData();
    data.SetLong(TEXTURETAG_PROJECTION, TEXTURETAG_PROJECTION_FLAT);
    tag->SetData(data);
    doc->SetActiveTag(tag);
  }
  ~Scene() { BaseDocument::Free(doc); }
  Scene(const Scene&) = delete;
  Scene& operator=(const Scene&) = delete;

  // The render settings, added when missing.
  BaseContainer* Settings() { return VideoPostSettings(doc, kRenderSettings); }
};

class LongLived : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    ASSERT_TRUE(PluginStart());
    render = std::make_unique<Scene>();
    refused = std::make_unique<Scene>();
    launches = std::make_unique<Arrivals>(renderer.path());
    host::SetStartupWritePath(write.path());
    // A renderer that writes its command line beside its bundle (the shell's own commands only).
    const fs::path macos = fs::path(renderer.path()) / "Orvane.app/Contents/MacOS";
    fs::create_directories(macos);
    std::ofstream(macos / "Orvane")
        << "#!/bin/sh\nprintf '%s\\n' \"$0\" \"$@\" > \"${0%/*}/../../../launch.log\"\n";
    fs::permissions(macos / "Orvane", fs::perms::owner_all);
    std::ofstream(write / "corvaneSettings.cfg")
        << "<global_settings><PATH>" << renderer.path() << "</PATH></global_settings>\n";
    // What the operations read and where the refused ones write.
    const std::string material = "<scenedata><material><name>Oak</name><diffuse/></material></scenedata>";
    std::ofstream(work / "oak.ovm") << material;
    ASSERT_TRUE(WriteZip(work / "oak.povm", {{"oak.ovm", material}}));
    ASSERT_TRUE(WriteZip(work / "safe.zip", {{"a.ovm", material}, {"tex/b.txt", "b"}}));
    ASSERT_TRUE(WriteZip(work / "unsafe.zip", {{"a.ovm", material}, {"../escape.ovm", material}}));
    ASSERT_TRUE(WriteZip(work / "unsafe.povm", {{"a.ovm", material}, {"../escape.ovm", material}}));
    ASSERT_EQ(::mkfifo((work / "fifo.ovm").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((work / "fifo.ovs").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((work / "fifo_albedo.jpg").c_str(), 0600), 0);
    fs::create_directory(work / "kept");
    // Another user's folder in a folder anyone may write to: root plants it as user nobody.
    if (::geteuid() == 0) {
      fs::create_directories(work / "shared/theirs");
      ASSERT_EQ(::chmod((work / "shared").c_str(), 01777), 0);
      ASSERT_EQ(::chown((work / "shared/theirs").c_str(), 65534, 65534), 0);
    }
  }
  void TearDown() override {
    render.reset();
    refused.reset();
    PluginEnd();
    HostTest::TearDown();
  }

  // Clears what the host recorded, so that each operation's lines are its own.
  static void Fresh() {
    host::ClearConsole();
    host::ClearInterfaceCalls();
    host::user::Reset();
  }

  // Exports `scene` on the export thread and waits for its end; answers whether it launched.
  static bool Export(Scene& scene) {
    OVSExportThread thread(scene.doc);
    EXPECT_TRUE(thread.Start());
    thread.Wait();
    return thread.Launched();
  }

  // A render of the scene to the quick-render folder, and the renderer started on it.
  void Render() {
    Fresh();
    fs::remove(renderer / "launch.log");
    launches->Clear();
    ASSERT_TRUE(Export(*render)) << Console().back();
    ASSERT_TRUE(launches->Wait("launch.log")) << "the renderer did not start";
    std::ifstream log(renderer / "launch.log");
    std::string exe, scene;
    std::getline(log, exe);
    std::getline(log, scene);
    EXPECT_EQ(scene, write / "quickrender/quickrender.ovs");
    EXPECT_EQ(Console().back(), "Orvane executed...");
  }

  // An import of a material file, then of an archive, into a new document.
  void Import() {
    Fresh();
    BaseDocument* doc = BaseDocument::Alloc();
    ImportOVM import;
    EXPECT_TRUE(import.ImportFile(doc, Filename(String(work / "oak.ovm"))));
    EXPECT_TRUE(import.ImportFile(doc, Filename(String(work / "oak.povm"))));
    int materials = 0;
    for (BaseMaterial* m = doc->GetFirstMaterial(); m; m = m->GetNext())
      materials += host::ToUtf8(m->GetName()) == "Oak";
    EXPECT_EQ(materials, 2);
    BaseDocument::Free(doc);
  }

  // An archive unpacked into a new folder that someone else then removes, and into one that stays.
  void Unpack(int round) {
    ZipFile* zip = ZipFile::Alloc();
    const std::string gone = work / "unpacked";
    EXPECT_TRUE(zip->ExtractToDirectory(Filename(String(work / "safe.zip")), Filename(String(gone))))
        << zip->GetError() << " " << zip->GetSystemErrorText();
    EXPECT_TRUE(fs::is_regular_file(gone + "/tex/b.txt"));
    fs::remove_all(gone);
    const std::string kept = work / ("kept/" + std::to_string(round));
    EXPECT_TRUE(zip->ExtractToDirectory(Filename(String(work / "safe.zip")), Filename(String(kept))));
    ZipFile::Free(zip);
  }

  // A bake of the albedo of a new scene's material to a small image.
  void Bake() {
    Fresh();
    Scene scene;
    BakeDialog dlg(scene.doc, scene.tag, scene.quad, scene.mat);
    ASSERT_TRUE(Press(dlg, work / "baked.png"));
    dlg.thread->Wait();
    dlg.Timer(BaseContainer());
    EXPECT_TRUE(dlg.baked) << Console().back();
    EXPECT_TRUE(fs::is_regular_file(work / "baked_albedo.jpg"));
  }

  // Writes that are refused, each with the reason it gives: the console's last line, or the
  // words of the call's failure.
  void Refused() {
    const bool root = ::geteuid() == 0;  // only root can plant another user's folder (else no such row)
    const struct Row {
      std::string what;
      std::function<std::string()> run;
      std::string reason;
    } rows[] = {
        {"a render whose scene is a FIFO",
         [&] {
           BaseContainer* settings = refused->Settings();
           settings->SetBool(1408, TRUE);
           settings->SetFilename(1393, Filename(String(work / "fifo.ovs")));
           EXPECT_FALSE(Export(*refused));
           return Console().back();
         },
         "Not launching Orvane: the scene " + work / "fifo.ovs" + " was not saved: not a regular file."},
        {"a render whose write path is a FIFO",
         [&] {
           host::SetStartupWritePath(work / "fifo.ovs");
           EXPECT_FALSE(Export(*render));
           host::SetStartupWritePath(write.path());
           return Console().back();
         },
         "Quickrender dir could not be created: Not a directory."},
        {root ? "a render whose write path is another user's folder in a shared folder" : "",
         [&] {
           host::SetStartupWritePath(work / "shared/theirs");
           EXPECT_FALSE(Export(*render));
           host::SetStartupWritePath(write.path());
           return Console().back();
         },
         "Quickrender dir could not be created: the folder " + work / "shared/theirs" +
             " belongs to another user (" + files::UserName(65534) + ")."},
        {"an import of a FIFO",
         [&] {
           BaseDocument* doc = BaseDocument::Alloc();
           ImportOVM import;
           EXPECT_FALSE(import.ImportFile(doc, Filename(String(work / "fifo.ovm"))));
           BaseDocument::Free(doc);
           return Console().back();
         },
         "Could not read material file " + work / "fifo.ovm" + ": Not a regular file."},
        {"an import of an archive that names a file outside its folder",
         [&] {
           BaseDocument* doc = BaseDocument::Alloc();
           ImportOVM import;
           EXPECT_FALSE(import.ImportFile(doc, Filename(String(work / "unsafe.povm"))));
           BaseDocument::Free(doc);
           return Console().back();
         },
         "Could not unpack " + work / "unsafe.povm" + ": unsafe name"},
        {"a bake to a FIFO",
         [&] {
           Scene scene;
           BakeDialog dlg(scene.doc, scene.tag, scene.quad, scene.mat);
           EXPECT_TRUE(Press(dlg, work / "fifo.png"));
           if (dlg.thread) dlg.thread->Wait();
           dlg.Timer(BaseContainer());
           return Console().back();
         },
         "The channel albedo was not baked (" + work / "fifo_albedo.jpg" +
             ": not a regular file); it keeps its shader."},
        {"a document saved into a folder that is not there",
         [&] {
           BaseDocument* doc = BaseDocument::Alloc();
           std::string error;
           EXPECT_FALSE(host::SaveDocumentFile(doc, work / "missing/saved.json", &error));
           BaseDocument::Free(doc);
           return error;
         },
         work / "missing/saved.json" + ": cannot write the file: No such file or directory"},
        {"an unpack of an archive that names a file outside its folder",
         [&] {
           ZipFile* zip = ZipFile::Alloc();
           EXPECT_FALSE(zip->ExtractToDirectory(Filename(String(work / "unsafe.zip")),
                                                Filename(String(work / "kept"))));
           const std::string why = Helpers::UnpackFailureText(zip->GetError(), zip->GetSystemError());
           ZipFile::Free(zip);
           return why;
         },
         "unsafe name"},
    };
    for (const Row& row : rows) {
      if (row.what.empty()) continue;
      SCOPED_TRACE(row.what);
      Fresh();
      EXPECT_EQ(row.run(), row.reason);
    }
  }

  // Fills in the bake dialog for a 4 x 4 image at `file` and presses bake; answers whether it started.
  static bool Press(BakeDialog& dlg, const std::string& file) {
    EXPECT_TRUE(dlg.Open(DLG_TYPE_ASYNC, 0));
    dlg.SetString(10017, String(file));
    dlg.SetLong(10011, 4);
    dlg.SetLong(10012, 4);
    return dlg.Command(10001, BaseContainer());
  }

  TempDir write;
  TempDir renderer;
  TempDir work;
  std::unique_ptr<Scene> render;       // the scene rendered
  std::unique_ptr<Scene> refused;      // the scene whose render is refused
  std::unique_ptr<Arrivals> launches;  // the renderer's command lines
};

TEST_F(LongLived, RoundsOfEveryOperationLeaveTheDescriptorsAndTheRegistryAsTheyWere) {
  const std::map<int, std::string> before = OpenDescriptors();
  const size_t registered = files::RegisteredCount();

  for (int round = 0; round < kRounds && !HasFailure(); ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    Render();
    Import();
    Unpack(round);
    Bake();
    Refused();
  }

  const std::map<int, std::string> after = OpenDescriptors();
  const std::string opened = Added(before, after), closed = Added(after, before);
  EXPECT_TRUE(opened.empty() && closed.empty())
      << before.size() << " descriptors open before the rounds, " << after.size()
      << " after\nopen now, not before:" << opened << "\nopen before, not now:" << closed;
  EXPECT_EQ(files::RegisteredCount(), registered);
  for (const std::string& folder : {write.path(), work.path(), renderer.path()})
    EXPECT_EQ(Temporaries(folder), std::vector<std::string>()) << folder;
}

}  // namespace
