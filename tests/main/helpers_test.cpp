// The host-data helpers: scale, render settings, material names, texture tags, object chains,
// file names, texture paths, timing texts, text conversion, UVW generation and shader baking.
#include "main/helpers.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "host_cache.h"
#include "host_clock.h"
#include "host_document_file.h"
#include "host_prefs.h"
#include "support/host_fixture.h"

namespace {

constexpr LONG kRenderSettings = 1020896;
constexpr LONG kOtherVideoPost = 1099001;
constexpr LONG kAnimationTag = 1022560;
constexpr LONG kConstantShader = 1099002;
constexpr LONG kGradientShader = 1099003;
constexpr LONG kShaderColor = 1;  // the constant shader's colour

struct PlainVideoPost : VideoPostData {
  static NodeData* Alloc() { return new PlainVideoPost; }
};
struct PlainTag : TagData {
  static NodeData* Alloc() { return new PlainTag; }
};

int g_initRenders = 0;  // InitRender calls not yet matched by FreeRender

struct ConstantShader : ShaderData {
  static NodeData* Alloc() { return new ConstantShader; }
  LONG InitRender(BaseShader*, InitRenderStruct*) override {
    ++g_initRenders;
    return INITRENDERRESULT_OK;
  }
  void FreeRender(BaseShader*) override { --g_initRenders; }
  LVector Output(BaseShader* sh, ChannelData*) override {
    return sh->GetDataInstance()->GetVector(kShaderColor);
  }
};

// Red is u, green is v: shows where each pixel was sampled.
struct GradientShader : ShaderData {
  static NodeData* Alloc() { return new GradientShader; }
  LVector Output(BaseShader*, ChannelData* cd) override { return LVector(cd->p.x, cd->p.y, 0.0); }
};

class HelpersTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    ASSERT_TRUE(
        RegisterVideoPostPlugin(kRenderSettings, "Render settings", 0, PlainVideoPost::Alloc, "", 0, 0));
    ASSERT_TRUE(RegisterVideoPostPlugin(kOtherVideoPost, "Other", 0, PlainVideoPost::Alloc, "", 0, 0));
    ASSERT_TRUE(RegisterTagPlugin(kAnimationTag, "Animation", 0, PlainTag::Alloc, "", nullptr, 0));
    ASSERT_TRUE(RegisterShaderPlugin(kConstantShader, "Constant", 0, ConstantShader::Alloc, "", 0));
    ASSERT_TRUE(RegisterShaderPlugin(kGradientShader, "Gradient", 0, GradientShader::Alloc, "", 0));
  }
  void TearDown() override {
    BaseDocument::Free(doc);
    HostTest::TearDown();
  }
  void Load(const std::string& json) {
    std::string error;
    BaseDocument::Free(doc);
    doc = host::LoadDocumentText(json, "test", &error);
    ASSERT_NE(doc, nullptr) << error;
  }
  BaseObject* Object(const char* name) { return doc->SearchObject(String(name)); }
  BaseDocument* doc = nullptr;
};

std::string Utf8(const String& s) { return Helpers::ToUTF8String(s); }

std::string Names(const Helpers::TextureTagList& tags) {
  std::string out;
  for (TextureTag* t : tags) out += Utf8(t->GetName());
  return out;
}

// --- Scale and render settings ---------------------------------------------------

TEST_F(HelpersTest, GlobalScaleFollowsTheSceneUnitOrTheHostUnit) {
  struct Case {
    bool settings;
    LONG unit;      // -1: not stored
    double custom;  // < 0: not stored
    double scale;
  };
  const Case cases[] = {
      {true, -1, -1, 0.01},    {true, 1387, -1, 1000.0}, {true, 1388, -1, 1.0}, {true, 1389, -1, 0.01},
      {true, 1390, -1, 0.001}, {true, 1391, 2.5, 2.5},   {true, 1391, -1, 0.0}, {true, 1392, 7.0, 1.0},
      {false, 1, -1, 1000.0},  {false, 2, -1, 1.0},      {false, 3, -1, 0.01},  {false, 4, -1, 0.001},
      {false, 10, -1, 1.0},    {false, -1, -1, 1.0},
  };
  EXPECT_DOUBLE_EQ(Helpers::GetGlobalScale(nullptr), 0.01);  // the host's default: centimetres
  for (const Case& c : cases) {
    SCOPED_TRACE("unit " + std::to_string(c.unit) + (c.settings ? " in settings" : " in host"));
    BaseContainer settings, world;
    BaseContainer& target = c.settings ? settings : world;
    if (c.unit >= 0) target.SetLong(c.settings ? 1386 : WPREF_UNITS, c.unit);
    if (c.custom >= 0) settings.SetReal(1340, c.custom);
    host::SetWorldContainer(world);
    EXPECT_DOUBLE_EQ(Helpers::GetGlobalScale(c.settings ? &settings : nullptr), c.scale);
  }
}

TEST_F(HelpersTest, RenderSettingsAreTheFirstEnabledVideoPostOfTheirType) {
  EXPECT_EQ(Helpers::GetOrvaneRenderSettingsData(nullptr), nullptr);
  Load(R"({"renderData": {"videoPosts": [{"type": 1099001}]}})");
  EXPECT_EQ(Helpers::GetOrvaneRenderSettingsData(doc), nullptr);
  Load(R"({"renderData": {"videoPosts": [
      {"type": 1099001, "parameters": {"1": 0}},
      {"type": 1020896, "enabled": false, "parameters": {"1": 1}},
      {"type": 1020896, "parameters": {"1": 2}},
      {"type": 1020896, "parameters": {"1": 3}}]}})");
  BaseContainer* rs = Helpers::GetOrvaneRenderSettingsData(doc);
  ASSERT_NE(rs, nullptr);
  EXPECT_EQ(rs->GetLong(1), 2);
}

// --- Materials and texture tags ---------------------------------------------------

TEST_F(HelpersTest, UniqueMaterialNamesCountThePositionInTheDocument) {
  Load(R"({"materials": [{"name": "Wood"}, {"name": "Stone"}, {"name": "Wood"}]})");
  BaseMaterial* first = doc->GetFirstMaterial();
  BaseMaterial* third = first->GetNext()->GetNext();
  EXPECT_EQ(Utf8(Helpers::GetUniqueMaterialName(first, doc)), "Wood_mid0");
  EXPECT_EQ(Utf8(Helpers::GetUniqueMaterialName(third, doc)), "Wood_mid2");
  BaseMaterial* loose = BaseMaterial::Alloc(Mmaterial);
  loose->SetName("Glass");
  EXPECT_EQ(Utf8(Helpers::GetUniqueMaterialName(loose, doc)), "Glass_NID");
  EXPECT_EQ(Utf8(Helpers::GetUniqueMaterialName(third, nullptr)), "Wood_NID");
  EXPECT_EQ(Utf8(Helpers::GetUniqueMaterialName(nullptr, doc)), "");
  BaseMaterial::Free(loose);
}

TEST_F(HelpersTest, LongMaterialNamesAreCutAtACharacterSoTheSuffixFits) {
  // 340 three-byte characters (1,020 bytes) twice, 1,030 ASCII bytes, and a name that fits with
  // its suffix in exactly 1,024 bytes.
  std::string cjk, cjkCut;
  for (int i = 0; i < 340; ++i) cjk += "\xE6\x9C\xA8";  // U+6728
  for (int i = 0; i < 339; ++i) cjkCut += "\xE6\x9C\xA8";
  const std::string exact(1024 - 5, 'b');
  Load(R"({"materials": [{"name": "x"}, {"name": "y"}, {"name": "z"}, {"name": "w"}]})");
  BaseMaterial* m[4];
  m[0] = doc->GetFirstMaterial();
  for (int i = 1; i < 4; ++i) m[i] = m[i - 1]->GetNext();
  m[0]->SetName(String(cjk));
  m[1]->SetName(String(cjk));
  m[2]->SetName(String(std::string(1030, 'a')));
  m[3]->SetName(String(exact));

  // The cut falls before a whole character; equal names stay apart by their positions.
  EXPECT_EQ(Utf8(Helpers::GetUniqueMaterialName(m[0], doc)), cjkCut + "_mid0");
  EXPECT_EQ(Utf8(Helpers::GetUniqueMaterialName(m[1], doc)), cjkCut + "_mid1");
  EXPECT_EQ(Utf8(Helpers::GetUniqueMaterialName(m[2], doc)), std::string(1019, 'a') + "_mid2");
  EXPECT_EQ(Utf8(Helpers::GetUniqueMaterialName(m[3], doc)), exact + "_mid3");
  EXPECT_EQ(Utf8(Helpers::GetUniqueMaterialName(m[2], nullptr)), std::string(1020, 'a') + "_NID");
  // A zero character ends the name, not the suffix.
  m[3]->SetName(String("Wood") + String(1, 0) + String("Stone"));
  EXPECT_EQ(Utf8(Helpers::GetUniqueMaterialName(m[3], doc)), "Wood_mid3");
}

TEST_F(HelpersTest, UsedTextureTagsRunFromTheRightToTheFirstUnrestrictedOne) {
  Load(R"({"objects": [
    {"type": 5140, "name": "three", "tags": [
      {"type": 5616, "name": "A", "parameters": {"1006": "s1"}}, {"type": 5612, "name": "phong"},
      {"type": 5616, "name": "B"}, {"type": 5616, "name": "C", "parameters": {"1006": "s2"}}]},
    {"type": 5140, "name": "restricted", "tags": [
      {"type": 5616, "name": "A", "parameters": {"1006": "s1"}}]},
    {"type": 5140, "name": "parent", "tags": [{"type": 5616, "name": "D"},
      {"type": 5616, "name": "E", "parameters": {"1006": "s"}}],
     "children": [{"type": 5140, "name": "child", "children": [{"type": 5140, "name": "grandchild"}]}]},
    {"type": 5140, "name": "generator", "tags": [{"type": 5616, "name": "F"}]},
    {"type": 5140, "name": "bare"}]})");
  BaseObject* cache = BaseObject::Alloc(Onull);
  BaseObject* inCache = PolygonObject::Alloc(0, 0);
  inCache->InsertUnder(cache);
  host::SetCache(Object("generator"), cache);

  const std::pair<BaseObject*, const char*> cases[] = {{Object("three"), "CB"}, {Object("restricted"), "A"},
                                                       {Object("child"), "E"},  {Object("grandchild"), "E"},
                                                       {inCache, "F"},          {cache, "F"},
                                                       {Object("bare"), ""},    {nullptr, ""}};
  for (const auto& [op, expected] : cases) {
    SCOPED_TRACE(expected);
    EXPECT_EQ(Names(Helpers::GetUsedTextureTags(op)), expected);
  }
}

TEST_F(HelpersTest, TagForASelectionIsTheMatchingRestrictedOneElseTheFirstUnrestricted) {
  Load(R"({"objects": [{"type": 5140, "name": "o", "tags": [
      {"type": 5616, "name": "top", "parameters": {"1006": "top"}},
      {"type": 5616, "name": "all"},
      {"type": 5616, "name": "all2"},
      {"type": 5673, "name": "side"}, {"type": 5673, "name": "top"}]}]})");
  BaseObject* o = Object("o");
  auto tag = [&](int i) { return static_cast<TextureTag*>(Helpers::GetTag(o, i)); };
  Helpers::TextureTagList both = {tag(0), tag(1), tag(2)}, restricted = {tag(0)}, none;
  BaseTag* side = Helpers::GetTag(o, 3);
  BaseTag* top = Helpers::GetTag(o, 4);
  struct Case {
    Helpers::TextureTagList* tags;
    BaseTag* selection;
    const char* expected;
  };
  const Case cases[] = {{&both, side, "all"},       {&both, top, "top"},       {&both, nullptr, "all"},
                        {&restricted, nullptr, ""}, {&restricted, top, "top"}, {&none, top, ""}};
  for (const Case& c : cases) {
    TextureTag* t = Helpers::GetTexTagWithSelection(*c.tags, c.selection);
    EXPECT_EQ(t ? Utf8(t->GetName()) : "", c.expected);
  }
  EXPECT_EQ(Utf8(Helpers::GetSelectionName(tag(0))), "top");
  EXPECT_EQ(Utf8(Helpers::GetSelectionName(nullptr)), "");
}

TEST_F(HelpersTest, TagsByPositionAndTheAnimationTagOfTheNearestAncestor) {
  Load(R"({"objects": [{"type": 5140, "name": "top", "tags": [{"type": 1022560, "name": "anim"}],
    "children": [{"type": 5140, "name": "mid", "children": [
      {"type": 5100, "name": "mesh", "points": [[0,0,0]], "tags": [{"type": 5616, "name": "tex"}]}]}]},
    {"type": 5140, "name": "alone"}]})");
  BaseObject* mesh = Object("mesh");
  EXPECT_EQ(Helpers::GetTagCount(mesh), 3);  // points, polygons, texture
  EXPECT_EQ(Helpers::GetTagCount(Object("alone")), 0);
  EXPECT_EQ(Helpers::GetTagCount(nullptr), -1);
  EXPECT_EQ(Helpers::GetTag(mesh, 0)->GetType(), Tpoint);
  EXPECT_EQ(Helpers::GetTag(mesh, 2)->GetType(), Ttexture);
  EXPECT_EQ(Helpers::GetTag(mesh, 3), nullptr);
  EXPECT_EQ(Helpers::GetTag(nullptr, 0), nullptr);
  ASSERT_NE(Helpers::GetAniTag(mesh), nullptr);
  EXPECT_EQ(Utf8(Helpers::GetAniTag(mesh)->GetName()), "anim");
  EXPECT_EQ(Helpers::GetAniTag(Object("alone")), nullptr);
}

// --- Object chains -----------------------------------------------------------------

TEST_F(HelpersTest, LinkedParentsFollowParentsAndGenerators) {
  Load(R"({"objects": [{"type": 5140, "name": "a", "children": [{"type": 5140, "name": "b"}]},
    {"type": 5140, "name": "c"}]})");
  BaseObject* cache = BaseObject::Alloc(Onull);
  host::SetCache(Object("b"), cache);
  EXPECT_TRUE(Helpers::IsLinkedParent(Object("b"), Object("b")));
  EXPECT_TRUE(Helpers::IsLinkedParent(Object("b"), Object("a")));
  EXPECT_TRUE(Helpers::IsLinkedParent(cache, Object("a")));
  EXPECT_FALSE(Helpers::IsLinkedParent(Object("a"), Object("b")));
  EXPECT_FALSE(Helpers::IsLinkedParent(Object("b"), Object("c")));
  EXPECT_FALSE(Helpers::IsLinkedParent(nullptr, nullptr));
}

TEST_F(HelpersTest, RenderModeIsDecidedByTheTopMostObjectThatSetsOne) {
  // Modes of object, parent, grand-parent; true means hidden from the render.
  const struct {
    LONG modes[3];
    bool hidden;
  } cases[] = {{{2, 2, 2}, false}, {{1, 2, 2}, true},  {{0, 1, 2}, true},
               {{1, 0, 2}, false}, {{1, 2, 0}, false}, {{0, 2, 1}, true}};
  for (const auto& c : cases) {
    BaseObject* top = BaseObject::Alloc(Onull);
    BaseObject* mid = BaseObject::Alloc(Onull);
    BaseObject* op = BaseObject::Alloc(Onull);
    mid->InsertUnder(top);
    op->InsertUnder(mid);
    op->SetRenderMode(c.modes[0]);
    mid->SetRenderMode(c.modes[1]);
    top->SetRenderMode(c.modes[2]);
    EXPECT_EQ(Helpers::GetObjectRenderMode(op), c.hidden) << c.modes[0] << c.modes[1] << c.modes[2];
    BaseObject::Free(top);
  }
  EXPECT_FALSE(Helpers::GetObjectRenderMode(nullptr));
}

TEST_F(HelpersTest, ScalesMultiplyUpTheParentsAndTheTransposeSwapsTheAxes) {
  BaseObject* parent = BaseObject::Alloc(Onull);
  BaseObject* child = BaseObject::Alloc(Onull);
  child->InsertUnder(parent);
  parent->SetMl(LMatrix(LVector(5, 0, 0), LVector(2, 0, 0), LVector(0, 1, 0), LVector(0, 0, 0.5)));
  child->SetMl(LMatrix(LVector(), LVector(0, 3, 0), LVector(-1, 0, 0), LVector(0, 0, 4)));
  EXPECT_EQ(Helpers::GetObjectScale(child), LVector(6, 1, 2));
  EXPECT_EQ(Helpers::GetObjectScale(nullptr), LVector());
  BaseObject::Free(parent);

  const LMatrix m(LVector(1, 2, 3), LVector(4, 5, 6), LVector(7, 8, 9), LVector(10, 11, 12));
  EXPECT_EQ(Helpers::GetTranspose(m),
            LMatrix(LVector(1, 2, 3), LVector(4, 7, 10), LVector(5, 8, 11), LVector(6, 9, 12)));
}

// --- File names ----------------------------------------------------------------------

TEST_F(HelpersTest, AbsoluteFileNames) {
  const struct {
    const char* dir;
    const char* rel;
    const char* result;
  } cases[] = {
      {"/a/b/c", "../x", "/a/b/x"},
      {"/a/b/c", "../../x", "/a/x"},
      {"/a/b/c", "x", "/a/b/c/x"},
      {"/a/b/c", "..\\..\\x\\y.png", "/a/x/y.png"},
      // A trailing "/" names the same directory; no doubled "/".
      {"/a/b/", "../x", "/a/b/x"},
      {"/a/b/", "../../x", "/a/x"},
      {"/a/b/", "x", "/a/b/x"},
      // ".." only where it stands, "." drops out.
      {"/a/b/c", "y/../z", "/a/b/c/z"},
      {"/a/b/c", "./x/./y", "/a/b/c/x/y"},
      // More ".." than levels: the root stays the root, as for the operating system.
      {"/a", "../../../x", "/x"},
      {"/", "../x", "/x"},
      {"C:/a", "../../x", "C:/x"},
      // A relative directory keeps the ".." that lead above it.
      {"a/b", "../../../x", "../x"},
      {"", "x/y", "x/y"},
      {"/a/b", "/etc/x", "/etc/x"},
      {"/a/b", "", "/a/b"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Helpers::GetAbsoluteFilename(c.dir, c.rel), c.result) << c.dir << " + " << c.rel;
  const std::string longName(3000, 'x');  // nothing is cut
  EXPECT_EQ(Helpers::GetAbsoluteFilename("/a/" + longName, "../" + longName + "/y"), "/a/" + longName + "/y");
}

TEST_F(HelpersTest, RelativeFileNames) {
  const struct {
    std::string dir;
    std::string file;
    std::string result;
  } cases[] = {
      {"/Users/me/scene", "/Users/me/scene/tex/a.png", "tex/a.png"},
      {"/Users/me/scene", "/Users/me/maps/a.png", "../maps/a.png"},
      {"/Users/me/scene", "D:/a.png", "D:/a.png"},
      {"abc", "/Users/me/a.png", ""},
      {"/Users/me", "abc", ""},
      // The second and third characters count like all others.
      {"/Us/me", "/Xy/me/a.png", "../../Xy/me/a.png"},
      // A difference right at a "/" keeps every level.
      {"/a/b/c", "/a/bx/y", "../../bx/y"},
      {"/a/bc", "/a/b/x", "../b/x"},
      {"/a/b/c/", "/a/b/x", "../x"},
      {"/a/b//c", "/a/b/c/d", "d"},
      {"/a/b/c", "/a/b/c", "."},
      {"/a/b/c/d", "/a/b", "../.."},
      {"/a/b/c", "/a/b/../b/x", "../x"},
      {"C:/dir", "C:/other/a.png", "../other/a.png"},
      {"/abs/dir", "/xyz", "../../xyz"},
      {"/long/" + std::string(3000, 'd'), "/long/x", "../x"},
      // Above a relative directory there is no way back down.
      {"../up/dir", "../other", "../../other"},
      {"x/../../d", "x/y", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.dir.substr(0, 40) + " -> " + c.file);
    EXPECT_EQ(Helpers::GetRelativeFilename(c.dir, c.file), c.result);
  }
  const std::string longFile = "/long/" + std::string(3000, 'f');
  EXPECT_EQ(Helpers::GetRelativeFilename("/long/dir", longFile), "../" + longFile.substr(6));
}

TEST_F(HelpersTest, TexturePathsAreFoundBesideTheDocumentAndInItsTexFolder) {
  TempDir dir;
  namespace fs = std::filesystem;
  fs::create_directories(dir / "doc/tex");
  std::ofstream(dir / "doc/a.png") << "a";
  std::ofstream(dir / "doc/tex/b.png") << "b";
  std::ofstream(dir / "elsewhere.png") << "c";
  const Filename docPath((dir / "doc").c_str());
  // A texture that cannot be found keeps its name.
  const struct {
    std::string texture;
    std::string expected;
    bool found;
  } cases[] = {
      {"C:\\maps\\a.png", "C:\\maps\\a.png", true},
      {dir / "elsewhere.png", dir / "elsewhere.png", true},
      {"a.png", dir / "doc/a.png", true},
      {"b.png", dir / "doc/tex/b.png", true},
      {"/gone/b.png", dir / "doc/tex/b.png", true},
      {"missing.png", "missing.png", false},
      {"/gone/missing.png", "/gone/missing.png", false},
      {"", "", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.texture);
    bool found = !c.found;
    EXPECT_EQ(Utf8(Helpers::GetTexturePath(Filename(c.texture.c_str()), docPath, &found).GetString()),
              c.expected);
    EXPECT_EQ(found, c.found);
  }

  // Bitmap shaders anywhere in a shader tree are resolved; an unknown file keeps its name.
  BaseDocument* d = BaseDocument::Alloc();
  d->SetDocumentPath(docPath);
  BaseShader* first = BaseShader::Alloc(Xbitmap);
  BaseShader* group = BaseShader::Alloc(kConstantShader);
  BaseShader* inner = BaseShader::Alloc(Xbitmap);
  BaseShader* lost = BaseShader::Alloc(Xbitmap);
  group->InsertAfter(first);
  inner->InsertUnder(group);
  lost->InsertAfter(inner);
  first->GetDataInstance()->SetFilename(BITMAPSHADER_FILENAME, Filename("a.png"));
  inner->GetDataInstance()->SetFilename(BITMAPSHADER_FILENAME, Filename("b.png"));
  lost->GetDataInstance()->SetFilename(BITMAPSHADER_FILENAME, Filename("lost.png"));
  Helpers::FixTexturePaths(first, d);
  auto file = [](BaseShader* s) {
    return Utf8(s->GetDataInstance()->GetFilename(BITMAPSHADER_FILENAME).GetString());
  };
  EXPECT_EQ(file(first), dir / "doc/a.png");
  EXPECT_EQ(file(inner), dir / "doc/tex/b.png");
  EXPECT_EQ(file(lost), "lost.png");
  BaseShader::Free(group);
  BaseShader::Free(first);
  BaseDocument::Free(d);
}

// --- Timing and text -----------------------------------------------------------------

TEST_F(HelpersTest, ElapsedTimeTexts) {
  const struct {
    ULONG start;
    double now;
    int format;
    const char* text;
  } cases[] = {
      {0, 1234, 1, "1.234 s"},        {0, 75500, 0, "1 m, 15.500 s"},
      {0, 59999, 0, "0 m, 59.999 s"}, {0, 60000, 0, "1 m, 0.000 s"},
      {0, 0, 0, "0 m, 0.000 s"},      {0, 75500, 1, "75.500 s"},
      {0, 5, 7, "0.005 s"},           {0, 7265432, 0, "121 m, 5.432 s"},
      {1000, 3005, 1, "2.005 s"},     {4294967000u, 1000, 1, "1.296 s"},  // the timer wrapped
  };
  for (const auto& c : cases) {
    host::ManualClock clock;
    host::SetClock(&clock);
    clock.Advance(c.now);
    Helpers::StopTime t;
    t.start = c.start;
    EXPECT_EQ(Utf8(t.GetElapsed(c.format)), c.text);
    host::SetClock(nullptr);
  }
  host::ManualClock clock;
  host::SetClock(&clock);
  clock.Advance(12345);
  Helpers::StopTime t;
  t.Start();
  clock.Advance(1500);
  EXPECT_EQ(Utf8(t.GetElapsed(Helpers::StopTime::kSeconds)), "1.500 s");
}

TEST_F(HelpersTest, TextConversions) {
  EXPECT_EQ(Helpers::ToUTF8String(String("Gr\xC3\xBC\xC3\x9F\x65 \xE2\x82\xAC")),
            "Gr\xC3\xBC\xC3\x9F\x65 \xE2\x82\xAC");
  String withZero;
  withZero.SetCString("ab\0cd", 5, STRINGENCODING_UTF8);
  EXPECT_EQ(Helpers::ToUTF8String(withZero), "ab");
  EXPECT_EQ(Utf8(Helpers::ConvertString(String(" a b  \xC3\xA9 "))), "_a_b__\xC3\xA9_");
  std::string longText;
  for (int i = 0; i < 800; ++i) longText += "ab ";
  std::string longExpected = longText;
  std::replace(longExpected.begin(), longExpected.end(), ' ', '_');
  EXPECT_EQ(Utf8(Helpers::ConvertString(String(longText))), longExpected);  // nothing cut
  EXPECT_EQ(Helpers::StringToLong(String(" -42")), -42);
  EXPECT_EQ(Helpers::StringToLong(String("x")), 0);
  EXPECT_DOUBLE_EQ(Helpers::StringToReal(String("2.5")), 2.5);
  EXPECT_EQ(Utf8(Helpers::ULongToString(4294967295u)), "4294967295");
  EXPECT_EQ(Utf8(Helpers::GetWritePath().GetString()), "");
  host::SetStartupWritePath("/prefs");
  EXPECT_EQ(Utf8(Helpers::GetWritePath().GetString()), "/prefs");
}

TEST_F(HelpersTest, WrittenStringsReadBackByteForByte) {
  TempDir dir;
  const std::string path = dir / "out.bin";
  std::string longText(5000, 'x');
  BaseFile* file = BaseFile::Alloc();
  ASSERT_TRUE(file->Open(Filename(path.c_str()), FILEOPEN_WRITE));
  EXPECT_TRUE(Helpers::WriteString(String("Gr\xC3\xBC\xC3\x9F\x65|"), file));
  EXPECT_TRUE(Helpers::WriteString(String(longText), file));
  EXPECT_TRUE(Helpers::WriteCString(std::string("|\xFF\x00|", 4), file));
  EXPECT_TRUE(Helpers::WriteCString("", file));
  EXPECT_TRUE(file->Close());
  BaseFile::Free(file);
  EXPECT_FALSE(Helpers::WriteString(String("x"), nullptr));
  EXPECT_FALSE(Helpers::WriteCString("x", nullptr));

  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  EXPECT_EQ(content.str(), "Gr\xC3\xBC\xC3\x9F\x65|" + longText + std::string("|\xFF\x00|", 4));
}

// --- UVW generation and baking -----------------------------------------------------------

TEST_F(HelpersTest, GeneratedUvwOfAFlatProjectionLeavesTagAndDocumentAlone) {
  // The tag sits on a parent moved by (100, 0, 0) with a 200 x 200 placement; the quad below it
  // spans the placement's left half.
  Load(R"({"materials": [{"name": "M"}], "objects": [
    {"type": 5140, "name": "carrier", "position": [100, 0, 0],
     "tags": [{"type": 5616, "name": "T", "parameters": {"1004": 2, "1010": {"material": "M"},
       "1100": {"matrix": {"off": [0, 0, 0], "v1": [100, 0, 0], "v2": [0, 100, 0], "v3": [0, 0, 100]}}}}],
     "children": [{"type": 5100, "name": "quad", "position": [-50, 0, 0],
       "points": [[-50, -100, 0], [-50, 100, 0], [50, 100, 0], [50, -100, 0]], "polygons": [[0, 1, 2, 3]]}]}]})");
  TextureTag* tag = static_cast<TextureTag*>(Object("carrier")->GetTag(Ttexture));
  const BaseContainer before = tag->GetData();
  UVWTag* uvw = Helpers::GenerateUVWTag(doc, tag, static_cast<PolygonObject*>(Object("quad")));
  ASSERT_NE(uvw, nullptr);
  ASSERT_EQ(uvw->GetDataCount(), 1);
  const UVWStruct s = uvw->GetSlow(0);
  const LVector got[4] = {s.a, s.b, s.c, s.d};
  const LVector want[4] = {{0.0, 1.0, 0.0}, {0.0, 0.0, 0.0}, {0.5, 0.0, 0.0}, {0.5, 1.0, 0.0}};
  for (int k = 0; k < 4; ++k) {
    EXPECT_NEAR(got[k].x, want[k].x, 1e-12) << "corner " << k;
    EXPECT_NEAR(got[k].y, want[k].y, 1e-12) << "corner " << k;
    EXPECT_EQ(got[k].z, 0.0);
  }
  EXPECT_EQ(uvw->GetObject(), nullptr);
  BaseTag* free = uvw;
  BaseTag::Free(free);

  EXPECT_TRUE(tag->GetData() == before);
  EXPECT_EQ(tag->GetMaterial(), doc->SearchMaterial("M"));
  EXPECT_EQ(doc->GetFirstMaterial()->GetNext(), nullptr);
  EXPECT_EQ(Helpers::GetTagCount(Object("carrier")), 1);
  EXPECT_EQ(Helpers::GenerateUVWTag(doc, nullptr, static_cast<PolygonObject*>(Object("quad"))), nullptr);
}

TEST_F(HelpersTest, BakingFillsEveryPixelFromItsCentre) {
  BaseShader* constant = BaseShader::Alloc(kConstantShader);
  constant->GetDataInstance()->SetVector(kShaderColor, LVector(0.25, 0.5, 1.0));
  MultipassBitmap* bm = MultipassBitmap::Alloc(4, 4);
  Helpers::BakeShaderToBitmap(bm, constant, nullptr);
  EXPECT_EQ(g_initRenders, 0);
  for (LONG y = 0; y < 4; ++y) {
    for (LONG x = 0; x < 4; ++x) {
      LONG r, g, b;
      bm->GetPixel(x, y, &r, &g, &b);
      EXPECT_EQ(r, 64);
      EXPECT_EQ(g, 128);
      EXPECT_EQ(b, 255);
    }
  }
  EXPECT_EQ(constant->GetUp(), nullptr);  // the shader itself stays where it was
  BaseShader::Free(constant);
  MultipassBitmap::Free(bm);

  // u grows to the right, v downwards; each pixel is sampled at its centre.
  BaseShader* gradient = BaseShader::Alloc(kGradientShader);
  bm = MultipassBitmap::Alloc(4, 2);
  Helpers::BakeShaderToBitmap(bm, gradient, nullptr);
  const LONG red[4] = {32, 96, 159, 223}, green[2] = {64, 191};
  for (LONG y = 0; y < 2; ++y) {
    for (LONG x = 0; x < 4; ++x) {
      LONG r, g, b;
      bm->GetPixel(x, y, &r, &g, &b);
      EXPECT_EQ(r, red[x]) << x << "," << y;
      EXPECT_EQ(g, green[y]) << x << "," << y;
    }
  }
  Helpers::BakeShaderToBitmap(nullptr, gradient, nullptr);
  Helpers::BakeShaderToBitmap(bm, nullptr, nullptr);
  BaseShader::Free(gradient);
  MultipassBitmap::Free(bm);
}

}  // namespace
