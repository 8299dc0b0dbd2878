// The header and preview elements: what their user areas show, the preview's polling and menu.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "c4d.h"
#include "gui/corvaneheader.h"
#include "gui/corvanepreview.h"
#include "host_record.h"
#include "host_user.h"
#include "host_userarea.h"
#include "support/host_fixture.h"

namespace {

class Elements : public HostTest {};

unsigned Mix(unsigned accent, unsigned base, double t) {
  unsigned out = 0;
  for (int shift : {16, 8, 0}) {
    double a = (accent >> shift) & 255, b = (base >> shift) & 255;
    out |= static_cast<unsigned>(static_cast<LONG>(a * (1 - t) + b * t)) << shift;
  }
  return out;
}

// Writes a JPEG of one colour.
void WriteJpeg(const std::string& path, LONG w, LONG h, LONG r, LONG g, LONG b) {
  BaseBitmap* bm = BaseBitmap::Alloc();
  ASSERT_EQ(bm->Init(w, h, 24), IMAGERESULT_OK);
  for (LONG y = 0; y < h; ++y)
    for (LONG x = 0; x < w; ++x) bm->SetPixel(x, y, r, g, b);
  BaseContainer q;
  q.SetLong(JPGSAVER_QUALITY, 100);
  ASSERT_EQ(bm->Save(Filename(String(path)), FILTER_JPG, &q, 0), IMAGERESULT_OK);
  BaseBitmap::Free(bm);
}

TEST_F(Elements, HeaderBandAtBoundaryWidths) {
  const unsigned base = host::InterfaceColor(COLOR_BG), accent = host::InterfaceColor(COLOR_TEXT_FOCUS);
  struct Case {
    LONG width;
    bool band;
  };
  for (const Case& c : {Case{21, false}, Case{22, true}, Case{100, true}}) {
    SCOPED_TRACE(c.width);
    CorvaneHeaderUA ua;
    ua.image = BaseBitmap::Alloc();  // empty image: only the band
    host::ResizeUserArea(&ua, c.width, 25);
    host::AreaImage img = host::DrawUserArea(&ua);
    EXPECT_EQ(img.Pixel(0, 0), base);
    EXPECT_EQ(img.Pixel(12, 3), base);
    EXPECT_EQ(img.Pixel(12, 21), base);
    const LONG n = static_cast<LONG>(0.6 * c.width);
    EXPECT_EQ(img.Pixel(12, 4), c.band ? Mix(accent, base, 12.0 / n) : base);
    EXPECT_EQ(img.Pixel(n - 1, 20), c.band ? Mix(accent, base, (n - 1.0) / n) : base);
    EXPECT_EQ(img.Pixel(n, 10), base);
  }
}

TEST_F(Elements, HeaderImageCompositesOnlyWhenItFits) {
  CorvaneHeaderDialog dlg{BaseContainer(), nullptr};
  ASSERT_TRUE(dlg.Open(DLG_TYPE_ASYNC, 0));
  GeUserArea* ua = dlg.FindUserArea(1000);
  ASSERT_EQ(ua, &dlg.area);
  EXPECT_EQ(dlg.area.height, 25);
  ASSERT_EQ(dlg.area.image->GetBh(), 25);  // our own header image with alpha
  ASSERT_TRUE(dlg.area.image->HasAlphaChannel());
  const unsigned base = host::InterfaceColor(COLOR_BG);
  struct Case {
    LONG height;
    bool image;
  };
  // At x = 18, y = 8 the image is white and opaque.
  for (const Case& c : {Case{25, true}, Case{30, false}}) {
    SCOPED_TRACE(c.height);
    host::ResizeUserArea(ua, 400, c.height);
    host::AreaImage img = host::DrawUserArea(ua);
    EXPECT_EQ(img.Pixel(18, 8) == 0xFFFFFFu, c.image);
    EXPECT_EQ(img.Pixel(350, 10), base);  // right of the image and the band
  }
  // The stored value comes back, not the gadget's text.
  TriState<GeData> v;
  v.Add(GeData(String("x")));
  v.Add(GeData(String("y")));
  dlg.SetData(v);
  EXPECT_EQ(host::ToUtf8(dlg.GetData().GetValue().GetString()), "x");
  EXPECT_TRUE(dlg.tristate);
}

TEST_F(Elements, PreviewPollsMissingThenAppearingAndStopsOnUnreadable) {
  TempDir dir;
  CorvanePreviewDialog dlg{BaseContainer(), nullptr};
  ASSERT_TRUE(dlg.Open(DLG_TYPE_ASYNC, 0));
  GeUserArea* ua = dlg.FindUserArea(1002);
  ASSERT_NE(ua, nullptr);
  // At creation the placeholder is shown.
  host::AreaImage img = host::DrawUserArea(ua);
  EXPECT_EQ(img.width, 150);
  const unsigned placeholder = img.Pixel(75, 40);

  const std::string file = dir / "preview.jpg";
  dlg.SetData(TriState<GeData>(GeData(String(file))));
  EXPECT_EQ(dlg.GetTimerInterval(), 3000);  // missing: polls, picture kept
  EXPECT_EQ(host::DrawUserArea(ua).Pixel(75, 40), placeholder);

  WriteJpeg(file, 40, 20, 0, 0, 255);
  dlg.Timer(BaseContainer());
  EXPECT_EQ(dlg.GetTimerInterval(), 3000);  // loaded: goes on polling
  unsigned blue = host::DrawUserArea(ua).Pixel(75, 40);
  EXPECT_LT(blue >> 16, 8u);
  EXPECT_GT(blue & 255, 240u);

  // The same path again does not reload or restart anything.
  dlg.SetTimer(0);
  dlg.SetData(TriState<GeData>(GeData(String(file))));
  EXPECT_EQ(dlg.GetTimerInterval(), 0);

  // An unreadable file shows the placeholder and stops polling.
  dlg.SetTimer(3000);
  std::filesystem::resize_file(file, 10);
  dlg.Timer(BaseContainer());
  EXPECT_EQ(dlg.GetTimerInterval(), 0);
  EXPECT_EQ(host::DrawUserArea(ua).Pixel(75, 40), placeholder);
}

TEST_F(Elements, PreviewWithoutAnyImageStaysBlack) {
  TempDir dir;
  host::SetPluginPath(dir.path());  // no "res/noPreview.jpg" here
  CorvanePreviewDialog dlg{BaseContainer(), nullptr};
  ASSERT_TRUE(dlg.Open(DLG_TYPE_ASYNC, 0));
  const std::string file = dir / "broken.jpg";
  std::ofstream(file) << "not an image";
  dlg.SetData(TriState<GeData>(GeData(String(file))));
  EXPECT_EQ(dlg.GetTimerInterval(), 0);
  EXPECT_EQ(host::DrawUserArea(dlg.FindUserArea(1002)).Pixel(75, 75), 0u);
}

TEST_F(Elements, PreviewMenu) {
  CorvanePreviewDialog dlg{BaseContainer(), nullptr};
  ASSERT_TRUE(dlg.Open(DLG_TYPE_ASYNC, 0));
  BaseContainer click(BFM_INPUT), result;
  click.SetLong(BFM_INPUT_DEVICE, BFM_INPUT_MOUSE);
  click.SetLong(BFM_INPUT_CHANNEL, BFM_INPUT_MOUSERIGHT);
  host::ClearInterfaceCalls();
  host::user::ChoosePopupEntry(900001);
  EXPECT_TRUE(dlg.Message(click, result));
  EXPECT_TRUE(host::InterfaceCalls().empty());
  host::user::ChoosePopupEntry(900003);
  EXPECT_TRUE(dlg.Message(click, result));
  auto history = host::user::History();
  ASSERT_EQ(history.size(), 2u);
  EXPECT_EQ(history[0].text, "Small|Medium|Large|-|Open in Picture Viewer");
  ASSERT_EQ(host::InterfaceCalls().size(), 1u);
  EXPECT_EQ(host::InterfaceCalls()[0], "ShowBitmap " + host::ToUtf8(dlg.path));
  // Switching the layout rebuilds the area inside its group.
  dlg.SetLayoutMode(LAYOUTMODE_MINIMIZED);
  dlg.LayoutModeChanged();
  EXPECT_EQ(dlg.FindUserArea(1002), nullptr);
  dlg.SetLayoutMode(LAYOUTMODE_MAXIMIZED);
  dlg.LayoutModeChanged();
  EXPECT_NE(dlg.FindUserArea(1002), nullptr);
}

}  // namespace
