#include "gui/corvanepreview.h"

#include <new>

namespace {

// The element's own function table (the header element has its own).
BaseCustomGuiLib library;
LONG dataTypes[] = {130};  // the host's String data type
constexpr LONG kSize = 150;
constexpr LONG kPollMs = 3000;
constexpr LONG kPathText = 1000;
constexpr LONG kGroup = 1001;
constexpr LONG kArea = 1002;
constexpr LONG kInner = 1003;  // the group inside 1001 that a layout switch rebuilds

enum {
  MENU_LARGE = 900000,
  MENU_MEDIUM = 900001,
  MENU_SMALL = 900002,
  MENU_VIEWER = 900003,
};

Filename Placeholder() { return GeGetPluginPath() + Filename("res") + Filename("noPreview.jpg"); }

}  // namespace

Bool CorvanePreviewUA::GetMinSize(LONG& w, LONG& h) {
  w = image ? image->GetBw() : kSize;
  h = image ? image->GetBh() : kSize;
  return true;
}

void CorvanePreviewUA::DrawMsg(LONG x1, LONG y1, LONG x2, LONG y2, const BaseContainer&) {
  OffScreenOn();
  if (image) {
    DrawBitmap(image, 0, 0, image->GetBw(), image->GetBh(), 0, 0, image->GetBw(), image->GetBh());
  } else {
    DrawSetPen(LVector(0.5, 0.5, 0.5));
    DrawRectangle(x1, y1, x2, y2);
  }
}

CorvanePreviewDialog::CorvanePreviewDialog(const BaseContainer& settings, CUSTOMGUIPLUGIN* plugin)
    : iCustomGui(settings, plugin), path(Placeholder().GetString()) {
  image = BaseBitmap::Alloc();
  UpdateImage();
  area.image = image;
}

Bool CorvanePreviewDialog::UpdateImage() {
  if (!image) return false;
  const Filename file(path);
  if (!GeFExist(file)) return true;
  if (image->Init(kSize, kSize, 24) != IMAGERESULT_OK) return false;
  BaseBitmap* loaded = BaseBitmap::Alloc();
  if (!loaded) return false;
  const bool own = loaded->Init(file) == IMAGERESULT_OK;
  bool usable = own;
  if (!own) usable = loaded->Init(Placeholder()) == IMAGERESULT_OK;
  // Nothing is scaled when neither image loaded: the display stays black.
  if (usable && loaded->GetBw() > 0 && loaded->GetBh() > 0)
    loaded->ScaleBicubic(image, 0, 0, loaded->GetBw() - 1, loaded->GetBh() - 1, 0, 0, kSize - 1, kSize - 1);
  BaseBitmap::Free(loaded);
  return own;
}

void CorvanePreviewDialog::BuildArea() {
  if (GetLayoutMode() == LAYOUTMODE_MAXIMIZED) {
    GroupBegin(kInner, 56 | 4, 1, 0, String(), 0);
    AddUserArea(kArea, 56, 75, 75);
    AttachUserArea(area, kArea);
    GroupEnd();
  } else {
    GroupBegin(kInner, 0, 0, 1, String(), 0);
    GroupEnd();
  }
}

Bool CorvanePreviewDialog::CreateLayout() {
  GroupBegin(kGroup, 8, 1, 0, "Material Preview", 0);
  BuildArea();
  GroupEnd();
  AddEditText(kPathText, 0, 0, 0);
  HideElement(kPathText, true);
  return true;
}

Bool CorvanePreviewDialog::LayoutModeChanged() {
  LayoutFlushGroup(kGroup);
  BuildArea();
  LayoutChanged(kGroup);
  return InitValues();
}

Bool CorvanePreviewDialog::SetData(const TriState<GeData>& tri) {
  if (!image) return false;
  const String old = path;
  path = tri.GetValue().GetString();
  tristate = tri.GetTri();
  if (!(path == old) && UpdateImage()) SetTimer(kPollMs);
  area.Redraw();
  return InitValues();
}

TriState<GeData> CorvanePreviewDialog::GetData() { return TriState<GeData>(GeData(path)); }

void CorvanePreviewDialog::Timer(const BaseContainer&) {
  if (!UpdateImage()) SetTimer(0);
  area.Redraw();
}

LONG CorvanePreviewDialog::Message(const BaseContainer& msg, BaseContainer& result) {
  if (msg.GetId() == BFM_INPUT && msg.GetLong(BFM_INPUT_DEVICE) == BFM_INPUT_MOUSE &&
      msg.GetLong(BFM_INPUT_CHANNEL) == BFM_INPUT_MOUSERIGHT) {
    BaseContainer menu;
    menu.SetString(MENU_SMALL, "Small");
    menu.SetString(MENU_MEDIUM, "Medium");
    menu.SetString(MENU_LARGE, "Large");
    menu.SetString(0, String());
    menu.SetString(MENU_VIEWER, "Open in Picture Viewer");
    const LONG chosen = ShowPopupMenu(this, msg.GetLong(BFM_INPUT_X), msg.GetLong(BFM_INPUT_Y), menu);
    if (chosen == MENU_VIEWER) ShowBitmap(Filename(path));
    return true;
  }
  return iCustomGui::Message(msg, result);
}

CDialog* CorvanePreview::Alloc(const BaseContainer& settings) {
  auto* dlg = new (std::nothrow) CorvanePreviewDialog(settings, GetPlugin());
  return dlg ? dlg->Get() : nullptr;
}

void CorvanePreview::Free(CDialog* dlg, void* userdata) {
  if (dlg && userdata) delete static_cast<iCustomGui*>(userdata);
}

LONG CorvanePreview::GetResourceDataType(LONG*& table) {
  table = dataTypes;
  return 1;
}

Bool RegisterPreviewGUI() {
  library = BaseCustomGuiLib();
  FillBaseCustomGui(library);
  if (!InstallLibrary(1024403, &library, 1000, sizeof(library))) return false;
  return RegisterCustomGuiPlugin("My String GUI", 0x20000001, new CorvanePreview);
}
