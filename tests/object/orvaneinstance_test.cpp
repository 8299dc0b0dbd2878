// The instance object: defaults, extent, cycles of links, generation and viewport drawing.
#include <gtest/gtest.h>

#include "c4d_hierarchy.h"
#include "main/instancesuppresser.h"
#include "object/orvaneinstance.h"
#include "object/orvaneinstanceids.h"
#include "support/host_fixture.h"

namespace {

class InstanceTest : public HostTest {
 protected:
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

TEST_F(InstanceTest, NewInstanceHoldsItsDefaults) {
  BaseObject* op = Instance(nullptr);
  const BaseContainer& bc = *op->GetDataInstance();
  EXPECT_EQ(bc.GetLink(INSTANCE_LINK, doc), nullptr);
  EXPECT_EQ(bc.GetData(INSTANCE_LINK).GetType(), DA_ALIASLINK);
  EXPECT_FALSE(bc.GetBool(INSTANCE_USE_BOX_SIZE, true));
  EXPECT_EQ(bc.GetVector(INSTANCE_BOX_SIZE), LVector(50, 50, 50));
  EXPECT_EQ(bc.GetVector(INSTANCE_BOX_CENTER, LVector(1.0)), LVector());
  EXPECT_TRUE(bc.GetBool(INSTANCE_RESERVED));
  EXPECT_EQ(bc.GetLong(INSTANCE_DRAW_MODE), INSTANCE_DRAW_SHADED);
}

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

}  // namespace
