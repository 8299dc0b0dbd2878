// Custom interface elements: the dialog a custom element shows for one parameter, and the value
// the host hands it.
#pragma once

#include "c4d_gui.h"
#include "c4d_nodedata.h"

/// A value of a parameter shown for several nodes at once: the first value, and whether the
/// others differ from it.
template <class T>
class TriState {
 public:
  TriState() = default;
  explicit TriState(const T& value) { Add(value); }
  /// Adds the value of one more node.
  void Add(const T& value) {
    if (empty_) {
      value_ = value;
      empty_ = false;
    } else if (!(value == value_)) {
      tri_ = true;
    }
  }
  /// The first value.
  const T& GetValue() const { return value_; }
  /// True when the nodes' values differ.
  Bool GetTri() const { return tri_; }

 private:
  T value_{};
  bool empty_ = true;
  bool tri_ = false;
};

/// Layout modes of a custom element (`iCustomGui::GetLayoutMode`).
enum {
  LAYOUTMODE_NONE = 0,
  LAYOUTMODE_MINIMIZED = 1,
  LAYOUTMODE_MAXIMIZED = 2,  ///< Expanded.
};

/// The dialog of a custom element for one parameter.
class iCustomGui : public GeDialog {
 public:
  iCustomGui(const BaseContainer& settings, CUSTOMGUIPLUGIN* plugin) : settings_(settings) { (void)plugin; }
  /// Shows a new value.
  virtual Bool SetData(const TriState<GeData>& tristate) {
    (void)tristate;
    return true;
  }
  /// The value the element holds.
  virtual TriState<GeData> GetData() { return TriState<GeData>(); }
  /// Redraws the element.
  virtual void CustomGuiRedraw() {}
  /// True when the element can switch between layouts.
  virtual Bool SupportLayoutSwitch() { return false; }
  /// The host switched the layout mode.
  virtual Bool LayoutModeChanged() { return true; }
  /// The current layout mode.
  LONG GetLayoutMode() const { return layoutMode_; }
  /// Sets the layout mode (host use; then calls `LayoutModeChanged`).
  void SetLayoutMode(LONG mode) { layoutMode_ = mode; }
  /// The host's pointer to this dialog, as `CustomGuiData::Alloc` answers it.
  CDialog* Get() { return reinterpret_cast<CDialog*>(this); }
  /// The element dialog behind a host pointer of `Get` (host use).
  static iCustomGui* FromHost(CDialog* dlg) { return reinterpret_cast<iCustomGui*>(dlg); }

 protected:
  /// The settings the element was made with.
  const BaseContainer& GetSettings() const { return settings_; }

 private:
  BaseContainer settings_;
  LONG layoutMode_ = LAYOUTMODE_MAXIMIZED;
};
