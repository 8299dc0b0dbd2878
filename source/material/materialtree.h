// The MaterialTree interface element: a container material's node tree with Add and Remove.
#pragma once

#include "c4d.h"
#include "c4d_treeview.h"

/// The tree callbacks: items are the host nodes of the node shaders, the root is the container
/// material's host node.
class MyTreeViewFunctions : public TreeViewFunctions {
 public:
  /// The container's root node, or null.
  void* GetFirst(void* root, void* userdata) override;
  /// Child a, else child b, of a blend node; null otherwise.
  void* GetDown(void* root, void* userdata, void* obj) override;
  /// Child b after child a of the same blend node.
  void* GetNext(void* root, void* userdata, void* obj) override;
  /// The name's width plus 25.
  LONG GetColumnWidth(void* root, void* userdata, void* obj, LONG col, TreeViewFrame* frame) override;
  /// 24.
  LONG GetLineHeight(void* root, void* userdata, void* obj, LONG col, TreeViewFrame* frame) override;
  /// Draws the name in the tree column, highlighted when selected.
  void DrawCell(void* root, void* userdata, void* obj, LONG col, DrawInfo* drawinfo,
                const GeData& bgColor) override;
  /// True for the selected item.
  Bool IsSelected(void* root, void* userdata, void* obj) override;
  /// Always true: the whole tree is shown.
  Bool IsOpened(void* root, void* userdata, void* obj) override {
    (void)root;
    (void)userdata;
    (void)obj;
    return true;
  }
  /// The node's name.
  String GetName(void* root, void* userdata, void* obj) override;
  /// 0.
  VLONG GetId(void* root, void* userdata, void* obj) override {
    (void)root;
    (void)userdata;
    (void)obj;
    return 0;
  }
  /// -1: no dragging.
  LONG GetDragType(void* root, void* userdata, void* obj) override {
    (void)root;
    (void)userdata;
    (void)obj;
    return -1;
  }
  /// Nothing: the tree stays open.
  void Open(void* root, void* userdata, void* obj, Bool onoff) override {
    (void)root;
    (void)userdata;
    (void)obj;
    (void)onoff;
  }
  /// Renames the node and tells the host.
  void SetName(void* root, void* userdata, void* obj, String str) override;
  /// Selects the item and shows it in the attribute manager.
  void Select(void* root, void* userdata, void* obj, LONG mode) override;
  /// True for the right button.
  Bool MouseDown(void* root, void* userdata, void* obj, LONG col, const BaseContainer& msg,
                 Bool rightButton) override;

  /// The selected node when it still lies in the tree of `root`, else null.
  BaseShader* Selected(void* root);
  /// Forgets the selection.
  void ClearSelection() { selected_.SetLink(nullptr); }

 private:
  // A weak link: a node freed meanwhile (an undone Add) reads as none.
  BaseLink selected_;
};

/// The element in a dialog: the tree view and the Add and Remove buttons.
class MaterialTreeDialog : public iCustomGui {
 public:
  MaterialTreeDialog(const BaseContainer& settings, CUSTOMGUIPLUGIN* plugin) : iCustomGui(settings, plugin) {}
  /// The tree view and the buttons; the tree shows the material handed in before.
  Bool CreateLayout() override;
  Bool InitValues() override { return true; }
  /// Add (1002) and Remove (1003); true.
  Bool Command(LONG id, const BaseContainer& msg) override;
  void DestroyWindow() override {}
  void CustomGuiRedraw() override {}
  /// Records the linked material; another material than before is shown at once.
  Bool SetData(const TriState<GeData>& tristate) override;
  /// Empty: the element writes nothing back.
  TriState<GeData> GetData() override { return TriState<GeData>(); }

  /// The tree view gadget, null before the layout.
  TreeViewCustomGui* Tree() const { return tree_; }
  /// The tree callbacks.
  MyTreeViewFunctions& Functions() { return functions_; }

 private:
  void ShowRoot();
  TreeViewCustomGui* tree_ = nullptr;
  MyTreeViewFunctions functions_;
  BaseMaterial* root_ = nullptr;
  BaseMaterial* material_ = nullptr;
};

/// The tree of a container material's nodes.
class MaterialTree : public CustomGuiData {
 public:
  LONG GetId() override { return 1000002; }
  CDialog* Alloc(const BaseContainer& settings) override;
  void Free(CDialog* dlg, void* userdata) override;
  const CHAR* GetResourceSym() override { return "CORVANE_TREE_GUI"; }
  /// The host's link data type.
  LONG GetResourceDataType(LONG*& table) override;
};

/// Installs the element's function table and registers the element; false when the host refuses
/// either.
Bool RegisterTreeGUI();
