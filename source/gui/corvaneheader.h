// The CorvaneHeader interface element.
#pragma once

#include "c4d.h"

/// The strip's drawing area: a colour band with the header image over it.
class CorvaneHeaderUA : public GeUserArea {
 public:
  ~CorvaneHeaderUA() override { BaseBitmap::Free(image); }
  /// Loads "res/corvaneHeader.tif"; true when the image object exists.
  Bool Init() override;
  /// 0 x 25.
  Bool GetMinSize(LONG& w, LONG& h) override;
  void Sized(LONG w, LONG h) override;
  /// Draws the band, then the image where it can be composited.
  void DrawMsg(LONG x1, LONG y1, LONG x2, LONG y2, const BaseContainer& msg) override;

  LONG width = 0;
  LONG height = 0;
  BaseBitmap* image = nullptr;  ///< Owned.
};

/// The element's dialog for one parameter.
class CorvaneHeaderDialog : public iCustomGui {
 public:
  CorvaneHeaderDialog(const BaseContainer& settings, CUSTOMGUIPLUGIN* plugin);
  Bool CreateLayout() override;
  Bool InitValues() override { return true; }
  Bool Command(LONG, const BaseContainer&) override { return true; }
  void CustomGuiRedraw() override { area.Redraw(); }
  /// Stores the value and whether it is ambiguous.
  Bool SetData(const TriState<GeData>& tristate) override;
  /// The stored value.
  TriState<GeData> GetData() override;

  CorvaneHeaderUA area;
  String value{"[default"};
  bool tristate = false;
};

/// The header image at the top of the plug-in's descriptions.
class CorvaneHeader : public CustomGuiData {
 public:
  LONG GetId() override { return 1024271; }
  CDialog* Alloc(const BaseContainer& settings) override;
  void Free(CDialog* dlg, void* userdata) override;
  const CHAR* GetResourceSym() override { return "CORVANE_HEADER_GUI"; }
  LONG GetResourceDataType(LONG*& table) override;
};

/// Installs the element's function table and registers the element; false when the host refuses
/// either.
Bool RegisterHeaderGUI();
