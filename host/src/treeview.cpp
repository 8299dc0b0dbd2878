// The tree view gadget and the custom elements of dialogs.
#include "c4d_treeview.h"

#include <new>

#include "c4d_baselist.h"
#include "c4d_general.h"
#include "c4d_gui.h"
#include "host_record.h"
#include "host_control.h"

namespace {
constexpr LONG kCharWidth = 7;
constexpr LONG kIndent = 12;
}  // namespace

void TreeViewFrame::DrawSetTextCol(LONG fg, LONG bg) {
  calls_.push_back("DrawSetTextCol " + std::to_string(fg) + " " + std::to_string(bg));
}

void TreeViewFrame::DrawText(const String& text, LONG x, LONG y) {
  calls_.push_back("DrawText " + host::ToUtf8(text) + " " + std::to_string(x) + " " + std::to_string(y));
}

LONG TreeViewFrame::DrawGetTextWidth(const String& text) const { return text.GetLength() * kCharWidth; }

Bool TreeViewCustomGui::SetRoot(void* root, TreeViewFunctions* functions, void* userdata) {
  root_ = root;
  functions_ = functions;
  userdata_ = userdata;
  return true;
}

Bool TreeViewCustomGui::SetLayout(LONG columns, const BaseContainer& layout) {
  columns_.clear();
  for (LONG i = 0; i < columns; ++i) {
    const LONG id = layout.GetIndexId(i);
    if (id == NOTOK) return false;
    columns_.emplace_back(id, layout.GetLong(id));
  }
  return true;
}

void TreeViewCustomGui::Collect(void* obj, int depth, std::vector<TreeLine>& out) const {
  // A tree deeper than this is a cycle of the callbacks.
  while (obj && out.size() < 100000) {
    out.push_back({depth, host::ToUtf8(functions_->GetName(root_, userdata_, obj)),
                   functions_->IsSelected(root_, userdata_, obj) != FALSE, obj});
    if (functions_->IsOpened(root_, userdata_, obj) && depth < 1000)
      Collect(functions_->GetDown(root_, userdata_, obj), depth + 1, out);
    obj = functions_->GetNext(root_, userdata_, obj);
  }
}

std::vector<TreeLine> TreeViewCustomGui::Lines() const {
  std::vector<TreeLine> out;
  if (functions_) Collect(functions_->GetFirst(root_, userdata_), 0, out);
  return out;
}

std::vector<std::string> TreeViewCustomGui::Draw() const {
  TreeViewFrame frame;
  LONG y = 0;
  for (const TreeLine& line : Lines()) {
    const LONG col0 = columns_.empty() ? 0 : columns_.front().first;
    const LONG h = functions_->GetLineHeight(root_, userdata_, line.item, col0, &frame);
    LONG x = line.depth * kIndent;
    for (const auto& column : columns_) {
      DrawInfo info;
      info.frame = &frame;
      info.xpos = x;
      info.ypos = y;
      info.width = functions_->GetColumnWidth(root_, userdata_, line.item, column.first, &frame);
      info.height = h;
      functions_->DrawCell(root_, userdata_, line.item, column.first, &info, GeData(COLOR_BGEDIT));
      x += info.width;
    }
    y += h;
  }
  return frame.Calls();
}

Bool TreeViewCustomGui::Click(int index) {
  const std::vector<TreeLine> lines = Lines();
  if (index < 0 || index >= static_cast<int>(lines.size())) return false;
  functions_->Select(root_, userdata_, lines[index].item, SELECTION_TREE_NEW);
  return true;
}

Bool TreeViewCustomGui::Rename(int index, const String& name) {
  const std::vector<TreeLine> lines = Lines();
  if (index < 0 || index >= static_cast<int>(lines.size())) return false;
  functions_->SetName(root_, userdata_, lines[index].item, name);
  return true;
}

Bool TreeViewCustomGui::Press(int index, Bool rightButton) {
  const std::vector<TreeLine> lines = Lines();
  if (index < 0 || index >= static_cast<int>(lines.size())) return false;
  BaseContainer msg(BFM_INPUT);
  msg.SetLong(BFM_INPUT_DEVICE, BFM_INPUT_MOUSE);
  msg.SetLong(BFM_INPUT_CHANNEL, rightButton ? BFM_INPUT_MOUSERIGHT : BFM_INPUT_MOUSELEFT);
  const LONG col0 = columns_.empty() ? 0 : columns_.front().first;
  return functions_->MouseDown(root_, userdata_, lines[index].item, col0, msg, rightButton);
}

BaseCustomGui* GeDialog::AddCustomGui(LONG id, LONG pluginid, const String& name, LONG flags, LONG minw,
                                      LONG minh, const BaseContainer& settings) {
  (void)flags;
  if (pluginid != CUSTOMGUI_TREEVIEW || gadgets_.count(id)) return nullptr;
  if (!Add(id, GadgetKind::UserArea, name)) return nullptr;
  gadgets_[id].minWidth = minw;
  gadgets_[id].minHeight = minh;
  auto gui = std::make_shared<TreeViewCustomGui>(pluginid, settings);
  customs_[id] = gui;
  return gui.get();
}

BaseCustomGui* GeDialog::FindCustomGui(LONG id, LONG pluginid) const {
  auto it = customs_.find(id);
  if (it == customs_.end() || it->second->GetCustomGuiId() != pluginid) return nullptr;
  return it->second.get();
}

void ActiveObjectManager_SetObject(LONG mode, BaseList2D* op, LONG flags) {
  host::NoteInterfaceCall("ActiveObjectManager_SetObject " + std::to_string(mode) + " " +
                          (op ? host::ToUtf8(op->GetName()) : std::string()) + " " + std::to_string(flags));
}
