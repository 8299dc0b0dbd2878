// The scripted user: answers every question the host would ask a person. Tests queue answers and
// read what was shown; the runner fills the queue from its options. A question without a queued
// answer of its kind is cancelled, never waited for.
#pragma once

#include <string>
#include <vector>

#include "c4d_types.h"

namespace host {

/// What the host showed or asked.
enum class Prompt { Message, Question, FileLoad, FileSave, Directory, PopupMenu, DialogKeys };

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

}  // namespace user
}  // namespace host
