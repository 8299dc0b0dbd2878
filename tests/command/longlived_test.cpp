// A host that runs for days: rounds of renders, imports, unpacks, bakes and refused writes in one
// process leave its open descriptors and the file module's registry as they were, and no temporary.
#include <gtest/gtest.h>

#include <dirent.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>

#include "archive/unpackfailure.h"
#include "c4d.h"
#include "command/bakematerialonobject.h"
#include "command/importovm.h"
#include "command/ovsexportthread.h"
#include "files/registry.h"
#include "host_control.h"
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

constexpr int kRounds = 200;  // 3 to 20 s under the sanitizers
constexpr LONG kRenderSettings = 1020896;

// The process's open descriptors and what each is open on.
std::map<int, std::string> OpenDescriptors() {
  std::map<int, std::string> open;
  DIR* listing = ::opendir("/proc/self/fd");
  for (const dirent* entry; listing && (entry = ::readdir(listing));) {
    char target[PATH_MAX];
    const ssize_t n = ::readlinkat(::dirfd(listing), entry->d_name, target, sizeof target);
    if (entry->d_name[0] != '.' && std::stoi(entry->d_name) != ::dirfd(listing))
      open[std::stoi(entry->d_name)] = std::string(target, n < 0 ? 0 : static_cast<size_t>(n));
  }
  if (listing) ::closedir(listing);
  return open;
}

// The first five descriptors of `now` that `before` did not have open on the same thing.
std::string Added(const std::map<int, std::string>& before, const std::map<int, std::string>& now) {
  std::string out;
  int count = 0;
  for (const auto& [fd, target] : now) {
    const auto was = before.find(fd);
    if ((was == before.end() || was->second != target) && ++count <= 5)
      out += " " + std::to_string(fd) + "->" + target;
  }
  return count > 5 ? out + " and " + std::to_string(count - 5) + " more" : out;
}

// A quad whose plug-in material's albedo is a gradient, its texture tag active.
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
    doc->InsertObject(quad, nullptr, nullptr);
    quad->InsertTag(tag);
    tag->SetMaterial(mat);
    BaseContainer data = tag->GetData();
    data.SetLong(TEXTURETAG_PROJECTION, TEXTURETAG_PROJECTION_FLAT);
    tag->SetData(data);
    doc->SetActiveTag(tag);
  }
  ~Scene() { BaseDocument::Free(doc); }
};

class LongLived : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    ASSERT_TRUE(PluginStart());
    host::SetStartupWritePath(write.path());
    // A renderer that writes its command line beside its bundle.
    const fs::path macos = fs::path(renderer.path()) / "Orvane.app/Contents/MacOS";
    fs::create_directories(macos);
    std::ofstream(macos / "Orvane") << "#!/bin/sh\necho \"$@\" > '" << renderer / "launch.log"
                                    << "'\n";
    fs::permissions(macos / "Orvane", fs::perms::owner_all);
    std::ofstream(write / "corvaneSettings.cfg")
        << "<global_settings><PATH>" << renderer.path() << "</PATH></global_settings>\n";
    const std::string material = "<scenedata><material><name>Oak</name><diffuse/></material></scenedata>";
    std::ofstream(work / "oak.ovm") << material;
    ASSERT_TRUE(WriteZip(work / "oak.povm", {{"oak.ovm", material}}));
    ASSERT_TRUE(WriteZip(work / "safe.zip", {{"a.ovm", material}, {"tex/b.txt", "b"}}));
    ASSERT_TRUE(WriteZip(work / "unsafe.zip", {{"a.ovm", material}, {"../escape.ovm", material}}));
    for (const char* fifo : {"fifo.ovm", "fifo.ovs", "fifo_albedo.jpg"})
      ASSERT_EQ(::mkfifo((work / fifo).c_str(), 0600), 0);
  }
  void TearDown() override {
    PluginEnd();
    HostTest::TearDown();
  }

  // Exports `scene` on the export thread, waits for its end and answers whether it launched.
  bool Export(Scene& scene) {
    OVSExportThread thread(scene.doc);
    EXPECT_TRUE(thread.Start());
    thread.Wait();
    return thread.Launched();
  }

  static bool Import(const std::string& file) {
    BaseDocument* doc = BaseDocument::Alloc();
    const bool imported = ImportOVM().ImportFile(doc, Filename(String(file)));
    BaseDocument::Free(doc);
    return imported;
  }

  static bool Unpack(const std::string& zip, const std::string& into, std::string* why = nullptr) {
    ZipFile* z = ZipFile::Alloc();
    const bool ok = z->ExtractToDirectory(Filename(String(zip)), Filename(String(into)));
    if (why) *why = Helpers::UnpackFailureText(*z);
    ZipFile::Free(z);
    return ok;
  }

  // Bakes the albedo of a new scene to a 4 x 4 image at `file`; answers why not, or "" once baked.
  std::string Bake(const std::string& file) {
    Scene scene;
    BakeDialog dlg(scene.doc, scene.tag, scene.quad, scene.mat);
    EXPECT_TRUE(dlg.Open(DLG_TYPE_ASYNC, 0));
    dlg.SetString(10017, String(file));
    dlg.SetLong(10011, 4);
    dlg.SetLong(10012, 4);
    EXPECT_TRUE(dlg.Command(10001, BaseContainer()));
    if (dlg.thread) dlg.thread->Wait();
    dlg.Timer(BaseContainer());
    return dlg.baked ? "" : Console().back();
  }

  void Round(int round) {
    Scene scene;
    fs::remove(renderer / "launch.log");
    EXPECT_TRUE(Export(scene)) << Console().back();
    const std::string launched = write / "quickrender/quickrender.ovs";
    EXPECT_TRUE(
        WaitFor([&] { return ReadFile(renderer / "launch.log").find(launched) != std::string::npos; }));
    EXPECT_TRUE(Import(work / "oak.ovm") && Import(work / "oak.povm"));
    EXPECT_TRUE(Unpack(work / "safe.zip", work / "unpacked"));
    fs::remove_all(work / "unpacked");  // the folder that held the unpacking goes away
    EXPECT_TRUE(Unpack(work / "safe.zip", work / ("kept/" + std::to_string(round))));
    EXPECT_EQ(Bake(work / "baked.png"), "");
    EXPECT_TRUE(fs::is_regular_file(work / "baked_albedo.jpg"));

    // Refused writes and reads, each with its reason.
    BaseContainer* settings = VideoPostSettings(scene.doc, kRenderSettings);
    settings->SetBool(1408, TRUE);
    settings->SetFilename(1393, Filename(String(work / "fifo.ovs")));
    EXPECT_FALSE(Export(scene));
    EXPECT_EQ(Console().back(),
              "Not launching Orvane: the scene " + work / "fifo.ovs" + " was not saved: not a regular file.");
    EXPECT_FALSE(Import(work / "fifo.ovm"));
    EXPECT_EQ(Console().back(),
              "Could not read material file " + work / "fifo.ovm" + ": Not a regular file.");
    EXPECT_EQ(Bake(work / "fifo.png"), "The channel albedo was not baked (" + work / "fifo_albedo.jpg" +
                                           ": not a regular file); it keeps its shader.");
    std::string why;
    EXPECT_FALSE(Unpack(work / "unsafe.zip", work / "kept", &why));
    EXPECT_EQ(why, "unsafe name: entry \"../escape.ovm\"");
    host::ClearConsole();
    host::ClearInterfaceCalls();
    host::user::Reset();
  }

  TempDir write, renderer, work;
};

TEST_F(LongLived, RoundsOfEveryOperationLeaveTheDescriptorsAndTheRegistryAsTheyWere) {
  const std::map<int, std::string> before = OpenDescriptors();
  const size_t registered = files::RegisteredCount();
  for (int round = 0; round < kRounds && !HasFailure(); ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    Round(round);
  }
  const std::map<int, std::string> after = OpenDescriptors();
  EXPECT_EQ(Added(before, after), "") << "open now, not before";
  EXPECT_EQ(Added(after, before), "") << "open before, not now";
  EXPECT_EQ(files::RegisteredCount(), registered);
  std::string temporaries;
  RunCommand("find " + write.path() + " " + work.path() + " " + renderer.path() + " -name '.*.tmp-*'",
             &temporaries);
  EXPECT_EQ(temporaries, "");
}

}  // namespace
