// The convert, instance, UVW-tag and new-material commands on documents with selections: what the
// runner's end-to-end test of the same commands cannot see (undo, world placement, command states).
#include <gtest/gtest.h>

#include "c4d.h"
#include "command/convertmats.h"
#include "command/createinstances.h"
#include "command/generateuvwtag.h"
#include "command/neworvanemat.h"
#include "host_undo.h"
#include "material/customorvanematerial.h"
#include "material/materialparams.h"
#include "main/instancesuppresser.h"
#include "object/orvaneinstance.h"
#include "object/orvaneinstanceids.h"
#include "support/host_fixture.h"
#include "support/scene_parts.h"

namespace {

class ToolCommands : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    ASSERT_TRUE(RegisterCustomOrvaneMaterial());
    ASSERT_TRUE(RegisterOrvaneInstance(&suppresser));
    doc = BaseDocument::Alloc();
  }
  void TearDown() override {
    BaseDocument::Free(doc);
    HostTest::TearDown();
  }
  BaseMaterial* AddMaterial(LONG type, const char* name) {
    BaseMaterial* m = BaseMaterial::Alloc(type);
    m->SetName(name);
    doc->InsertMaterial(m, Last());
    return m;
  }
  BaseMaterial* Last() {
    BaseMaterial* last = doc->GetFirstMaterial();
    while (last && last->GetNext()) last = last->GetNext();
    return last;
  }
  PolygonObject* AddQuad(BaseObject* parent, const char* name) {
    PolygonObject* op = NewQuad(name);
    doc->InsertObject(op, parent, nullptr);
    return op;
  }
  TextureTag* AddTextureTag(BaseObject* op, BaseMaterial* mat) {
    TextureTag* t = TextureTag::Alloc();
    op->InsertTag(t);
    t->SetMaterial(mat);
    return t;
  }
  std::vector<std::string> MaterialNames() {
    std::vector<std::string> names;
    for (BaseMaterial* m = doc->GetFirstMaterial(); m; m = m->GetNext())
      names.push_back(host::ToUtf8(m->GetName()) + (m->GetType() == ID_CUSTOMORVANEMATERIAL ? "*" : ""));
    return names;
  }
  LONG LayerCount() {
    LONG n = 0;
    for (GeListNode* l = doc->GetLayerObjectRoot()->GetFirst(); l; l = l->GetNext()) ++n;
    return n;
  }
  InstanceSuppresser suppresser;
  BaseDocument* doc = nullptr;
};

TEST_F(ToolCommands, ConvertRelinksDeepTagsReusesLayerAndUndoes) {
  BaseMaterial* a = AddMaterial(Mmaterial, "A");
  BaseMaterial* keep = AddMaterial(ID_CUSTOMORVANEMATERIAL, "Keep");
  PolygonObject* top = AddQuad(nullptr, "top");
  PolygonObject* mid = AddQuad(top, "mid");
  PolygonObject* deep = AddQuad(mid, "deep");
  TextureTag* t1 = AddTextureTag(top, a);
  TextureTag* t2 = AddTextureTag(deep, a);
  TextureTag* t3 = AddTextureTag(deep, keep);
  ConvertMats cmd;
  ASSERT_TRUE(cmd.Execute(doc));
  BaseMaterial* converted = doc->GetFirstMaterial();
  EXPECT_EQ(converted->GetType(), ID_CUSTOMORVANEMATERIAL);
  EXPECT_EQ(host::ToUtf8(converted->GetName()), "A");
  EXPECT_EQ(t1->GetMaterial(), converted);
  EXPECT_EQ(t2->GetMaterial(), converted);
  EXPECT_EQ(t3->GetMaterial(), keep);
  LayerObject* layer = a->GetLayerObject(doc);
  ASSERT_NE(layer, nullptr);
  EXPECT_EQ(host::ToUtf8(layer->GetName()), "Old Materials");
  ASSERT_EQ(host::UndoSteps(doc).size(), 1u);
  EXPECT_FALSE(host::UndoStepOpen(doc));

  // A second run with a new host material reuses the layer.
  BaseMaterial* b = AddMaterial(Mmaterial, "B");
  ASSERT_TRUE(cmd.Execute(doc));
  EXPECT_EQ(LayerCount(), 1);
  EXPECT_EQ(b->GetLayerObject(doc), layer);

  // Undoing both steps brings back the document as it was.
  ASSERT_TRUE(doc->DoUndo());
  ASSERT_TRUE(doc->DoUndo());
  EXPECT_FALSE(doc->DoUndo());
  EXPECT_EQ(MaterialNames(), (std::vector<std::string>{"A", "Keep*", "B"}));
  EXPECT_EQ(t1->GetMaterial(), a);
  EXPECT_EQ(t2->GetMaterial(), a);
  EXPECT_EQ(a->GetLayerObject(doc), nullptr);
  EXPECT_EQ(LayerCount(), 0);
}

TEST_F(ToolCommands, InstancesKeepWorldPlacement) {
  PolygonObject* parent = AddQuad(nullptr, "parent");
  LMatrix pm;
  pm.off = LVector(5, 0, 0);
  pm.v1 = LVector(0, 2, 0);
  pm.v2 = LVector(-2, 0, 0);
  parent->SetMl(pm);
  PolygonObject* child = AddQuad(parent, "child");
  LMatrix cm;
  cm.off = LVector(1, 2, 3);
  child->SetMl(cm);
  PolygonObject* other = AddQuad(nullptr, "other");
  doc->SetActiveObject(child);
  doc->SetActiveObject(other, SELECTION_ADD);
  CreateInstances cmd;
  ASSERT_TRUE(cmd.Execute(doc));
  for (PolygonObject* op : {child, other}) {
    BaseObject* inst = op->GetNext();
    ASSERT_NE(inst, nullptr);
    EXPECT_EQ(inst->GetType(), ID_ORVANEINSTANCE);
    EXPECT_EQ(inst->GetUp(), op->GetUp());
    EXPECT_EQ(inst->GetName(), op->GetName());
    EXPECT_EQ(inst->GetDataInstance()->GetLink(INSTANCE_LINK, doc), op);
    LMatrix a = inst->GetMg(), b = op->GetMg();
    EXPECT_NEAR(a.off.x, b.off.x, 1e-9);
    EXPECT_NEAR(a.off.y, b.off.y, 1e-9);
    EXPECT_NEAR(a.off.z, b.off.z, 1e-9);
    EXPECT_NEAR(a.v1.y, b.v1.y, 1e-9);
  }
  ASSERT_EQ(host::UndoSteps(doc).size(), 1u);
  EXPECT_EQ(host::UndoSteps(doc)[0].size(), 2u);
  EXPECT_TRUE(doc->GetChanged());
}

TEST_F(ToolCommands, TagOnlySelectionMakesOneSelectedInstance) {
  PolygonObject* op = AddQuad(nullptr, "quad");
  TextureTag* tag = AddTextureTag(op, nullptr);
  doc->SetActiveTag(tag);
  CreateInstances cmd;
  ASSERT_TRUE(cmd.Execute(doc));
  BaseObject* first = doc->GetFirstObject();
  EXPECT_EQ(first->GetType(), ID_ORVANEINSTANCE);
  EXPECT_EQ(first->GetDataInstance()->GetLink(INSTANCE_LINK, doc), nullptr);
  EXPECT_EQ(doc->GetActiveObject(), first);
  ASSERT_TRUE(doc->DoUndo());
  EXPECT_EQ(doc->GetFirstObject(), op);
}

TEST_F(ToolCommands, GenerateUvwTagStateAndResult) {
  BaseMaterial* plugin = AddMaterial(ID_CUSTOMORVANEMATERIAL, "P");
  BaseMaterial* host = AddMaterial(Mmaterial, "H");
  PolygonObject* quad = AddQuad(nullptr, "quad");
  BaseObject* null = BaseObject::Alloc(Onull);
  doc->InsertObject(null, nullptr, nullptr);
  TextureTag* good = AddTextureTag(quad, plugin);
  TextureTag* second = AddTextureTag(quad, plugin);
  TextureTag* ofHost = AddTextureTag(quad, host);
  TextureTag* empty = AddTextureTag(quad, nullptr);
  TextureTag* onNull = AddTextureTag(null, plugin);
  struct Case {
    const char* name;
    std::vector<TextureTag*> selected;
    LONG state;
  };
  const Case cases[] = {
      {"one tag of a plug-in material on a polygon object", {good}, CMD_ENABLED},
      {"two tags", {good, second}, 0},
      {"host material", {ofHost}, 0},
      {"tag without material", {empty}, 0},
      {"not a polygon object", {onNull}, 0},
      {"nothing", {}, 0},
  };
  GenerateUVWTag cmd;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    doc->SetActiveTag(nullptr);
    for (TextureTag* t : c.selected) doc->SetActiveTag(t, SELECTION_ADD);
    EXPECT_EQ(cmd.GetState(doc), c.state);
    if (c.state == 0) {
      EXPECT_FALSE(cmd.Execute(doc));
    }
  }
  doc->SetActiveTag(good);
  BaseContainer data = good->GetData();
  data.SetLong(TEXTURETAG_PROJECTION, TEXTURETAG_PROJECTION_FLAT);
  good->SetData(data);
  BaseTag* follower = good->GetNext();
  ASSERT_TRUE(cmd.Execute(doc));
  EXPECT_EQ(good->GetData().GetLong(TEXTURETAG_PROJECTION), TEXTURETAG_PROJECTION_UVW);
  ASSERT_NE(good->GetNext(), nullptr);
  EXPECT_EQ(good->GetNext()->GetType(), Tuvw);
  ASSERT_EQ(host::UndoSteps(doc).size(), 1u);
  ASSERT_TRUE(doc->DoUndo());
  EXPECT_EQ(good->GetData().GetLong(TEXTURETAG_PROJECTION), TEXTURETAG_PROJECTION_FLAT);
  EXPECT_EQ(good->GetNext(), follower);
}

TEST_F(ToolCommands, NewMaterialsComeFirstWithOneUndoStepEach) {
  NewOrvaneMat cmd;
  ASSERT_TRUE(cmd.Execute(doc));
  ASSERT_TRUE(cmd.Execute(doc));
  EXPECT_EQ(MaterialNames().size(), 2u);
  EXPECT_EQ(doc->GetFirstMaterial()->GetType(), ID_CUSTOMORVANEMATERIAL);
  EXPECT_EQ(host::UndoSteps(doc).size(), 2u);
  ASSERT_TRUE(doc->DoUndo());
  EXPECT_EQ(MaterialNames().size(), 1u);
}

}  // namespace
