// The CorvanePreview interface element.
#pragma once

#include "c4d.h"

/// The preview's drawing area: shows the dialog's display bitmap.
class CorvanePreviewUA : public GeUserArea {
 public:
  Bool Init() override {
    cleared = 0;
    return image != nullptr;
  }
  /// The bitmap's size, or 150 x 150 without one.
  Bool GetMinSize(LONG& w, LONG& h) override;
  void DrawMsg(LONG x1, LONG y1, LONG x2, LONG y2, const BaseContainer& msg) override;

  LONG cleared = 0;
  BaseBitmap* image = nullptr;  ///< Not owned: the dialog's display bitmap.
};

/// The element's dialog: the image of the bound path at 150 x 150, reloaded while it is written.
class CorvanePreviewDialog : public iCustomGui {
 public:
  CorvanePreviewDialog(const BaseContainer& settings, CUSTOMGUIPLUGIN* plugin);
  ~CorvanePreviewDialog() override { BaseBitmap::Free(image); }
  Bool CreateLayout() override;
  Bool InitValues() override { return true; }
  Bool Command(LONG, const BaseContainer&) override { return true; }
  /// Reloads the image; stops polling once a load fails.
  void Timer(const BaseContainer& msg) override;
  /// The right mouse button opens the menu; "Open in Picture Viewer" shows the image.
  LONG Message(const BaseContainer& msg, BaseContainer& result) override;
  void CustomGuiRedraw() override { area.Redraw(); }
  /// Takes a new path; a different one is loaded and, when that went well or the file is not
  /// there yet, polled every 3000 ms.
  Bool SetData(const TriState<GeData>& tristate) override;
  /// The stored path.
  TriState<GeData> GetData() override;
  Bool SupportLayoutSwitch() override { return true; }
  Bool LayoutModeChanged() override;
  /// Loads `path` (or the placeholder) into the display bitmap; true while polling should go on.
  Bool UpdateImage();

  CorvanePreviewUA area;
  String path;
  bool tristate = false;
  BaseBitmap* image = nullptr;  ///< Owned: the 150 x 150 display bitmap.

 private:
  void BuildArea();
};

/// The material preview of the plug-in material's description.
class CorvanePreview : public CustomGuiData {
 public:
  LONG GetId() override { return 1024403; }
  CDialog* Alloc(const BaseContainer& settings) override;
  void Free(CDialog* dlg, void* userdata) override;
  const CHAR* GetResourceSym() override { return "CORVANE_PREVIEW_GUI"; }
  LONG GetResourceDataType(LONG*& table) override;
};

/// Installs the element's function table and registers the element; false when the host refuses
/// either.
Bool RegisterPreviewGUI();
