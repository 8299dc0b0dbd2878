// The bake command end to end through the host's baker, and its dialog's rules.
#include <pwd.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <tuple>

#include "c4d.h"
#include "command/bakematerialonobject.h"
#include "host_control.h"
#include "host_undo.h"
#include "host_user.h"
#include "material/customorvanematerial.h"
#include "material/materialparams.h"
#include "support/host_fixture.h"
#include "support/image_files.h"
#include "support/scene_parts.h"

namespace {

class Bake : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    ASSERT_TRUE(RegisterCustomOrvaneMaterial());
    doc = BaseDocument::Alloc();
    mat = BaseMaterial::Alloc(ID_CUSTOMORVANEMATERIAL);
    mat->SetName("wood");
    doc->InsertMaterial(mat);
    quad = NewQuad("quad");
    doc->InsertObject(quad, nullptr, nullptr);
    tag = TextureTag::Alloc();
    quad->InsertTag(tag);
    tag->SetMaterial(mat);
    BaseContainer data = tag->GetData();
    data.SetLong(TEXTURETAG_PROJECTION, TEXTURETAG_PROJECTION_FLAT);
    tag->SetData(data);
    doc->SetActiveTag(tag);
  }
  void TearDown() override {
    BaseDocument::Free(doc);
    HostTest::TearDown();
  }
  BaseShader* SetColourShader(LONG useId, LONG linkId, LVector colour) {
    BaseShader* sh = BaseShader::Alloc(Xcolor);
    sh->GetDataInstance()->SetVector(COLORSHADER_COLOR, colour);
    mat->InsertShader(sh);
    mat->GetDataInstance()->SetLink(linkId, sh);
    mat->GetDataInstance()->SetBool(useId, true);
    return sh;
  }
  // Opens `dlg` unless it is open, fills in the file and size and presses bake; answers whether the bake
  // started.
  static bool Press(BakeDialog& dlg, const std::string& file, LONG width, LONG height) {
    if (!dlg.IsOpen()) {
      EXPECT_TRUE(dlg.Open(DLG_TYPE_ASYNC, 0));
    }
    dlg.SetString(10017, String(file));
    dlg.SetLong(10011, width);
    dlg.SetLong(10012, height);
    return dlg.Command(10001, BaseContainer());
  }
  BaseDocument* doc = nullptr;
  BaseMaterial* mat = nullptr;
  PolygonObject* quad = nullptr;
  TextureTag* tag = nullptr;
};

TEST_F(Bake, DialogRulesPerMaterialType) {
  SetColourShader(MAT_USE_ALBEDO, MAT_ALBEDO_SHADER, LVector(1, 0, 0));
  mat->GetDataInstance()->SetBool(MAT_USE_BUMP, true);  // switched on, but no shader
  struct Case {
    LONG type;
    std::vector<LONG> disabled;
  };
  const Case cases[] = {
      {MAT_TYPE_DIFFUSE, {10006, 10007}},
      {MAT_TYPE_OREN_NAYAR, {10006}},
      {MAT_TYPE_PHONG, {10007}},
      {MAT_TYPE_SPECULAR, {10002, 10006, 10007}},
      {MAT_TYPE_GLOSSY_TRANSPARENT, {10002, 10007}},
      {MAT_TYPE_BLEND, {10002, 10003, 10004, 10005, 10006, 10007}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    mat->GetDataInstance()->SetLong(MAT_TYPE, c.type);
    BakeDialog dlg(doc, tag, quad, mat);
    ASSERT_TRUE(dlg.Open(DLG_TYPE_ASYNC, 0));
    for (LONG id = 10002; id <= 10008; ++id) {
      bool off = std::find(c.disabled.begin(), c.disabled.end(), id) != c.disabled.end();
      EXPECT_EQ(dlg.FindGadget(id)->enabled, !off) << id;
    }
    Bool albedo = false, bump = true;
    dlg.GetBool(10002, albedo);
    dlg.GetBool(10004, bump);
    EXPECT_EQ(albedo, c.type != MAT_TYPE_SPECULAR && c.type != MAT_TYPE_GLOSSY_TRANSPARENT &&
                          c.type != MAT_TYPE_BLEND);
    EXPECT_FALSE(bump);
    LONG resX = 0;
    dlg.GetLong(10011, resX);
    EXPECT_EQ(resX, 1024);
  }
}

TEST_F(Bake, NoPathAndCancelledChooser) {
  BakeDialog dlg(doc, tag, quad, mat);
  ASSERT_TRUE(dlg.Open(DLG_TYPE_ASYNC, 0));
  dlg.SetString(10017, "/somewhere/x.png");
  dlg.Command(10018, BaseContainer());  // nothing queued: the chooser is cancelled
  String path;
  dlg.GetString(10017, path);
  EXPECT_EQ(host::ToUtf8(path), "");
  EXPECT_FALSE(dlg.Command(10001, BaseContainer()));
  ASSERT_FALSE(host::user::History().empty());
  EXPECT_EQ(host::user::History().back().text, "You have to specify a file to save to.");
  EXPECT_EQ(quad->GetNext(), nullptr);
  EXPECT_TRUE(host::UndoSteps(doc).empty());
}

TEST_F(Bake, BakesChannelsAndRelinksTheCopy) {
  TempDir dir;
  SetColourShader(MAT_USE_ALBEDO, MAT_ALBEDO_SHADER, LVector(1, 0, 0));
  SetColourShader(MAT_USE_BUMP, MAT_BUMP_SHADER, LVector(0.5, 0.5, 0.5));
  // The emission's image is in the document's "tex" folder, named beside the document as a
  // document file names it: the bake finds it where a render does.
  doc->SetDocumentPath(Filename(String(dir.path())));
  std::filesystem::create_directories(dir / "tex");
  ASSERT_TRUE(WritePngFile(dir / "tex/glow.png", 1, 1, {0, 0, 255}));
  BaseShader* glow = BaseShader::Alloc(Xbitmap);
  glow->GetDataInstance()->SetFilename(BITMAPSHADER_FILENAME, Filename(String(dir / "glow.png")));
  mat->InsertShader(glow);
  mat->GetDataInstance()->SetLink(MAT_EMISSION_SHADER, glow);
  mat->GetDataInstance()->SetBool(MAT_USE_EMISSION, true);
  BaseShader* sourceAlbedo =
      static_cast<BaseShader*>(mat->GetDataInstance()->GetLink(MAT_ALBEDO_SHADER, doc));
  BakeDialog dlg(doc, tag, quad, mat);
  ASSERT_TRUE(Press(dlg, dir / "wood.png", 16, 8));
  ASSERT_TRUE(WaitFor([&] { return !dlg.thread->IsRunning(); }));
  dlg.Timer(BaseContainer());
  EXPECT_FALSE(dlg.IsOpen());
  EXPECT_EQ(dlg.thread, nullptr);

  // The copy is first in the document, with its own material; the source is hidden.
  auto* copy = static_cast<PolygonObject*>(doc->GetFirstObject());
  ASSERT_NE(copy, quad);
  EXPECT_EQ(quad->GetEditorMode(), MODE_OFF);
  EXPECT_EQ(quad->GetRenderMode(), MODE_OFF);
  auto* copyTag = static_cast<TextureTag*>(copy->GetFirstTag());
  BaseMaterial* copyMat = copyTag->GetMaterial();
  ASSERT_NE(copyMat, mat);
  EXPECT_EQ(copyTag->GetData().GetLong(TEXTURETAG_PROJECTION), TEXTURETAG_PROJECTION_UVW);
  ASSERT_NE(copyTag->GetNext(), nullptr);
  EXPECT_EQ(copyTag->GetNext()->GetType(), Tuvw);
  LONG textureTags = 0;
  for (BaseTag* t = copy->GetFirstTag(); t; t = t->GetNext()) textureTags += t->GetType() == Ttexture;
  EXPECT_EQ(textureTags, 1);  // the bake's own tags are gone
  // Only the two materials and the copy remain: the temporary materials were removed.
  EXPECT_EQ(doc->GetFirstMaterial(), copyMat);
  EXPECT_EQ(copyMat->GetNext(), mat);
  EXPECT_EQ(mat->GetNext(), nullptr);
  // The source material keeps its shader.
  EXPECT_EQ(mat->GetDataInstance()->GetLink(MAT_ALBEDO_SHADER, doc), sourceAlbedo);

  struct Expect {
    LONG link;
    std::string file;
    LONG r, g, b;
  };
  for (const Expect& e : {Expect{MAT_ALBEDO_SHADER, "wood_albedo.jpg", 255, 0, 0},
                          Expect{MAT_BUMP_SHADER, "wood_bump.jpg", 128, 128, 128},
                          Expect{MAT_EMISSION_SHADER, "wood_emission.jpg", 0, 0, 255}}) {
    SCOPED_TRACE(e.file);
    auto* sh = static_cast<BaseShader*>(copyMat->GetDataInstance()->GetLink(e.link, doc));
    ASSERT_NE(sh, nullptr);
    EXPECT_EQ(sh->GetType(), Xbitmap);
    EXPECT_EQ(host::ToUtf8(sh->GetDataInstance()->GetFilename(BITMAPSHADER_FILENAME).GetString()),
              dir / e.file);
    BaseBitmap* bm = BaseBitmap::Alloc();
    ASSERT_EQ(bm->Init(Filename(String(dir / e.file))), IMAGERESULT_OK);
    EXPECT_EQ(bm->GetBw(), 16);
    EXPECT_EQ(bm->GetBh(), 8);
    LONG r, g, b;
    bm->GetPixel(8, 4, &r, &g, &b);
    EXPECT_NEAR(r, e.r, 6);
    EXPECT_NEAR(g, e.g, 6);
    EXPECT_NEAR(b, e.b, 6);
    BaseBitmap::Free(bm);
  }
  EXPECT_FALSE(GeFExist(Filename(String(dir / "wood_sigma.jpg"))));

  // One undo step takes the copy away and shows the source again.
  ASSERT_EQ(host::UndoSteps(doc).size(), 1u);
  ASSERT_TRUE(doc->DoUndo());
  EXPECT_EQ(doc->GetFirstObject(), quad);
  EXPECT_EQ(quad->GetNext(), nullptr);
  EXPECT_EQ(doc->GetFirstMaterial(), mat);
  EXPECT_NE(quad->GetEditorMode(), MODE_OFF);
}

// The copy sits at the top of the object list but where the source stands in the world, also when
// the source hangs under a moved and turned parent.
TEST_F(Bake, CopyKeepsTheSourcesWorldPlacement) {
  TempDir dir;
  SetColourShader(MAT_USE_ALBEDO, MAT_ALBEDO_SHADER, LVector(1, 0, 0));
  BaseObject* parent = BaseObject::Alloc(Onull);
  parent->SetMl(LMatrix(LVector(5, -2, 7), LVector(0, 1, 0), LVector(-1, 0, 0), LVector(0, 0, 2)));
  doc->InsertObject(parent, nullptr, nullptr);
  quad->Remove();
  quad->InsertUnder(parent);
  quad->SetMl(LMatrix(LVector(1, 2, 3), LVector(1, 0, 0), LVector(0, 1, 0), LVector(0, 0, 1)));
  BakeDialog dlg(doc, tag, quad, mat);
  ASSERT_TRUE(Press(dlg, dir / "wood.png", 4, 4));
  ASSERT_TRUE(WaitFor([&] { return !dlg.thread->IsRunning(); }));
  dlg.Timer(BaseContainer());
  BaseObject* copy = doc->GetFirstObject();
  ASSERT_NE(copy, parent);
  EXPECT_EQ(copy->GetUp(), nullptr);
  const LMatrix want = quad->GetMg(), got = copy->GetMg();
  for (const auto& pair : {std::make_pair(want.off, got.off), std::make_pair(want.v1, got.v1),
                           std::make_pair(want.v2, got.v2), std::make_pair(want.v3, got.v3)}) {
    EXPECT_DOUBLE_EQ(pair.first.x, pair.second.x);
    EXPECT_DOUBLE_EQ(pair.first.y, pair.second.y);
    EXPECT_DOUBLE_EQ(pair.first.z, pair.second.z);
  }
}

// A channel whose image cannot be saved, or whose texture cannot be found, says why, keeps its
// shader, and leaves what is at the image's name as it was.
TEST_F(Bake, FailedSaveKeepsTheShaderAndSaysWhy) {
  TempDir dir;
  const std::string fifo = dir / "fifo_albedo.jpg", device = dir / "device_albedo.jpg";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const bool haveDevice = mknod(device.c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0;
  // A texture in a folder that cannot be searched: root may search any folder, so as root the bake
  // runs with the file system rights of user nobody (the bake's thread takes them from this one).
  const passwd* nobody = ::geteuid() == 0 ? ::getpwnam("nobody") : nullptr;
  const bool canLock = ::geteuid() != 0 || nobody;
  ASSERT_EQ(::chmod(dir.path().c_str(), 0711), 0);
  ASSERT_TRUE(std::filesystem::create_directory(dir / "locked"));
  std::ofstream(dir / "locked/red.png") << "png";
  ASSERT_EQ(::chmod((dir / "locked").c_str(), 0), 0);
  const struct {
    std::string base, image, why;
    std::string texture = "";    // the albedo is a bitmap of this file (else a colour)
    bool asAnotherUser = false;  // as root, baked with nobody's rights
  } cases[] = {
      {"/nonexistent-folder-for-bake/wood.png", "/nonexistent-folder-for-bake/wood_albedo.jpg",
       "No such file or directory"},
      {dir / "fifo.png", fifo, "not a regular file"},
      {haveDevice ? dir / "device.png" : "", device, "not a regular file"},
      {dir / "a.png", dir / "a_albedo.jpg",
       "the texture gone.png could not be found beside the document or in its tex folder: put it in " +
           dir.path() + " or " + dir / "tex",
       dir / "gone.png"},
      {canLock ? dir / "b.png" : "", dir / "b_albedo.jpg",
       "the texture " + dir / "locked/red.png" + " could not be read: Permission denied",
       dir / "locked/red.png", true},
  };
  SetColourShader(MAT_USE_ALBEDO, MAT_ALBEDO_SHADER, LVector(1, 0, 0));
  const auto itself = [](const std::string& path) {  // what is at `path`, itself
    struct stat st = {};
    return std::make_tuple(::lstat(path.c_str(), &st), st.st_mode, st.st_ino);
  };
  for (const auto& c : cases) {
    if (c.base.empty()) continue;  // device nodes need the right to make them; nobody, to be someone else
    SCOPED_TRACE(c.image);
    const auto before = itself(c.image);
    doc->SetDocumentPath(Filename(String(dir.path())));
    if (!c.texture.empty()) {
      BaseShader* image = BaseShader::Alloc(Xbitmap);
      image->GetDataInstance()->SetFilename(BITMAPSHADER_FILENAME, Filename(String(c.texture)));
      mat->InsertShader(image);
      mat->GetDataInstance()->SetLink(MAT_ALBEDO_SHADER, image);
    }
    BakeDialog dlg(doc, tag, quad, mat);
    const bool asNobody = c.asAnotherUser && nobody;
    if (asNobody) ::setfsuid(nobody->pw_uid);
    const bool pressed = Press(dlg, c.base, 4, 4);
    const bool ended = pressed && WaitFor([&] { return !dlg.thread->IsRunning(); });
    if (asNobody) ::setfsuid(0);
    ASSERT_TRUE(pressed && ended);
    dlg.Timer(BaseContainer());
    BaseMaterial* copyMat = doc->GetFirstMaterial();
    ASSERT_NE(copyMat, mat);
    auto* sh = static_cast<BaseShader*>(copyMat->GetDataInstance()->GetLink(MAT_ALBEDO_SHADER, doc));
    ASSERT_NE(sh, nullptr);
    EXPECT_EQ(sh->GetType(), c.texture.empty() ? LONG{Xcolor} : LONG{Xbitmap});
    const auto lines = Console();
    const std::string why = c.texture.empty() ? c.image + ": " + c.why : c.why;
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], c.texture.empty() ? "Could not save the channel albedo to " + why
                                                         : "Could not bake the channel albedo: " + why + ".");
    EXPECT_EQ(lines.back(), "The channel albedo was not baked (" + why + "); it keeps its shader.");
    EXPECT_EQ(itself(c.image), before);
  }
  ::chmod((dir / "locked").c_str(), 0700);  // so that the folder can be removed
}

// Three bytes a pixel must stay within INT_MAX bytes; the largest size that fits reaches the baker.
TEST_F(Bake, OversizedBakeIsRefused) {
  SetColourShader(MAT_USE_ALBEDO, MAT_ALBEDO_SHADER, LVector(1, 0, 0));
  const LONG sizes[][2] = {{100000, 100000}, {2147483647, 2147483647}, {1, 715827883}, {1, 715827882}};
  for (const auto& size : sizes) {
    const std::string text = std::to_string(size[0]) + " x " + std::to_string(size[1]);
    SCOPED_TRACE(text);
    const bool refused = size[1] != 715827882;
    BakeDialog dlg(doc, tag, quad, mat);
    EXPECT_EQ(Press(dlg, "/tmp/x.png", size[0], size[1]), !refused);
    if (refused) {
      EXPECT_EQ(quad->GetNext(), nullptr);
    } else {
      dlg.thread->Wait();
      dlg.Timer(BaseContainer());
    }
    ASSERT_FALSE(Console().empty());
    EXPECT_EQ(Console().back(),
              refused ? "The bake size " + text + " is too large."
                      : "The channel albedo was not baked (the host cannot bake an image of " + text +
                            " pixels: choose a smaller Res X or Res Y); it keeps its "
                            "shader.");
  }
}

// Pixel border and super sampling reach the baker: a triangle baked from a gradient, whose long edge (u + v =
// 47/64) runs between the pixel centres and the nearest quarter-pixel samples beyond lights more pixels with
// either.
TEST_F(Bake, PixelBorderAndSuperSamplingChangeTheImage) {
  TempDir dir;
  BaseShader* gradient = BaseShader::Alloc(Xgradient);
  gradient->GetDataInstance()->SetVector(GRADIENTSHADER_START, LVector(0.5));
  mat->InsertShader(gradient);
  mat->GetDataInstance()->SetLink(MAT_ALBEDO_SHADER, gradient);
  mat->GetDataInstance()->SetBool(MAT_USE_ALBEDO, true);
  const Real e = 47.0 / 64.0;
  UVWTag* uvw = UVWTag::Alloc(1);
  uvw->SetSlow(0, UVWStruct{LVector(0, 0, 0), LVector(e, 0, 0), LVector(0, e, 0), LVector(0, e, 0)});
  quad->InsertTag(uvw, tag);
  BaseContainer data = tag->GetData();
  data.SetLong(TEXTURETAG_PROJECTION, TEXTURETAG_PROJECTION_UVW);
  tag->SetData(data);
  // border, super sampling, lit pixels: x + y <= 10 (66), <= 12 (91), <= 11 (78)
  const LONG cases[][3] = {{0, 0, 66}, {2, 0, 91}, {0, 1, 78}};
  for (const auto& c : cases) {
    const std::string name = "tri" + std::to_string(c[0]) + std::to_string(c[1]);
    SCOPED_TRACE(name);
    BakeDialog dlg(doc, tag, quad, mat);
    dlg.Open(DLG_TYPE_ASYNC, 0);
    dlg.SetLong(10013, c[0]);
    dlg.SetLong(10020, c[1]);
    ASSERT_TRUE(Press(dlg, dir / (name + ".png"), 16, 16));
    dlg.thread->Wait();
    dlg.Timer(BaseContainer());
    BaseBitmap bm;
    ASSERT_EQ(bm.Init(Filename(String(dir / (name + "_albedo.jpg")))), IMAGERESULT_OK);
    LONG lit = 0, r, g, b;
    for (LONG i = 0; i < 16 * 16; ++i) {
      bm.GetPixel(i % 16, i / 16, &r, &g, &b);
      lit += g > 64;
    }
    EXPECT_EQ(lit, c[2]);
  }
}

// The bake ends before the timer sees it; each way of closing the dialog first takes the bake in.
TEST_F(Bake, ClosingAfterTheBakeEndedKeepsTheBake) {
  TempDir dir;
  SetColourShader(MAT_USE_ALBEDO, MAT_ALBEDO_SHADER, LVector(1, 0, 0));
  for (const std::string how : {"q", "window", "gone"}) {
    SCOPED_TRACE(how);
    auto dlg = std::make_unique<BakeDialog>(doc, tag, quad, mat);
    ASSERT_TRUE(Press(*dlg, dir / (how + ".png"), 4, 4));
    dlg->thread->Wait();
    if (how == "q") {
      BaseContainer msg(BFM_INPUT), result;
      msg.SetLong(BFM_INPUT_DEVICE, BFM_INPUT_KEYBOARD);
      msg.SetString(BFM_INPUT_ASC, String("q"));
      dlg->Message(msg, result);
    } else if (how == "window") {
      EXPECT_FALSE(dlg->AskClose());
      dlg->Close();
    } else {
      dlg.reset();
    }
    EXPECT_TRUE(!dlg || (!dlg->IsOpen() && dlg->thread == nullptr && dlg->baked));
    auto* sh =
        static_cast<BaseShader*>(doc->GetFirstMaterial()->GetDataInstance()->GetLink(MAT_ALBEDO_SHADER, doc));
    ASSERT_NE(sh, nullptr);
    EXPECT_EQ(host::ToUtf8(sh->GetDataInstance()->GetFilename(BITMAPSHADER_FILENAME).GetString()),
              dir / (how + "_albedo.jpg"));
  }
}

TEST_F(Bake, CommandStateAndQuitKeyDuringBake) {
  BakeMaterialOnObject cmd;
  EXPECT_EQ(cmd.GetState(doc), CMD_ENABLED);
  doc->SetActiveTag(nullptr);
  EXPECT_EQ(cmd.GetState(doc), 0);
  EXPECT_FALSE(cmd.Execute(doc));  // the selection is checked again
  doc->SetActiveTag(tag);
  // "q" closes an idle dialog.
  host::user::TypeKeys("q");
  EXPECT_FALSE(cmd.Execute(doc));
  EXPECT_EQ(quad->GetNext(), nullptr);
  // A bake of a channel without a shader bakes nothing.
  mat->GetDataInstance()->SetBool(MAT_USE_ALBEDO, true);
  host::user::SetGadget(10002, "1");
  host::user::SetGadget(10017, "/tmp/none.png");
  host::user::PressButton(10001);
  EXPECT_FALSE(cmd.Execute(doc));
  EXPECT_EQ(Console().back(), "Nothing was baked: no chosen channel has a shader that can be baked.");
}

}  // namespace
