// Document selection, undo steps and threads ended from other threads while they start.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "c4d.h"
#include "host_control.h"
#include "host_undo.h"

namespace {

class UndoSelection : public ::testing::Test {
 protected:
  void SetUp() override {
    host::ResetAll();
    doc = BaseDocument::Alloc();
  }
  void TearDown() override {
    BaseDocument::Free(doc);
    host::ResetAll();
  }
  BaseDocument* doc = nullptr;
};

TEST_F(UndoSelection, SelectionKindsAndFilter) {
  BaseObject* a = BaseObject::Alloc(Onull);
  BaseObject* b = BaseObject::Alloc(Onull);
  doc->InsertObject(a, nullptr, nullptr);
  doc->InsertObject(b, a, nullptr);
  BaseTag* t = TextureTag::Alloc();
  b->InsertTag(t);
  BaseMaterial* m = BaseMaterial::Alloc(Mmaterial);
  doc->InsertMaterial(m);
  doc->SetActiveObject(a);
  doc->SetActiveObject(b, SELECTION_ADD);
  doc->SetActiveTag(t);
  doc->SetActiveMaterial(m);
  AtomArray all;
  doc->GetSelection(all);
  ASSERT_EQ(all.GetCount(), 4);
  EXPECT_EQ(all.GetIndex(0), a);
  EXPECT_EQ(all.GetIndex(1), b);
  EXPECT_EQ(all.GetIndex(2), t);
  EXPECT_EQ(all.GetIndex(3), m);
  AtomArray top;
  doc->GetActiveObjects(top, FALSE);
  EXPECT_EQ(top.GetCount(), 1);
  all.FilterObject(NOTOK, Obase);
  EXPECT_EQ(all.GetCount(), 2);
  doc->SetActiveObject(b, SELECTION_SUB);
  EXPECT_EQ(doc->GetActiveObject(), a);
  doc->SetActiveObject(nullptr);
  EXPECT_EQ(doc->GetActiveObject(), nullptr);
  EXPECT_EQ(doc->GetActiveTag(), t);
}

TEST_F(UndoSelection, StepsUndoInReverse) {
  BaseObject* op = BaseObject::Alloc(Onull);
  op->SetName("old");
  doc->InsertObject(op, nullptr, nullptr);
  EXPECT_FALSE(doc->AddUndo(UNDOTYPE_CHANGE, op));  // no open step
  doc->StartUndo();
  doc->StartUndo();  // nested: one step
  doc->AddUndo(UNDOTYPE_CHANGE, op);
  op->SetName("new");
  LMatrix m;
  m.off = LVector(1, 2, 3);
  op->SetMl(m);
  BaseObject* added = BaseObject::Alloc(Onull);
  doc->InsertObject(added, op, nullptr);
  doc->AddUndo(UNDOTYPE_NEW, added);
  doc->EndUndo();
  EXPECT_TRUE(host::UndoStepOpen(doc));
  EXPECT_FALSE(doc->DoUndo());  // not while a step is open
  doc->EndUndo();
  auto steps = host::UndoSteps(doc);
  ASSERT_EQ(steps.size(), 1u);
  ASSERT_EQ(steps[0].size(), 2u);
  EXPECT_EQ(steps[0][0].type, UNDOTYPE_CHANGE);
  EXPECT_EQ(steps[0][0].name, "old");
  ASSERT_TRUE(doc->DoUndo());
  EXPECT_EQ(host::ToUtf8(op->GetName()), "old");
  EXPECT_EQ(op->GetMl().off.x, 0.0);
  EXPECT_EQ(op->GetDown(), nullptr);
  EXPECT_FALSE(doc->DoUndo());
}

class Quick : public C4DThread {
 public:
  ~Quick() override { End(); }
  void Main() override {
    while (!TestBreak()) std::this_thread::yield();
  }
};

TEST_F(UndoSelection, EndFromAnotherThreadWhileStarting) {
  // However the start and the end interleave, the end reaches the run and the wait returns.
  for (int round = 0; round < 200; ++round) {
    Quick t;
    std::atomic<bool> go{false};
    std::thread ender([&] {
      while (!go.load()) std::this_thread::yield();
      t.End(TRUE);
    });
    go = true;
    t.Start();
    ender.join();
    t.End(TRUE);
    EXPECT_FALSE(t.IsRunning());
  }
}

}  // namespace
