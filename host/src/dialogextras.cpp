// Dialog pieces beyond plain gadgets: separators, the standard buttons, dialog resources, group
// rebuilding, modal dialogs with a result, pop-up menus and the picture viewer.
#include <fstream>
#include <string>

#include <nlohmann/json.hpp>

#include "c4d_general.h"
#include "c4d_gui.h"
#include "host_record.h"
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

Bool GeDialog::LoadDialogResource(LONG id, BaseContainer*, LONG) {
  const std::string path = host::PluginPath() + "/res/dialogs/" + std::to_string(id) + ".json";
  std::ifstream in(path);
  if (!in) return false;
  nlohmann::json doc = nlohmann::json::parse(in, nullptr, false);
  if (doc.is_discarded() || !doc.is_object() || !doc.contains("gadgets") || !doc["gadgets"].is_array())
    return false;
  for (const auto& g : doc["gadgets"]) {
    if (!g.is_object() || !g.contains("id") || !g["id"].is_number_integer()) return false;
    const LONG gid = g["id"].get<LONG>();
    const std::string kind = g.value("kind", std::string());
    const String text(g.value("text", std::string()));
    if (kind == "text") AddStaticText(gid, 0, 0, 0, text, 0);
    else if (kind == "button") AddButton(gid, 0, 0, 0, text);
    else if (kind == "checkbox") AddCheckbox(gid, 0, 0, 0, text);
    else if (kind == "number") AddEditNumberArrows(gid, 0);
    else if (kind == "edit") AddEditText(gid, 0);
    else if (kind == "combobox") {
      AddComboBox(gid, 0);
      for (const auto& e : g.value("entries", nlohmann::json::array())) {
        if (!e.is_array() || e.size() != 2 || !e[0].is_number_integer() || !e[1].is_string()) return false;
        AddChild(gid, e[0].get<LONG>(), String(e[1].get<std::string>()));
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
  bool removed = true;
  while (removed) {
    removed = false;
    for (auto it = gadgets_.begin(); it != gadgets_.end(); ++it) {
      const LONG parent = it->second.parent;
      bool inside = parent == id;
      for (LONG p = parent; !inside && p != 0;) {
        auto up = gadgets_.find(p);
        if (up == gadgets_.end() || up->first == up->second.parent) break;
        p = up->second.parent;
        inside = p == id;
      }
      if (inside) {
        areas_.erase(it->first);
        gadgets_.erase(it);
        removed = true;
        break;
      }
    }
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
