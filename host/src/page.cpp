// A node's attribute page: the custom elements its description names.
#include "host_page.h"

#include <string>

#include "c4d_baselist.h"
#include "c4d_gedata.h"
#include "host_state.h"

namespace {

// The registered element that names itself `symbol` and shows values of description type `type`.
CustomGuiData* FindElement(const std::string& symbol, LONG type) {
  for (CustomGuiData* gui : host::CustomGuis()) {
    const CHAR* sym = gui->GetResourceSym();
    if (!sym || symbol != sym) continue;
    LONG* table = nullptr;
    const LONG count = gui->GetResourceDataType(table);
    for (LONG i = 0; table && i < count; ++i)
      if (table[i] == type) return gui;
  }
  return nullptr;
}

}  // namespace

namespace host {

AttributePage::AttributePage(BaseList2D* node) {
  Description description;
  if (!node || !node->GetDescription(&description, 0)) return;
  for (LONG i = 0; i < description.GetCount(); ++i) {
    const DescID id = description.GetIndexId(i);
    const BaseContainer* settings = description.GetIndexSettings(i);
    const std::string symbol = ToUtf8(settings->GetString(DESC_CUSTOMGUI));
    if (symbol.empty() || description.IsHidden(id[0].id)) continue;
    CustomGuiData* plugin = FindElement(symbol, id[0].dtype);
    if (!plugin) continue;
    CDialog* dialog = plugin->Alloc(*settings);
    if (!dialog) continue;
    elements_.push_back(Made{id[0].id, plugin, dialog});
    iCustomGui* element = iCustomGui::FromHost(dialog);
    GeData value;
    node->GetParameter(DescID(DescLevel(id[0].id)), value);
    element->SetData(TriState<GeData>(value));
    element->Open(DLG_TYPE_ASYNC, 0);
  }
}

AttributePage::~AttributePage() {
  for (auto it = elements_.rbegin(); it != elements_.rend(); ++it) {
    iCustomGui* element = iCustomGui::FromHost(it->dialog);
    element->Close();
    it->plugin->Free(it->dialog, element);
  }
}

iCustomGui* AttributePage::Element(LONG id) const {
  for (const Made& m : elements_)
    if (m.id == id) return iCustomGui::FromHost(m.dialog);
  return nullptr;
}

std::vector<LONG> AttributePage::ElementIds() const {
  std::vector<LONG> out;
  for (const Made& m : elements_) out.push_back(m.id);
  return out;
}

}  // namespace host
