// The pause, resume and tonemapping commands and the tonemapping dialog.
#include <gtest/gtest.h>

#include "command/pausecommand.h"
#include "command/resumecommand.h"
#include "command/tmdialog.h"
#include "command/tonemappingcommand.h"
#include "host_user.h"
#include "main/main.h"
#include "object/orvanedllwrapper.h"
#include "support/fake_render_context.h"
#include "support/host_fixture.h"

namespace {

constexpr LONG kPause = 1023695;
constexpr LONG kResume = 1023696;
constexpr LONG kTonemapping = 1023599;

// Registers the three commands with `connection` and forgets it again at the end.
class RenderControlTest : public HostTest {
 protected:
  void Register(OrvaneDLLWrapper* connection) {
    ASSERT_TRUE(RegisterPauseCommand(connection));
    ASSERT_TRUE(RegisterResumeCommand(connection));
    ASSERT_TRUE(RegisterTMCommand(connection));
  }
  void TearDown() override {
    host::ResetRegistry();
    RegisterPauseCommand(nullptr);
    RegisterResumeCommand(nullptr);
    RegisterTMCommand(nullptr);
    HostTest::TearDown();
  }
  static CommandData* Command(LONG id) { return host::FindCommand(id); }
  static LONG State(LONG id) { return Command(id)->GetState(nullptr); }
};

TEST_F(RenderControlTest, WithoutConnectionTheCommandsAreInert) {
  // The shipped state: start-up hands the commands no connection object.
  ASSERT_TRUE(PluginStart());
  EXPECT_EQ(State(kPause), 0);
  EXPECT_EQ(State(kResume), 0);
  EXPECT_EQ(State(kTonemapping), CMD_ENABLED);
  // They do nothing, and say so.
  host::ClearConsole();
  for (LONG id : {kPause, kResume, kTonemapping}) EXPECT_FALSE(Command(id)->Execute(nullptr)) << id;
  EXPECT_EQ(Console(), (std::vector<std::string>{"No renderer is attached: nothing to pause.",
                                                 "No renderer is attached: nothing to resume.",
                                                 "No renderer is attached: nothing to tonemap."}));
  EXPECT_TRUE(host::user::History().empty());  // no dialog was opened
  EXPECT_TRUE(Command(kTonemapping)->RestoreLayout(nullptr));
  PluginEnd();
}

TEST_F(RenderControlTest, PauseAndResumeFollowTheRunningContext) {
  OrvaneDLLWrapper w;
  Register(&w);
  // Connected, but nothing renders.
  EXPECT_EQ(State(kPause), 0);
  EXPECT_EQ(State(kResume), 0);
  EXPECT_TRUE(Command(kPause)->Execute(nullptr));
  EXPECT_FALSE(w.IsPaused());

  std::shared_ptr<FakeRenderRecord> rec;
  w.SetRenderer(FakeRenderContext::Make(FakeRenderConfig(), 8, 8, &rec));
  struct Step {
    LONG command;
    LONG pauseState, resumeState;
    const char* call;
  } steps[] = {
      {kPause, 0, CMD_ENABLED, "Pause"},
      {kResume, CMD_ENABLED, 0, "Resume"},
      {kPause, 0, CMD_ENABLED, "Pause"},
      {kResume, CMD_ENABLED, 0, "Resume"},
  };
  EXPECT_EQ(State(kPause), CMD_ENABLED);
  EXPECT_EQ(State(kResume), 0);
  for (const Step& s : steps) {
    EXPECT_TRUE(Command(s.command)->Execute(nullptr));
    EXPECT_EQ(State(kPause), s.pauseState) << s.call;
    EXPECT_EQ(State(kResume), s.resumeState) << s.call;
    EXPECT_EQ(rec->Calls().back(), s.call);
  }
  EXPECT_EQ(rec->Count("Pause"), 2);
  EXPECT_EQ(rec->Count("Resume"), 2);
}

TEST_F(RenderControlTest, PauseKeepsItsOwnHoldOnAContextTheRenderLetsGo) {
  OrvaneDLLWrapper w;
  Register(&w);
  FakeRenderConfig config;
  std::shared_ptr<FakeRenderRecord> rec;
  bool destroyedDuringPause = true;
  // The render thread lets go of the context while the command is pausing it.
  config.onPause = [&] {
    w.ReleaseRenderer(w.GetRenderer());
    destroyedDuringPause = rec->Destroyed();
  };
  w.SetRenderer(FakeRenderContext::Make(config, 8, 8, &rec));
  EXPECT_TRUE(Command(kPause)->Execute(nullptr));
  EXPECT_FALSE(destroyedDuringPause);
  EXPECT_TRUE(rec->Destroyed());  // the command's copy was the last holder
  EXPECT_FALSE(w.IsPaused());     // a pause of a context that is gone is not kept
  EXPECT_EQ(State(kResume), 0);
}

// --- Tonemapping dialog -----------------------------------------------------------------------------

class TMDialogTest : public HostTest {
 protected:
  void Open() {
    dialog.SetConnection(&w);
    ASSERT_TRUE(dialog.Open(DLG_TYPE_ASYNC, kTonemapping));
  }
  void Click(LONG id) { dialog.Command(id, BaseContainer()); }
  Real RealOf(LONG id) {
    Real v = -1;
    dialog.GetReal(id, v);
    return v;
  }
  LONG LongOf(LONG id) {
    LONG v = -1;
    dialog.GetLong(id, v);
    return v;
  }
  OrvaneDLLWrapper w;
  TMDialog dialog;
};

TEST_F(TMDialogTest, ShowsTheConnectionsSettings) {
  struct Case {
    LONG tonemapper;
    LONG radio;
  } cases[] = {{0, IDC_TM_LINEAR}, {1, IDC_TM_REINHARD}, {2, IDC_TM_CAMERA}, {5, IDC_TM_LINEAR}};
  for (const Case& c : cases) {
    TonemappingData tm;
    tm.tonemapper = c.tonemapper;
    tm.reinhardBurn = 4.5;
    tm.layerColor[2][1] = 0.25;
    tm.layerGain[2] = 0.0;
    tm.cameraResponseFile = "k\xC3\xB6rnig.txt";
    tm.whitePointPreset = 6074;
    w.StoreTonemapping(tm, false);
    Open();
    EXPECT_EQ(LongOf(IDC_TM_TONEMAPPER), c.radio) << c.tonemapper;
    EXPECT_EQ(RealOf(IDC_TM_REINHARD_BURN), 4.5);
    EXPECT_EQ(RealOf(IDC_TM_LAYER_COLOR + 3 * 2 + 1), 0.25);
    EXPECT_EQ(LongOf(IDC_TM_WHITEPOINT_PRESET), 6074);
    String file;
    dialog.GetString(IDC_TM_RESPONSE_FILE, file);
    EXPECT_EQ(file, String("k\xC3\xB6rnig.txt"));
    for (LONG i = 0; i < kTonemappingLayers; ++i) {
      Bool ticked = false;
      dialog.GetBool(IDC_TM_LAYER_ENABLED + i, ticked);
      EXPECT_TRUE(ticked) << i;
    }
    const Gadget* burn = dialog.FindGadget(IDC_TM_REINHARD_BURN);
    ASSERT_NE(burn, nullptr);
    EXPECT_EQ(burn->min, 1.001);
    EXPECT_EQ(burn->sliderMax, 10.0);
    EXPECT_EQ(burn->step, 0.01);
    dialog.Close();
  }
}

TEST_F(TMDialogTest, ReadsTheGadgetsBackWithUntickedLayersSilenced) {
  Open();
  dialog.SetLong(IDC_TM_TONEMAPPER, IDC_TM_CAMERA);
  dialog.SetReal(IDC_TM_FILM_ISO, 400.0, 0.001, 100000);
  dialog.SetReal(IDC_TM_EV_ADJUST, -2.0, -100000, 100000);
  dialog.SetString(IDC_TM_RESPONSE_FILE, String("fuji\xC3\xA9.txt"));
  dialog.SetReal(IDC_TM_LAYER_GAIN + 4, 2.0, 0, 100000);
  dialog.SetReal(IDC_TM_LAYER_COLOR + 3 * 4, 0.5, 0, 100000);
  dialog.SetBool(IDC_TM_LAYER_ENABLED + 7, false);
  TonemappingData tm = dialog.GetTonemappingData();
  EXPECT_EQ(tm.tonemapper, 2);
  EXPECT_EQ(tm.filmIso, 400.0);
  EXPECT_EQ(tm.evAdjust, -2.0);
  EXPECT_EQ(tm.cameraResponseFile, "fuji\xC3\xA9.txt");
  EXPECT_EQ(tm.layerGain[4], 2.0);
  EXPECT_EQ(tm.layerColor[4][0], 0.5);
  EXPECT_EQ(tm.layerGain[7], 0.0);      // unticked: silent
  EXPECT_EQ(tm.layerColor[7][0], 1.0);  // its colour stays as typed
  EXPECT_EQ(tm.layerGain[6], 1.0);
}

TEST_F(TMDialogTest, WhitePointPresetsAndHandEnteredPoints) {
  Open();
  struct Case {
    LONG preset;
    Real x, y;
  } cases[] = {
      {6069, 0.33304, 0.33304}, {6070, 0.34546, 0.35834}, {6071, 0.33212, 0.3473},  {6072, 0.31234, 0.3289},
      {6073, 0.299, 0.31464},   {6074, 0.44712, 0.4071},  {6075, 0.34822, 0.35144}, {6076, 0.31004, 0.31602},
      {6077, 0.28474, 0.29302}, {6078, 0.37168, 0.3749},  {6079, 0.3128, 0.3289},   {6080, 0.31234, 0.3289},
      {6081, 0.38042, 0.37674}, {6068, 0.31234, 0.3289},  {9999, 0.31234, 0.3289},
  };
  for (const Case& c : cases) {
    dialog.SetLong(IDC_TM_WHITEPOINT_PRESET, c.preset);
    Click(IDC_TM_WHITEPOINT_PRESET);
    EXPECT_EQ(RealOf(IDC_TM_WHITEPOINT_X), c.x) << c.preset;
    EXPECT_EQ(RealOf(IDC_TM_WHITEPOINT_Y), c.y) << c.preset;
  }

  // A point typed by hand belongs to no preset, and choosing "custom" keeps it.
  dialog.SetLong(IDC_TM_WHITEPOINT_PRESET, 6074);
  Click(IDC_TM_WHITEPOINT_PRESET);
  dialog.SetReal(IDC_TM_WHITEPOINT_X, 0.3, 0.24, 0.46);
  Click(IDC_TM_WHITEPOINT_X);
  EXPECT_EQ(LongOf(IDC_TM_WHITEPOINT_PRESET), 0);
  dialog.SetReal(IDC_TM_WHITEPOINT_Y, 0.4, 0.24, 0.46);
  Click(IDC_TM_WHITEPOINT_Y);
  Click(IDC_TM_WHITEPOINT_PRESET);
  EXPECT_EQ(RealOf(IDC_TM_WHITEPOINT_X), 0.3);
  EXPECT_EQ(RealOf(IDC_TM_WHITEPOINT_Y), 0.4);
}

TEST_F(TMDialogTest, ApplySendsTheDialogsValuesToTheRunningRender) {
  std::shared_ptr<FakeRenderRecord> rec;
  w.SetRenderer(FakeRenderContext::Make(FakeRenderConfig(), 8, 8, &rec));
  Open();
  dialog.SetLong(IDC_TM_TONEMAPPER, IDC_TM_LINEAR);
  dialog.SetReal(IDC_TM_LINEAR_SCALE, 3.25, 0, 100000);
  dialog.SetBool(IDC_TM_LAYER_ENABLED, false);
  Click(IDC_TM_APPLY);
  ASSERT_TRUE(w.TakeTonemappingChanged());
  // What the running render does with the flag: send the settings.
  w.UpdateTonemapping();
  std::vector<std::string> texts = rec->TonemappingTexts();
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0], "<tonemapping><linear><scale>3.25000000</scale></linear></tonemapping>");
  EXPECT_EQ(texts[1], WhitePointText(dialog.GetTonemappingData()));
  EXPECT_EQ(
      texts[2].rfind("<layer_controls><layer_control><scale>0.00000000 0.00000000 0.00000000</scale>", 0),
      0u);
}

TEST_F(TMDialogTest, ApplyWithoutRenderAndClosingOnlyStoreTheValues) {
  Open();
  dialog.SetReal(IDC_TM_REINHARD_PRE, 6.0, 0, 100000);
  Click(IDC_TM_APPLY);
  EXPECT_FALSE(w.IsTonemappingChanged());
  EXPECT_EQ(w.GetTonemapping().reinhardPreScale, 6.0);

  w.SetRenderer(FakeRenderContext::Make(FakeRenderConfig(), 8, 8, nullptr));
  dialog.SetReal(IDC_TM_REINHARD_PRE, 7.0, 0, 100000);
  EXPECT_FALSE(dialog.AskClose());
  EXPECT_EQ(w.GetTonemapping().reinhardPreScale, 7.0);
  EXPECT_FALSE(w.IsTonemappingChanged());  // reaches the renderer with the next apply only
}

TEST_F(RenderControlTest, TonemappingCommandOpensTheDialogModally) {
  OrvaneDLLWrapper w;
  Register(&w);
  TonemappingData tm;
  tm.linearScale = 2.5;
  w.StoreTonemapping(tm, false);
  // The scripted user closes the idle dialog; closing keeps the values it showed.
  EXPECT_TRUE(Command(kTonemapping)->Execute(nullptr));
  EXPECT_EQ(w.GetTonemapping().linearScale, 2.5);
  EXPECT_EQ(w.GetTonemapping().cameraResponseFile, "dscs315.txt");
  EXPECT_FALSE(w.IsTonemappingChanged());
}

}  // namespace
