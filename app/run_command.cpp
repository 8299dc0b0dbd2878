#include "run_command.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <set>
#include <utility>
#include <vector>

#include "c4d.h"
#include "c4d_description.h"
#include "c4d_descriptionmessages.h"
#include "host_control.h"
#include "host_document_file.h"
#include "host_unpacked.h"
#include "files/folder.h"
#include "files/sweep.h"
#include "files/temporary.h"
#include "host_user.h"
#include "interrupt.h"
#include "terminal.h"

bool FromHere(const std::string& path, std::string* full) {
  std::string text = path;
  if (!path.empty() && path[0] != '/') {
    char* here = ::getcwd(nullptr, 0);
    if (!here) return false;
    text = here + ("/" + path);
    std::free(here);
  }
  // "." names and repeated slashes go; ".." stays for the walk: after a link it leads to the
  // parent of where the link led, not back along the text.
  std::string out;
  for (const std::string& name : files::PathNames(text)) out += "/" + name;
  *full = path.empty() ? path : out.empty() ? "/" : out;
  return true;
}

const char kRunUsage[] =
    "  run ID [DOCUMENT]     run the plug-in's command ID on the document (an empty one without\n"
    "                        it), as from the host's menu; with:\n"
    "    --select NAME       select the objects, tags and materials of that name (repeatable)\n"
    "    --answer ANSWER     answer the command's next question of that kind (repeatable, in\n"
    "                        order): file:PATH, dir:PATH (from the current folder, as a chooser\n"
    "                        answers a full path), yes, no, popup:ID, keys:TEXT (keys\n"
    "                        typed into a dialog), gadget:ID=VALUE (a dialog's gadget set to the\n"
    "                        value; 1 or 0 for a check box), button:ID (a dialog's button\n"
    "                        pressed); questions left over are cancelled; every dialog that\n"
    "                        opened is printed with the IDs, kinds and values of its gadgets\n"
    "    --save OUT.json     save the resulting document as a document file\n"
    "  import FILE [DOCUMENT]  import a material file (.ovm or .povm) into the document: run with\n"
    "                        the import command's ID and --answer file:FILE; takes --save too\n"
    "  press MATERIAL ID [DOCUMENT]  press the button ID of the named material's attribute page\n"
    "                        (6268 preview, 6270 export); takes --answer and --save too\n"
    "  run and press also take --renderer-dir (see below), as render does: a command or button\n"
    "  that starts the renderer or its console (packing) then starts it from that folder; an\n"
    "  answer outside a dialog field's limits is refused (exit 2) and nothing after it runs\n";

namespace {

constexpr long kImportCommand = 1022469;

// A decimal ID of 32 bits.
bool IsId(const std::string& text) {
  if (text.empty() || text.size() > 11) return false;
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(text.c_str(), &end, 10);
  return !*end && !errno && v >= INT32_MIN && v <= INT32_MAX;
}

bool ParseCommon(const std::vector<std::string>& args, size_t first, RunRequest* r, std::string* error) {
  std::vector<std::string> positional;
  for (size_t i = first; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--select" || a == "--answer" || a == "--save") {
      if (i + 1 >= args.size()) {
        *error = "option " + a + " needs a value";
        return false;
      }
      const std::string& v = args[++i];
      if (a == "--select")
        r->select.push_back(v);
      else if (a == "--answer")
        r->answers.push_back(v);
      else
        r->save = v;
    } else if (a.size() > 1 && a[0] == '-') {
      *error = "unknown option " + a + " (corvane-host --help lists the options)";
      return false;
    } else {
      positional.push_back(a);
    }
  }
  if (positional.size() > 1) {
    *error = "too many arguments";
    return false;
  }
  if (!positional.empty()) r->document = positional[0];
  for (std::string& answer : r->answers) {
    const size_t colon = answer.find(':');
    const std::string kind = answer.substr(0, colon);
    const std::string value = colon == std::string::npos ? std::string() : answer.substr(colon + 1);
    if (answer != "yes" && answer != "no" && kind != "file" && kind != "dir" && kind != "popup" &&
        kind != "keys" && kind != "gadget" && kind != "button") {
      *error = "unknown answer " + answer +
               " (file:PATH, dir:PATH, yes, no, popup:ID, keys:TEXT, gadget:ID=VALUE, button:ID)";
      return false;
    }
    const bool gadget = kind == "gadget";
    const bool needsId = gadget || kind == "button" || kind == "popup";
    if ((needsId && !IsId(gadget ? value.substr(0, value.find('=')) : value)) ||
        (gadget && value.find('=') == std::string::npos)) {
      *error = "not an answer of its kind: " + answer;
      return false;
    }
    std::string full;
    if (kind == "file" || kind == "dir") answer = kind + ":" + (FromHere(value, &full) ? full : value);
  }
  return true;
}

// Selects every node of that name in the object tree, the objects' tags and the materials.
int SelectByName(BaseObject* op, const String& name) {
  int found = 0;
  for (; op; op = op->GetNext()) {
    if (op->GetName() == name) op->SetBit(BIT_ACTIVE), ++found;
    for (BaseTag* tag = op->GetFirstTag(); tag; tag = tag->GetNext())
      if (tag->GetName() == name) tag->SetBit(BIT_ACTIVE), ++found;
    found += SelectByName(op->GetDown(), name);
  }
  return found;
}

void QueueAnswer(const std::string& answer) {
  const size_t colon = answer.find(':');
  const std::string kind = answer.substr(0, colon);
  const std::string value = colon == std::string::npos ? std::string() : answer.substr(colon + 1);
  if (answer == "yes")
    host::user::AnswerYes();
  else if (answer == "no")
    host::user::AnswerNo();
  else if (kind == "file")
    host::user::ChooseFile(value);
  else if (kind == "dir")
    host::user::ChooseDirectory(value);
  else if (kind == "popup")
    host::user::ChoosePopupEntry(std::atol(value.c_str()));
  else if (kind == "keys")
    host::user::TypeKeys(value);
  else if (kind == "button")
    host::user::PressButton(std::atol(value.c_str()));
  else if (kind == "gadget") {
    const size_t equals = value.find('=');
    host::user::SetGadget(std::atol(value.substr(0, equals).c_str()), value.substr(equals + 1));
  }
}

const char* PromptName(host::Prompt p) {
  switch (p) {
    case host::Prompt::Message: return "Message";
    case host::Prompt::Question: return "Question";
    case host::Prompt::FileLoad: return "Open file";
    case host::Prompt::FileSave: return "Save file";
    case host::Prompt::Directory: return "Choose folder";
    case host::Prompt::PopupMenu: return "Menu";
    default: return "Dialog";
  }
}

// The name a command was registered with, or "" for an ID no command has.
std::string CommandName(long id) {
  for (const host::Registration& r : host::Registrations())
    if (r.accepted && r.kind == host::PluginKind::Command && r.id == id) return r.name;
  return "";
}

// Why a command or button did not do its work, as far as it said: the last message it showed, or
// else the last line it printed, or else the question it found cancelled.
std::string Reason() {
  const std::vector<host::Shown> shown = host::user::History();
  for (auto it = shown.rbegin(); it != shown.rend(); ++it)
    if (it->prompt == host::Prompt::Message && !it->text.empty()) return it->text;
  const std::vector<std::string> lines = host::ConsoleLines();
  for (auto it = lines.rbegin(); it != lines.rend(); ++it)
    if (it->find_first_not_of(' ') != std::string::npos) return *it;
  if (!shown.empty() && shown.back().cancelled)
    return PromptName(shown.back().prompt) + std::string(" \"") + shown.back().text + "\" was cancelled";
  return "";
}

void PrintDialog(const host::user::OpenedDialog& d) {
  PrintUnlessInterrupted([&] {
    text::WriteLine(std::cout, "[Dialog] " + d.title);
    for (const std::string& line : d.lines) text::WriteLine(std::cout, "  " + line);
    std::cout << std::flush;
  });
}

void PrintShown(const host::Shown& s) {
  PrintUnlessInterrupted([&] {
    const std::string answer =
        s.prompt == host::Prompt::Message ? "" : " -> " + (s.cancelled ? "(cancelled)" : s.answer);
    WriteLines(std::cout, "[" + std::string(PromptName(s.prompt)) + "] ", s.text, answer);
    std::cout << std::flush;
  });
}

std::string Because(const std::string& reason) { return reason.empty() ? std::string() : ": " + reason; }

// Whether the attribute page of `material` (its description) shows a button `id`; `*buttons` gets
// the page's buttons, "6268 Render preview, 6270 Export packed material", for the line that says
// it has none of that ID.
bool PageHasButton(BaseMaterial* material, long id, std::string* buttons) {
  Description* page = Description::Alloc();
  bool found = false;
  buttons->clear();
  if (material->GetDescription(page)) {
    for (LONG i = 0; i < page->GetCount(); ++i) {
      const DescLevel entry = page->GetIndexId(i)[0];
      if (entry.dtype != DTYPE_BUTTON || page->IsHidden(entry.id)) continue;
      const BaseContainer* settings = page->GetIndexSettings(i);
      const std::string label = settings ? host::ToUtf8(settings->GetString(DESC_NAME)) : std::string();
      *buttons +=
          (buttons->empty() ? "" : ", ") + std::to_string(entry.id) + (label.empty() ? "" : " " + label);
      found = found || entry.id == id;
    }
  }
  Description::Free(page);
  return found;
}

}  // namespace

bool ParseRunArguments(const std::vector<std::string>& args, RunRequest* r, std::string* error) {
  if (args.empty()) {
    *error = "run needs a command ID";
    return false;
  }
  char* end = nullptr;
  errno = 0;
  r->commandId = std::strtol(args[0].c_str(), &end, 10);
  if (args[0].empty() || *end || errno) {
    *error = "not a command ID: " + args[0];
    return false;
  }
  return ParseCommon(args, 1, r, error);
}

bool ParsePressArguments(const std::vector<std::string>& args, RunRequest* r, std::string* error) {
  if (args.size() < 2 || args[0].empty() || args[0][0] == '-') {
    *error = "press needs a material name and a button ID";
    return false;
  }
  char* end = nullptr;
  errno = 0;
  r->button = std::strtol(args[1].c_str(), &end, 10);
  if (args[1].empty() || *end || errno) {
    *error = "not a button ID: " + args[1];
    return false;
  }
  r->material = args[0];
  return ParseCommon(args, 2, r, error);
}

bool ParseImportArguments(const std::vector<std::string>& args, RunRequest* r, std::string* error) {
  if (args.empty() || args[0].empty() || args[0][0] == '-') {
    *error = "import needs a material file";
    return false;
  }
  r->commandId = kImportCommand;
  r->answers.push_back("file:" + args[0]);
  return ParseCommon(args, 1, r, error);
}

namespace {

// The path of the write path's "materials" folder, where an import unpacks archives.
std::string MaterialsPath() {
  return host::ToUtf8((GeGetStartupWritePath() + Filename("materials")).GetString());
}

// The names of the folders in `folder` that are one of `folders` (device, inode), with their status.
std::vector<std::pair<std::string, struct stat>> FoldersAmong(
    const files::Folder& folder, const std::set<std::pair<dev_t, ino_t>>& folders) {
  std::vector<std::pair<std::string, struct stat>> found;
  std::vector<std::string> names;
  files::ReadNames(folder.Descriptor(), &names);
  for (const std::string& name : names) {
    struct stat st;
    if (::fstatat(folder.Descriptor(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode) &&
        folders.count({st.st_dev, st.st_ino}))
      found.emplace_back(name, st);
  }
  return found;
}

// After a save that failed: removes the folders of the write path's "materials" folder that an
// archive was unpacked into in this run (the host recorded which): nothing refers to them but the
// document that was not saved. Only those very folders go, whatever else is named like them.
void RemoveUnpacked() {
  const std::vector<std::pair<dev_t, ino_t>> unpacked = host::UnpackedFolders();
  if (unpacked.empty()) return;
  files::Folder materials;
  if (!files::Folder::Open(MaterialsPath(), &materials).ok()) return;
  for (const auto& [name, st] : FoldersAmong(materials, {unpacked.begin(), unpacked.end()}))
    materials.RemoveFolder(name, st);
}

}  // namespace

std::string WithRendererDirHint(const std::string& why, const std::string& rendererDir) {
  const auto endsWith = [&why](const std::string& end) {
    return why.size() >= end.size() && why.compare(why.size() - end.size(), end.size(), end) == 0;
  };
  if (rendererDir.empty() || why.rfind("Could not start " + rendererDir + "/Orvane.app/", 0) != 0 ||
      !(endsWith(": " + files::ErrorText(ENOENT)) || endsWith(": " + files::ErrorText(ENOTDIR))))
    return why;
  return why + " (" + rendererDir +
         ", given with --renderer-dir, holds no renderer: name the renderer's installation folder, the one "
         "holding Orvane.app)";
}

int RunCommand(const RunRequest& r) {
  // A document is saved over a regular file or a new one only, into a folder it may write to:
  // anything else is refused before the command runs, so that nothing is written; its temporary
  // file is made first, so that a folder where no file can be made is refused then too. The path
  // stays as given: a relative one is taken from the working directory itself.
  files::TemporaryFile saving;
  if (!r.save.empty()) {
    if (const files::Result checked = files::CreateTemporary(r.save, &saving); !checked.ok()) {
      WriteError(r.save + ": cannot write the file: " + checked.Text());
      return 1;
    }
  }
  std::string error;
  BaseDocument* doc = r.document.empty() ? BaseDocument::Alloc() : host::LoadDocumentFile(r.document, &error);
  if (!doc) {
    WriteError(error);
    return 1;
  }
  for (const std::string& name : r.select) {
    int found = SelectByName(doc->GetFirstObject(), String(name));
    for (BaseMaterial* m = doc->GetFirstMaterial(); m; m = m->GetNext())
      if (m->GetName() == String(name)) m->SetBit(BIT_ACTIVE), ++found;
    if (!found) {
      WriteError("nothing named \"" + name + "\" to select");
      BaseDocument::Free(doc);
      return 1;
    }
  }
  host::user::Reset();
  for (const std::string& answer : r.answers) QueueAnswer(answer);
  // Dialogs and questions are printed as they come, between the console lines around them.
  host::user::Watch(PrintDialog, PrintShown);
  host::SetActiveDocument(doc);
  BaseMaterial* pressed = nullptr;
  if (!r.material.empty()) {
    for (BaseMaterial* m = doc->GetFirstMaterial(); m && !pressed; m = m->GetNext())
      if (m->GetName() == String(r.material)) pressed = m;
  }
  // A button the page does not show is a slip of the command line: said before anything runs.
  std::string buttons;
  if (pressed && !PageHasButton(pressed, r.button, &buttons)) {
    host::user::Watch(nullptr, nullptr);
    host::SetActiveDocument(nullptr);
    WriteError("no button " + std::to_string(r.button) + " on the page of \"" + r.material + "\" (" +
               (buttons.empty() ? "its page has no buttons" : "its buttons: " + buttons) + ")");
    BaseDocument::Free(doc);
    return 2;
  }
  // What the command or button says from here on tells why it did not run, if it does not.
  host::ClearConsole();
  bool ran = false;
  if (pressed) {
    DescriptionCommand dc;
    dc.id = DescID(DescLevel(static_cast<LONG>(r.button)));
    ran = pressed->Message(MSG_DESCRIPTION_COMMAND, &dc);
  } else if (r.material.empty()) {
    ran = host::FindCommand(r.commandId) && CallCommand(r.commandId);
  }
  host::SetActiveDocument(nullptr);
  host::user::Watch(nullptr, nullptr);
  const std::string reason = WithRendererDirHint(Reason(), r.rendererDir);
  const std::string refusal = host::user::Refusal();
  int status = 0;
  if (!refusal.empty()) {
    WriteError("answer refused: " + refusal + " (nothing after it ran)");
    status = 2;
  } else if (!r.material.empty() && !pressed) {
    WriteError("no material named \"" + r.material + "\"");
    status = 1;
  } else if (!r.material.empty() && !ran) {
    WriteError("button " + std::to_string(r.button) + " of \"" + r.material + "\" did not run" +
               Because(reason));
    status = 1;
  } else if (!ran && !host::FindCommand(r.commandId)) {
    WriteError("no registered command " + std::to_string(r.commandId) +
               " (corvane-host plugins lists the commands)");
    status = 1;
  } else if (!ran) {
    WriteError("command " + std::to_string(r.commandId) + " (" + CommandName(r.commandId) + ") did not run" +
               Because(reason));
    status = 1;
  } else if (!r.save.empty()) {
    const std::string text = host::SaveDocumentText(doc, &error);
    files::Result saved;
    if (error.empty()) saved = saving.Write(text.data(), text.size());
    if (error.empty() && saved.ok()) saved = saving.Commit();
    if (error.empty() && saved.ok()) {
      text::WriteLine(std::cout, "Saved " + r.save);
    } else {
      WriteError(r.save + ": " + (error.empty() ? "cannot write the file: " + saved.Text() : error));
      RemoveUnpacked();
      status = 1;
    }
  }
  BaseDocument::Free(doc);
  return status;
}
