// The in-host render of the render-settings video post, driven through the host's render phases
// with a fake render context attached to the connection object.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "command/pausecommand.h"
#include "command/resumecommand.h"
#include "command/tmdialog.h"
#include "host_clock.h"
#include "host_record.h"
#include "host_render.h"
#include "main/main.h"
#include "object/myrendersettings.h"
#include "object/orvanedllwrapper.h"
#include "support/fake_render_context.h"
#include "support/host_fixture.h"

namespace {

constexpr LONG kRenderSettings = 1020896;
constexpr LONG kHaltTime = 1332;
constexpr LONG kHaltSpp = 1382;
constexpr LONG kWidth = 12;
constexpr LONG kHeight = 9;

using Texts = std::vector<std::string>;

// What the status bar showed: the arguments of the recorded calls of `function`, each change once.
Texts StatusArguments(const std::string& function) {
  const std::string prefix = function + " ";
  Texts out;
  for (const std::string& call : host::InterfaceCalls()) {
    if (call.rfind(prefix, 0) != 0) continue;
    std::string arg = call.substr(prefix.size());
    if (out.empty() || out.back() != arg) out.push_back(arg);
  }
  return out;
}
Texts StatusTexts() { return StatusArguments("StatusSetText"); }
std::vector<LONG> StatusBars() {
  std::vector<LONG> bars;
  for (const std::string& b : StatusArguments("StatusSetBar")) bars.push_back(std::stoi(b));
  return bars;
}

// True when `texts` holds each of `wanted` in that order (other texts may lie between).
bool InOrder(const Texts& texts, const Texts& wanted) {
  auto it = texts.begin();
  for (const std::string& w : wanted) {
    it = std::find(it, texts.end(), w);
    if (it == texts.end()) return false;
  }
  return true;
}

bool Contains(const Texts& texts, const std::string& text) {
  return std::find(texts.begin(), texts.end(), text) != texts.end();
}

bool StartsWithAny(const Texts& texts, const std::string& prefix) {
  return std::any_of(texts.begin(), texts.end(),
                     [&](const std::string& t) { return t.rfind(prefix, 0) == 0; });
}

// Waits (in real time, at most 10 s) until `done` holds.
template <typename F>
bool Eventually(F done) {
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

class InHostRenderTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    host::SetClock(&clock);
    w.AttachContextFactory(&renderer);
    ASSERT_TRUE(RegisterRenderSettingsVP(&w));
    ASSERT_TRUE(RegisterPauseCommand(&w));
    ASSERT_TRUE(RegisterResumeCommand(&w));
  }
  void TearDown() override {
    jobs.clear();
    for (BaseDocument*& doc : docs) BaseDocument::Free(doc);
    host::ResetRegistry();
    RegisterRenderSettingsVP(nullptr);
    RegisterPauseCommand(nullptr);
    RegisterResumeCommand(nullptr);
    HostTest::TearDown();
  }

  // A document whose render data has the render-settings video post with these halt limits.
  BaseDocument* Document(Real haltSpp, Real haltTime) {
    BaseDocument* doc = BaseDocument::Alloc();
    BaseVideoPost* vp = BaseVideoPost::Alloc(kRenderSettings);
    EXPECT_NE(vp, nullptr);
    vp->GetDataInstance()->SetReal(kHaltSpp, haltSpp);
    vp->GetDataInstance()->SetReal(kHaltTime, haltTime);
    doc->GetActiveRenderData()->InsertVideoPost(vp);
    docs.push_back(doc);
    return doc;
  }
  host::RenderJob& Job(BaseDocument* doc, LONG channels = 4) {
    jobs.push_back(std::make_unique<host::RenderJob>(doc, kWidth, kHeight, channels));
    return *jobs.back();
  }
  // True when the job's colour buffer shows the fake's image, shifted by `shift`; pixels beyond
  // an image of `imageW` × `imageH` must be black.
  static ::testing::AssertionResult ShowsImage(host::RenderJob& job, int shift, int imageW, int imageH) {
    VPBuffer* buffer = job.GetRender()->GetBuffer(VPBUFFER_RGBA, 0);
    std::vector<UCHAR> row(kWidth * 4);
    for (LONG y = 0; y < kHeight; ++y) {
      buffer->GetLine(0, y, kWidth, row.data(), 8, false);
      for (LONG x = 0; x < kWidth; ++x) {
        unsigned char rgb[3] = {0, 0, 0};
        if (x + shift < imageW && y + shift < imageH) FakeRenderContext::PixelAt(x + shift, y + shift, rgb);
        for (int c = 0; c < 3; ++c)
          if (row[x * 4 + c] != rgb[c])
            return ::testing::AssertionFailure() << "pixel " << x << "," << y << " channel " << c;
      }
    }
    return ::testing::AssertionSuccess();
  }
  static bool Untouched(host::RenderJob& job) {
    VPBuffer* buffer = job.GetRender()->GetBuffer(VPBUFFER_RGBA, 0);
    LONG channels = static_cast<LONG>(buffer->GetInfo(VPGETINFO_CPP));
    std::vector<UCHAR> row(kWidth * channels);
    for (LONG y = 0; y < kHeight; ++y) {
      buffer->GetLine(0, y, kWidth, row.data(), 8, false);
      if (std::any_of(row.begin(), row.end(), [](UCHAR v) { return v != 0; })) return false;
    }
    return true;
  }
  std::shared_ptr<FakeRenderRecord> Only() {
    auto records = renderer.Records();
    EXPECT_EQ(records.size(), 1u);
    return records.empty() ? std::make_shared<FakeRenderRecord>() : records[0];
  }
  // The connection is back at rest: no context, nothing queued, nothing paused.
  void ExpectAtRest() {
    EXPECT_FALSE(w.HasRenderer());
    EXPECT_EQ(w.QueueLength(), 0);
    EXPECT_FALSE(w.IsPaused());
    for (auto& rec : renderer.Records()) EXPECT_TRUE(rec->Destroyed());
  }

  host::ManualClock clock;
  FakeRenderer renderer;
  OrvaneDLLWrapper w;
  std::vector<BaseDocument*> docs;
  std::vector<std::unique_ptr<host::RenderJob>> jobs;
};

TEST_F(InHostRenderTest, WithoutConnectionEveryPhaseAnswersZeroAndNothingHappens) {
  // The shipped state: start-up registers the video post without a connection object.
  host::ResetRegistry();
  ASSERT_TRUE(PluginStart());
  host::RenderJob& job = Job(Document(10, -1));
  EXPECT_EQ(job.Run(), EXECUTIONRESULT_OK);
  std::vector<host::PhaseCall> calls = job.Calls();
  ASSERT_EQ(calls.size(), 10u);
  for (const host::PhaseCall& c : calls) EXPECT_EQ(c.result, EXECUTIONRESULT_OK) << c.phase << c.open;
  EXPECT_TRUE(StatusTexts().empty());
  EXPECT_TRUE(renderer.Records().empty());
  EXPECT_TRUE(Untouched(job));
  EXPECT_EQ(clock.NowMs(), 0.0);
  PluginEnd();
}

TEST_F(InHostRenderTest, RendersFromBuildingToFinalTonemappingIntoTheHostsBuffer) {
  renderer.config.messages = {{1500, ORVANE_MESSAGE_INFO, "Scene built"},
                              {2500, ORVANE_MESSAGE_ERROR, "Bad normal"}};
  host::RenderJob& job = Job(Document(20, -1));
  EXPECT_EQ(job.Run(), EXECUTIONRESULT_OK);

  Texts status = StatusTexts();
  EXPECT_TRUE(InOrder(
      status, {"", "Building scene...", "Building scene/Doing warmup", "Rendering: 1.0 samples per pixel",
               "Final tonemapping...", "Closing render threads..."}))
      << ::testing::PrintToString(status);
  std::vector<LONG> bars = StatusBars();
  EXPECT_EQ(bars.back(), 100);
  EXPECT_TRUE(std::any_of(bars.begin(), bars.end(), [](LONG b) { return b > 0 && b < 100; }));

  auto rec = Only();
  Texts calls = rec->Calls();
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(Texts(calls.begin(), calls.begin() + 3),
            (Texts{"StartBuildingScene", "SetOption", "StartRendering"}));
  EXPECT_EQ(rec->Option(), 1);
  EXPECT_EQ(rec->FrameWidth(), kWidth);
  EXPECT_EQ(rec->FrameHeight(), kHeight);
  EXPECT_TRUE(ShowsImage(job, 0, kWidth, kHeight));
  EXPECT_EQ(Console(), (Texts{"Scene built", "ERROR: Bad normal"}));
  ExpectAtRest();
}

TEST_F(InHostRenderTest, HaltLimitsAndImageCopies) {
  // 1 s of warm-up, then 10 samples per pixel a second.
  struct Case {
    Real haltSpp, haltTime;
    double minSpp, maxSpp;  // samples per pixel when the render stopped
    int copies;             // images copied, the final one included
  } cases[] = {
      {150, 60, 150, 151.5, 2},  // only the samples limit counts when it is set
      {150, 5, 150, 151.5, 2},
      {-1, 5, 39, 41.5, 1},
      {-1, 35, 339, 341.5, 4},  // an image at least every 10 seconds
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.haltSpp << " spp, " << c.haltTime << " s");
    FakeRenderer fresh;
    w.AttachContextFactory(&fresh);
    host::RenderJob& job = Job(Document(c.haltSpp, c.haltTime));
    EXPECT_EQ(job.Run(), EXECUTIONRESULT_OK);
    auto records = fresh.Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_GT(records[0]->SamplesAtStop(), c.minSpp);
    EXPECT_LT(records[0]->SamplesAtStop(), c.maxSpp);
    EXPECT_EQ(records[0]->Count("CopyTonemappedImage"), c.copies);
    EXPECT_TRUE(records[0]->Destroyed());
    w.AttachContextFactory(&renderer);
  }
}

TEST_F(InHostRenderTest, WithoutLimitsTheRenderRunsUntilTheUserBreaks) {
  host::RenderJob& job = Job(Document(-1, -1));
  renderer.config.actions = {{60000, [&job] { job.Break(); }}};
  EXPECT_EQ(job.Run(), EXECUTIONRESULT_OK);
  auto rec = Only();
  EXPECT_GT(rec->SamplesAtStop(), 589);
  // The last image is copied after the break as well.
  EXPECT_TRUE(InOrder(StatusTexts(), {"Final tonemapping...", "Closing render threads..."}));
  EXPECT_EQ(rec->Count("CopyTonemappedImage"), 6);
  EXPECT_TRUE(ShowsImage(job, 0, kWidth, kHeight));
  ExpectAtRest();
}

TEST_F(InHostRenderTest, WarmUpEndsOnBreakOrAfterItsTimeLimit) {
  renderer.config.warmupMs = -1;  // never delivers a sample
  {
    host::RenderJob& job = Job(Document(10, -1));
    renderer.config.actions = {{3000, [&job] { job.Break(); }}};
    EXPECT_EQ(job.Run(), EXECUTIONRESULT_USERBREAK);
    EXPECT_LT(clock.NowMs(), 4000);
    ExpectAtRest();
  }
  renderer.config.actions.clear();
  host::ClearInterfaceCalls();
  host::RenderJob& job = Job(Document(10, -1));
  EXPECT_EQ(job.Run(), EXECUTIONRESULT_OUTOFMEMORY);
  EXPECT_TRUE(Contains(StatusTexts(), "Orvane did not finish warming up"));
  EXPECT_TRUE(Untouched(job));
  ExpectAtRest();
}

TEST_F(InHostRenderTest, WithoutARenderContextTheRenderFailsAtOnce) {
  for (bool attached : {true, false}) {
    renderer.refuse = true;
    w.AttachContextFactory(attached ? &renderer : nullptr);
    host::ClearInterfaceCalls();
    host::RenderJob& job = Job(Document(10, -1));
    double before = clock.NowMs();
    EXPECT_EQ(job.Run(), EXECUTIONRESULT_OUTOFMEMORY);
    EXPECT_EQ(clock.NowMs(), before);  // no waiting at all
    EXPECT_EQ(StatusTexts().back(), "Orvane renderer not available");
    ExpectAtRest();
  }
}

TEST_F(InHostRenderTest, ImageCopyStaysInsideTheImageAndTheBuffer) {
  struct Case {
    int margin;     // of the fake's image beyond the frame
    LONG channels;  // of the host's buffer
  } cases[] = {{0, 4}, {2, 4}, {-1, 4}, {0, 3}, {0, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "margin " << c.margin << ", channels " << c.channels);
    renderer.config.margin = c.margin;
    host::RenderJob& job = Job(Document(5, -1), c.channels);
    EXPECT_EQ(job.Run(), EXECUTIONRESULT_OK);
    if (c.channels < 3) {
      EXPECT_TRUE(Untouched(job));
    } else if (c.channels == 4) {
      // A frame-sized image is copied as it is; any other has a 2-pixel border to skip.
      int shift = c.margin == 0 ? 0 : 2;
      EXPECT_TRUE(ShowsImage(job, shift, kWidth + 2 * c.margin, kHeight + 2 * c.margin));
    } else {
      std::vector<UCHAR> row(kWidth * 3);
      job.GetRender()->GetBuffer(VPBUFFER_RGBA, 0)->GetLine(0, 4, kWidth, row.data(), 8, false);
      unsigned char rgb[3];
      FakeRenderContext::PixelAt(5, 4, rgb);
      EXPECT_EQ(std::vector<UCHAR>(row.begin() + 15, row.begin() + 18), std::vector<UCHAR>(rgb, rgb + 3));
    }
  }
}

TEST_F(InHostRenderTest, TonemappingThatNeverFinishesGivesUpAndKeepsRendering) {
  renderer.config.tonemappingFinishes = false;
  host::RenderJob& job = Job(Document(5, -1));
  EXPECT_EQ(job.Run(), EXECUTIONRESULT_OK);
  auto rec = Only();
  EXPECT_EQ(rec->Count("CopyTonemappedImage"), 0);
  EXPECT_EQ(rec->Count("Resume"), 1);  // the renderer paused for the copy goes on
  EXPECT_TRUE(Contains(StatusTexts(), "Tonemapping did not finish"));
  EXPECT_TRUE(Untouched(job));
  ExpectAtRest();
}

TEST_F(InHostRenderTest, PauseAndResumeDuringTheRender) {
  CommandData* pause = host::FindCommand(1023695);
  CommandData* resume = host::FindCommand(1023696);
  std::vector<std::pair<LONG, LONG>> states;  // (pause, resume) as the user saw them
  auto look = [&] { states.emplace_back(pause->GetState(nullptr), resume->GetState(nullptr)); };
  renderer.config.actions = {{3000,
                              [&] {
                                look();
                                pause->Execute(nullptr);
                                look();
                              }},
                             {15000, [&] {
                                resume->Execute(nullptr);
                                look();
                              }}};
  host::RenderJob& job = Job(Document(-1, 20));
  EXPECT_EQ(job.Run(), EXECUTIONRESULT_OK);
  EXPECT_EQ(states,
            (std::vector<std::pair<LONG, LONG>>{{CMD_ENABLED, 0}, {0, CMD_ENABLED}, {CMD_ENABLED, 0}}));
  EXPECT_TRUE(StartsWithAny(StatusTexts(), "Paused: "));
  // Sampling stood still from 3 s to 15 s although an image was copied at 10 s.
  auto rec = Only();
  EXPECT_GT(rec->SamplesAtStop(), 69);
  EXPECT_LT(rec->SamplesAtStop(), 72);
  EXPECT_EQ(pause->GetState(nullptr), 0);  // nothing renders any more
  ExpectAtRest();
}

TEST_F(InHostRenderTest, AppliedTonemappingIsSentAndCopiedAtOnce) {
  TMDialog dialog;
  renderer.config.actions = {{4000, [&] {
                                dialog.SetConnection(&w);
                                dialog.Open(DLG_TYPE_ASYNC, 1023599);
                                dialog.SetLong(IDC_TM_TONEMAPPER, IDC_TM_LINEAR);
                                dialog.SetReal(IDC_TM_LINEAR_SCALE, 0.75, 0, 100000);
                                dialog.Command(IDC_TM_APPLY, BaseContainer());
                              }}};
  host::RenderJob& job = Job(Document(-1, 6));
  EXPECT_EQ(job.Run(), EXECUTIONRESULT_OK);
  auto rec = Only();
  Texts texts = rec->TonemappingTexts();
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0], "<tonemapping><linear><scale>0.75000000</scale></linear></tonemapping>");
  // Sent, then an image copied, well before the 10-second copy would be due.
  Texts calls = rec->Calls();
  auto sent = std::find(calls.begin(), calls.end(), "UpdateTonemapping");
  EXPECT_TRUE(InOrder(Texts(sent, calls.end()), {"UpdateTonemapping", "UpdateTonemapping",
                                                 "UpdateTonemapping", "CopyTonemappedImage"}));
  EXPECT_EQ(rec->Count("CopyTonemappedImage"), 2);  // that one and the final one
  EXPECT_TRUE(InOrder(StatusTexts(), {"Tonemapping...", "Final tonemapping..."}));
  EXPECT_FALSE(w.IsTonemappingChanged());
}

TEST_F(InHostRenderTest, PendingResumeIsAdjustedFiveSecondsIn) {
  w.SetResumePending(true);
  host::RenderJob& job = Job(Document(-1, 8));
  EXPECT_EQ(job.Run(), EXECUTIONRESULT_OK);
  auto rec = Only();
  EXPECT_EQ(rec->Count("AdjustAfterResume"), 1);
  EXPECT_EQ(rec->Adjustment(), (std::pair<int, double>{0, 1.0}));
  EXPECT_FALSE(w.IsResumePending());
  // Copies every half second until then; none after, up to the final one.
  EXPECT_GE(rec->Count("CopyTonemappedImage"), 7);
  EXPECT_LE(rec->Count("CopyTonemappedImage"), 9);
}

TEST_F(InHostRenderTest, ASecondRenderWaitsInTheQueueThenRuns) {
  renderer.Gate().Close();
  host::RenderJob& first = Job(Document(5, -1));
  host::RenderJob& second = Job(Document(5, -1));
  ASSERT_TRUE(first.Start());
  ASSERT_TRUE(renderer.Gate().WaitUntilHeld());
  ASSERT_TRUE(second.Start());
  ASSERT_TRUE(Eventually([&] { return w.QueueLength() == 2; }));
  EXPECT_EQ(renderer.Records().size(), 1u);  // the second has no context yet
  renderer.Gate().Open();
  EXPECT_EQ(first.Wait(), EXECUTIONRESULT_OK);
  EXPECT_EQ(second.Wait(), EXECUTIONRESULT_OK);

  auto records = renderer.Records();
  ASSERT_EQ(records.size(), 2u);
  for (auto& rec : records) EXPECT_EQ(rec->Count("StartRendering"), 1);
  EXPECT_TRUE(Contains(StatusTexts(), "Queued..."));
  EXPECT_TRUE(ShowsImage(first, 0, kWidth, kHeight));
  EXPECT_TRUE(ShowsImage(second, 0, kWidth, kHeight));
  ExpectAtRest();
}

TEST_F(InHostRenderTest, ARenderBrokenOffWhileQueuedLeavesTheQueueClean) {
  renderer.Gate().Close();
  host::RenderJob& first = Job(Document(5, -1));
  ASSERT_TRUE(first.Start());
  ASSERT_TRUE(renderer.Gate().WaitUntilHeld());

  host::RenderJob& queued = Job(Document(5, -1));
  queued.Break();
  EXPECT_EQ(queued.Run(), EXECUTIONRESULT_USERBREAK);
  EXPECT_EQ(w.QueueLength(), 1);  // only the running render is left
  LONG innerOpen = -1, renderClose = -1, subframeClose = -1;
  for (const host::PhaseCall& c : queued.Calls()) {
    if (c.phase == VIDEOPOSTCALL_INNER && c.open) innerOpen = c.result;
    if (c.phase == VIDEOPOSTCALL_RENDER && !c.open) renderClose = c.result;
    if (c.phase == VIDEOPOSTCALL_SUBFRAME && !c.open) subframeClose = c.result;
  }
  EXPECT_EQ(innerOpen, EXECUTIONRESULT_USERBREAK);
  EXPECT_EQ(renderClose, EXECUTIONRESULT_USERBREAK);
  EXPECT_EQ(subframeClose, EXECUTIONRESULT_USERBREAK);
  EXPECT_TRUE(Untouched(queued));

  renderer.Gate().Open();
  EXPECT_EQ(first.Wait(), EXECUTIONRESULT_OK);
  EXPECT_EQ(renderer.Records().size(), 1u);
  ExpectAtRest();
}

TEST_F(InHostRenderTest, QueueWaitGivesUpAfterItsTimeLimit) {
  // Another render holds the front of the queue and never finishes.
  OrvaneDLLWrapper::QueueEntry* other = w.Enqueue(nullptr);
  host::RenderJob& job = Job(Document(5, -1));
  EXPECT_EQ(job.Run(), EXECUTIONRESULT_OUTOFMEMORY);
  EXPECT_GE(clock.NowMs(), InHostRender::kQueueTimeout * 1000);
  EXPECT_EQ(StatusTexts().back(), "Gave up waiting for another Orvane render");
  EXPECT_EQ(w.QueueLength(), 1);
  w.RemoveEntry(other);
  EXPECT_TRUE(renderer.Records().empty());
}

TEST_F(InHostRenderTest, AVideoPostFreedWhileQueuedLeavesTheQueue) {
  BaseDocument* doc = Document(5, -1);
  BaseVideoPost* vp = doc->GetActiveRenderData()->GetFirstVideoPost();
  Render render(kWidth, kHeight);
  VideoPostStruct vps;
  vps.vp = VIDEOPOSTCALL_INNER;
  vps.open = true;
  vps.render = &render;
  EXPECT_EQ(static_cast<VideoPostData*>(vp->GetNodeData())->Execute(vp, &vps), EXECUTIONRESULT_OK);
  EXPECT_EQ(w.QueueLength(), 1);
  BaseVideoPost::Free(vp);
  EXPECT_EQ(w.QueueLength(), 0);
}

}  // namespace
