// The host's renders: phase order, buffers and their bounds, the render thread's break; and the
// dialog gadgets the render's commands use.
#include <gtest/gtest.h>

#include "c4d_videopost.h"
#include "host_render.h"
#include "support/host_fixture.h"

namespace {

constexpr LONG kProbe = 1999001;

// A video post that answers `failAt` (phase, opening) with 1 and asks for a second buffer.
struct Probe : VideoPostData {
  static LONG failPhase;
  static bool failOpen;
  static bool sawBreak;
  Bool AllocateBuffers(BaseVideoPost*, void* render, BaseDocument*) override {
    return static_cast<Render*>(render)->AllocateBuffer(7, 0, 8, false);
  }
  LONG Execute(BaseVideoPost*, VideoPostStruct* vps) override {
    if (vps->thread && vps->thread->TestBreak()) sawBreak = true;
    return vps->vp == failPhase && vps->open == failOpen ? EXECUTIONRESULT_OUTOFMEMORY : EXECUTIONRESULT_OK;
  }
};
LONG Probe::failPhase = 0;
bool Probe::failOpen = false;
bool Probe::sawBreak = false;

class HostRenderTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    ASSERT_TRUE(RegisterVideoPostPlugin(
        kProbe, "Probe", 0, [] { return static_cast<NodeData*>(new Probe); }, "", 0, 0));
    doc = BaseDocument::Alloc();
    doc->GetActiveRenderData()->InsertVideoPost(BaseVideoPost::Alloc(kProbe));
    BaseVideoPost* off = BaseVideoPost::Alloc(kProbe);
    off->SetBit(BIT_VPDISABLED);
    doc->GetActiveRenderData()->InsertVideoPostLast(off);
    Probe::failPhase = 0;
    Probe::sawBreak = false;
  }
  void TearDown() override {
    BaseDocument::Free(doc);
    HostTest::TearDown();
  }
  BaseDocument* doc = nullptr;
};

std::string Trace(const std::vector<host::PhaseCall>& calls) {
  std::string s;
  for (const host::PhaseCall& c : calls)
    s += (c.open ? "+" : "-") + std::to_string(c.phase) + (c.result ? "!" : "") + " ";
  return s;
}

TEST_F(HostRenderTest, PhasesOpenOutsideInAndCloseWhatWasOpened) {
  struct Case {
    LONG failPhase;
    bool failOpen;
    LONG result;
    const char* trace;
  } cases[] = {
      {0, false, 0, "+1 +2 +3 +4 +5 -5 -4 -3 -2 -1 "},
      {VIDEOPOSTCALL_INNER, true, 1, "+1 +2 +3 +4 +5! -5 -4 -3 -2 -1 "},
      {VIDEOPOSTCALL_FRAME, true, 1, "+1 +2! -2 -1 "},
      {VIDEOPOSTCALL_RENDER, false, 1, "+1 +2 +3 +4 +5 -5 -4! -3 -2 -1 "},
  };
  for (const Case& c : cases) {
    Probe::failPhase = c.failPhase;
    Probe::failOpen = c.failOpen;
    host::RenderJob job(doc, 4, 3);
    EXPECT_EQ(job.Run(), c.result);
    EXPECT_EQ(Trace(job.Calls()), c.trace);  // the disabled video post is never called
    EXPECT_NE(job.GetRender()->GetBuffer(7, 0), nullptr);
  }
}

TEST_F(HostRenderTest, TheRenderThreadCarriesTheUsersBreak) {
  host::RenderJob job(doc, 4, 3);
  job.Break();
  ASSERT_TRUE(job.Start());
  EXPECT_EQ(job.Wait(), EXECUTIONRESULT_OK);
  EXPECT_TRUE(Probe::sawBreak);
}

TEST(VPBufferTest, RowsAreWrittenOnlyInsideTheBuffer) {
  Render render(4, 2, 3);
  VPBuffer* b = render.GetBuffer(VPBUFFER_RGBA, 0);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->GetInfo(VPGETINFO_XRESOLUTION), 4);
  EXPECT_EQ(b->GetInfo(VPGETINFO_YRESOLUTION), 2);
  EXPECT_EQ(b->GetInfo(VPGETINFO_CPP), 3);
  EXPECT_EQ(b->GetInfo(VPGETINFO_BITDEPTH), 8);
  EXPECT_TRUE(render.AllocateBuffer(VPBUFFER_RGBA, 0, 8, false));
  EXPECT_FALSE(render.AllocateBuffer(2, 0, 32, false));
  EXPECT_EQ(render.GetBuffer(2, 0), nullptr);

  const UCHAR row[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  struct Case {
    LONG x, y, cnt, depth;
    bool ok;
  } cases[] = {{0, 0, 4, 8, true},   {1, 1, 3, 8, true},   {2, 1, 3, 8, false}, {0, 2, 1, 8, false},
               {-1, 0, 1, 8, false}, {0, 0, 1, 16, false}, {0, 0, -1, 8, false}};
  for (const Case& c : cases)
    EXPECT_EQ(b->SetLine(c.x, c.y, c.cnt, row, c.depth, false), c.ok) << c.x << "," << c.y;
  UCHAR back[12] = {};
  ASSERT_TRUE(b->GetLine(0, 1, 4, back, 8, false));
  EXPECT_EQ(std::vector<UCHAR>(back, back + 12), (std::vector<UCHAR>{0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

TEST(DialogGadgetTest, RealRangesAndCycles) {
  struct D : GeDialog {
    Bool CreateLayout() override {
      AddEditSlider(1, 0);
      AddComboBox(2, 0);
      AddChild(2, 0, "none");
      AddChild(2, 20, "twenty");
      return true;
    }
  } d;
  ASSERT_TRUE(d.Open(DLG_TYPE_ASYNC, 0));
  EXPECT_TRUE(d.SetReal(1, 500.0, 0.0, 100.0, 0.01, FORMAT_REAL, 0.0, 10.0));
  const Gadget* g = d.FindGadget(1);
  EXPECT_EQ(g->value.GetReal(), 100.0);  // clamped to the limits, not to the slider's range
  EXPECT_EQ(g->sliderMax, 10.0);
  EXPECT_EQ(g->step, 0.01);
  EXPECT_FALSE(d.SetReal(1, 1.0, 5.0, 4.0));
  EXPECT_EQ(d.FindGadget(0)->kind, GadgetKind::ComboEntry);
  EXPECT_EQ(d.FindGadget(0)->parent, 2);
  EXPECT_TRUE(d.RestoreLayout(0, 0, nullptr));
}

}  // namespace
