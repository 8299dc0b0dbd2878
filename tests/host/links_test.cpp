// Weak links between nodes.
#include <gtest/gtest.h>

#include "c4d.h"
#include "host_control.h"

namespace {

constexpr LONG kLink = 1000;

class LinksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::ResetAll();
    doc = BaseDocument::Alloc();
    other = BaseDocument::Alloc();
  }
  void TearDown() override {
    BaseDocument::Free(doc);
    BaseDocument::Free(other);
    host::ResetAll();
  }
  BaseDocument* doc = nullptr;
  BaseDocument* other = nullptr;
};

TEST_F(LinksTest, LinkToAFreedNodeReadsNull) {
  BaseObject* target = BaseObject::Alloc(Osphere);
  doc->InsertObject(target, nullptr, nullptr);
  BaseTag* tag = target->MakeTag(Ttexture);
  BaseContainer bc;
  bc.SetLink(kLink, target);
  bc.SetLink(kLink + 1, tag);
  BaseLink* link = BaseLink::Alloc();
  link->SetLink(target);
  ASSERT_EQ(bc.GetLink(kLink, doc), target);
  ASSERT_EQ(bc.GetLink(kLink + 1, doc), tag);
  ASSERT_EQ(link->GetLink(doc), target);

  BaseTag::Free(tag);
  EXPECT_EQ(bc.GetLink(kLink + 1, doc), nullptr);
  EXPECT_EQ(bc.GetLink(kLink, doc), target);
  BaseObject::Free(target);
  EXPECT_EQ(bc.GetLink(kLink, doc), nullptr);
  EXPECT_EQ(link->GetLink(doc), nullptr);
  EXPECT_EQ(bc.GetData(kLink).GetType(), DA_ALIASLINK);
  BaseLink::Free(link);
  EXPECT_EQ(link, nullptr);

  // Freeing the whole document clears links into it as well.
  BaseObject* inside = BaseObject::Alloc(Onull);
  other->InsertObject(inside, nullptr, nullptr);
  bc.SetLink(kLink, inside);
  ASSERT_EQ(bc.GetLink(kLink, other), inside);
  BaseDocument::Free(other);
  EXPECT_EQ(bc.GetLink(kLink, nullptr), nullptr);
}

TEST_F(LinksTest, LinkResolvesOnlyInItsOwnDocument) {
  BaseObject* op = BaseObject::Alloc(Onull);
  BaseMaterial* mat = BaseMaterial::Alloc(Mmaterial);
  BaseContainer bc;
  bc.SetLink(1, op);
  bc.SetLink(2, mat);

  // Not in any document: null, whichever document is asked, none included.
  EXPECT_EQ(bc.GetLink(1, doc), nullptr);
  EXPECT_EQ(bc.GetLink(1, nullptr), nullptr);
  EXPECT_EQ(bc.GetLink(2, nullptr), nullptr);

  doc->InsertObject(op, nullptr, nullptr);
  doc->InsertMaterial(mat);
  EXPECT_EQ(bc.GetLink(1, doc), op);
  EXPECT_EQ(bc.GetLink(2, doc), mat);
  EXPECT_EQ(bc.GetLink(1, other), nullptr);
  EXPECT_EQ(bc.GetLink(1, nullptr), nullptr);

  // Moved to another document, the link follows the node.
  op->Remove();
  other->InsertObject(op, nullptr, nullptr);
  EXPECT_EQ(bc.GetLink(1, doc), nullptr);
  EXPECT_EQ(bc.GetLink(1, other), op);

  // A link to a document is resolved in that document only.
  bc.SetLink(3, doc);
  EXPECT_EQ(bc.GetLink(3, doc), doc);
  EXPECT_EQ(bc.GetLink(3, other), nullptr);

  // An empty link.
  bc.SetLink(4, nullptr);
  EXPECT_EQ(bc.GetData(4).GetType(), DA_ALIASLINK);
  EXPECT_EQ(bc.GetLink(4, doc), nullptr);
}

TEST_F(LinksTest, InstanceofFilters) {
  BaseObject* sphere = BaseObject::Alloc(Osphere);
  doc->InsertObject(sphere, nullptr, nullptr);
  BaseTag* tag = sphere->MakeTag(Tphong);
  BaseMaterial* mat = BaseMaterial::Alloc(Mmaterial);
  doc->InsertMaterial(mat);
  BaseContainer bc;
  bc.SetLink(1, sphere);
  bc.SetLink(2, tag);
  bc.SetLink(3, mat);

  const struct {
    LONG id;
    LONG instanceof ;
    bool found;
  } cases[] = {
      {1, 0, true},      {1, Obase, true},  {1, Osphere, true},   {1, Onull, false},
      {1, Tbase, false}, {1, Mbase, false}, {2, Tbase, true},     {2, Tphong, true},
      {2, Obase, false}, {3, Mbase, true},  {3, Mmaterial, true}, {3, Xbase, false},
  };
  for (const auto& c : cases) {
    BaseList2D* got = bc.GetLink(c.id, doc, c.instanceof);
    EXPECT_EQ(got != nullptr, c.found) << "entry " << c.id << " as " << c.instanceof ;
  }
}

TEST_F(LinksTest, LinksInCopiedContainers) {
  BaseObject* op = BaseObject::Alloc(Onull);
  doc->InsertObject(op, nullptr, nullptr);
  BaseContainer inner;
  inner.SetLink(1, op);
  BaseContainer outer;
  outer.SetContainer(2, inner);

  BaseContainer copy = outer;
  EXPECT_EQ(copy.GetContainer(2).GetLink(1, doc), op);
  EXPECT_EQ(copy, outer);
  op->SetData(copy);  // a node's own parameters may link to it
  EXPECT_EQ(op->GetDataInstance()->GetContainer(2).GetLink(1, doc), op);

  BaseObject* second = BaseObject::Alloc(Onull);
  doc->InsertObject(second, nullptr, nullptr);
  BaseContainer relinked = outer;
  relinked.GetContainerInstance(2)->SetLink(1, second);
  EXPECT_NE(relinked, outer);
  EXPECT_EQ(outer.GetContainer(2).GetLink(1, doc), op);

  BaseObject::Free(op);
  EXPECT_EQ(outer.GetContainer(2).GetLink(1, doc), nullptr);
  EXPECT_EQ(copy.GetContainer(2).GetLink(1, doc), nullptr);
  EXPECT_EQ(relinked.GetContainer(2).GetLink(1, doc), second);
}

TEST_F(LinksTest, ActiveRenderDataIsAWeakLink) {
  RenderData* first = doc->GetFirstRenderData();
  RenderData* second = RenderData::Alloc();
  doc->InsertRenderData(second, first);
  EXPECT_EQ(doc->GetActiveRenderData(), first);
  doc->SetActiveRenderData(second);
  EXPECT_EQ(doc->GetActiveRenderData(), second);

  // Render data of another document never becomes active here.
  doc->SetActiveRenderData(other->GetFirstRenderData());
  EXPECT_EQ(doc->GetActiveRenderData(), first);

  doc->SetActiveRenderData(second);
  RenderData::Free(second);
  EXPECT_EQ(doc->GetActiveRenderData(), first);
}

}  // namespace
