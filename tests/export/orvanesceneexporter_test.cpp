// The scene exporter: traversal and visibility, instances, file names, the scene's frame, its
// comments, metadata and light-layer names.
#include <gtest/gtest.h>

#include <tinyxml.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "export/orvanesceneexporter.h"
#include "host_cache.h"
#include "host_clock.h"
#include "host_document_file.h"
#include "main/main.h"
#include "orvane_utils/OrvaneXMLText.h"
#include "support/host_fixture.h"

namespace {

constexpr LONG kHiddenOwnGeometryType = 1011146;
constexpr LONG kAreaLightGeneratorType = 1059990;

BaseDocument* Load(const std::string& json) {
  std::string error;
  BaseDocument* doc = host::LoadDocumentText(json, "test document", &error);
  EXPECT_NE(doc, nullptr) << error;
  return doc;
}

// An object type whose instances are plain objects.
class PlainObjectData : public ObjectData {
 public:
  static NodeData* Alloc() { return new PlainObjectData; }
};

// A generator whose cache is an area light shaped by the document's object "Shape".
class AreaLightGenerator : public ObjectData {
 public:
  static NodeData* Alloc() { return new AreaLightGenerator; }
  BaseObject* GetVirtualObjects(BaseObject* op, HierarchyHelp* hh) override {
    BaseObject* light = BaseObject::Alloc(Olight);
    light->SetName("Generated");
    BaseContainer* bc = light->GetDataInstance();
    bc->SetLong(90002, 8);
    bc->SetLong(100015, 6);
    bc->SetLink(100014, hh->GetDocument()->SearchObject("Shape"));
    (void)op;
    return light;
  }
};

class ExporterTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    ASSERT_TRUE(PluginStart());
    host::ClearConsole();
    ASSERT_TRUE(
        RegisterObjectPlugin(kHiddenOwnGeometryType, "Hidden", 0, PlainObjectData::Alloc, "", nullptr, 0));
    ASSERT_TRUE(RegisterObjectPlugin(kAreaLightGeneratorType, "Generator", OBJECT_GENERATOR,
                                     AreaLightGenerator::Alloc, "", nullptr, 0));
    host::SetDateTimeSource([] {
      LocalFileTime t;
      t.year = 2026, t.month = 12, t.day = 6, t.hour = 9, t.minute = 5, t.second = 7;
      return t;
    });
  }
  void TearDown() override {
    BaseDocument::Free(doc);
    PluginEnd();
    HostTest::TearDown();
  }

  // The names of the area-light shapes that pass 0 gathers from the whole document, once the
  // document is evaluated and `afterEvaluation` has run.
  std::vector<std::string> GatheredShapes(void (*afterEvaluation)(BaseDocument*) = nullptr) {
    exporter.initOVS(doc, nullptr, Filename(String(dir / "scene.ovs")), 0, 0, 0, 0, 0);
    exporter.initVariables();
    exporter.pass = 0;
    doc->ExecutePasses(nullptr, TRUE, TRUE, TRUE, 0);
    if (afterEvaluation) afterEvaluation(doc);
    exporter.TraverseHierarchy(doc->GetFirstObject(), LMatrix(), 0, 1);
    std::vector<std::string> names;
    for (LONG i = 0; i < exporter.areaLightShapes->GetCount(); ++i)
      names.push_back(
          host::ToUtf8(static_cast<BaseList2D*>(exporter.areaLightShapes->GetIndex(i))->GetName()));
    return names;
  }

  // Exports the document to dir/scene.ovs and loads the file back.
  void ExportAndLoad(TiXmlDocument* xml) {
    exporter.initOVS(doc, nullptr, Filename(String(dir / "scene.ovs")), 0, 0, 0, 0, 3);
    ASSERT_EQ(exporter.exportOVSWithCacheRebuild(), 1);
    ASSERT_TRUE(xml->LoadFile((dir / "scene.ovs").c_str())) << xml->ErrorDesc();
  }

  TempDir dir;
  BaseDocument* doc = nullptr;
  OrvaneSceneExporter exporter;
};

// An area light "name" shaped by the polygon object "shape", with extra JSON fields.
std::string AreaLight(const std::string& name, const std::string& shape, const std::string& extra = "") {
  return R"({"type": 5102, "name": ")" + name + R"(", )" + extra +
         R"("parameters": {"90002": 8, "100015": 6, "100014": {"link": ")" + shape + R"("}}})";
}

std::string Shape(const std::string& name) { return R"({"type": 5100, "name": ")" + name + R"("})"; }

TEST_F(ExporterTest, VisibilityFollowsRenderModesLayersAndControlBits) {
  struct Case {
    const char* what;
    std::string objects;
    void (*prepare)(BaseDocument*);
    std::vector<std::string> expected;
  } cases[] = {
      {"plain light", AreaLight("L", "S"), nullptr, {"S"}},
      {"light switched off keeps no shape", AreaLight("L", "S", R"("enabled": false, )"), nullptr, {}},
      {"render mode off",
       AreaLight("L", "S"),
       [](BaseDocument* d) { d->SearchObject("L")->SetRenderMode(1); },
       {}},
      {"child on under parent off",
       R"({"type": 5140, "name": "P", "children": [)" + AreaLight("L", "S") + "]}",
       [](BaseDocument* d) {
         d->SearchObject("P")->SetRenderMode(1);
         d->SearchObject("L")->SetRenderMode(0);
       },
       {"S"}},
      {"child undefined under parent off",
       R"({"type": 5140, "name": "P", "children": [)" + AreaLight("L", "S") + "]}",
       [](BaseDocument* d) { d->SearchObject("P")->SetRenderMode(1); },
       {}},
      {"layer not rendered, child visible",
       AreaLight("L", "S", R"("layer": "Off", "children": [)" + AreaLight("C", "T") + "], "),
       nullptr,
       {"T"}},
      {"layer rendered", AreaLight("L", "S", R"("layer": "On", )"), nullptr, {"S"}},
      {"type without own geometry keeps its children",
       R"({"type": 1011146, "name": "H", "children": [)" + AreaLight("L", "S") + "]}",
       nullptr,
       {"S"}},
      {"control object",
       AreaLight("L", "S"),
       [](BaseDocument* d) { d->SearchObject("L")->SetBit(BIT_CONTROLOBJECT); },
       {}},
      {"cache of a generator", R"({"type": 1059990, "name": "G"})", nullptr, {"Shape"}},
      {"cache of a generator on a layer not rendered",
       R"({"type": 1059990, "name": "G", "layer": "Off"})",
       nullptr,
       {}},
      {"cache of a generator switched off",
       R"({"type": 1059990, "name": "G"})",
       [](BaseDocument* d) { d->SearchObject("G")->SetRenderMode(1); },
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BaseDocument::Free(doc);
    doc = Load(R"({"layers": [{"name": "Off", "render": false}, {"name": "On"}], "objects": [)" + c.objects +
               ", " + Shape("S") + ", " + Shape("T") + ", " + Shape("Shape") + "]}");
    ASSERT_NE(doc, nullptr);
    if (c.prepare) c.prepare(doc);
    EXPECT_EQ(GatheredShapes(), c.expected);
  }
}

TEST_F(ExporterTest, SphereGoesThroughItsDeformedCacheOnly) {
  doc = Load(R"({"objects": [{"type": 5160, "name": "Ball"}, )" + Shape("S") + "]}");
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(GatheredShapes(), std::vector<std::string>{});

  // A deformed sphere is its deformed mesh (the deform cache of its cache); here the deformer
  // made an area light of it.
  EXPECT_EQ(GatheredShapes([](BaseDocument* d) {
              BaseObject* deformed = BaseObject::Alloc(Olight);
              deformed->GetDataInstance()->SetLong(90002, 8);
              deformed->GetDataInstance()->SetLong(100015, 6);
              deformed->GetDataInstance()->SetLink(100014, d->SearchObject("S"));
              host::SetDeformCache(d->SearchObject("Ball")->GetCache(), deformed);
            }),
            std::vector<std::string>{"S"});
}

TEST_F(ExporterTest, InstancesThatLeadBackAreNotFollowedAgain) {
  struct Case {
    const char* what;
    std::string objects;
    size_t warnings;
  } cases[] = {
      {"two instances linking each other",
       R"({"type": 5126, "name": "A", "parameters": {"1001": {"link": "B"}, "1002": true}},
          {"type": 5126, "name": "B", "parameters": {"1001": {"link": "A"}, "1002": true}})",
       2},
      {"three in a ring",
       R"({"type": 5126, "name": "A", "parameters": {"1001": {"link": "B"}, "1002": true}},
          {"type": 5126, "name": "B", "parameters": {"1001": {"link": "C"}, "1002": true}},
          {"type": 5126, "name": "C", "parameters": {"1001": {"link": "A"}, "1002": true}})",
       3},
      {"instance of its own parent (no warning: never followed)",
       R"({"type": 5140, "name": "P", "children": [
            {"type": 5126, "name": "A", "parameters": {"1001": {"link": "P"}, "1002": true}}]})",
       0},
      {"chain without a cycle",
       R"({"type": 5126, "name": "A", "parameters": {"1001": {"link": "B"}, "1002": true}},
          {"type": 5126, "name": "B", "parameters": {"1001": {"link": "M"}, "1002": true}},
          {"type": 5100, "name": "M"})",
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BaseDocument::Free(doc);
    host::ClearConsole();
    doc = Load(std::string(R"({"objects": [)") + c.objects + "]}");
    ASSERT_NE(doc, nullptr);
    exporter.initOVS(doc, nullptr, Filename(String(dir / "scene.ovs")), 0, 0, 0, 0, 0);
    exporter.initVariables();
    exporter.pass = 1;
    exporter.TraverseHierarchy(doc->GetFirstObject(), LMatrix(), 0, 1);
    size_t warnings = 0;
    for (const std::string& line : Console())
      if (line.find("leads back to itself") != std::string::npos) ++warnings;
    EXPECT_EQ(warnings, c.warnings);
  }
}

TEST_F(ExporterTest, FileNamesAndFoldersFollowTheScenePath) {
  struct Case {
    std::string scene;
    int animation, frame;
    std::string base, file, sceneDir, models, textures;
  } cases[] = {
      {"/w/quickrender/quickrender.ovs", 0, 7, "quickrender", "quickrender.ovs", "/w/quickrender",
       "/w/quickrender/models.quickrender", "/w/quickrender/textures.quickrender"},
      {"/w/quickrender/quickrender.ovs", 1, 12, "quickrender", "quickrender_frame000012.ovs",
       "/w/quickrender", "/w/quickrender/models.quickrender", "/w/quickrender/textures.quickrender"},
      {"/a/b/shot.v2.ovs", 1, 1234567, "shot.v2", "shot.v2_frame1234567.ovs", "/a/b", "/a/b/models.shot.v2",
       "/a/b/textures.shot.v2"},
  };
  doc = BaseDocument::Alloc();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    exporter.initOVS(doc, nullptr, Filename(String(c.scene)), 1, 1, 1, c.animation, c.frame);
    exporter.initVariables();
    EXPECT_EQ(host::ToUtf8(exporter.baseName), c.base);
    EXPECT_EQ(host::ToUtf8(exporter.fileName), c.file);
    EXPECT_EQ(host::ToUtf8(exporter.sceneData->sceneDir.GetString()), c.sceneDir);
    EXPECT_EQ(host::ToUtf8(exporter.sceneData->modelsDir.GetString()), c.models);
    EXPECT_EQ(host::ToUtf8(exporter.sceneData->texturesDir.GetString()), c.textures);
    EXPECT_EQ(exporter.sceneData->frame, c.frame);
    EXPECT_EQ(exporter.sceneData->document, doc);
  }
}

TEST_F(ExporterTest, SceneHasItsHeadInOrderAndIsWellFormed) {
  doc = Load(R"({"objects": [{"type": 5140, "name": "Group"}]})");
  ASSERT_NE(doc, nullptr);
  TiXmlDocument xml;
  ExportAndLoad(&xml);

  TiXmlElement* scene = xml.RootElement();
  ASSERT_NE(scene, nullptr);
  EXPECT_STREQ(scene->Value(), "scene");
  EXPECT_EQ(xml.FirstChild(), scene) << "no declaration before the root";
  std::vector<std::string> top;
  for (TiXmlNode* n = scene->FirstChild(); n; n = n->NextSibling())
    top.push_back(n->ToComment() ? std::string("<!--") + n->Value() + "-->" : std::string(n->Value()));
  ASSERT_EQ(top.size(), 10u);
  EXPECT_EQ(top[0], "<!--Generated by Corvane 2.6.1-->");
  EXPECT_EQ(top[1], "<!--Using TinyXml-->");
  EXPECT_EQ(top[2].substr(0, 4), "<!--");
  EXPECT_EQ(top[3], "metadata");
  EXPECT_EQ(top[4], "camera");
  EXPECT_EQ(top[5], "background") << "without render settings";
  EXPECT_EQ(top[6], "tonemapping");
  EXPECT_EQ(top[7], "renderer_settings");
  EXPECT_EQ(top[8], "material") << "defaultMat";
  EXPECT_EQ(top[9], "material") << "nullMat";

  TiXmlElement* meta = scene->FirstChildElement("metadata");
  const char* names[] = {"exporter", "platform", "created_date"};
  const char* texts[] = {"Corvane 2.6.1", sizeof(void*) == 8 ? "Mac OSX 64-Bit" : "Mac OSX 32-Bit",
                         "9:5:7, 6.12.2026"};
  TiXmlElement* e = meta->FirstChildElement();
  for (int i = 0; i < 3; ++i, e = e->NextSiblingElement()) {
    ASSERT_NE(e, nullptr);
    EXPECT_STREQ(e->Value(), names[i]);
    EXPECT_STREQ(e->GetText(), texts[i]);
  }
  EXPECT_EQ(e, nullptr);

  // The console frames the export and the exporter holds nothing afterwards.
  std::vector<std::string> console = Console();
  ASSERT_GE(console.size(), 2u);
  EXPECT_EQ(console.front(), kBannerRule);
  EXPECT_EQ(console[1], "Starting export...");
  EXPECT_EQ(console.back(), kBannerRule);
  bool saved = false;
  for (const std::string& line : console) {
    if (line == "Saved scene to: " + dir / "scene.ovs") saved = true;
    if (line.rfind("Processing time: ", 0) == 0) {
      EXPECT_NE(line.find(" m, "), std::string::npos) << line;
    }
    if (line.rfind("Saving time: ", 0) == 0) {
      EXPECT_EQ(line.find(" m, "), std::string::npos) << line;
    }
  }
  EXPECT_TRUE(saved);
  EXPECT_EQ(exporter.sceneData, nullptr);
  EXPECT_EQ(exporter.areaLightShapes, nullptr);
  EXPECT_EQ(exporter.xmlDocument.FirstChild(), nullptr);
  // A second run without new scene data writes nothing.
  EXPECT_EQ(exporter.exportOVS(), 0);
  EXPECT_EQ(exporter.exportOVSWithCacheRebuild(), 0);
}

TEST_F(ExporterTest, EmptyDocumentStillGetsItsScene) {
  doc = BaseDocument::Alloc();
  // Scene data left over from an export that never ran is freed, not leaked.
  exporter.initOVS(doc, nullptr, Filename(String(dir / "old.ovs")), 0, 0, 0, 0, 0);
  TiXmlDocument xml;
  ExportAndLoad(&xml);
  ASSERT_NE(xml.RootElement(), nullptr);
  EXPECT_NE(xml.RootElement()->FirstChildElement("renderer_settings"), nullptr);
}

TEST_F(ExporterTest, FailedSaveIsReportedAsSuch) {
  doc = BaseDocument::Alloc();
  const std::string missing = dir / "missing";
  exporter.initOVS(doc, nullptr, Filename(String(missing + "/scene.ovs")), 0, 0, 0, 0, 0);
  EXPECT_EQ(exporter.exportOVSWithCacheRebuild(), 1);
  bool couldNot = false;
  for (const std::string& line : Console()) {
    EXPECT_EQ(line.rfind("Saved scene to: ", 0), std::string::npos) << line;
    if (line == "Could not save scene to: " + missing + "/scene.ovs: No such file or directory")
      couldNot = true;
  }
  EXPECT_TRUE(couldNot);
}

TEST_F(ExporterTest, LightLayerNamesInLayerOrderWithDenseIndices) {
  struct Case {
    const char* what;
    bool renderSettings;
    std::vector<int> used;  // in order of first use
    std::vector<std::pair<std::string, int>> expected;
  } cases[] = {
      {"none used", true, {}, {}},
      {"layer 4 before layer 0", true, {4, 0, 4}, {{"Layer 1: Key", 1}, {"Layer 5: ", 0}}},
      {"without render settings", false, {4, 0}, {{"Layer 1", 1}, {"Layer 5", 0}}},
      {"keys outside 0 to 9 get no name", true, {-2, -1, 9, 10}, {{"Layer 10: Back", 2}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BaseDocument::Free(doc);
    doc = BaseDocument::Alloc();
    if (c.renderSettings) {
      BaseVideoPost* vp = BaseVideoPost::Alloc(1020896);
      ASSERT_NE(vp, nullptr);
      doc->GetActiveRenderData()->InsertVideoPostLast(vp);
      BaseContainer* bc = vp->GetDataInstance();
      bc->SetString(1410, "Key");
      bc->SetString(1414, "");
      bc->SetString(1419, "Back");
    }
    exporter.initOVS(doc, nullptr, Filename(String(dir / "scene.ovs")), 0, 0, 0, 0, 0);
    for (int layer : c.used) exporter.sceneData->AddLightLayer(layer);
    ASSERT_EQ(exporter.exportOVS(), 1);
    TiXmlDocument xml;
    TiXmlBase::SetCondenseWhiteSpace(false);  // a name may end in a blank
    const bool loaded = xml.LoadFile((dir / "scene.ovs").c_str());
    TiXmlBase::SetCondenseWhiteSpace(true);
    ASSERT_TRUE(loaded);
    std::vector<std::pair<std::string, int>> got;
    for (TiXmlElement* e = xml.RootElement()->FirstChildElement("layer_name"); e;
         e = e->NextSiblingElement("layer_name")) {
      TiXmlElement* name = e->FirstChildElement("layer_name");
      TiXmlElement* index = e->FirstChildElement("layer_index");
      ASSERT_NE(name, nullptr);
      ASSERT_NE(index, nullptr);
      got.emplace_back(name->GetText() ? name->GetText() : "", std::stoi(index->GetText()));
    }
    EXPECT_EQ(got, c.expected);
    // The names close the scene.
    if (!got.empty()) {
      EXPECT_STREQ(xml.RootElement()->LastChild()->Value(), "layer_name");
    }
  }
}

TEST_F(ExporterTest, LightLayersGetDenseIndicesInOrderOfFirstUse) {
  OrvaneSceneData data;
  EXPECT_EQ(data.AddLightLayer(7), 0u);
  EXPECT_EQ(data.AddLightLayer(-2), 1u);
  EXPECT_EQ(data.AddLightLayer(7), 0u);
  EXPECT_EQ(data.AddLightLayer(0), 2u);
  EXPECT_EQ(data.lightLayers.size(), 3u);
}

TEST_F(ExporterTest, UsedMaterialsFollowSelectionsThenTheUnrestrictedTag) {
  struct Case {
    const char* what;
    std::string tags;
    std::vector<std::string> expected;
  } cases[] = {
      {"selections in tag order, the unrestricted one last, each once; a tag left of the "
       "unrestricted one is covered by it",
       R"({"type": 5616, "parameters": {"1010": {"material": "A"}, "1006": "top"}},
          {"type": 5616, "parameters": {"1010": {"material": "B"}}},
          {"type": 5616, "parameters": {"1010": {"material": "C"}, "1006": "side"}},
          {"type": 5673, "name": "side"}, {"type": 5673, "name": "top"}, {"type": 5673, "name": "unused"})",
       {"C", "B"}},
      {"selection tags decide the order",
       R"({"type": 5616, "parameters": {"1010": {"material": "B"}}},
          {"type": 5616, "parameters": {"1010": {"material": "A"}, "1006": "top"}},
          {"type": 5616, "parameters": {"1010": {"material": "C"}, "1006": "side"}},
          {"type": 5673, "name": "side"}, {"type": 5673, "name": "top"})",
       {"C", "A", "B"}},
      {"a restricted tag without its selection tag is not used",
       R"({"type": 5616, "parameters": {"1010": {"material": "A"}, "1006": "gone"}},
          {"type": 5616, "parameters": {"1010": {"material": "B"}}})",
       {"B"}},
      {"no texture tag of its own: the parent's", "", {"P"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BaseDocument::Free(doc);
    doc = Load(R"({"materials": [{"name": "A"}, {"name": "B"}, {"name": "C"}, {"name": "P"}],
                   "objects": [{"type": 5140, "name": "Parent",
                                "tags": [{"type": 5616, "parameters": {"1010": {"material": "P"}}}],
                                "children": [{"type": 5100, "name": "Mesh", "tags": [)" +
               c.tags + "]}]}]}");
    ASSERT_NE(doc, nullptr);
    std::vector<BaseMaterial*> used;
    exporter.GetUsedMaterials(used, static_cast<PolygonObject*>(doc->SearchObject("Mesh")));
    std::vector<std::string> names;
    for (BaseMaterial* m : used) names.push_back(host::ToUtf8(m->GetName()));
    EXPECT_EQ(names, c.expected);
  }
}

TEST_F(ExporterTest, MakeObjectEditableAnswersWhatStandsInTheObjectsPlace) {
  doc = Load(R"({"objects": [{"type": 5160, "name": "Ball"}, {"type": 5100, "name": "Mesh"},
                             {"type": 1059990, "name": "Empty", "enabled": false}]})");
  ASSERT_NE(doc, nullptr);
  BaseObject* ball = MakeObjectEditable(doc->SearchObject("Ball"), doc);
  ASSERT_NE(ball, nullptr);
  EXPECT_EQ(ball->GetType(), Opolygon);
  EXPECT_EQ(ball->GetName(), String("Ball"));
  EXPECT_EQ(ball, doc->GetFirstObject());
  BaseObject* mesh = doc->SearchObject("Mesh");
  EXPECT_EQ(MakeObjectEditable(mesh, doc), mesh);
  BaseObject* empty = doc->SearchObject("Empty");
  EXPECT_EQ(MakeObjectEditable(empty, doc), empty) << "a generator making nothing stays";
  EXPECT_EQ(MakeObjectEditable(nullptr, doc), nullptr);
}

TEST_F(ExporterTest, CommentsStayValidWhateverTheText) {
  struct Case {
    std::string text, expected;
  } cases[] = {
      {"Cube", "Cube"},
      {"a--b", "a- -b"},
      {"---", "- - - "},
      {"arrow->", "arrow->"},
      {"end-", "end- "},
      {"tab\tand\x01"
       "bell",
       "tab\tand\xEF\xBF\xBD"
       "bell"},
      {"half \xEF\xBF\xBE\xEF\xBF\xBF", "half \xEF\xBF\xBD\xEF\xBF\xBD"},
      {std::string(1998, 'a') + "\xC3\xA9", std::string(1998, 'a')},
      {std::string(5000, '-'), ""},
  };
  doc = BaseDocument::Alloc();
  exporter.sceneElement = new TiXmlElement("scene");
  exporter.xmlDocument.LinkEndChild(exporter.sceneElement);
  for (const Case& c : cases) exporter.WriteComment(String(c.text));
  ASSERT_TRUE(exporter.xmlDocument.SaveFile((dir / "comments.xml").c_str()));
  TiXmlDocument reloaded;
  ASSERT_TRUE(reloaded.LoadFile((dir / "comments.xml").c_str())) << reloaded.ErrorDesc();
  TiXmlNode* n = reloaded.RootElement()->FirstChild();
  for (const Case& c : cases) {
    ASSERT_NE(n, nullptr);
    ASSERT_NE(n->ToComment(), nullptr);
    std::string value = n->Value();
    if (c.text.size() == 5000) {
      EXPECT_LE(value.size(), 1999u);
      EXPECT_EQ(value.find("--"), std::string::npos);
      EXPECT_NE(value.back(), '-');
    } else {
      EXPECT_EQ(value, c.expected);
    }
    n = n->NextSibling();
  }
  EXPECT_EQ(exporter.commentNode, exporter.sceneElement->LastChild());
}

TEST_F(ExporterTest, NamesWithCharactersXmlForbidsStillGiveAWellFormedScene) {
  const std::string R = "\xEF\xBF\xBD";
  doc = Load(R"({"objects": [{"type": 5160, "name": "Ball\u0001\uFFFE\uFFFF--"}]})");
  ASSERT_NE(doc, nullptr);
  BaseVideoPost* vp = BaseVideoPost::Alloc(1020896);
  ASSERT_NE(vp, nullptr);
  doc->GetActiveRenderData()->InsertVideoPostLast(vp);
  vp->GetDataInstance()->SetString(1410, String("Key\x01\x1F"
                                                "\xEF\xBF\xBE"));
  exporter.initOVS(doc, nullptr, Filename(String(dir / "scene.ovs")), 0, 0, 0, 0, 3);
  exporter.sceneData->AddLightLayer(0);
  ASSERT_EQ(exporter.exportOVSWithCacheRebuild(), 1);

  std::ifstream in(dir / "scene.ovs", std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_TRUE(Orvane::XMLText::isAllowed(bytes)) << bytes;
  EXPECT_EQ(bytes.find("&#x0"), bytes.find("&#x0A;"));  // no reference to a control character
  EXPECT_EQ(bytes.find("&#x1"), std::string::npos);

  TiXmlDocument xml;
  ASSERT_TRUE(xml.LoadFile((dir / "scene.ovs").c_str())) << xml.ErrorDesc();
  const TiXmlElement* scene = xml.RootElement();
  ASSERT_NE(scene, nullptr);
  const TiXmlElement* layer = scene->FirstChildElement("layer_name");
  ASSERT_NE(layer, nullptr);
  EXPECT_EQ(std::string(layer->FirstChildElement("layer_name")->GetText()), "Layer 1: Key" + R + R + R);
  bool ball = false;
  for (const TiXmlElement* e = scene->FirstChildElement(); e; e = e->NextSiblingElement()) {
    const TiXmlNode* first = e->FirstChild();
    if (first && first->ToComment() && std::string(first->Value()) == "Ball" + R + R + R + "- - ")
      ball = true;
  }
  EXPECT_TRUE(ball) << bytes;
}

}  // namespace
