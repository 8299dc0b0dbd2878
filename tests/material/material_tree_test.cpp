// The material tree element: the lines and cells it shows for a container's node tree, its Add and
// Remove buttons with their messages and undo, and the material it follows.
#include <gtest/gtest.h>

#include "host_control.h"
#include "host_page.h"
#include "host_record.h"
#include "host_undo.h"
#include "host_user.h"
#include "material/advancedorvanematerial.h"
#include "material/material_test_support.h"
#include "material/materialtree.h"
#include "material/orvanecontainermaterial.h"

namespace {

/// The parameter value that links `node`.
GeData LinkTo(BaseList2D* node) {
  GeData v;
  v.SetBaseList2D(node);
  return v;
}

class MaterialTreeTest : public MaterialTest {
 protected:
  void SetUp() override {
    MaterialTest::SetUp();
    ASSERT_TRUE(RegisterAdvancedOrvaneMaterial());
    ASSERT_TRUE(RegisterOrvaneContainerMaterial());
    host::SetActiveDocument(doc);
  }
  void TearDown() override {
    dialog.reset();
    MaterialTest::TearDown();
  }

  BaseMaterial* AddContainer(const char* name) {
    BaseMaterial* mat = BaseMaterial::Alloc(ID_ORVANECONTAINERMATERIAL);
    mat->SetName(name);
    doc->InsertMaterial(mat, nullptr);
    Root(mat)->SetName((std::string(name) + "_root").c_str());
    return mat;
  }
  static BaseShader* Root(BaseMaterial* c) {
    return static_cast<BaseShader*>(
        c->GetDataInstance()->GetLink(MAT_CONTAINER_ROOT, c->GetDocument(), Xbase));
  }
  static void SetType(BaseShader* s, LONG type) {
    s->GetDataInstance()->SetLong(MAT_TYPE + NODE_ID_OFFSET, type + NODE_ID_OFFSET);
    AdvancedOrvaneMaterial::SetChannels(s->GetDataInstance());
  }
  static BaseShader* AddChild(BaseShader* parent, const char* name, int link) {
    BaseShader* child = BaseShader::Alloc(ID_ADVANCEDORVANEMATERIAL);
    child->SetName(name);
    parent->GetDataInstance()->SetLink(link, child);
    child->InsertUnderLast(parent);
    return child;
  }
  /// The element laid out for `mat`, as the host makes it.
  void Show(BaseMaterial* mat) {
    dialog = std::make_unique<MaterialTreeDialog>(BaseContainer(), nullptr);
    ASSERT_TRUE(dialog->SetData(TriState<GeData>(LinkTo(mat))));
    ASSERT_TRUE(dialog->Open(DLG_TYPE_ASYNC, 0));
    ASSERT_NE(dialog->Tree(), nullptr);
  }
  /// "depth name" of every line of `shown` (by default `Show`'s), "*" after a selected one.
  std::vector<std::string> Lines(const MaterialTreeDialog* shown = nullptr) const {
    std::vector<std::string> out;
    for (const TreeLine& l : (shown ? shown : dialog.get())->Tree()->Lines())
      out.push_back(std::to_string(l.depth) + " " + l.name + (l.selected ? "*" : ""));
    return out;
  }
  std::vector<std::string> Messages() const {
    std::vector<std::string> out;
    for (const host::Shown& s : host::user::History())
      if (s.prompt == host::Prompt::Message) out.push_back(s.text);
    return out;
  }
  void Press(LONG id) { EXPECT_TRUE(dialog->Command(id, BaseContainer())); }

  std::unique_ptr<MaterialTreeDialog> dialog;
};

// A container whose root blends "A" (a blend of "A1" and "A2") and "B".
struct TwoLevel {
  BaseShader *root, *a, *a1, *a2, *b;
};

TEST_F(MaterialTreeTest, LinesAndCellsOfTrees) {
  BaseMaterial* c = AddContainer("C");
  Show(c);
  EXPECT_EQ(Lines(), (std::vector<std::string>{"0 C_root"}));

  TwoLevel t{Root(c), nullptr, nullptr, nullptr, nullptr};
  SetType(t.root, MAT_TYPE_BLEND);
  t.a = AddChild(t.root, "A", NODE_BLEND_A);
  t.b = AddChild(t.root, "B", NODE_BLEND_B);
  SetType(t.a, MAT_TYPE_BLEND);
  t.a1 = AddChild(t.a, "A1", NODE_BLEND_A);
  t.a2 = AddChild(t.a, "A2", NODE_BLEND_B);
  ASSERT_TRUE(dialog->Tree()->Click(1));
  EXPECT_EQ(Lines(), (std::vector<std::string>{"0 C_root", "1 A*", "2 A1", "2 A2", "1 B"}));
  EXPECT_EQ(host::InterfaceCalls().back(), "ActiveObjectManager_SetObject 4 A 2");
  // Cells: selected text colour for "A", lines 24 high, name 22 right of the cell, centred on a
  // 12-pixel font plus 2.
  EXPECT_EQ(dialog->Tree()->Draw(),
            (std::vector<std::string>{
                "DrawSetTextCol 1003 999", "DrawText C_root 22 8", "DrawSetTextCol 1157 999",
                "DrawText A 34 32", "DrawSetTextCol 1003 999", "DrawText A1 46 56", "DrawSetTextCol 1003 999",
                "DrawText A2 46 80", "DrawSetTextCol 1003 999", "DrawText B 34 104"}));
  EXPECT_TRUE(dialog->Tree()->Press(0, true));
  EXPECT_FALSE(dialog->Tree()->Press(0, false));

  // Only one child of a blend node: that one alone.
  struct Case {
    int cleared;
    std::vector<std::string> lines;
  };
  for (const Case& k :
       {Case{NODE_BLEND_A, {"0 C_root", "1 B"}}, Case{NODE_BLEND_B, {"0 C_root", "1 A*", "2 A1", "2 A2"}}}) {
    SCOPED_TRACE(k.cleared);
    BaseContainer* data = t.root->GetDataInstance();
    data->SetLink(NODE_BLEND_A, t.a);
    data->SetLink(NODE_BLEND_B, t.b);
    data->SetLink(k.cleared, nullptr);
    EXPECT_EQ(Lines(), k.lines);
  }

  // Renaming an item renames the node, undoably.
  t.root->GetDataInstance()->SetLink(NODE_BLEND_A, t.a);
  t.root->GetDataInstance()->SetLink(NODE_BLEND_B, t.b);
  ASSERT_TRUE(dialog->Tree()->Rename(0, String("Mix")));
  EXPECT_EQ(host::ToUtf8(t.root->GetName()), "Mix");
  ASSERT_TRUE(doc->DoUndo());
  EXPECT_EQ(host::ToUtf8(t.root->GetName()), "C_root");

  // A removed subtree that is never brought back is freed with the document's undo steps.
  ASSERT_TRUE(dialog->Tree()->Click(1));
  Press(1003);
  EXPECT_EQ(Lines(), (std::vector<std::string>{"0 C_root", "1 B"}));
  EXPECT_EQ(t.a->GetUp(), nullptr);
}

TEST_F(MaterialTreeTest, AddAndRemoveWithMessagesAndUndo) {
  struct Case {
    const char* what;
    int line;  // selected line, -1: none
    LONG button;
    std::vector<std::string> messages;
    std::vector<std::string> after;
  };
  // The root blends "A" and "B"; "A" is a diffuse leaf, "B" a blend node without children.
  const std::vector<Case> cases = {
      {"add on a leaf", 1, 1002, {"This is not a blend material."}, {"0 C_root", "1 A*", "1 B"}},
      {"add on a blend node", 2, 1002, {}, {"0 C_root", "1 A", "1 B*", "2 "}},
      {"remove the root", 0, 1003, {"You cannot delete the root material."}, {"0 C_root*", "1 A", "1 B"}},
      {"remove a leaf", 1, 1003, {}, {"0 C_root", "1 B"}},
      {"remove without selection", -1, 1003, {}, {"0 C_root", "1 A", "1 B"}},
      {"add without selection", -1, 1002, {}, {"0 C_root", "1 A", "1 B"}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    BaseMaterial* c = AddContainer("C");
    BaseShader* root = Root(c);
    SetType(root, MAT_TYPE_BLEND);
    BaseShader* a = AddChild(root, "A", NODE_BLEND_A);
    BaseShader* b = AddChild(root, "B", NODE_BLEND_B);
    SetType(b, MAT_TYPE_BLEND);
    (void)a;
    Show(c);
    if (k.line >= 0) {
      ASSERT_TRUE(dialog->Tree()->Click(k.line));
    }
    host::user::Reset();
    const size_t steps = host::UndoSteps(doc).size();
    Press(k.button);
    EXPECT_EQ(Messages(), k.messages);
    EXPECT_EQ(Lines(), k.after);
    const bool changed = k.messages.empty() && k.line >= 0;
    EXPECT_EQ(host::UndoSteps(doc).size(), steps + (changed ? 1 : 0));
    if (changed) {
      // Undoing restores the tree as it was; the selection is dropped by Remove and kept by Add.
      ASSERT_TRUE(doc->DoUndo());
      std::vector<std::string> before = {"0 C_root", "1 A", "1 B"};
      if (k.button == 1002) before[k.line] += "*";
      EXPECT_EQ(Lines(), before);
    }
    dialog.reset();
    BaseMaterial::Free(c);  // removes it from the document as well
  }
}

TEST_F(MaterialTreeTest, StaleSelectionIsNotUsed) {
  BaseMaterial* c = AddContainer("C");
  BaseShader* root = Root(c);
  SetType(root, MAT_TYPE_BLEND);
  Show(c);
  dialog->Tree()->Click(0);
  Press(1002);  // root gets a child
  ASSERT_EQ(Lines(), (std::vector<std::string>{"0 C_root*", "1 "}));
  dialog->Tree()->Click(1);
  BaseShader* child = root->GetDown() ? static_cast<BaseShader*>(root->GetDown()) : nullptr;
  ASSERT_NE(child, nullptr);
  SetType(child, MAT_TYPE_BLEND);
  // Undoing the Add frees the selected child: Add and Remove then do nothing.
  ASSERT_TRUE(doc->DoUndo());
  EXPECT_EQ(Lines(), (std::vector<std::string>{"0 C_root"}));
  host::user::Reset();
  Press(1002);
  Press(1003);
  EXPECT_EQ(Messages(), std::vector<std::string>{});
  EXPECT_EQ(Lines(), (std::vector<std::string>{"0 C_root"}));
  EXPECT_EQ(root->GetDown(), nullptr);

  // A selected node taken out of the tree by hand is not used either.
  Press(1003);
  BaseShader* loose = AddChild(root, "L", NODE_BLEND_A);
  dialog->Tree()->Click(1);
  root->GetDataInstance()->SetLink(NODE_BLEND_A, nullptr);
  Press(1002);
  Press(1003);
  EXPECT_EQ(loose->GetUp(), root);
  EXPECT_EQ(Messages(), std::vector<std::string>{});
}

TEST_F(MaterialTreeTest, SetDataWithAnotherMaterialShowsItsTree) {
  BaseMaterial* c = AddContainer("C");
  BaseMaterial* d = AddContainer("D");
  Show(c);
  dialog->Tree()->Click(0);
  EXPECT_EQ(Lines(), (std::vector<std::string>{"0 C_root*"}));
  ASSERT_TRUE(dialog->SetData(TriState<GeData>(LinkTo(d))));
  EXPECT_EQ(Lines(), (std::vector<std::string>{"0 D_root"}));
  // The same material again keeps the selection; a material gone shows nothing.
  dialog->Tree()->Click(0);
  ASSERT_TRUE(dialog->SetData(TriState<GeData>(LinkTo(d))));
  EXPECT_EQ(Lines(), (std::vector<std::string>{"0 D_root*"}));
  const GeData gone = LinkTo(d);
  BaseMaterial::Free(d);
  ASSERT_TRUE(dialog->SetData(TriState<GeData>(gone)));
  EXPECT_EQ(Lines(), std::vector<std::string>{});
  // A plug-in material is no container: nothing.
  ASSERT_TRUE(dialog->SetData(TriState<GeData>(LinkTo(Add("P")))));
  EXPECT_EQ(Lines(), std::vector<std::string>{});
  EXPECT_TRUE(dialog->GetData().GetValue().GetType() == DA_NIL);
}

TEST_F(MaterialTreeTest, TheElementFreesWhatItAllocates) {
  MaterialTree tree;
  CDialog* dlg = tree.Alloc(BaseContainer());
  ASSERT_NE(dlg, nullptr);
  tree.Free(dlg, iCustomGui::FromHost(dlg));
}

TEST_F(MaterialTreeTest, TheContainerPageShowsItsTreeInTheElement) {
  ASSERT_TRUE(RegisterTreeGUI());
  BaseMaterial* c = AddContainer("C");
  SetType(Root(c), MAT_TYPE_BLEND);
  AddChild(Root(c), "A", NODE_BLEND_A);
  host::AttributePage page(c);
  // The node-tree link alone has the element; the hidden root link has none.
  EXPECT_EQ(page.ElementIds(), (std::vector<LONG>{MAT_CONTAINER_SELF}));
  auto* element = dynamic_cast<MaterialTreeDialog*>(page.Element(MAT_CONTAINER_SELF));
  ASSERT_NE(element, nullptr);
  ASSERT_NE(element->Tree(), nullptr);
  EXPECT_EQ(Lines(element), (std::vector<std::string>{"0 C_root", "1 A"}));
}

}  // namespace
