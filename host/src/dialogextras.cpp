// Dialog pieces beyond plain gadgets: separators, the standard buttons, dialog resources, group
// rebuilding, modal dialogs with a result, pop-up menus and the picture viewer.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "c4d_general.h"
#include "c4d_gui.h"
#include "host_record.h"
#include "json_tree.h"
#include "host_state.h"
#include "host_user.h"

Bool GeDialog::AddSeparatorH(LONG w, LONG) {
  // Separators have no ID of their own; they take free negative ones.
  LONG id = -1;
  while (gadgets_.count(id)) --id;
  Add(id, GadgetKind::Separator, String());
  gadgets_[id].minWidth = w;
  return true;
}

Bool GeDialog::AddDlgGroup(LONG type) {
  if (type & DLG_OK) AddButton(DLG_OK, 0, 0, 0, "OK");
  if (type & DLG_CANCEL) AddButton(DLG_CANCEL, 0, 0, 0, "Cancel");
  return (type & (DLG_OK | DLG_CANCEL)) != 0;
}

namespace {

// The text of member `key` of `n`: empty when absent; false when it is not a string.
bool TextMember(const host::json::Node& n, const char* key, std::string* text) {
  const host::json::Node* v = host::json::Value(n).Find(key);
  if (v && v->kind != host::json::Kind::String) return false;
  *text = v ? v->text : std::string();
  return true;
}

// A 32-bit integer value; false for anything else.
bool ToLong(const host::json::Value& v, LONG* out) {
  if (v.kind() != host::json::Kind::Int || v.AsInt() < INT32_MIN || v.AsInt() > INT32_MAX) return false;
  *out = static_cast<LONG>(v.AsInt());
  return true;
}

}  // namespace

Bool GeDialog::LoadDialogResource(LONG id, BaseContainer*, LONG) {
  namespace json = host::json;
  const std::string path = host::PluginPath() + "/res/dialogs/" + std::to_string(id) + ".json";
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!in) return false;
  json::Node doc;
  try {
    doc = json::ReadFile(in.get(), 16u << 20, 64);
  } catch (const json::ReadError&) {
    return false;
  }
  const json::Node* gadgets = json::Value(doc).Find("gadgets");
  if (!gadgets || gadgets->kind != json::Kind::Array) return false;
  const json::Value list(*gadgets);
  for (size_t i = 0; i < list.size(); ++i) {
    const json::Value g = list[i];
    if (g.kind() != json::Kind::Object) return false;
    const json::Node* idField = g.Find("id");
    LONG gid = 0;
    std::string kind, label;
    if (!idField || !ToLong(*idField, &gid)) return false;
    if (!TextMember(*g.node(), "kind", &kind) || !TextMember(*g.node(), "text", &label)) return false;
    const String text(label);
    if (kind == "text")
      AddStaticText(gid, 0, 0, 0, text, 0);
    else if (kind == "button")
      AddButton(gid, 0, 0, 0, text);
    else if (kind == "checkbox")
      AddCheckbox(gid, 0, 0, 0, text);
    else if (kind == "number")
      AddEditNumberArrows(gid, 0);
    else if (kind == "edit")
      AddEditText(gid, 0);
    else if (kind == "combobox") {
      AddComboBox(gid, 0);
      const json::Node* entriesField = g.Find("entries");
      if (!entriesField) continue;
      const json::Value entries(*entriesField);
      if (entries.kind() != json::Kind::Array) return false;
      for (size_t k = 0; k < entries.size(); ++k) {
        const json::Value e = entries[k];
        LONG value = 0;
        if (e.kind() != json::Kind::Array || e.size() != 2 || !ToLong(e[0], &value) ||
            e[1].kind() != json::Kind::String)
          return false;
        AddChild(gid, value, String(e[1].AsText()));
      }
    } else {
      return false;
    }
  }
  return true;
}

Bool GeDialog::LayoutFlushGroup(LONG id) {
  auto group = gadgets_.find(id);
  if (group == gadgets_.end() || group->second.kind != GadgetKind::Group) return false;
  // Removes the group's content, nested groups with theirs.
  auto within = [this, id](LONG parent) {
    bool inside = parent == id;
    for (LONG p = parent; !inside && p != 0;) {
      auto up = gadgets_.find(p);
      if (up == gadgets_.end() || up->first == up->second.parent) break;
      p = up->second.parent;
      inside = p == id;
    }
    return inside;
  };
  layout_.erase(std::remove_if(layout_.begin(), layout_.end(),
                               [&](const std::pair<LONG, Gadget>& g) { return within(g.second.parent); }),
                layout_.end());
  // Everything inside is found before anything goes: a nested group taken out first would cut
  // its own content off from the group.
  std::vector<LONG> inside;
  for (const auto& [gid, gadget] : gadgets_)
    if (within(gadget.parent)) inside.push_back(gid);
  for (LONG gid : inside) {
    areas_.erase(gid);
    gadgets_.erase(gid);
  }
  groups_.push_back(id);
  return true;
}

Bool GeDialog::LayoutChanged(LONG id) {
  if (!groups_.empty() && groups_.back() == id) groups_.pop_back();
  return gadgets_.count(id) > 0;
}

Bool GeModalDialog::Open(LONG xpos, LONG ypos, LONG defaultw, LONG defaulth) {
  result_ = false;
  if (!GeDialog::Open(DLG_TYPE_MODAL, 0, xpos, ypos, defaultw, defaulth)) return false;
  return result_;
}

Bool GeModalDialog::Close(Bool result) {
  result_ = result;
  return GeDialog::Close();
}

Bool GeModalDialog::Command(LONG id, const BaseContainer&) {
  if (id == DLG_OK) Close(true);
  if (id == DLG_CANCEL) Close(false);
  return true;
}

LONG ShowPopupMenu(GeDialog*, LONG, LONG, const BaseContainer& bc, LONG) {
  // The user sees the entries as one line: "Small|Medium|-|Open" (a separator as "-").
  std::string title;
  for (LONG i = 0; i < bc.GetCount(); ++i) {
    if (!title.empty()) title += "|";
    const LONG id = bc.GetIndexId(i);
    title += id == 0 ? std::string("-") : host::ToUtf8(bc.GetIndexData(i)->GetString());
  }
  const LONG chosen = host::user::AskPopup(title);
  if (chosen == 0) return 0;
  for (LONG i = 0; i < bc.GetCount(); ++i)
    if (bc.GetIndexId(i) == chosen) return chosen;
  return 0;
}

Bool ShowBitmap(const Filename& file) {
  host::NoteInterfaceCall("ShowBitmap " + host::ToUtf8(file.GetString()));
  return GeFExist(file);
}
