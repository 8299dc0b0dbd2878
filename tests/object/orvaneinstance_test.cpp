// The instance object: defaults, extent, cycles of links, generation and viewport drawing.
#include <gtest/gtest.h>

#include "c4d_hierarchy.h"
#include "c4d_layer.h"
#include "host_draw.h"
#include "main/instancesuppresser.h"
#include "object/orvaneinstance.h"
#include "object/orvaneinstanceids.h"
#include "support/host_fixture.h"

namespace {

class InstanceTest : public HostTest {
 public:
  void SetUp() override {
    HostTest::SetUp();
    ASSERT_TRUE(RegisterOrvaneInstance(&suppresser));
    doc = BaseDocument::Alloc();
  }
  void TearDown() override {
    BaseDocument::Free(doc);
    HostTest::TearDown();
  }

  // A new instance under `parent` (top level when null), linked to `link`.
  BaseObject* Instance(BaseObject* link, BaseObject* parent = nullptr, const char* name = "Instance") {
    BaseObject* op = BaseObject::Alloc(ID_ORVANEINSTANCE);
    EXPECT_TRUE(op);
    op->SetName(name);
    doc->InsertObject(op, parent, nullptr);
    op->GetDataInstance()->SetLink(INSTANCE_LINK, link);
    return op;
  }

  // A 20 x 10 x 4 box of polygons around (5, 0, 0).
  PolygonObject* Box(BaseObject* parent = nullptr) {
    BaseObject* cube = BaseObject::Alloc(Ocube);
    cube->GetDataInstance()->SetVector(PRIM_CUBE_LEN, LVector(20, 10, 4));
    doc->InsertObject(cube, parent, nullptr);
    ModelingCommandData mcd;
    mcd.doc = doc;
    mcd.op = cube;
    EXPECT_TRUE(SendModelingCommand(MCOMMAND_MAKEEDITABLE, mcd));
    mcd.op->SetPos(LVector(100, 0, 0));
    LVector* p = static_cast<PolygonObject*>(mcd.op)->GetPointW();
    for (LONG i = 0; i < 8; ++i) p[i] += LVector(5, 0, 0);
    return static_cast<PolygonObject*>(mcd.op);
  }

  InstanceSuppresser suppresser;
  BaseDocument* doc = nullptr;
};

TEST_F(InstanceTest, ExtentFollowsTheBoxTheLinkOrNothing) {
  PolygonObject* box = Box();
  BaseObject* group = BaseObject::Alloc(Onull);
  doc->InsertObject(group, nullptr, nullptr);
  BaseObject* ofParent = Instance(group, group, "of its parent");
  BaseObject* ofBox = Instance(box, nullptr, "of the box");
  BaseObject* chained = Instance(ofBox, nullptr, "of the instance of the box");
  BaseObject* empty = Instance(nullptr, nullptr, "empty");
  BaseObject* boxed = Instance(box, nullptr, "box size");
  boxed->GetDataInstance()->SetBool(INSTANCE_USE_BOX_SIZE, true);
  boxed->GetDataInstance()->SetVector(INSTANCE_BOX_CENTER, LVector(1, 2, 3));
  BaseObject* boxedDefault = Instance(nullptr, nullptr, "box size, defaults");
  boxedDefault->GetDataInstance()->SetBool(INSTANCE_USE_BOX_SIZE, true);
  BaseObject* ping = Instance(nullptr, nullptr, "ping");
  BaseObject* pong = Instance(ping, nullptr, "pong");
  ping->GetDataInstance()->SetLink(INSTANCE_LINK, pong);
  BaseObject* ofPing = Instance(ping, nullptr, "of a cycle it is not part of");

  struct Case {
    BaseObject* op;
    LVector mp, rad;
  };
  const Case cases[] = {
      {ofParent, LVector(), LVector()},
      {ofBox, LVector(5, 0, 0), LVector(10, 5, 2)},
      {chained, LVector(5, 0, 0), LVector(10, 5, 2)},
      {empty, LVector(), LVector(50.0)},
      {boxed, LVector(1, 2, 3), LVector(25.0)},
      {boxedDefault, LVector(), LVector(25.0)},
      {ping, LVector(), LVector()},
      {pong, LVector(), LVector()},
      {ofPing, LVector(), LVector()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(host::ToUtf8(c.op->GetName())));
    EXPECT_EQ(c.op->GetMp(), c.mp);
    EXPECT_EQ(c.op->GetRad(), c.rad);
  }
}

TEST_F(InstanceTest, LinksThatLeadBackAreFound) {
  PolygonObject* box = Box();
  BaseObject* group = BaseObject::Alloc(Onull);
  doc->InsertObject(group, nullptr, nullptr);
  BaseObject* inner = Instance(box, group, "inner");
  BaseObject* outer = Instance(group, nullptr, "outer");
  BaseObject* a = Instance(nullptr, nullptr, "a");
  BaseObject* b = Instance(a, nullptr, "b");
  BaseObject* c = Instance(b, nullptr, "c");
  a->GetDataInstance()->SetLink(INSTANCE_LINK, c);
  BaseObject* hostInstance = BaseObject::Alloc(Oinstance);
  doc->InsertObject(hostInstance, nullptr, nullptr);
  hostInstance->GetDataInstance()->SetLink(1001, outer);

  EXPECT_FALSE(InstanceLeadsBack(outer, group));
  EXPECT_FALSE(InstanceLeadsBack(inner, box));
  EXPECT_TRUE(InstanceLeadsBack(inner, group)) << "an instance of its own parent";
  EXPECT_TRUE(InstanceLeadsBack(a, c)) << "a -> c -> b -> a";
  EXPECT_TRUE(InstanceLeadsBack(outer, hostInstance)) << "through the host's instance";
  EXPECT_FALSE(InstanceLeadsBack(outer, nullptr));
  EXPECT_FALSE(InstanceLeadsBack(nullptr, box));
}

TEST_F(InstanceTest, GeneratesACopyOnlyForExternalRenderersOutsideExports) {
  PolygonObject* box = Box();
  box->SetName("Box");
  box->MakeTag(Tphong);
  BaseObject* op = Instance(box);
  op->SetPos(LVector(0, 0, 500));
  BaseObject* empty = Instance(nullptr, nullptr, "empty");
  auto* data = static_cast<ObjectData*>(op->GetNodeData());

  struct Case {
    const char* what;
    LONG buildflags;
    bool suppressed, enabled;
    bool generates;
  };
  const Case cases[] = {
      {"external renderer", BUILDFLAGS_EXTERNALRENDERER, false, true, true},
      {"both renderers", BUILDFLAGS_EXTERNALRENDERER | BUILDFLAGS_INTERNALRENDERER, false, true, false},
      {"host's renderer", BUILDFLAGS_INTERNALRENDERER, false, true, false},
      {"editor", BUILDFLAGS_NONE, false, true, false},
      {"while an export runs", BUILDFLAGS_EXTERNALRENDERER, true, true, false},
      {"switched off", BUILDFLAGS_EXTERNALRENDERER, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    suppresser.Set(c.suppressed);
    op->SetDeformMode(c.enabled);
    HierarchyHelp hh(doc, c.buildflags, 1.0, nullptr);
    BaseObject* copy = data->GetVirtualObjects(op, &hh);
    EXPECT_EQ(copy != nullptr, c.generates);
    if (copy) {
      EXPECT_NE(copy, box);
      EXPECT_EQ(copy->GetType(), Opolygon);
      EXPECT_EQ(copy->GetName(), String("Box"));
      EXPECT_EQ(copy->GetMl(), LMatrix()) << "the copy stands at the instance";
      EXPECT_TRUE(copy->GetTag(Tphong));
      EXPECT_EQ(copy->GetDocument(), nullptr);
      BaseObject::Free(copy);
    }
  }
  HierarchyHelp hh(doc, BUILDFLAGS_EXTERNALRENDERER, 1.0, nullptr);
  suppresser.Set(false);
  EXPECT_EQ(data->GetVirtualObjects(empty, &hh), nullptr);
}

TEST_F(InstanceTest, CachesOfInstancesThatLeadBackStayEmpty) {
  PolygonObject* box = Box();
  BaseObject* group = BaseObject::Alloc(Onull);
  doc->InsertObject(group, nullptr, nullptr);
  BaseObject* ofParent = Instance(group, group, "of its parent");
  BaseObject* ping = Instance(nullptr, nullptr, "ping");
  BaseObject* pong = Instance(ping, nullptr, "pong");
  ping->GetDataInstance()->SetLink(INSTANCE_LINK, pong);
  BaseObject* ofBox = Instance(box, nullptr, "of the box");

  // The host's traversal for an exporter builds every cache; it must come back.
  class Counter : public Hierarchy {
   public:
    void* Alloc() override { return nullptr; }
    void Free(void*) override {}
    void CopyTo(void*, void*) override {}
    Bool Do(void*, BaseObject*, const LMatrix&, Bool) override { return ++calls < 100000; }
    int calls = 0;
  } counter;
  ASSERT_TRUE(counter.Run(doc, TRUE, 1.0, FALSE, BUILDFLAGS_EXTERNALRENDERER, nullptr, nullptr));
  EXPECT_EQ(ofParent->GetCache(), nullptr);
  EXPECT_EQ(ping->GetCache(), nullptr);
  EXPECT_EQ(pong->GetCache(), nullptr);
  ASSERT_TRUE(ofBox->GetCache());
  EXPECT_EQ(ofBox->GetCache()->GetType(), Opolygon);
  EXPECT_EQ(ofBox->GetCache()->GetMg(), ofBox->GetMg());
}

// A polygon object of one quadrangle and one triangle.
PolygonObject* QuadAndTriangle() {
  PolygonObject* op = PolygonObject::Alloc(5, 2);
  const LVector points[] = {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}, {5, 20, 0}};
  std::copy(std::begin(points), std::end(points), op->GetPointW());
  op->GetPolygonW()[0] = CPolygon(0, 1, 2, 3);
  op->GetPolygonW()[1] = CPolygon(3, 2, 4);
  return op;
}

class InstanceDrawTest : public InstanceTest {
 public:
  void SetUp() override {
    InstanceTest::SetUp();
    bd = doc->GetActiveBaseDraw();
    ASSERT_TRUE(bd);
  }

  // What drawing the document records.
  std::vector<host::DrawRecord> Draw() {
    host::ClearDrawRecords(bd);
    EXPECT_EQ(host::DrawDocument(doc, bd), 0);
    return host::DrawRecords(bd);
  }

  BaseDraw* bd = nullptr;
};

std::vector<std::vector<LVector>> Points(const std::vector<host::DrawRecord>& records, host::DrawKind kind) {
  std::vector<std::vector<LVector>> out;
  for (const host::DrawRecord& r : records)
    if (r.kind == kind) out.push_back(r.points);
  return out;
}

TEST_F(InstanceDrawTest, EachStyleDrawsTheLinkAtTheInstance) {
  PolygonObject* mesh = QuadAndTriangle();
  doc->InsertObject(mesh, nullptr, nullptr);
  mesh->SetPos(LVector(1000, 0, 0));  // the link's own place does not count
  BaseObject* op = Instance(mesh);
  const LMatrix at(LVector(0, 0, 100), LVector(0, 1, 0), LVector(-1, 0, 0), LVector(0, 0, 1));
  op->SetMl(at);
  BaseContainer* bc = op->GetDataInstance();

  // Shaded: the polygons themselves, at the instance's matrix, in grey.
  std::vector<host::DrawRecord> records = Draw();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].kind, host::DrawKind::Polygon);
  EXPECT_EQ(records[0].points, (std::vector<LVector>{{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}}));
  EXPECT_EQ(records[1].points, (std::vector<LVector>{{0, 10, 0}, {10, 10, 0}, {5, 20, 0}}));
  EXPECT_EQ(records[0].matrix, at);
  EXPECT_EQ(records[1].colors, std::vector<LVector>(3, LVector(0.5, 0.5, 0.5)));

  // Wireframe: four edges of the quadrangle, three of the triangle, transformed by the matrix.
  bc->SetLong(INSTANCE_DRAW_MODE, INSTANCE_DRAW_WIRE);
  records = Draw();
  auto lines = Points(records, host::DrawKind::Line3D);
  const LVector p0 = at * LVector(0, 0, 0), p1 = at * LVector(10, 0, 0), p2 = at * LVector(10, 10, 0),
                p3 = at * LVector(0, 10, 0), p4 = at * LVector(5, 20, 0);
  EXPECT_EQ(lines, (std::vector<std::vector<LVector>>{
                       {p0, p1}, {p1, p2}, {p2, p3}, {p3, p0}, {p3, p2}, {p2, p4}, {p4, p3}}));
  EXPECT_EQ(records.size(), lines.size());
  EXPECT_EQ(records[0].colors, std::vector<LVector>{LVector(0.8, 0.8, 0.8)}) << "the object's colour";

  // Any other style: the twelve edges of the bounding box.
  for (LONG mode : {LONG(INSTANCE_DRAW_BOX), LONG(4711)}) {
    bc->SetLong(INSTANCE_DRAW_MODE, mode);
    lines = Points(Draw(), host::DrawKind::Line3D);
    ASSERT_EQ(lines.size(), 12u);
    LVector lo(1e9), hi(-1e9);
    for (const auto& l : lines)
      for (const LVector& p : l) {
        lo = LVector(std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z));
        hi = LVector(std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z));
      }
    EXPECT_EQ(lo, LVector(-20, 0, 100));
    EXPECT_EQ(hi, LVector(0, 10, 100));
  }
}

TEST_F(InstanceDrawTest, SubtreesCachesAndNestedInstancesAreDrawn) {
  // A group (moved away) holding a mesh on a layer, a hidden mesh and a sphere with its cache.
  BaseObject* group = BaseObject::Alloc(Onull);
  doc->InsertObject(group, nullptr, nullptr);
  group->SetPos(LVector(500, 0, 0));
  PolygonObject* shown = QuadAndTriangle();
  doc->InsertObject(shown, group, nullptr);
  shown->SetPos(LVector(0, 0, 7));
  LayerObject* layer = LayerObject::Alloc();
  doc->GetLayerObjectRoot()->InsertLast(layer);
  ASSERT_TRUE(shown->SetLayerObject(layer));
  LayerData colours;
  colours.color = LVector(2, 0.5, -1);
  ASSERT_TRUE(layer->SetLayerData(doc, colours));
  PolygonObject* hidden = QuadAndTriangle();
  doc->InsertObject(hidden, group, shown);
  hidden->SetEditorMode(MODE_OFF);

  BaseObject* inner = Instance(group, nullptr, "inner");
  BaseObject* outer = Instance(inner, nullptr, "outer");
  outer->SetPos(LVector(0, 300, 0));
  inner->SetDeformMode(false);  // drawn through the outer one all the same
  BaseContainer* bc = outer->GetDataInstance();
  bc->SetLong(INSTANCE_DRAW_MODE, INSTANCE_DRAW_WIRE);

  const std::vector<host::DrawRecord> records = Draw();
  const auto lines = Points(records, host::DrawKind::Line3D);
  ASSERT_EQ(lines.size(), 7u) << "the shown mesh once, through the outer instance";
  EXPECT_EQ(lines[0], (std::vector<LVector>{{0, 300, 7}, {10, 300, 7}}));
  EXPECT_EQ(records[0].colors, std::vector<LVector>{LVector(1, 0.5, 0)}) << "its layer's colour, as shown";

  // A sphere among them is drawn through its cache; the caches are the document's.
  BaseObject* ball = BaseObject::Alloc(Osphere);
  ball->GetDataInstance()->SetLong(PRIM_SPHERE_SUB, 4);
  doc->InsertObject(ball, group, nullptr);
  doc->ExecutePasses(nullptr, FALSE, FALSE, TRUE, 0);
  EXPECT_EQ(Points(Draw(), host::DrawKind::Line3D).size(), 7u + 8u * 3u);
}

TEST_F(InstanceDrawTest, InstancesThatStandForNothingDrawNothing) {
  struct Case {
    const char* what;
    void (*build)(InstanceDrawTest*);
  };
  const Case cases[] = {
      {"of its own parent",
       [](InstanceDrawTest* t) {
         BaseObject* group = BaseObject::Alloc(Onull);
         t->doc->InsertObject(group, nullptr, nullptr);
         t->doc->InsertObject(QuadAndTriangle(), group, nullptr);
         t->Instance(group, group);
       }},
      {"two instances linking each other",
       [](InstanceDrawTest* t) {
         BaseObject* ping = t->Instance(nullptr, nullptr, "ping");
         BaseObject* pong = t->Instance(ping, nullptr, "pong");
         ping->GetDataInstance()->SetLink(INSTANCE_LINK, pong);
       }},
      {"without a link", [](InstanceDrawTest* t) { t->Instance(nullptr); }},
      {"switched off",
       [](InstanceDrawTest* t) {
         PolygonObject* mesh = QuadAndTriangle();
         t->doc->InsertObject(mesh, nullptr, nullptr);
         mesh->SetEditorMode(MODE_OFF);
         t->Instance(mesh)->SetDeformMode(false);
       }},
      {"a generator's input",
       [](InstanceDrawTest* t) {
         PolygonObject* mesh = QuadAndTriangle();
         t->doc->InsertObject(mesh, nullptr, nullptr);
         mesh->SetEditorMode(MODE_OFF);
         t->Instance(mesh)->SetBit(BIT_CONTROLOBJECT);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    while (BaseObject* op = doc->GetFirstObject()) BaseObject::Free(op);
    c.build(this);
    EXPECT_TRUE(Draw().empty());
  }
}

TEST_F(InstanceTest, DescriptionShowsTheLinkOrTheBox) {
  BaseObject* op = Instance(nullptr);
  for (Bool useBox : {false, true}) {
    SCOPED_TRACE(useBox);
    op->GetDataInstance()->SetBool(INSTANCE_USE_BOX_SIZE, useBox);
    Description description;
    ASSERT_TRUE(op->GetDescription(&description));
    EXPECT_TRUE(description.IsHidden(INSTANCE_USE_BOX_SIZE));
    EXPECT_EQ(description.IsHidden(INSTANCE_LINK), useBox);
    EXPECT_EQ(description.IsHidden(INSTANCE_BOX_SIZE), !useBox);
    EXPECT_EQ(description.IsHidden(INSTANCE_BOX_CENTER), !useBox);
    EXPECT_FALSE(description.IsHidden(INSTANCE_DRAW_MODE));
    const BaseContainer* mode = description.GetParameter(DescID(DescLevel(INSTANCE_DRAW_MODE)));
    ASSERT_TRUE(mode);
    const BaseContainer cycle = mode->GetContainer(DESC_CYCLE);
    for (LONG value : {INSTANCE_DRAW_BOX, INSTANCE_DRAW_WIRE, INSTANCE_DRAW_SHADED})
      EXPECT_TRUE(cycle.GetDataPointer(value)) << value;
  }
}

}  // namespace
