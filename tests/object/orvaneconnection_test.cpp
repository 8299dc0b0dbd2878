// The renderer connection: the counted handle, the tonemapping texts, messages, flags and queue.
#include <gtest/gtest.h>

#include "host_clock.h"
#include "host_user.h"
#include "object/orvanedllwrapper.h"
#include "support/fake_render_context.h"
#include "support/host_fixture.h"

namespace {

// --- Handle -------------------------------------------------------------------------------------

// An object that counts its holders and notes its destruction.
class Counted final : public OrvaneObject {
 public:
  explicit Counted(int* destroyed) : destroyed_(destroyed) {}
  void IncRefCount() override { ++refs; }
  long DecRefCount() override { return --refs; }
  DestroyFunction GetDestroyFunction() override {
    return [](OrvaneObject* ob) {
      auto* c = static_cast<Counted*>(ob);
      ++*c->destroyed_;
      delete c;
    };
  }
  long refs = 0;

 private:
  int* destroyed_;
};

TEST(OrvaneHandleTest, CountsHoldersAndDestroysThroughTheObjectsFunction) {
  int destroyed = 0;
  auto* ob = new Counted(&destroyed);
  {
    OrvaneHandle<Counted> a(ob);
    EXPECT_EQ(ob->refs, 1);
    OrvaneHandle<Counted> b = a;
    EXPECT_EQ(ob->refs, 2);
    b = b;  // self-assignment keeps the count
    EXPECT_EQ(ob->refs, 2);
    OrvaneHandle<Counted> c(std::move(b));
    EXPECT_FALSE(b);
    EXPECT_EQ(ob->refs, 2);
    c.Clear();
    EXPECT_EQ(ob->refs, 1);
    EXPECT_EQ(destroyed, 0);
    OrvaneHandle<Counted> d;
    d = a;
    a = OrvaneHandle<Counted>();
    EXPECT_EQ(ob->refs, 1);
    EXPECT_TRUE(d == OrvaneHandle<Counted>(ob));
  }
  EXPECT_EQ(destroyed, 1);
}

TEST(OrvaneHandleDeathTest, AnEmptyHandleCannotBeUsed) {
  OrvaneHandle<OrvaneInterface> empty;
  EXPECT_DEATH(empty->Stop(), "operator->: Assertion `ob' failed\\.");
}

// --- Tonemapping texts --------------------------------------------------------------------------

TEST(TonemappingTextTest, EachTonemapperWritesItsOwnElement) {
  TonemappingData tm;
  tm.linearScale = 0.25;
  tm.reinhardPreScale = 3.5;
  tm.reinhardPostScale = 0.125;
  tm.reinhardBurn = 7.0;
  tm.cameraResponseFile = "agfacolor.txt";
  tm.filmIso = 200.0;
  tm.evAdjust = -1.5;
  struct Case {
    LONG tonemapper;
    const char* text;
  } cases[] = {
      {0, "<tonemapping><linear><scale>0.25000000</scale></linear></tonemapping>"},
      {1,
       "<tonemapping><reinhard><pre_scale>3.50000000</pre_scale><post_scale>0.12500000</post_scale>"
       "<burn>7.00000000</burn></reinhard></tonemapping>"},
      {2,
       "<tonemapping><camera><response_function_path>data/camera_response_functions/agfacolor.txt"
       "</response_function_path><film_iso>200.00000000</film_iso><ev_adjust>-1.50000000</ev_adjust>"
       "</camera></tonemapping>"},
      {7, "<tonemapping><linear><scale>0.25000000</scale></linear></tonemapping>"},
  };
  for (const Case& c : cases) {
    tm.tonemapper = c.tonemapper;
    EXPECT_EQ(TonemappingText(tm), c.text) << c.tonemapper;
  }
}

TEST(TonemappingTextTest, ResponseFileNameIsEscapedForXml) {
  TonemappingData tm;
  tm.tonemapper = TonemappingData::CAMERA;
  tm.cameraResponseFile = "a<b>&\"c'\xC3\xA9.txt";
  std::string text = TonemappingText(tm);
  EXPECT_NE(
      text.find(
          "camera_response_functions/a&lt;b&gt;&amp;&quot;c&apos;\xC3\xA9.txt</response_function_path>"),
      std::string::npos)
      << text;
}

TEST(TonemappingTextTest, WhitePointAndLayerScalesWithGains) {
  TonemappingData tm;
  EXPECT_EQ(
      WhitePointText(tm),
      "<white_point><chromaticity_coordinates><x>0.33242000</x><y>0.34743000</y></chromaticity_coordinates>"
      "</white_point>");
  tm.layerColor[0][0] = 0.5;
  tm.layerColor[0][2] = 2.0;
  tm.layerGain[0] = 3.0;
  tm.layerGain[9] = 0.0;
  std::string text = LayerControlsText(tm);
  const std::string first = "<layer_control><scale>1.50000000 3.00000000 6.00000000</scale></layer_control>";
  const std::string plain = "<layer_control><scale>1.00000000 1.00000000 1.00000000</scale></layer_control>";
  const std::string off = "<layer_control><scale>0.00000000 0.00000000 0.00000000</scale></layer_control>";
  std::string expected = "<layer_controls>" + first;
  for (int i = 1; i < 9; ++i) expected += plain;
  expected += off + "</layer_controls>";
  EXPECT_EQ(text, expected);
}

// --- Connection object ----------------------------------------------------------------------------

class ConnectionTest : public HostTest {};

TEST_F(ConnectionTest, StartsWithDefaultsAndNoContext) {
  OrvaneDLLWrapper w;
  TonemappingData tm = w.GetTonemapping();
  EXPECT_EQ(tm.tonemapper, 1);
  EXPECT_EQ(tm.cameraResponseFile, "dscs315.txt");
  EXPECT_EQ(tm.filmIso, 50.0);
  EXPECT_EQ(tm.whitePointPreset, 0);
  EXPECT_FALSE(w.HasRenderer());
  EXPECT_FALSE(w.IsPaused());
  EXPECT_FALSE(w.IsResumePending());
  EXPECT_FALSE(w.IsTonemappingChanged());
  EXPECT_EQ(w.QueueLength(), 0);
  // Without a context or a source of contexts everything is inert.
  EXPECT_FALSE(w.CreateRenderContext(4, 4));
  w.UpdateTonemapping();
  w.HandleMessages();
  EXPECT_TRUE(w.HandleMessagesTonemapping());
  EXPECT_TRUE(Console().empty());
}

TEST_F(ConnectionTest, UpdateTonemappingSendsTheThreeTextsOfTheStoredSettings) {
  OrvaneDLLWrapper w;
  std::shared_ptr<FakeRenderRecord> rec;
  w.SetRenderer(FakeRenderContext::Make(FakeRenderConfig(), 4, 4, &rec));
  TonemappingData tm;
  tm.tonemapper = TonemappingData::CAMERA;
  tm.filmIso = 100.0;
  tm.layerGain[3] = 0.5;
  w.StoreTonemapping(tm, false);
  w.UpdateTonemapping();
  EXPECT_EQ(rec->TonemappingTexts(),
            (std::vector<std::string>{TonemappingText(tm), WhitePointText(tm), LayerControlsText(tm)}));
}

TEST_F(ConnectionTest, MessagesGoToTheConsoleAndAreReleased) {
  host::ManualClock clock;
  host::SetClock(&clock);
  FakeRenderConfig config;
  config.messages = {{0, ORVANE_MESSAGE_INFO, "Loading scene"},
                     {0, ORVANE_MESSAGE_ERROR, "Missing texture t.png"},
                     {0, 7, "unknown kind"},
                     {500, ORVANE_MESSAGE_INFO, "later"}};
  OrvaneDLLWrapper w;
  std::shared_ptr<FakeRenderRecord> rec;
  OrvaneHandle<OrvaneInterface> r = FakeRenderContext::Make(config, 4, 4, &rec);
  w.SetRenderer(r);
  r->StartRendering();
  w.HandleMessages();
  EXPECT_EQ(Console(), (std::vector<std::string>{"Loading scene", "ERROR: Missing texture t.png"}));
  // No dialog from the thread that drains the messages.
  EXPECT_TRUE(host::user::History().empty());
  EXPECT_EQ(rec->MessagesHeld(), 0);

  // The finished-tonemapping message is reported, the other kinds are handled as usual.
  EXPECT_FALSE(w.HandleMessagesTonemapping());
  clock.Advance(600);
  r->StartTonemapping();
  EXPECT_TRUE(w.HandleMessagesTonemapping());
  EXPECT_EQ(Console().back(), "later");
  EXPECT_FALSE(w.HandleMessagesTonemapping());
}

TEST_F(ConnectionTest, FlagsFollowTheRunningContextOnly) {
  OrvaneDLLWrapper w;
  OrvaneHandle<OrvaneInterface> a = FakeRenderContext::Make(FakeRenderConfig(), 4, 4, nullptr);
  OrvaneHandle<OrvaneInterface> b = FakeRenderContext::Make(FakeRenderConfig(), 4, 4, nullptr);

  // Announced settings wait to be sent only while a context runs.
  w.StoreTonemapping(TonemappingData(), true);
  EXPECT_FALSE(w.IsTonemappingChanged());
  w.SetRenderer(a);
  w.StoreTonemapping(TonemappingData(), false);
  EXPECT_FALSE(w.IsTonemappingChanged());
  w.StoreTonemapping(TonemappingData(), true);
  EXPECT_TRUE(w.TakeTonemappingChanged());
  EXPECT_FALSE(w.TakeTonemappingChanged());

  // Pausing counts for the context it was meant for.
  EXPECT_FALSE(w.SetPaused(b, true));
  EXPECT_FALSE(w.IsPaused());
  EXPECT_TRUE(w.SetPaused(a, true));
  EXPECT_TRUE(w.IsPaused());
  w.ReleaseRenderer(b);  // not the running one: nothing changes
  EXPECT_TRUE(w.HasRenderer());
  EXPECT_TRUE(w.IsPaused());
  w.ReleaseRenderer(a);
  EXPECT_FALSE(w.HasRenderer());
  EXPECT_FALSE(w.IsPaused());
  w.SetRenderer(a);
  w.SetPaused(a, true);
  w.SetRenderer(b);  // a new context starts unpaused
  EXPECT_FALSE(w.IsPaused());
}

TEST_F(ConnectionTest, QueueTurnsGoInOrderAndEntriesLeaveFromAnywhere) {
  OrvaneDLLWrapper w;
  auto* first = w.Enqueue(nullptr);
  auto* second = w.Enqueue(nullptr);
  auto* third = w.Enqueue(nullptr);
  EXPECT_TRUE(w.IsTurnOf(first));
  EXPECT_FALSE(w.IsTurnOf(second));
  w.RemoveEntry(second);  // a waiter that gives up leaves the front alone
  EXPECT_EQ(w.QueueLength(), 2);
  EXPECT_TRUE(w.IsTurnOf(first));
  w.SetRenderer(FakeRenderContext::Make(FakeRenderConfig(), 4, 4, nullptr));
  EXPECT_FALSE(w.IsTurnOf(first));  // a running context holds everyone back
  w.ReleaseRenderer(w.GetRenderer());
  w.RemoveEntry(first);
  EXPECT_TRUE(w.IsTurnOf(third));
  w.RemoveEntry(first);  // gone already: nothing happens
  EXPECT_EQ(w.QueueLength(), 1);
  // The last entry is freed with the connection object (the leak check would tell otherwise).
}

TEST_F(ConnectionTest, ReleasingTheConnectionReleasesItsContext) {
  std::shared_ptr<FakeRenderRecord> rec;
  {
    OrvaneDLLWrapper w;
    w.SetRenderer(FakeRenderContext::Make(FakeRenderConfig(), 4, 4, &rec));
    EXPECT_FALSE(rec->Destroyed());
  }
  EXPECT_TRUE(rec->Destroyed());
}

}  // namespace
