// The scripted user and modal dialogs.
#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "c4d.h"
#include "host_clock.h"
#include "host_control.h"
#include "host_user.h"

namespace {

namespace user = host::user;
using host::Prompt;

class UserDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::ResetAll();
    host::SetClock(&clock);
  }
  void TearDown() override { host::ResetAll(); }
  host::ManualClock clock;
};

TEST_F(UserDialogTest, AnEmptyQueueCancelsEverything) {
  Filename f("untouched");
  String title("Pick");
  EXPECT_FALSE(QuestionDialog(String("Overwrite?")));
  EXPECT_FALSE(f.FileSelect(FILESELECTTYPE_ANYTHING, FILESELECT_LOAD, &title));
  EXPECT_FALSE(f.FileSelect(FILESELECTTYPE_ANYTHING, FILESELECT_DIRECTORY));
  EXPECT_EQ(user::AskPopup("Menu"), 0);
  EXPECT_EQ(f, Filename("untouched"));

  const std::vector<host::Shown> h = user::History();
  ASSERT_EQ(h.size(), 4u);
  const Prompt prompts[] = {Prompt::Question, Prompt::FileLoad, Prompt::Directory, Prompt::PopupMenu};
  const char* texts[] = {"Overwrite?", "Pick", "", "Menu"};
  for (size_t i = 0; i < h.size(); ++i) {
    EXPECT_EQ(h[i].prompt, prompts[i]) << i;
    EXPECT_EQ(h[i].text, texts[i]) << i;
    EXPECT_TRUE(h[i].cancelled) << i;
    EXPECT_EQ(h[i].answer, "") << i;
  }
}

TEST_F(UserDialogTest, AnswersOfTheWrongKindWait) {
  user::ChooseFile("/tmp/scene.ovs");
  user::AnswerYes();
  EXPECT_FALSE(QuestionDialog(String("First?")));  // the file answer is in front
  EXPECT_EQ(user::AskPopup("Menu"), 0);
  Filename dir;
  EXPECT_FALSE(dir.FileSelect(FILESELECTTYPE_ANYTHING, FILESELECT_DIRECTORY));
  EXPECT_EQ(user::Pending(), 2u);

  Filename save;
  EXPECT_TRUE(save.FileSelect(FILESELECTTYPE_SCENES, FILESELECT_SAVE));  // a file serves a save
  EXPECT_EQ(save, Filename("/tmp/scene.ovs"));
  EXPECT_TRUE(QuestionDialog(String("Second?")));
  EXPECT_EQ(user::Pending(), 0u);

  user::AnswerNo();
  user::ChooseDirectory("/tmp/out");
  user::ChoosePopupEntry(17);
  EXPECT_FALSE(QuestionDialog(String("Third?")));
  EXPECT_TRUE(dir.FileSelect(FILESELECTTYPE_ANYTHING, FILESELECT_DIRECTORY));
  EXPECT_EQ(dir, Filename("/tmp/out"));
  EXPECT_EQ(user::AskPopup("Menu"), 17);
  MessageDialog(String("Done \xC3\xA9"));

  const std::vector<host::Shown> h = user::History();
  ASSERT_EQ(h.size(), 9u);
  EXPECT_TRUE(h[0].cancelled);
  EXPECT_EQ(h[3].prompt, Prompt::FileSave);
  EXPECT_EQ(h[3].answer, "/tmp/scene.ovs");
  EXPECT_FALSE(h[3].cancelled);
  EXPECT_EQ(h[5].answer, "no");
  EXPECT_FALSE(h[5].cancelled);
  EXPECT_EQ(h[7].answer, "17");
  EXPECT_EQ(h[8].prompt, Prompt::Message);
  EXPECT_EQ(h[8].text, "Done \xC3\xA9");

  user::AnswerYes();
  user::Reset();
  EXPECT_EQ(user::Pending(), 0u);
  EXPECT_TRUE(user::History().empty());
}

// A dialog that records its callbacks and the input it receives.
class RecordingDialog : public GeDialog {
 public:
  std::vector<std::string> calls;
  std::vector<LONG> timerTimes;
  std::vector<std::string> typed;
  LONG timerMs = 0;
  int closeAfterTimers = 0;
  bool initOk = true;
  int refuseClose = 0;  // refusals before AskClose agrees; -1 refuses for ever

  Bool CreateLayout() override {
    calls.push_back("layout");
    AddEditText(1, 0);
    return true;
  }
  Bool InitValues() override {
    calls.push_back("init");
    SetString(1, String("start"));
    if (timerMs) SetTimer(timerMs);
    return initOk;
  }
  void Timer(const BaseContainer&) override {
    timerTimes.push_back(GeGetTimer());
    if (static_cast<int>(timerTimes.size()) == closeAfterTimers) Close();
  }
  LONG Message(const BaseContainer& msg, BaseContainer& result) override {
    if (msg.GetId() == BFM_INPUT && msg.GetLong(BFM_INPUT_DEVICE) == BFM_INPUT_KEYBOARD)
      typed.push_back(host::ToUtf8(msg.GetString(BFM_INPUT_ASC)));
    return GeDialog::Message(msg, result);
  }
  Bool AskClose() override {
    calls.push_back("askclose");
    if (refuseClose < 0) return true;
    return refuseClose-- > 0;
  }
  void DestroyWindow() override { calls.push_back("destroy"); }
};

TEST_F(UserDialogTest, OpenRunsLayoutThenValuesThenClosesWhenIdle) {
  RecordingDialog dlg;
  EXPECT_TRUE(dlg.Open(DLG_TYPE_MODAL, 0));
  EXPECT_FALSE(dlg.IsOpen());
  EXPECT_EQ(dlg.calls, (std::vector<std::string>{"layout", "init", "askclose", "destroy"}));
  String text;
  EXPECT_TRUE(dlg.GetString(1, text));
  EXPECT_EQ(text, String("start"));

  RecordingDialog refused;
  refused.initOk = false;
  EXPECT_FALSE(refused.Open(DLG_TYPE_MODAL, 0));
  EXPECT_FALSE(refused.IsOpen());
  EXPECT_EQ(refused.calls, (std::vector<std::string>{"layout", "init", "destroy"}));

  RecordingDialog async;
  EXPECT_TRUE(async.Open(DLG_TYPE_ASYNC, 0));
  EXPECT_TRUE(async.IsOpen());
  EXPECT_TRUE(async.Close());
  EXPECT_FALSE(async.Close());
}

TEST_F(UserDialogTest, AskCloseCanKeepTheDialogOpenButNeverHangs) {
  RecordingDialog once;
  once.refuseClose = 1;
  EXPECT_TRUE(once.Open(DLG_TYPE_MODAL, 0));
  EXPECT_EQ(once.calls, (std::vector<std::string>{"layout", "init", "askclose", "askclose", "destroy"}));

  RecordingDialog stubborn;
  stubborn.refuseClose = -1;
  EXPECT_TRUE(stubborn.Open(DLG_TYPE_MODAL, 0));
  EXPECT_FALSE(stubborn.IsOpen());
  EXPECT_EQ(stubborn.calls.back(), "destroy");
}

TEST_F(UserDialogTest, TimerFiresAtItsIntervalOnTheHostClock) {
  RecordingDialog dlg;
  dlg.timerMs = 250;
  dlg.closeAfterTimers = 3;
  EXPECT_TRUE(dlg.Open(DLG_TYPE_MODAL, 0));
  EXPECT_EQ(dlg.timerTimes, (std::vector<LONG>{250, 500, 750}));
  EXPECT_EQ(GeGetTimer(), 750);
  // Closed from Timer: the loop ended without asking.
  EXPECT_EQ(dlg.calls, (std::vector<std::string>{"layout", "init", "destroy"}));
}

// A dialog whose values start a thread with nothing to do and see it end.
class ThreadDialog : public RecordingDialog {
  Bool InitValues() override {
    struct : C4DThread {
      void Main() override {}
    } thread;
    thread.Start();
    thread.Wait();
    return RecordingDialog::InitValues();
  }
};

TEST_F(UserDialogTest, ATimerRunsAtOnceWhenAThreadHasEndedSinceItsLastRun) {
  ThreadDialog first;
  RecordingDialog later;
  const std::pair<RecordingDialog*, std::vector<LONG>> runs[] = {{&first, {0, 250}}, {&later, {500, 750}}};
  for (const auto& [dlg, times] : runs) {
    dlg->timerMs = 250;
    dlg->closeAfterTimers = 2;
    EXPECT_TRUE(dlg->Open(DLG_TYPE_MODAL, 0));
    EXPECT_EQ(dlg->timerTimes, times);
  }
}

TEST_F(UserDialogTest, QueuedKeysArriveAsKeyboardInput) {
  user::TypeKeys("ab");
  user::TypeKeys("\xC3\xA9");  // one character, two bytes
  RecordingDialog dlg;
  dlg.timerMs = 100;
  dlg.closeAfterTimers = 1;
  EXPECT_TRUE(dlg.Open(DLG_TYPE_MODAL, 0));
  EXPECT_EQ(dlg.typed, (std::vector<std::string>{"a", "b", "\xC3\xA9"}));
  EXPECT_EQ(dlg.timerTimes, std::vector<LONG>{100});  // keys first, then time goes on
  EXPECT_EQ(user::Pending(), 0u);
  const std::vector<host::Shown> h = user::History();
  ASSERT_EQ(h.size(), 2u);
  EXPECT_EQ(h[0].prompt, Prompt::DialogKeys);
  EXPECT_EQ(h[0].answer, "ab");

  // Keys wait behind an answer of another kind, and a question does not take them.
  user::AnswerYes();
  user::TypeKeys("x");
  RecordingDialog blocked;
  EXPECT_TRUE(blocked.Open(DLG_TYPE_MODAL, 0));
  EXPECT_TRUE(blocked.typed.empty());
  EXPECT_EQ(user::Pending(), 2u);
}

}  // namespace

namespace {

class TextsDialog : public GeDialog {
 public:
  Bool CreateLayout() override {
    AddStaticText(30, 0, 0, 0, "first", 0);
    AddStaticText(20, 0, 0, 0, "second", 0);
    GroupBegin(40, 0, 1, 0, "", 0);
    AddStaticText(20, 0, 0, 0, "third", 0);
    GroupBegin(41, 0, 1, 0, "", 0);
    AddStaticText(45, 0, 0, 0, "fourth", 0);
    GroupEnd();
    GroupEnd();
    AddStaticText(20, 0, 0, 0, "fifth", 0);
    return true;
  }
};

TEST_F(UserDialogTest, StaticTextsKeepLayoutOrderAndSharedIds) {
  TextsDialog dialog;
  using Texts = std::vector<std::pair<LONG, String>>;
  ASSERT_TRUE(dialog.Open(DLG_TYPE_ASYNC, 0));
  EXPECT_TRUE(dialog.SetString(20, "shared"));
  EXPECT_EQ(dialog.StaticTexts(),
            (Texts{{30, "first"}, {20, "shared"}, {20, "shared"}, {45, "fourth"}, {20, "shared"}}));
  EXPECT_TRUE(dialog.LayoutFlushGroup(40));
  EXPECT_TRUE(dialog.LayoutChanged(40));
  EXPECT_EQ(dialog.StaticTexts(), (Texts{{30, "first"}, {20, "shared"}, {20, "shared"}}));
  EXPECT_EQ(dialog.FindGadget(45), nullptr);  // also what a nested group held
}

// A modal dialog with one gadget of each kind a scripted user sets; it notes every command.
class GadgetDialog : public GeDialog {
 public:
  Bool CreateLayout() override {
    SetTitle("Gadgets");
    AddStaticText(1, 0, 0, 0, "Pick values", 0);
    AddCheckbox(2, 0, 0, 0, "On");
    AddEditNumberArrows(3, 0, 0, 0);
    AddEditNumberArrows(4, 0, 0, 0);
    AddEditText(5, 0, 0, 0);
    AddCheckbox(6, 0, 0, 0, "Off limits");
    AddButton(7, 0, 0, 0, "Go");
    GroupBegin(8, 0, 2, 0, "More", 0);
    AddStaticText(9, 0, 0, 0, "Size", 0);
    AddComboBox(10, 0);
    AddChild(10, 11, "Small");
    AddChild(10, 12, "Large");
    GroupEnd();
    return true;
  }
  Bool InitValues() override {
    SetLong(10, 12);
    SetLong(3, 10, 1, 100);
    SetReal(4, 0.5, 0.0, 1.0, 0.1, FORMAT_REAL, 0.0, 0.0);
    Enable(6, false);
    return true;
  }
  Bool Command(LONG id, const BaseContainer&) override {
    commands.push_back(id);
    if (id == 7) Close();
    return true;
  }
  std::vector<LONG> commands;
};

}  // namespace

TEST_F(UserDialogTest, GadgetValuesAndButtonsReachAModalDialog) {
  const struct {
    LONG id;
    const char* value;
    bool taken;
  } sets[] = {
      {2, "1", true},   {3, "100", true}, {4, "0", true}, {4, "0.25", true},
      {5, "a b", true}, {6, "1", false},  // disabled: it takes nothing, as a click there does nothing
  };
  for (const auto& s : sets) user::SetGadget(s.id, s.value);
  user::PressButton(7);
  GadgetDialog dialog;
  ASSERT_TRUE(dialog.Open(DLG_TYPE_MODAL, 0));

  EXPECT_EQ(dialog.commands, (std::vector<LONG>{2, 3, 4, 4, 5, 7}));
  Bool on = false;
  LONG number = 0;
  Real real = 0.0;
  String text;
  EXPECT_TRUE(dialog.GetBool(2, on) && on);
  EXPECT_TRUE(dialog.GetLong(3, number));
  EXPECT_EQ(number, 100);
  EXPECT_TRUE(dialog.GetReal(4, real));
  EXPECT_DOUBLE_EQ(real, 0.25);
  EXPECT_TRUE(dialog.GetString(5, text));
  EXPECT_EQ(text, String("a b"));

  const std::vector<host::Shown> h = user::History();
  ASSERT_EQ(h.size(), std::size(sets) + 1);
  for (size_t i = 0; i < std::size(sets); ++i) {
    EXPECT_EQ(h[i].prompt, Prompt::DialogGadget) << i;
    EXPECT_EQ(h[i].text, "gadget " + std::to_string(sets[i].id)) << i;
    EXPECT_EQ(h[i].cancelled, !sets[i].taken) << i;
    EXPECT_EQ(h[i].answer, sets[i].taken ? sets[i].value : "") << i;
  }
  EXPECT_EQ(h.back().text, "button 7");
  EXPECT_EQ(h.back().answer, "pressed");
  const std::vector<user::OpenedDialog> opened = user::Dialogs();
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].title, "Gadgets");
  EXPECT_EQ(opened[0].texts, (std::vector<std::string>{"Pick values", "Size"}));
  // As it opened: every gadget with what an answer needs, a field labelled by the text before it.
  EXPECT_EQ(opened[0].lines, (std::vector<std::string>{
                                 "Pick values", "On [gadget 2, check box] = 0", "[gadget 3, number] = 10",
                                 "[gadget 4, number] = 0.5", "[gadget 5, text] = \"\"",
                                 "Off limits [gadget 6, check box, disabled] = 0", "Go [button 7]",
                                 "More:", "  Size [gadget 10, choice: 11 Small, 12 Large] = 12"}));

  // An answer the gadget cannot take (a number outside its field's limits, a value of another kind,
  // a gadget the dialog does not have) is refused, saying the gadget and what it takes; the answers
  // after it are dropped (the button is never pressed). A watcher hears of each once settled.
  const std::tuple<LONG, std::string, std::string> refusedAnswers[] = {
      {3, "0", "[gadget 3] takes from 1 to 100, not 0"},
      {4, "-2", "[gadget 4] takes from 0 to 1, not -2"},
      {3, "7.5", "[gadget 3] takes a whole number from 1 to 100, not 7.5"},
      {2, "yes", "On [gadget 2] takes 1 or 0, not yes"},
      {99, "1", "gadget:99=1: the dialog \"Gadgets\" has no gadget 99"},
      {7, "1", "Go [gadget 7] is a button: answer button:7"},
      {2, "", "On [gadget 2] is no button: answer gadget:2=VALUE"},  // pressed as a button
  };
  for (const auto& [id, value, refusal] : refusedAnswers) {
    user::Reset();
    std::vector<std::string> told;
    user::Watch(
        [&](const user::OpenedDialog& d) { told.push_back(d.title); },
        [&](const host::Shown& s) { told.push_back(s.text + (s.cancelled ? " no" : " " + s.answer)); });
    user::SetGadget(2, "0");
    if (value.empty())
      user::PressButton(id);
    else
      user::SetGadget(id, value);
    user::PressButton(7);
    GadgetDialog refused;
    ASSERT_TRUE(refused.Open(DLG_TYPE_MODAL, 0));
    EXPECT_EQ(std::make_tuple(refused.commands, user::Refusal(), user::Pending()),
              std::make_tuple(std::vector<LONG>{2}, refusal, size_t{0}));
    EXPECT_EQ(told, (std::vector<std::string>{
                        "Gadgets", "gadget 2 0",
                        (value.empty() ? "button " : "gadget ") + std::to_string(id) + " no"}));
  }
}
