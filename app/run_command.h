// The runner's "run" and "import" commands: run any registered command of the plug-in on a
// document, as a person would from the host's menu, with a selection and the answers to the
// command's questions given on the command line, and save the resulting document.
#pragma once

#include <string>
#include <vector>

/// What one "run" asks for.
struct RunRequest {
  long commandId = 0;                ///< The registered command to run.
  std::string document;              ///< Document file to open; empty: an empty document.
  std::vector<std::string> select;   ///< Names of objects, tags or materials to select.
  std::vector<std::string> answers;  ///< Answers in order: "file:PATH", "dir:PATH", "yes", "no",
                                     ///< "popup:ID", "keys:TEXT", "gadget:ID=VALUE", "button:ID".
  std::string save;                  ///< Document file to save the result to; empty: none.
  std::string material;              ///< "press": the material whose button is pressed.
  long button = 0;                   ///< "press": the description button's parameter ID.
  std::string rendererDir;           ///< The renderer's folder given with --renderer-dir (full), or "".
};

/// `why`, the line that says why a render, command or button failed, with what to do where it says
/// that the renderer's program is not in the folder `rendererDir` given with --renderer-dir (no
/// such file, or a file on the way): that folder holds no renderer, and which folder to name.
std::string WithRendererDirHint(const std::string& why, const std::string& rendererDir);

/// `path` from the root, as a chooser answers it: a relative path follows the working directory's
/// path, and "." names, repeated slashes and a trailing "/" are dropped, never "..", which the walk
/// resolves as the system does. False (with `errno` set) when the working directory has no path.
bool FromHere(const std::string& path, std::string* full);

/// Help text of the options below, for the runner's usage.
extern const char kRunUsage[];

/// Reads the options of "run COMMAND-ID [DOC]" (`args` after the word "run"); false with `*error`.
bool ParseRunArguments(const std::vector<std::string>& args, RunRequest* request, std::string* error);
/// Reads the options of "import FILE [DOC]": the import command with FILE as the chooser's answer.
bool ParseImportArguments(const std::vector<std::string>& args, RunRequest* request, std::string* error);

/// Reads the options of "press MATERIAL BUTTON-ID [DOC]": a button of a material's attribute page.
bool ParsePressArguments(const std::vector<std::string>& args, RunRequest* request, std::string* error);

/// Runs the request in the started plug-in: opens the document, selects, queues the answers, runs
/// the command (or presses the material's button), prints every dialog and question as it is shown,
/// in order with the console's lines, and saves the document. 0 on success; 1 when something
/// failed; 2 when a dialog refused an answer (then nothing after it ran). One line on standard
/// error says what.
int RunCommand(const RunRequest& request);
