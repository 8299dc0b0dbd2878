// The node tree: list insertion and removal, documents, matrices.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "c4d.h"
#include "host_control.h"

namespace {

class NodesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::ResetAll();
    doc = BaseDocument::Alloc();
  }
  void TearDown() override {
    BaseDocument::Free(doc);
    host::ResetAll();
  }
  BaseObject* Named(const char* name, BaseObject* parent = nullptr) {
    BaseObject* op = BaseObject::Alloc(Onull);
    op->SetName(String(name));
    if (parent) {
      op->InsertUnderLast(parent);
      return op;
    }
    BaseObject* last = doc->GetFirstObject();
    while (last && last->GetNext()) last = last->GetNext();
    doc->InsertObject(op, nullptr, last);
    return op;
  }
  BaseDocument* doc = nullptr;
};

// Names of a sibling list from `first`, checking every link of the list on the way.
std::string Siblings(GeListNode* first) {
  std::string names;
  GeListNode* pred = nullptr;
  for (GeListNode* n = first; n; pred = n, n = n->GetNext()) {
    EXPECT_EQ(n->GetPred(), pred);
    EXPECT_EQ(n->GetUp(), first->GetUp());
    EXPECT_EQ(n->GetListHead(), first->GetListHead());
    names += host::ToUtf8(static_cast<BaseList2D*>(n)->GetName());
  }
  return names;
}

std::string Children(GeListNode* parent) {
  GeListNode* first = parent->GetDown();
  if (first) {
    EXPECT_EQ(first->GetUp(), parent);
  }
  std::string names = first ? Siblings(first) : "";
  GeListNode* last = parent->GetDownLast();
  EXPECT_EQ(last ? host::ToUtf8(static_cast<BaseList2D*>(last)->GetName()) : "",
            names.empty() ? "" : names.substr(names.size() - 1));
  return names;
}

// Names of the document's top-level objects, checking the list head.
std::string TopLevel(BaseDocument* doc) {
  BaseObject* first = doc->GetFirstObject();
  if (first) {
    EXPECT_EQ(first->GetPred(), nullptr);
    EXPECT_NE(first->GetListHead(), nullptr);
    EXPECT_EQ(first->GetListHead()->GetFirst(), first);
    EXPECT_EQ(first->GetListHead()->GetOwner(), doc);
  }
  return first ? Siblings(first) : "";
}

TEST_F(NodesTest, InsertAndRemoveKeepListsConsistent) {
  BaseObject* a = BaseObject::Alloc(Onull);
  a->SetName(String("a"));
  doc->InsertObject(a, nullptr, nullptr);
  BaseObject* b = Named("b");
  BaseObject* c = Named("c");
  EXPECT_EQ(TopLevel(doc), "abc");

  // Before the first and after the last of a document's list.
  c->InsertBefore(a);
  EXPECT_EQ(TopLevel(doc), "cab");
  c->InsertAfter(b);
  EXPECT_EQ(TopLevel(doc), "abc");
  b->InsertBefore(c);  // already there
  EXPECT_EQ(TopLevel(doc), "abc");
  a->InsertAfter(a);  // onto itself: nothing happens
  EXPECT_EQ(TopLevel(doc), "abc");

  // Children: first, last, before, after.
  BaseObject* x = Named("x");
  BaseObject* y = Named("y");
  BaseObject* z = Named("z");
  y->InsertUnder(a);
  x->InsertUnder(a);
  z->InsertUnderLast(a);
  EXPECT_EQ(TopLevel(doc), "abc");
  EXPECT_EQ(Children(a), "xyz");
  EXPECT_EQ(x->GetListHead(), nullptr);

  z->InsertUnderLast(a);  // already the last child: stays there
  EXPECT_EQ(Children(a), "xyz");
  x->InsertUnderLast(a);
  EXPECT_EQ(Children(a), "yzx");
  x->InsertBefore(y);
  EXPECT_EQ(Children(a), "xyz");
  x->InsertAfter(z);
  EXPECT_EQ(Children(a), "yzx");

  // Removing the first child and the first top-level node updates parent and head.
  y->Remove();
  EXPECT_EQ(Children(a), "zx");
  EXPECT_EQ(y->GetUp(), nullptr);
  EXPECT_EQ(y->GetNext(), nullptr);
  a->Remove();
  EXPECT_EQ(TopLevel(doc), "bc");
  EXPECT_EQ(a->GetListHead(), nullptr);
  EXPECT_EQ(Children(a), "zx");  // a removed node keeps its children
  EXPECT_EQ(a->GetDocument(), nullptr);
  EXPECT_EQ(z->GetDocument(), nullptr);

  // Moving a node between lists.
  a->InsertUnder(c);
  z->InsertAfter(b);
  EXPECT_EQ(TopLevel(doc), "bzc");
  EXPECT_EQ(Children(a), "x");
  EXPECT_EQ(z->GetDocument(), doc);
  EXPECT_EQ(doc->SearchObject(String("x")), x);

  BaseObject::Free(y);
  EXPECT_EQ(y, nullptr);
}

TEST_F(NodesTest, ListHeadInsertLast) {
  BaseObject* a = Named("a");
  BaseObject* b = Named("b");
  GeListHead* head = a->GetListHead();
  ASSERT_NE(head, nullptr);
  head->InsertLast(b);  // already last
  EXPECT_EQ(TopLevel(doc), "ab");
  head->InsertLast(a);
  EXPECT_EQ(TopLevel(doc), "ba");
  EXPECT_EQ(head->GetLast(), a);
  head->InsertFirst(a);
  EXPECT_EQ(TopLevel(doc), "ab");
}

TEST_F(NodesTest, EveryKindOfNodeFindsItsDocument) {
  BaseObject* parent = Named("p");
  BaseObject* child = Named("c", parent);
  BaseObject* grandchild = Named("g", child);
  BaseTag* tag = grandchild->MakeTag(Tphong);
  ASSERT_NE(tag, nullptr);
  BaseMaterial* mat = BaseMaterial::Alloc(Mmaterial);
  doc->InsertMaterial(mat);
  RenderData* rd = doc->GetFirstRenderData();
  ASSERT_NE(rd, nullptr);
  RenderData* rd2 = RenderData::Alloc();
  doc->InsertRenderData(rd2, rd);

  for (GeListNode* n : std::vector<GeListNode*>{parent, child, grandchild, tag, mat, rd, rd2, doc})
    EXPECT_EQ(n->GetDocument(), doc);
  EXPECT_EQ(tag->GetObject(), grandchild);
  EXPECT_EQ(rd->GetNext(), rd2);

  BaseDocument* other = BaseDocument::Alloc();
  child->Remove();
  EXPECT_EQ(tag->GetDocument(), nullptr);
  EXPECT_EQ(tag->GetObject(), grandchild);
  other->InsertObject(child, nullptr, nullptr);
  EXPECT_EQ(tag->GetDocument(), other);
  BaseDocument::Free(other);  // frees child, grandchild and tag with it

  BaseTag* loose = BaseTag::Alloc(Ttexture);
  EXPECT_EQ(loose->GetDocument(), nullptr);
  EXPECT_EQ(loose->GetObject(), nullptr);
  BaseTag::Free(loose);
}

TEST_F(NodesTest, TagListOrder) {
  BaseObject* op = Named("o");
  BaseTag* t1 = op->MakeTag(Tphong);
  BaseTag* t2 = op->MakeTag(Ttexture, t1);
  BaseTag* t3 = op->MakeTag(Ttexture);
  EXPECT_EQ(op->GetFirstTag(), t3);
  EXPECT_EQ(t3->GetNext(), t1);
  EXPECT_EQ(t1->GetNext(), t2);
  EXPECT_EQ(op->GetTag(Ttexture, 0), t3);
  EXPECT_EQ(op->GetTag(Ttexture, 1), t2);
  EXPECT_EQ(op->GetTag(Ttexture, 2), nullptr);
  op->KillTag(Ttexture, 0);
  EXPECT_EQ(op->GetFirstTag(), t1);
  EXPECT_EQ(t1->GetPred(), nullptr);
  EXPECT_EQ(op->MakeTag(123456789), nullptr);  // unknown type

  // A predecessor on another object does not pull the tag over there.
  BaseObject* other = Named("p");
  BaseTag* foreign = other->MakeTag(Tphong);
  BaseTag* t4 = op->MakeTag(Tmotionblur, foreign);
  EXPECT_EQ(op->GetFirstTag(), t4);
  EXPECT_EQ(t4->GetObject(), op);
  EXPECT_EQ(foreign->GetNext(), nullptr);
}

// Matrices compared with a tolerance.
void ExpectNear(const LMatrix& a, const LMatrix& b) {
  const LVector* va[] = {&a.off, &a.v1, &a.v2, &a.v3};
  const LVector* vb[] = {&b.off, &b.v1, &b.v2, &b.v3};
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(va[i]->x, vb[i]->x, 1e-9) << "vector " << i;
    EXPECT_NEAR(va[i]->y, vb[i]->y, 1e-9) << "vector " << i;
    EXPECT_NEAR(va[i]->z, vb[i]->z, 1e-9) << "vector " << i;
  }
}

LMatrix Rotation(Real angle, const LVector& off, Real scale = 1.0) {
  Real c = std::cos(angle), s = std::sin(angle);
  return LMatrix(off, LVector(c, s, 0) * scale, LVector(-s, c, 0) * scale, LVector(0, 0, scale));
}

TEST_F(NodesTest, MatrixProductAndInverse) {
  const LMatrix a = Rotation(0.7, LVector(1, 2, 3), 2.0);
  const LMatrix b(LVector(-4, 0, 1), LVector(1, 0, 0), LVector(0.5, 1, 0), LVector(0, 0, 3));
  const LVector p(0.3, -2, 5);
  const LVector viaProduct = (a * b) * p;
  const LVector stepwise = a * (b * p);
  EXPECT_NEAR(viaProduct.x, stepwise.x, 1e-9);
  EXPECT_NEAR(viaProduct.y, stepwise.y, 1e-9);
  EXPECT_NEAR(viaProduct.z, stepwise.z, 1e-9);

  ExpectNear(!a * a, LMatrix());
  ExpectNear(b * !b, LMatrix());
  ExpectNear(!(a * b), !b * !a);
  const LVector back = !b * (b * p);
  EXPECT_NEAR(back.x, p.x, 1e-9);
  EXPECT_NEAR(back.y, p.y, 1e-9);
  EXPECT_NEAR(back.z, p.z, 1e-9);

  const LMatrix singular(LVector(1, 1, 1), LVector(1, 0, 0), LVector(2, 0, 0), LVector(0, 0, 1));
  EXPECT_EQ(!singular, LMatrix());
}

TEST_F(NodesTest, GlobalMatricesFollowTheParentChain) {
  BaseObject* root = Named("r");
  BaseObject* mid = Named("m", root);
  BaseObject* leaf = Named("l", mid);
  root->SetMl(Rotation(0.5, LVector(10, 0, 0)));
  mid->SetMl(Rotation(-1.2, LVector(0, 5, 0), 0.5));
  leaf->SetMl(LMatrix(LVector(1, 1, 1), LVector(1, 0, 0), LVector(0, 1, 0), LVector(0, 0, 1)));

  ExpectNear(root->GetMg(), root->GetMl());
  ExpectNear(leaf->GetMg(), root->GetMl() * mid->GetMl() * leaf->GetMl());

  const LMatrix wanted = Rotation(2.0, LVector(-3, 4, 7), 3.0);
  leaf->SetMg(wanted);
  ExpectNear(leaf->GetMg(), wanted);
  ExpectNear(mid->GetMg() * leaf->GetMl(), wanted);

  // Without a parent, global and local are the same.
  leaf->Remove();
  ExpectNear(leaf->GetMg(), leaf->GetMl());
  leaf->SetMg(wanted);
  ExpectNear(leaf->GetMl(), wanted);
  BaseObject::Free(leaf);
}

}  // namespace

TEST(NodeCycleTest, ANodeNeverGoesBelowItself) {
  host::ResetAll();
  BaseDocument* doc = BaseDocument::Alloc();
  BaseObject* a = BaseObject::Alloc(Onull);
  BaseObject* b = BaseObject::Alloc(Onull);
  BaseObject* c = BaseObject::Alloc(Onull);
  doc->InsertObject(a, nullptr, nullptr);
  b->InsertUnder(a);
  c->InsertUnder(b);
  a->InsertUnder(c);   // refused: c lies below a
  a->InsertAfter(c);   // refused as well
  b->InsertBefore(c);  // refused: c is b's child
  EXPECT_EQ(a->GetUp(), nullptr);
  EXPECT_EQ(b->GetUp(), a);
  EXPECT_EQ(c->GetUp(), b);
  EXPECT_EQ(c->GetDocument(), doc);
  BaseDocument::Free(doc);
}
