#include "gui/corvaneheader.h"

#include <algorithm>
#include <new>

namespace {

// The element's own function table (the preview element has its own).
BaseCustomGuiLib library;
LONG dataTypes[] = {130};  // the host's String data type
constexpr LONG kArea = 1000;
constexpr LONG kScaleFitH = 56;

}  // namespace

Bool CorvaneHeaderUA::Init() {
  width = height = 0;
  if (image) image->Init(GeGetPluginPath() + Filename("res") + Filename("corvaneHeader.tif"));
  return image != nullptr;
}

Bool CorvaneHeaderUA::GetMinSize(LONG& w, LONG& h) {
  w = 0;
  h = 25;
  return true;
}

void CorvaneHeaderUA::Sized(LONG w, LONG h) {
  width = w;
  height = h;
}

void CorvaneHeaderUA::DrawMsg(LONG, LONG, LONG, LONG, const BaseContainer&) {
  if (!image) return;
  const LONG w = GetWidth(), h = GetHeight();
  OffScreenOn();
  LONG br = 0, bg = 0, bb = 0, ar = 0, ag = 0, ab = 0;
  GetColorRGB(COLOR_BG, br, bg, bb);
  GetColorRGB(COLOR_TEXT_FOCUS, ar, ag, ab);
  BaseBitmap* work = BaseBitmap::Alloc();
  if (!work || work->Init(w, h, 24) != IMAGERESULT_OK) {
    BaseBitmap::Free(work);
    return;
  }
  for (LONG y = 0; y < h; ++y)
    for (LONG x = 0; x < w; ++x) work->SetPixel(x, y, br, bg, bb);
  const LONG n = static_cast<LONG>(0.6 * w);
  for (LONG y = 4; y <= h - 5; ++y) {
    for (LONG x = 12; x < n; ++x) {
      const double t = static_cast<double>(x) / n;
      work->SetPixel(x, y, static_cast<LONG>(ar * (1 - t) + br * t), static_cast<LONG>(ag * (1 - t) + bg * t),
                     static_cast<LONG>(ab * (1 - t) + bb * t));
    }
  }
  // The image is composited only when it fits the strip: a whole multiple of its height, with
  // alpha. The band is shown either way.
  const LONG ih = image->GetBh();
  if (h > 0 && ih > 0 && ih % h == 0 && image->HasAlphaChannel()) {
    const LONG cols = std::min(image->GetBw(), w);
    for (LONG y = 0; y < h; ++y) {
      for (LONG x = 0; x < cols; ++x) {
        const double a = image->GetAlphaPixel(x, y) / 255.0;
        LONG wr, wg, wb, ir, ig, ib;
        work->GetPixel(x, y, &wr, &wg, &wb);
        image->GetPixel(x, y, &ir, &ig, &ib);
        work->SetPixel(x, y, static_cast<LONG>(wr * (1 - a) + ir * a),
                       static_cast<LONG>(wg * (1 - a) + ig * a), static_cast<LONG>(wb * (1 - a) + ib * a));
      }
    }
  }
  DrawBitmap(work, 0, 0, w, h, 0, 0, w, h);
  BaseBitmap::Free(work);
}

CorvaneHeaderDialog::CorvaneHeaderDialog(const BaseContainer& settings, CUSTOMGUIPLUGIN* plugin)
    : iCustomGui(settings, plugin) {
  area.image = BaseBitmap::Alloc();
}

Bool CorvaneHeaderDialog::CreateLayout() {
  AddUserArea(kArea, kScaleFitH, 15, 0);
  AttachUserArea(area, kArea);
  return true;
}

Bool CorvaneHeaderDialog::SetData(const TriState<GeData>& tri) {
  value = tri.GetValue().GetString();
  tristate = tri.GetTri();
  return InitValues();
}

TriState<GeData> CorvaneHeaderDialog::GetData() { return TriState<GeData>(GeData(value)); }

CDialog* CorvaneHeader::Alloc(const BaseContainer& settings) {
  auto* dlg = new (std::nothrow) CorvaneHeaderDialog(settings, GetPlugin());
  return dlg ? dlg->Get() : nullptr;
}

void CorvaneHeader::Free(CDialog* dlg, void* userdata) {
  if (dlg && userdata) delete static_cast<iCustomGui*>(userdata);
}

LONG CorvaneHeader::GetResourceDataType(LONG*& table) {
  table = dataTypes;
  return 1;
}

Bool RegisterHeaderGUI() {
  library = BaseCustomGuiLib();
  FillBaseCustomGui(library);
  if (!InstallLibrary(1024271, &library, 1000, sizeof(library))) return false;
  return RegisterCustomGuiPlugin("My String GUI", 0, new CorvaneHeader);
}
