// The scripted user.
#include "host_user.h"

#include <deque>
#include <mutex>

namespace host {
namespace user {
namespace {

struct Answer {
  Prompt prompt;
  std::string text;
  LONG id = 0;
};

struct State {
  std::mutex mutex;
  std::deque<Answer> queue;
  std::vector<Shown> history;
  std::vector<OpenedDialog> dialogs;
  std::string refusal;
  // The entry of a dialog's action that the dialog has not taken or refused yet.
  static constexpr size_t kNone = static_cast<size_t>(-1);
  size_t pendingAction = kNone;
  std::function<void(const OpenedDialog&)> watchDialog;
  std::function<void(const Shown&)> watchShown;
};

State& TheState() {
  static State s;
  return s;
}

void Queue(Answer a) {
  State& s = TheState();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.queue.push_back(std::move(a));
}

// Takes the next answer when it is of the asked kind; a question without one is cancelled.
bool Take(State& s, Prompt prompt, Answer* out) {
  if (s.queue.empty() || s.queue.front().prompt != prompt) return false;
  *out = s.queue.front();
  s.queue.pop_front();
  return true;
}

// Records `shown` and tells the watcher.
void Record(State& s, Shown shown) {
  s.history.push_back(std::move(shown));
  if (s.watchShown) s.watchShown(s.history.back());
}

// Settles the dialog's pending action and tells the watcher; false when none was pending.
bool Settle(State& s, bool cancelled) {
  if (s.pendingAction >= s.history.size()) return false;
  Shown& action = s.history[s.pendingAction];
  s.pendingAction = State::kNone;
  if (cancelled) {
    action.answer.clear();
    action.cancelled = true;
  }
  if (s.watchShown) s.watchShown(action);
  return true;
}

}  // namespace

void AnswerYes() { Queue({Prompt::Question, "yes"}); }
void AnswerNo() { Queue({Prompt::Question, "no"}); }
void ChooseFile(const std::string& path) { Queue({Prompt::FileLoad, path}); }
void ChooseDirectory(const std::string& path) { Queue({Prompt::Directory, path}); }
void ChoosePopupEntry(LONG id) { Queue({Prompt::PopupMenu, std::to_string(id), id}); }
void TypeKeys(const std::string& keys) { Queue({Prompt::DialogKeys, keys}); }

void SetGadget(LONG id, const std::string& value) { Queue({Prompt::DialogGadget, value, id}); }
void PressButton(LONG id) { Queue({Prompt::DialogButton, "", id}); }

void Reset() {
  State& s = TheState();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.queue.clear();
  s.history.clear();
  s.dialogs.clear();
  s.refusal.clear();
  s.pendingAction = State::kNone;
  s.watchDialog = nullptr;
  s.watchShown = nullptr;
}

size_t Pending() {
  State& s = TheState();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.queue.size();
}

std::vector<Shown> History() {
  State& s = TheState();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.history;
}

void ShowMessage(const std::string& text) {
  State& s = TheState();
  std::lock_guard<std::mutex> lock(s.mutex);
  Record(s, {Prompt::Message, text, "", false});
}

bool AskQuestion(const std::string& text) {
  State& s = TheState();
  std::lock_guard<std::mutex> lock(s.mutex);
  Answer a;
  bool answered = Take(s, Prompt::Question, &a);
  Record(s, {Prompt::Question, text, answered ? a.text : "", !answered});
  return answered && a.text == "yes";
}

bool AskPath(Prompt prompt, const std::string& title, std::string* path) {
  State& s = TheState();
  std::lock_guard<std::mutex> lock(s.mutex);
  Answer a;
  // A file answer serves both the open and the save chooser.
  bool answered = Take(s, prompt, &a) || (prompt == Prompt::FileSave && Take(s, Prompt::FileLoad, &a));
  Record(s, {prompt, title, answered ? a.text : "", !answered});
  if (answered) *path = a.text;
  return answered;
}

LONG AskPopup(const std::string& title) {
  State& s = TheState();
  std::lock_guard<std::mutex> lock(s.mutex);
  Answer a;
  bool answered = Take(s, Prompt::PopupMenu, &a);
  Record(s, {Prompt::PopupMenu, title, answered ? a.text : "", !answered});
  return answered ? a.id : 0;
}

bool TakeKeys(std::string* keys) {
  State& s = TheState();
  std::lock_guard<std::mutex> lock(s.mutex);
  Answer a;
  if (!Take(s, Prompt::DialogKeys, &a)) return false;
  Record(s, {Prompt::DialogKeys, "", a.text, false});
  *keys = a.text;
  return true;
}

bool TakeDialogAction(DialogAction* action) {
  State& s = TheState();
  std::lock_guard<std::mutex> lock(s.mutex);
  Answer a;
  const bool button = Take(s, Prompt::DialogButton, &a);
  if (!button && !Take(s, Prompt::DialogGadget, &a)) return false;
  const std::string id = std::to_string(a.id);
  if (button)
    s.history.push_back({Prompt::DialogButton, "button " + id, "pressed", false});
  else
    s.history.push_back({Prompt::DialogGadget, "gadget " + id, a.text, false});
  // Told to the watcher once the dialog has taken or refused it.
  s.pendingAction = s.history.size() - 1;
  action->button = button;
  action->id = a.id;
  action->value = a.text;
  return true;
}

void DialogOpened(OpenedDialog dialog) {
  State& s = TheState();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.dialogs.push_back(std::move(dialog));
  if (s.watchDialog) s.watchDialog(s.dialogs.back());
}

std::vector<OpenedDialog> Dialogs() {
  State& s = TheState();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.dialogs;
}

void CancelLast() {
  State& s = TheState();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.history.empty() || Settle(s, true)) return;
  s.history.back().answer.clear();
  s.history.back().cancelled = true;
}

void ConfirmLast() {
  State& s = TheState();
  std::lock_guard<std::mutex> lock(s.mutex);
  Settle(s, false);
}

void RefuseLast(const std::string& why) {
  State& s = TheState();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.queue.clear();
  if (s.refusal.empty()) s.refusal = why;
  Settle(s, true);
}

std::string Refusal() {
  State& s = TheState();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.refusal;
}

void Watch(std::function<void(const OpenedDialog&)> dialog, std::function<void(const Shown&)> shown) {
  State& s = TheState();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.watchDialog = std::move(dialog);
  s.watchShown = std::move(shown);
}

}  // namespace user
}  // namespace host
