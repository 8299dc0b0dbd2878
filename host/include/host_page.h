// The attribute page of one node, as the host's attribute manager lays it out: the custom interface
// elements the node's description names. Nothing here is part of the plug-in interface; the
// embedding program (the runner, a test) makes pages.
#pragma once

#include <memory>
#include <vector>

#include "c4d_customgui.h"
#include "c4d_description.h"

class BaseList2D;

namespace host {

/// The page of a node: one element for every shown parameter of its description (as
/// `BaseList2D::GetDescription` gives it) whose entry names a custom element (`DESC_CUSTOMGUI`)
/// that is registered for the parameter's type. Each element is made by its plug-in
/// (`CustomGuiData::Alloc`), handed the parameter's value (`iCustomGui::SetData`) and laid out
/// (`GeDialog::Open` without a loop); the page frees them through their plug-in. A page must not
/// outlive the registrations it used.
class AttributePage {
 public:
  /// Lays out the page of `node` (an empty page for null, or when the node has no description).
  explicit AttributePage(BaseList2D* node);
  ~AttributePage();
  AttributePage(const AttributePage&) = delete;
  AttributePage& operator=(const AttributePage&) = delete;

  /// The element made for parameter `id`, or null.
  iCustomGui* Element(LONG id) const;
  /// The IDs of the parameters that have an element, in page order.
  std::vector<LONG> ElementIds() const;

 private:
  struct Made {
    LONG id;
    CustomGuiData* plugin;
    CDialog* dialog;
  };
  std::vector<Made> elements_;
};

}  // namespace host
