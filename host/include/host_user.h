// The scripted user: answers every question the host would ask a person. Tests queue answers and
// read what was shown; the runner fills the queue from its options. A question without a queued
// answer of its kind is cancelled, never waited for.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "c4d_types.h"

namespace host {

/// What the host showed or asked.
enum class Prompt {
  Message,
  Question,
  FileLoad,
  FileSave,
  Directory,
  PopupMenu,
  DialogKeys,
  DialogGadget,
  DialogButton
};

/// One thing shown to the user, with the answer it got.
struct Shown {
  Prompt prompt;
  std::string text;    ///< The message, question or chooser title.
  std::string answer;  ///< What the user answered ("" when cancelled or not asked).
  bool cancelled;
};

namespace user {

/// Answers the next yes/no question.
void AnswerYes();
void AnswerNo();
/// Answers the next file chooser with `path`.
void ChooseFile(const std::string& path);
/// Answers the next folder chooser with `path`.
void ChooseDirectory(const std::string& path);
/// Answers the next pop-up menu with the entry `id`.
void ChoosePopupEntry(LONG id);
/// Types `keys` into the next modal dialog once its layout stands.
void TypeKeys(const std::string& keys);
/// Sets the gadget `id` of the next modal dialog to `value` (typed text, a number, or "1"/"0" for
/// a check box), as a person enters it; the dialog hears of it through its `Command`.
void SetGadget(LONG id, const std::string& value);
/// Presses the button `id` of the next modal dialog.
void PressButton(LONG id);
/// Forgets queued answers and what was shown.
void Reset();
/// Number of answers not used yet.
size_t Pending();
/// Everything shown so far, in order.
std::vector<Shown> History();

// Host side: asked by the host's own functions.
/// Records a message.
void ShowMessage(const std::string& text);
/// Asks a question; false when cancelled.
bool AskQuestion(const std::string& text);
/// Asks for a path with a chooser of kind `prompt`; false when cancelled.
bool AskPath(Prompt prompt, const std::string& title, std::string* path);
/// Asks for a pop-up entry; 0 when cancelled.
LONG AskPopup(const std::string& title);
/// Takes the keys queued for a dialog; false when the next answer is not keys.
bool TakeKeys(std::string* keys);

/// A gadget value or button press queued for a modal dialog.
struct DialogAction {
  bool button = false;  ///< A button press; else a gadget value.
  LONG id = 0;          ///< The gadget or button.
  std::string value;    ///< The gadget's new value.
};
/// Takes the next queued gadget value or button press; false when the next answer is neither.
bool TakeDialogAction(DialogAction* action);
/// A modal dialog as it opened: its title and the texts of its static texts, in layout order.
struct OpenedDialog {
  std::string title;
  std::vector<std::string> texts;
  /// Every gadget in layout order as the person sees it, with what an answer needs: "Res X
  /// [gadget 10011, number] = 1024", "Bake Shaders [button 10001]"; a group's content is indented
  /// by two spaces under its title.
  std::vector<std::string> lines;
};
/// Records a modal dialog opening.
void DialogOpened(OpenedDialog dialog);
/// Every modal dialog opened since the last `Reset`, in order.
std::vector<OpenedDialog> Dialogs();
/// Marks the last thing shown as cancelled: the dialog could not take the action.
void CancelLast();
/// The dialog took the action it was last given (it is told to the watcher now).
void ConfirmLast();
/// The dialog refused the action it was last given, an answer outside what the gadget takes:
/// the action is cancelled, `why` kept, and every answer still queued dropped, so that nothing
/// after a refused answer runs.
void RefuseLast(const std::string& why);
/// Why an answer was refused since the last `Reset`; "" when none was.
std::string Refusal();
/// Watches what the user meets, as it happens: `dialog` hears of each modal dialog as it opens,
/// `shown` of each entry of the history once its answer is known (a dialog's action once the
/// dialog has taken or refused it). Called under the user's lock: a watcher asks nothing of the
/// user. Empty functions, or `Reset`, stop watching.
void Watch(std::function<void(const OpenedDialog&)> dialog, std::function<void(const Shown&)> shown);

}  // namespace user
}  // namespace host
