// The host's cache building, traversal for renderers, evaluation, layers, make editable, the
// record of interface calls and the local date.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "c4d.h"
#include "host_cache.h"
#include "host_clock.h"
#include "host_control.h"
#include "host_document_file.h"
#include "host_record.h"

namespace {

constexpr LONG kGenerator = 1059980;
constexpr LONG kCountingTag = 1059981;

// A generator whose cache is a null holding a polygon object, named after the build flags.
class TestGenerator : public ObjectData {
 public:
  static NodeData* Alloc() { return new TestGenerator; }
  BaseObject* GetVirtualObjects(BaseObject*, HierarchyHelp* hh) override {
    ++calls;
    lastDoc = hh->GetDocument();
    BaseObject* root = BaseObject::Alloc(Onull);
    root->SetName(String("flags ") + String::LongToString(hh->GetBuildFlags()));
    root->SetPos(LVector(0, 10, 0));
    BaseObject* mesh = PolygonObject::Alloc(3, 1);
    mesh->SetName("Mesh");
    mesh->InsertUnder(root);
    return root;
  }
  static int calls;
  static BaseDocument* lastDoc;
};
int TestGenerator::calls = 0;
BaseDocument* TestGenerator::lastDoc = nullptr;

class CountingTag : public TagData {
 public:
  static NodeData* Alloc() { return new CountingTag; }
  LONG Execute(BaseTag*, BaseDocument*, BaseObject* op, BaseThread*, LONG, LONG) override {
    ran.push_back(host::ToUtf8(op->GetName()));
    return EXECUTIONRESULT_OK;
  }
  static std::vector<std::string> ran;
};
std::vector<std::string> CountingTag::ran;

// A traversal that notes every call.
class Recorder : public Hierarchy {
 public:
  void* Alloc() override { return new int(++allocs); }
  void Free(void* data) override {
    ++frees;
    delete static_cast<int*>(data);
  }
  void CopyTo(void*, void*) override { ++copies; }
  Bool Do(void* data, BaseObject* op, const LMatrix& mg, Bool controlobject) override {
    std::string entry = op ? host::ToUtf8(op->GetName()) : std::string("(none)");
    if (controlobject) entry += " [control]";
    visits.push_back(entry);
    positions.push_back(mg.off);
    datas.push_back(data);
    return stopAt.empty() || entry != stopAt;
  }
  std::vector<std::string> visits;
  std::vector<LVector> positions;
  std::vector<void*> datas;
  std::string stopAt;
  int allocs = 0, frees = 0, copies = 0;
};

class HierarchyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::ResetAll();
    ASSERT_TRUE(RegisterObjectPlugin(kGenerator, "Generator", OBJECT_GENERATOR, TestGenerator::Alloc, "",
                                     nullptr, 0));
    ASSERT_TRUE(RegisterTagPlugin(kCountingTag, "Counting", 0, CountingTag::Alloc, "", nullptr, 0));
    TestGenerator::calls = 0;
    TestGenerator::lastDoc = nullptr;
    CountingTag::ran.clear();
  }
  void TearDown() override {
    BaseDocument::Free(doc);
    host::ResetAll();
  }
  void Load(const std::string& json) {
    std::string error;
    doc = host::LoadDocumentText(json, "test", &error);
    ASSERT_NE(doc, nullptr) << error;
  }
  BaseDocument* doc = nullptr;
};

TEST_F(HierarchyTest, RunVisitsObjectsCachesAndChildrenInTreeOrder) {
  Load(R"({"objects": [
    {"type": 5140, "name": "A", "position": [1, 0, 0], "children": [{"type": 5140, "name": "A1", "position": [0, 2, 0]}]},
    {"type": 1059980, "name": "G", "position": [0, 0, 5], "children": [{"type": 5140, "name": "G1"}]},
    {"type": 5140, "name": "B"}]})");
  Recorder r;
  EXPECT_TRUE(r.Run(doc, TRUE, 1.0, FALSE, BUILDFLAGS_EXTERNALRENDERER, nullptr, nullptr));
  EXPECT_EQ(r.visits, (std::vector<std::string>{"A", "A1", "G [control]", "flags 4", "Mesh", "G1", "B"}));
  ASSERT_EQ(r.positions.size(), 7u);
  EXPECT_EQ(r.positions[1], LVector(1, 2, 0));   // global: parent first
  EXPECT_EQ(r.positions[3], LVector(0, 10, 5));  // a cache lies in its generator's space
  EXPECT_EQ(TestGenerator::lastDoc, doc);
  EXPECT_EQ(r.allocs, 7);
  EXPECT_EQ(r.frees, 7);
  // Every level below the top starts as a copy of its parent's data: A1, the cache, Mesh, G1.
  EXPECT_EQ(r.copies, 4);

  // A cache answers its generator as cache parent and lies in no document.
  BaseObject* g = doc->SearchObject("G");
  ASSERT_NE(g->GetCache(), nullptr);
  EXPECT_EQ(g->GetCache()->GetCacheParent(), g);
  EXPECT_EQ(g->GetCache()->GetDown()->GetCacheParent(), g);
  EXPECT_EQ(g->GetCache()->GetDocument(), nullptr);
}

TEST_F(HierarchyTest, RunStopsWhenDoSaysSoAndCallsOnceForAnEmptyDocument) {
  Load(R"({"objects": [{"type": 5140, "name": "A", "children": [{"type": 5140, "name": "A1"}]},
                       {"type": 5140, "name": "B"}]})");
  Recorder r;
  r.stopAt = "A1";
  int start = 0;
  EXPECT_TRUE(r.Run(doc, TRUE, 1.0, FALSE, 0, &start, nullptr));
  EXPECT_EQ(r.visits, (std::vector<std::string>{"A", "A1"}));
  EXPECT_EQ(r.copies, 2) << "each level's data starts as a copy of its parent's";
  EXPECT_EQ(r.allocs, r.frees);

  BaseDocument* empty = BaseDocument::Alloc();
  Recorder e;
  EXPECT_TRUE(e.Run(empty, TRUE, 1.0, FALSE, 0, &start, nullptr));
  EXPECT_EQ(e.visits, std::vector<std::string>{"(none)"});
  EXPECT_EQ(e.datas, std::vector<void*>{&start});
  BaseDocument::Free(empty);
  EXPECT_FALSE(e.Run(nullptr, TRUE, 1.0, FALSE, 0, nullptr, nullptr));
}

TEST_F(HierarchyTest, GeneratorsGenerateOnlyWhenEnabledAndTheirLayerLetsThem) {
  Load(R"({"layers": [{"name": "Frozen", "generators": false}],
           "objects": [{"type": 1059980, "name": "On"}, {"type": 1059980, "name": "Off", "enabled": false},
                       {"type": 1059980, "name": "Layered", "layer": "Frozen"}]})");
  EXPECT_TRUE(doc->ExecutePasses(nullptr, TRUE, TRUE, TRUE, 0));
  ASSERT_NE(doc->SearchObject("On")->GetCache(), nullptr);
  EXPECT_EQ(doc->SearchObject("On")->GetCache()->GetName(), String("flags 0"));
  EXPECT_EQ(doc->SearchObject("Off")->GetCache(), nullptr);
  EXPECT_EQ(doc->SearchObject("Layered")->GetCache(), nullptr);
  EXPECT_EQ(TestGenerator::calls, 1);
  // A rebuild replaces the cache.
  EXPECT_TRUE(doc->ExecutePasses(nullptr, TRUE, TRUE, TRUE, 0));
  EXPECT_EQ(TestGenerator::calls, 2);
}

TEST_F(HierarchyTest, SpheresAndInstancesHaveCaches) {
  Load(R"({"objects": [
    {"type": 5160, "name": "Ball", "parameters": {"1110": 50.0, "1111": 8}},
    {"type": 5140, "name": "Parent", "children": [
      {"type": 5126, "name": "Self", "parameters": {"1001": {"link": "Parent"}}}]},
    {"type": 5126, "name": "Copy", "position": [0, 0, 9], "parameters": {"1001": {"link": "Ball"}}},
    {"type": 5126, "name": "Ping", "parameters": {"1001": {"link": "Pong"}}},
    {"type": 5126, "name": "Pong", "parameters": {"1001": {"link": "Ping"}}}]})");
  doc->ExecutePasses(nullptr, FALSE, FALSE, TRUE, 0);

  BaseObject* cache = doc->SearchObject("Ball")->GetCache();
  ASSERT_NE(cache, nullptr);
  ASSERT_EQ(cache->GetType(), Opolygon);
  PolygonObject* mesh = static_cast<PolygonObject*>(cache);
  EXPECT_EQ(mesh->GetPointCount(), 2 + 3 * 8);
  EXPECT_EQ(mesh->GetPolygonCount(), 4 * 8);
  for (LONG i = 0; i < mesh->GetPointCount(); ++i) EXPECT_NEAR(Len(mesh->GetPointR()[i]), 50.0, 1e-9) << i;
  for (LONG i = 0; i < mesh->GetPolygonCount(); ++i) {
    const CPolygon& p = mesh->GetPolygonR()[i];
    for (LONG idx : {p.a, p.b, p.c, p.d}) EXPECT_TRUE(idx >= 0 && idx < mesh->GetPointCount()) << i;
  }

  EXPECT_EQ(doc->SearchObject("Self")->GetCache(), nullptr) << "an instance of its own parent";
  BaseObject* copy = doc->SearchObject("Copy")->GetCache();
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->GetType(), Osphere);
  EXPECT_EQ(copy->GetMl(), LMatrix());
  ASSERT_NE(copy->GetCache(), nullptr) << "caches inside caches are built too";
  // Two instances of each other copy each other once and stop where the copy would hold itself.
  BaseObject* ping = doc->SearchObject("Ping")->GetCache();
  ASSERT_NE(ping, nullptr);
  EXPECT_EQ(ping->GetName(), String("Pong"));
  EXPECT_EQ(ping->GetCache(), nullptr);
}

TEST_F(HierarchyTest, RenderInstancesShareTheLinkedMeshAndPlainInstancesCopyIt) {
  Load(R"({"objects": [
    {"type": 5140, "name": "Group", "children": [
      {"type": 5100, "name": "Tri", "points": [[0, 0, 0], [1, 0, 0], [0, 1, 0]], "polygons": [[0, 1, 2]],
       "tags": [{"type": 5671, "uvw": [[[0, 0, 0], [1, 0, 0], [0, 1, 0]]]}]}]},
    {"type": 5126, "name": "Render", "position": [5, 0, 0],
     "parameters": {"1001": {"link": "Group"}, "1002": true}},
    {"type": 5126, "name": "Plain", "parameters": {"1001": {"link": "Group"}}}]})");
  doc->ExecutePasses(nullptr, FALSE, FALSE, TRUE, 0);
  PolygonObject* tri = static_cast<PolygonObject*>(doc->SearchObject("Tri"));
  auto meshOf = [&](const char* instance) {
    BaseObject* cache = doc->SearchObject(instance)->GetCache();
    return cache && cache->GetDown() ? static_cast<PolygonObject*>(cache->GetDown()) : nullptr;
  };
  PolygonObject* shared = meshOf("Render");
  PolygonObject* copied = meshOf("Plain");
  ASSERT_NE(shared, nullptr);
  ASSERT_NE(copied, nullptr);
  EXPECT_EQ(shared->GetName(), String("Tri"));
  EXPECT_EQ(doc->SearchObject("Render")->GetCache()->GetMl(), LMatrix());

  // The render instance's mesh is the linked mesh's own data; the plain instance has a copy.
  EXPECT_EQ(shared->GetPointR(), tri->GetPointR());
  EXPECT_EQ(shared->GetPolygonR(), tri->GetPolygonR());
  UVWTag* uvw = static_cast<UVWTag*>(tri->GetTag(Tuvw));
  EXPECT_EQ(static_cast<VariableTag*>(shared->GetTag(Tuvw))->GetDataAddressR(), uvw->GetDataAddressR());
  EXPECT_NE(copied->GetPointR(), tri->GetPointR());

  // A change of the linked mesh shows in the render instance at once, in the plain one only after
  // its cache is built again; a resize shows too.
  tri->GetPointW()[1] = LVector(7, 0, 0);
  EXPECT_EQ(shared->GetPointR()[1], LVector(7, 0, 0));
  EXPECT_EQ(copied->GetPointR()[1], LVector(1, 0, 0));
  ASSERT_TRUE(tri->ResizeObject(4, 2));
  EXPECT_EQ(shared->GetPointCount(), 4);
  EXPECT_EQ(shared->GetPolygonCount(), 2);
  EXPECT_EQ(copied->GetPointCount(), 3);

  // The shared data outlives either side: freeing the instance's cache leaves the mesh whole.
  doc->SearchObject("Render")->SetDeformMode(FALSE);
  doc->ExecutePasses(nullptr, FALSE, FALSE, TRUE, 0);
  EXPECT_EQ(doc->SearchObject("Render")->GetCache(), nullptr);
  EXPECT_EQ(tri->GetPointR()[1], LVector(7, 0, 0));
  // And an ordinary copy of the mesh never shares.
  PolygonObject* clone = static_cast<PolygonObject*>(tri->GetClone(COPYFLAGS_NONE));
  ASSERT_NE(clone, nullptr);
  EXPECT_NE(clone->GetPointR(), tri->GetPointR());
  EXPECT_EQ(clone->GetPointR()[1], LVector(7, 0, 0));
  BaseObject* freed = clone;
  BaseObject::Free(freed);
}

TEST_F(HierarchyTest, DeformCachesStandForTheirObject) {
  Load(R"({"objects": [{"type": 5100, "name": "Mesh", "position": [3, 0, 0]}]})");
  BaseObject* op = doc->SearchObject("Mesh");
  BaseObject* deformed = PolygonObject::Alloc(0, 0);
  deformed->SetName("Bent");
  host::SetDeformCache(op, deformed);
  EXPECT_EQ(op->GetDeformCache(), deformed);
  EXPECT_EQ(deformed->GetCacheParent(), op);
  Recorder r;
  r.Run(doc, TRUE, 1.0, FALSE, 0, nullptr, nullptr);
  EXPECT_EQ(r.visits, (std::vector<std::string>{"Mesh [control]", "Bent"}));
  EXPECT_EQ(r.positions[1], LVector(3, 0, 0));
  host::SetDeformCache(op, nullptr);
  EXPECT_EQ(op->GetDeformCache(), nullptr);
}

TEST_F(HierarchyTest, ExecutePassesRunsTagsUnlessTheirLayerStopsThem) {
  Load(R"({"layers": [{"name": "Still", "expressions": false}],
           "objects": [{"type": 5140, "name": "A", "tags": [{"type": 1059981}],
                        "children": [{"type": 5140, "name": "B", "tags": [{"type": 1059981}]}]},
                       {"type": 5140, "name": "C", "layer": "Still", "tags": [{"type": 1059981}]}]})");
  EXPECT_TRUE(doc->ExecutePasses(nullptr, TRUE, TRUE, FALSE, 0));
  EXPECT_EQ(CountingTag::ran, (std::vector<std::string>{"A", "B"}));
  EXPECT_TRUE(doc->ExecutePasses(nullptr, TRUE, FALSE, FALSE, 0));
  EXPECT_EQ(CountingTag::ran.size(), 2u);
}

TEST_F(HierarchyTest, LayersComeFromTheDocumentFileAndCombineWithTheirParents) {
  Load(R"({"layers": [{"name": "Top", "render": false, "color": [1, 0, 0],
                       "layers": [{"name": "Sub", "view": false}]},
                      {"name": "Plain"}],
           "objects": [{"type": 5140, "name": "InSub", "layer": "Sub"}, {"type": 5140, "name": "InPlain", "layer": "Plain"},
                       {"type": 5140, "name": "None"}]})");
  BaseObject* inSub = doc->SearchObject("InSub");
  const LayerData* d = inSub->GetLayerData(doc);
  ASSERT_NE(d, nullptr);
  EXPECT_FALSE(d->render) << "off in the parent layer";
  EXPECT_FALSE(d->view);
  const LayerData* raw = inSub->GetLayerData(doc, TRUE);
  ASSERT_NE(raw, nullptr);
  EXPECT_TRUE(raw->render);
  ASSERT_NE(doc->SearchObject("InPlain")->GetLayerData(doc), nullptr);
  EXPECT_TRUE(doc->SearchObject("InPlain")->GetLayerData(doc)->render);
  EXPECT_EQ(doc->SearchObject("None")->GetLayerData(doc), nullptr);
  LayerObject* top = static_cast<LayerObject*>(doc->GetLayerObjectRoot()->GetFirst());
  EXPECT_EQ(top->GetName(), String("Top"));
  EXPECT_EQ(top->GetLayerData(doc)->color, LVector(1, 0, 0));
  // Another document does not see the layer.
  BaseDocument* other = BaseDocument::Alloc();
  EXPECT_EQ(inSub->GetLayerData(other), nullptr);
  BaseDocument::Free(other);
  // A freed layer leaves its members without one.
  LayerObject::Free(top);
  EXPECT_EQ(inSub->GetLayerData(doc), nullptr);

  struct Bad {
    std::string json, error;
  } bad[] = {
      {R"({"objects": [{"type": 5140, "layer": "Nope"}]})",
       "test: /objects/0/layer: no layer named \"Nope\""},
      {R"({"layers": [{"name": "L"}, {"name": "L"}]})", "test: /layers/1/name: a second layer named \"L\""},
      {R"({"layers": [{"render": false}]})", "test: /layers/0: a layer needs a name"},
      {R"({"layers": [{"name": "L", "render": 0}]})",
       "test: /layers/0/render: expected true or false, not an integer"},
  };
  for (const Bad& b : bad) {
    std::string error;
    EXPECT_EQ(host::LoadDocumentText(b.json, "test", &error), nullptr);
    EXPECT_EQ(error, b.error);
  }
}

TEST_F(HierarchyTest, MakeEditableReplacesAGeneratorAndKeepsLinks) {
  Load(R"({"objects": [
    {"type": 5160, "name": "Ball", "position": [0, 4, 0], "tags": [{"type": 5612, "name": "Smooth"}],
     "children": [{"type": 5140, "name": "Child"}]},
    {"type": 5140, "name": "Holder", "parameters": {"7": {"link": "Ball"}}},
    {"type": 5100, "name": "Mesh"}]})");
  ModelingCommandData cd;
  cd.doc = doc;
  cd.op = doc->SearchObject("Ball");
  ASSERT_TRUE(SendModelingCommand(MCOMMAND_MAKEEDITABLE, cd));
  BaseObject* made = doc->GetFirstObject();
  EXPECT_EQ(cd.op, made);
  EXPECT_EQ(made->GetType(), Opolygon);
  EXPECT_EQ(made->GetName(), String("Ball"));
  EXPECT_EQ(made->GetMg().off, LVector(0, 4, 0));
  EXPECT_EQ(made->GetCacheParent(), nullptr);
  EXPECT_NE(made->GetTag(Tphong), nullptr);
  ASSERT_NE(made->GetDown(), nullptr);
  EXPECT_EQ(made->GetDown()->GetName(), String("Child"));
  EXPECT_EQ(doc->SearchObject("Holder")->GetDataInstance()->GetObjectLink(7, doc), made);

  BaseObject* mesh = doc->SearchObject("Mesh");
  cd.op = mesh;
  EXPECT_TRUE(SendModelingCommand(MCOMMAND_MAKEEDITABLE, cd));
  EXPECT_EQ(cd.op, mesh);
  cd.op = BaseObject::Alloc(Onull);
  EXPECT_FALSE(SendModelingCommand(MCOMMAND_MAKEEDITABLE, cd)) << "not in the document";
  BaseObject::Free(cd.op);
}

TEST_F(HierarchyTest, InterfaceCallsAndTheDateAreTheHostSidesToSee) {
  StopAllThreads();
  GeShowMouse(MOUSE_BUSY);
  StatusSetText("Exporting");
  StatusClear();
  SetMousePointer(MOUSE_NORMAL);
  EXPECT_EQ(host::InterfaceCalls(),
            (std::vector<std::string>{"StopAllThreads", "GeShowMouse 3", "StatusSetText Exporting",
                                      "StatusClear", "SetMousePointer 2"}));
  host::SetDateTimeSource([] {
    LocalFileTime t;
    t.year = 2026, t.month = 2, t.day = 28, t.hour = 23, t.minute = 59, t.second = 58;
    return t;
  });
  LocalFileTime t;
  GetDateTimeNow(t);
  EXPECT_EQ(t.year, 2026);
  EXPECT_EQ(t.second, 58);
  host::ResetAll();
  EXPECT_TRUE(host::InterfaceCalls().empty());
  GetDateTimeNow(t);
  EXPECT_GE(t.year, 2024);
  EXPECT_TRUE(t.month >= 1 && t.month <= 12);
}

}  // namespace
