// User areas: an off-screen image per area that the area draws into.
#include <algorithm>
#include <cmath>

#include "c4d_bitmap.h"
#include "c4d_gui.h"
#include "host_userarea.h"

namespace {

struct Colour {
  LONG id;
  LONG r, g, b;
};
// The stand-in's interface colours: a dark grey background and an orange accent.
constexpr Colour kColours[] = {{COLOR_BG, 60, 60, 60}, {COLOR_TEXT_FOCUS, 232, 142, 38}};

LONG ToByte(Real c) { return static_cast<LONG>(std::lround(std::clamp(c, 0.0, 1.0) * 255.0)); }

}  // namespace

struct UserAreaHost {
  static void Resize(GeUserArea* ua, LONG w, LONG h) {
    ua->width_ = std::max<LONG>(w, 0);
    ua->height_ = std::max<LONG>(h, 0);
    ua->canvas_.assign(static_cast<size_t>(ua->width_) * ua->height_ * 3, 0);
    ua->Sized(ua->width_, ua->height_);
  }
  static host::AreaImage Image(const GeUserArea* ua) {
    return host::AreaImage{ua->width_, ua->height_, ua->canvas_};
  }
  static void Put(GeUserArea* ua, LONG x, LONG y, LONG r, LONG g, LONG b) {
    if (x < 0 || y < 0 || x >= ua->width_ || y >= ua->height_) return;
    unsigned char* p = &ua->canvas_[(static_cast<size_t>(y) * ua->width_ + x) * 3];
    p[0] = static_cast<unsigned char>(std::clamp<LONG>(r, 0, 255));
    p[1] = static_cast<unsigned char>(std::clamp<LONG>(g, 0, 255));
    p[2] = static_cast<unsigned char>(std::clamp<LONG>(b, 0, 255));
  }
};

GeUserArea::~GeUserArea() = default;

void GeUserArea::DrawMsg(LONG, LONG, LONG, LONG, const BaseContainer&) {}

void GeUserArea::Redraw(Bool) {
  if (width_ <= 0 || height_ <= 0) return;
  offscreen_ = false;
  DrawMsg(0, 0, width_ - 1, height_ - 1, BaseContainer());
}

Bool GeUserArea::OffScreenOn() {
  offscreen_ = true;
  return true;
}

Bool GeUserArea::GetColorRGB(LONG colorid, LONG& r, LONG& g, LONG& b) const {
  for (const Colour& c : kColours) {
    if (c.id == colorid) {
      r = c.r;
      g = c.g;
      b = c.b;
      return true;
    }
  }
  r = g = b = 0;
  return false;
}

void GeUserArea::DrawSetPen(const LVector& color) { pen_ = color; }

void GeUserArea::DrawRectangle(LONG x1, LONG y1, LONG x2, LONG y2) {
  const LONG r = ToByte(pen_.x), g = ToByte(pen_.y), b = ToByte(pen_.z);
  for (LONG y = std::max<LONG>(y1, 0); y <= std::min(y2, height_ - 1); ++y)
    for (LONG x = std::max<LONG>(x1, 0); x <= std::min(x2, width_ - 1); ++x)
      UserAreaHost::Put(this, x, y, r, g, b);
}

void GeUserArea::DrawBitmap(BaseBitmap* bmp, LONG wx, LONG wy, LONG ww, LONG wh, LONG x, LONG y, LONG w,
                            LONG h, LONG) {
  if (!bmp || ww <= 0 || wh <= 0 || w <= 0 || h <= 0) return;
  for (LONG dy = 0; dy < wh; ++dy) {
    for (LONG dx = 0; dx < ww; ++dx) {
      LONG sx = x + static_cast<LONG>(static_cast<long long>(dx) * w / ww);
      LONG sy = y + static_cast<LONG>(static_cast<long long>(dy) * h / wh);
      LONG r = 0, g = 0, b = 0;
      bmp->GetPixel(sx, sy, &r, &g, &b);
      UserAreaHost::Put(this, wx + dx, wy + dy, r, g, b);
    }
  }
}

Bool GeDialog::AddUserArea(LONG id, LONG flags, LONG w, LONG h) {
  Add(id, GadgetKind::UserArea, String());
  (void)flags;
  gadgets_[id].minWidth = w;
  gadgets_[id].minHeight = h;
  return true;
}

Bool GeDialog::AttachUserArea(GeUserArea& ua, LONG id, LONG) {
  auto it = gadgets_.find(id);
  if (it == gadgets_.end() || it->second.kind != GadgetKind::UserArea) return false;
  areas_[id] = &ua;
  ua.dialog_ = this;
  ua.Init();
  LONG w = 0, h = 0;
  if (!ua.GetMinSize(w, h)) w = h = 0;
  UserAreaHost::Resize(&ua, std::max(w, it->second.minWidth), std::max(h, it->second.minHeight));
  return true;
}

GeUserArea* GeDialog::FindUserArea(LONG id) const {
  auto it = areas_.find(id);
  return it == areas_.end() ? nullptr : it->second;
}

namespace host {

unsigned AreaImage::Pixel(LONG x, LONG y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return 0;
  const unsigned char* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
  return (unsigned(p[0]) << 16) | (unsigned(p[1]) << 8) | p[2];
}

void ResizeUserArea(GeUserArea* ua, LONG w, LONG h) {
  UserAreaHost::Resize(ua, w, h);
  ua->Redraw();
}

AreaImage DrawUserArea(GeUserArea* ua) {
  ua->Redraw();
  return UserAreaHost::Image(ua);
}

unsigned InterfaceColor(LONG colorid) {
  for (const Colour& c : kColours)
    if (c.id == colorid) return (unsigned(c.r) << 16) | (unsigned(c.g) << 8) | unsigned(c.b);
  return 0;
}

}  // namespace host
