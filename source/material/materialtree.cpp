#include "material/materialtree.h"

#include <new>

#include "material/advancedorvanematerial.h"
#include "material/orvanecontainermaterial.h"

namespace {

BaseCustomGuiLib library;
LONG dataTypes[] = {DTYPE_BASELISTLINK};  // the element shows a link

constexpr LONG kTree = 1000;
constexpr LONG kButtons = 1001;
constexpr LONG kAdd = 1002;
constexpr LONG kRemove = 1003;
constexpr LONG kColumn = 1;
constexpr LONG kFitBoth = 63;
constexpr LONG kFitH = 56;
constexpr LONG kMsgChange = 7;
constexpr LONG kMsgRenamed = 5;
constexpr LONG kAttributeObjectMode = 4;
constexpr LONG kBlend = MAT_TYPE_BLEND + NODE_ID_OFFSET;
// Deeper than this the child links run in a circle.
constexpr int kMaxDepth = 256;

BaseShader* ItemOf(void* obj) { return static_cast<BaseShader*>(obj); }

AdvancedOrvaneMaterial* NodeOf(void* obj) {
  BaseShader* s = ItemOf(obj);
  if (!s || s->GetType() != ID_ADVANCEDORVANEMATERIAL) return nullptr;
  return static_cast<AdvancedOrvaneMaterial*>(s->GetNodeData());
}

// The container's root node, resolved in the active document.
BaseShader* RootNode(BaseMaterial* container) {
  if (!container || container->GetType() != ID_ORVANECONTAINERMATERIAL) return nullptr;
  const BaseContainer data = container->GetData();
  return static_cast<BaseShader*>(data.GetLink(MAT_CONTAINER_ROOT, GetActiveDocument(), 0));
}

bool Contains(MyTreeViewFunctions& f, void* root, void* obj, void* target, int depth) {
  for (; obj && depth < kMaxDepth; obj = f.GetNext(root, nullptr, obj)) {
    if (obj == target) return true;
    if (Contains(f, root, f.GetDown(root, nullptr, obj), target, depth + 1)) return true;
  }
  return false;
}

}  // namespace

void* MyTreeViewFunctions::GetFirst(void* root, void*) { return RootNode(static_cast<BaseMaterial*>(root)); }

void* MyTreeViewFunctions::GetDown(void*, void*, void* obj) {
  AdvancedOrvaneMaterial* node = NodeOf(obj);
  if (!node || node->GetMaterialType() != kBlend) return nullptr;
  return node->GetFirstBlendChild();
}

void* MyTreeViewFunctions::GetNext(void*, void*, void* obj) {
  AdvancedOrvaneMaterial* node = NodeOf(obj);
  return node ? node->GetSiblingBlend() : nullptr;
}

LONG MyTreeViewFunctions::GetColumnWidth(void* root, void* userdata, void* obj, LONG, TreeViewFrame* frame) {
  return (frame ? frame->DrawGetTextWidth(GetName(root, userdata, obj)) : 0) + 25;
}

LONG MyTreeViewFunctions::GetLineHeight(void*, void*, void*, LONG, TreeViewFrame*) { return 24; }

void MyTreeViewFunctions::DrawCell(void* root, void* userdata, void* obj, LONG col, DrawInfo* info,
                                   const GeData&) {
  if (col != kColumn || !info || !info->frame) return;
  TreeViewFrame* frame = info->frame;
  frame->DrawSetTextCol(IsSelected(root, userdata, obj) ? COLOR_TEXT_SELECTED : COLOR_TEXT, COLOR_BGEDIT);
  const LONG y = info->ypos + (info->height - frame->DrawGetFontHeight()) / 2 + 2;
  frame->DrawText(GetName(root, userdata, obj), info->xpos + 22, y);
}

Bool MyTreeViewFunctions::IsSelected(void*, void*, void* obj) {
  return obj && obj == selected_.GetLink(ItemOf(obj)->GetDocument());
}

String MyTreeViewFunctions::GetName(void*, void*, void* obj) {
  return obj ? ItemOf(obj)->GetName() : String();
}

void MyTreeViewFunctions::SetName(void*, void*, void* obj, String str) {
  if (!obj) return;
  BaseShader* item = ItemOf(obj);
  if (BaseDocument* doc = item->GetDocument()) {
    doc->StartUndo();
    doc->AddUndo(UNDOTYPE_CHANGE_SMALL, item);
    doc->EndUndo();
  }
  item->SetName(str);
  item->Message(kMsgRenamed);
  EventAdd();
}

void MyTreeViewFunctions::Select(void*, void*, void* obj, LONG) {
  selected_.SetLink(ItemOf(obj));
  if (obj) ActiveObjectManager_SetObject(kAttributeObjectMode, ItemOf(obj), 2);
}

Bool MyTreeViewFunctions::MouseDown(void*, void*, void*, LONG, const BaseContainer&, Bool rightButton) {
  return rightButton;
}

BaseShader* MyTreeViewFunctions::Selected(void* root) {
  auto* item = static_cast<BaseShader*>(selected_.GetLink(GetActiveDocument()));
  if (!item || !Contains(*this, root, GetFirst(root, nullptr), item, 0)) return nullptr;
  return item;
}

Bool MaterialTreeDialog::CreateLayout() {
  BaseContainer settings;
  settings.SetLong(TREEVIEW_BORDER, 9);
  settings.SetBool(TREEVIEW_HIDE_LINES, false);
  settings.SetBool(TREEVIEW_RESIZE_HEADER, true);
  settings.SetBool(TREEVIEW_HAS_HEADER, false);
  settings.SetBool(TREEVIEW_NOMULTISELECT, true);
  settings.SetBool(TREEVIEW_MOVE_COLUMN, true);
  tree_ = static_cast<TreeViewCustomGui*>(
      AddCustomGui(kTree, CUSTOMGUI_TREEVIEW, String(), kFitBoth, 0, 100, settings));
  root_ = material_;
  if (tree_) {
    tree_->SetRoot(root_, &functions_, nullptr);
    BaseContainer layout;
    layout.SetLong(kColumn, LV_TREE);
    tree_->SetLayout(1, layout);
  }
  GroupBegin(kButtons, kFitH, 2, 0, String(), 0);
  AddButton(kAdd, kFitH, 0, 10, String("Add"));
  AddButton(kRemove, kFitH, 0, 10, String("Remove"));
  GroupEnd();
  return true;
}

Bool MaterialTreeDialog::Command(LONG id, const BaseContainer&) {
  if (id == kAdd) {
    BaseShader* item = root_ ? functions_.Selected(root_) : nullptr;
    AdvancedOrvaneMaterial* node = NodeOf(item);
    if (!node) return true;
    if (node->GetMaterialType() != kBlend) {
      MessageDialog(String("This is not a blend material."));
      return true;
    }
    node->AddBlendMaterial();  // one undo step: the link and the new child
    LayoutChanged(kTree);
  } else if (id == kRemove) {
    BaseShader* item = root_ ? functions_.Selected(root_) : nullptr;
    if (!item) return true;
    if (RootNode(root_) == item) {
      MessageDialog(String("You cannot delete the root material."));
      return true;
    }
    // One undo step: the parent's link to the node, and the node with its subtree, which the
    // step keeps so that undoing puts it back.
    auto* parent = static_cast<BaseShader*>(item->GetUp());
    BaseDocument* doc = item->GetDocument();
    if (doc) {
      doc->StartUndo();
      if (parent) doc->AddUndo(UNDOTYPE_CHANGE_SMALL, parent);
      doc->AddUndo(UNDOTYPE_DELETE, item);
    }
    if (parent && parent->GetType() == ID_ADVANCEDORVANEMATERIAL) {
      BaseContainer* data = parent->GetDataInstance();
      for (int link : {NODE_BLEND_A, NODE_BLEND_B})
        if (data->GetLink(link, doc, 0) == item) data->SetLink(link, nullptr);
    }
    item->Remove();
    if (doc) {
      doc->EndUndo();
    } else {
      BaseShader::Free(item);
    }
    functions_.ClearSelection();
    root_->Message(kMsgChange);
    EventAdd();
    LayoutChanged(kTree);
  }
  return true;
}

void MaterialTreeDialog::ShowRoot() {
  root_ = material_;
  functions_.ClearSelection();
  if (!tree_) return;
  tree_->SetRoot(root_, &functions_, nullptr);
  LayoutChanged(kTree);
}

Bool MaterialTreeDialog::SetData(const TriState<GeData>& tristate) {
  auto* mat = static_cast<BaseMaterial*>(tristate.GetValue().GetLink(GetActiveDocument(), 0));
  const bool other = mat != material_;
  material_ = mat;
  // Once the layout stands, another material is shown at once; the tree must not keep the
  // nodes of a material that may be gone.
  if (other && tree_) ShowRoot();
  return InitValues();
}

CDialog* MaterialTree::Alloc(const BaseContainer& settings) {
  auto* dlg = new (std::nothrow) MaterialTreeDialog(settings, GetPlugin());
  return dlg ? dlg->Get() : nullptr;
}

void MaterialTree::Free(CDialog* dlg, void* userdata) {
  if (dlg && userdata) delete static_cast<iCustomGui*>(userdata);
}

LONG MaterialTree::GetResourceDataType(LONG*& table) {
  table = dataTypes;
  return 1;
}

Bool RegisterTreeGUI() {
  library = BaseCustomGuiLib();
  FillBaseCustomGui(library);
  if (!InstallLibrary(1000002, &library, 1000, sizeof(library))) return false;
  return RegisterCustomGuiPlugin("My String GUI", 0, new MaterialTree);
}
