// corvane-host: loads the plug-in module, starts it, opens a document and runs plug-in commands
// headless, printing the host's console.
#include <fcntl.h>
#include <signal.h>
#include <sys/auxv.h>
#include <sys/stat.h>
#include <tinyxml.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <filesystem>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "c4d.h"
#include "demo_document.h"
#include "host_control.h"
#include "host_document_file.h"
#include "files/folder.h"
#include "files/temporary.h"
#include "host_user.h"
#include "check_material.h"
#include "interrupt.h"
#include "orvane_utils/OrvaneXMLLoader.h"
#include "plugin_module.h"
#include "process/gate.h"
#include "run_command.h"
#include "terminal.h"

#if defined(__SANITIZE_ADDRESS__)
// In a sanitizer build: the sanitizer guesses the bounds of a module's dynamic thread-local block
// from a header that this C library does not write, and where the block happens to lie 16 bytes
// into a page it takes garbage for them, and its leak check at the end crashes. The plug-in module
// has such blocks (its thread-locals); they are not tracked, which costs only their being roots of
// the leak check, and the module's are released at its end.
extern "C" const char* __asan_default_options() { return "intercept_tls_get_addr=0"; }
#endif

namespace fs = std::filesystem;

namespace {

const char kUsage[] =
    "usage: corvane-host <command> [options] [DOCUMENT.json]\n"
    "\n"
    "commands:\n"
    "  plugins               start the plug-in and list its registrations: kind, ID, name (the\n"
    "                        IDs that run takes; menu separators are shown as \"separator\")\n"
    "  render [DOCUMENT]     open the document (the built-in demo document without one) and run\n"
    "                        the render command on it: the scene is written and the renderer\n"
    "                        started\n"
    "  check-material FILE   read every material of a material file (.ovm, or the .ovm inside a\n"
    "                        .povm) as the import does and report each one, or where it is broken\n"
    "%RUN%"
    "\n"
    "options:\n"
    "  --plugin-dir DIR      folder of corvaneR12.so with its res/ and preview/ (default: next to\n"
    "                        this program, in plugin/)\n"
    "  --write-path DIR      the host's startup write path, where the settings file and the\n"
    "                        scene (quickrender/) go (default: ~/.corvane)\n"
    "  --renderer-dir DIR    the renderer's installation folder (holding Orvane.app) for render,\n"
    "                        run and press (the commands that may start the renderer or its\n"
    "                        console); kept in the settings file once the renderer has started\n"
    "  -h, --help            this text\n"
    "\n"
    "An option's value follows it after a space or \"=\" (--write-path DIR, --write-path=DIR);\n"
    "an empty value is a usage error.\n"
    "Exit status: 0 done; 1 a command, button or render did not do its work, or a document or\n"
    "material file could not be used; 2 a usage error (an unknown or empty option, an answer\n"
    "outside a dialog field's limits, a button the material's page lacks), or a file\n"
    "check-material cannot read.\n";

const char kNoCommand[] = "no command given";

// The whole usage text, with the options of run, import and press.
std::string Usage() {
  std::string usage = kUsage;
  return usage.replace(usage.find("%RUN%"), 5, kRunUsage);
}

struct Options {
  std::string command;
  std::string document;
  std::string pluginDir;
  std::string writePath;
  bool defaultWritePath = false;  // the write path is ~/.corvane, no --write-path was given
  std::string rendererDir;
  std::vector<std::string> rest;  // "run" and "import": their own arguments and options
};

// The render command's plug-in ID.
constexpr LONG kRenderCommand = 1023920;

// Says `message` on standard error, unless a signal has been taken (the run then ends by it, and
// a step it stopped has nothing to say); 1.
int Fail(const std::string& message) {
  PrintUnlessInterrupted([&] { WriteError(message); });
  return 1;
}

// The runner's folder: the one the kernel says it was started from, or, without /proc, the one of
// the file the path the kernel executed leads to (`*started`, relative to the working directory as
// the kernel took it; `argv[0]`, which the caller chooses freely, only where the kernel tells none:
// a bare name there is found on the PATH as the shell found it); "" where none tells (never the
// working directory for a name found on the PATH, whose plug-in would be loaded).
std::string ExecutableDir(const std::string& argv0, std::string* started) {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) return exe.parent_path().string();
  const char* executed = reinterpret_cast<const char*>(::getauxval(AT_EXECFN));
  *started = executed && *executed ? executed : argv0;
  fs::path path = *started;
  if (!(executed && *executed) && argv0.find('/') == std::string::npos) {
    path.clear();
    std::istringstream folders(std::getenv("PATH") ? std::getenv("PATH") : "");
    for (std::string folder; path.empty() && std::getline(folders, folder, ':');) {
      const fs::path candidate = fs::path(folder.empty() ? "." : folder) / argv0;
      if (fs::is_regular_file(candidate, ec) && ::access(candidate.c_str(), X_OK) == 0) path = candidate;
    }
  }
  const fs::path real = path.empty() ? fs::path() : fs::canonical(path, ec);
  return real.empty() || ec ? std::string() : real.parent_path().string();
}

// The usage error for an option given "" as its value, with what the option takes.
std::string EmptyValue(const std::string& option) {
  const char* what = option == "--select"   ? "NAME"
                     : option == "--answer" ? "ANSWER"
                     : option == "--save"   ? "OUT.json"
                                            : "DIR";
  return "option " + option + " has an empty value: give it " + what;
}

// False, with the usage error, when --renderer-dir comes with a command that never starts the
// renderer: the folder would be taken and not used.
bool RendererDirFits(const Options& o, std::string* error) {
  if (o.rendererDir.empty() || o.command == "render" || o.command == "run" || o.command == "press")
    return true;
  *error =
      "option --renderer-dir belongs to render, run and press: " + o.command + " never starts the renderer";
  return false;
}

// The commands, as the usage lists them.
const char* const kCommands[] = {"plugins", "render", "check-material", "run", "import", "press"};

// The edits (a byte put in, left out or changed) that make `a` into `b`.
size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// The one of `known` closest to `word` when it is near (a typing slip), else null.
template <size_t N>
const char* Closest(const std::string& word, const char* const (&known)[N]) {
  const size_t near = word.size() <= 4 ? 1 : 2;
  const char* closest = nullptr;
  size_t best = near + 1;
  for (const char* k : known) {
    const size_t d = EditDistance(word, k);
    if (d < best) {
      best = d;
      closest = k;
    }
  }
  return closest;
}

// The usage error for a command that is none: the closest command when it is near, and where the
// commands are listed.
std::string UnknownCommand(const std::string& command) {
  const char* closest = Closest(command, kCommands);
  return "unknown command " + command +
         (closest ? ": did you mean " + std::string(closest) + "?" : std::string()) +
         " (corvane-host --help lists the commands)";
}

// The options, as the usage lists them.
const char* const kOptions[] = {"--plugin-dir", "--write-path", "--renderer-dir", "--select",
                                "--answer",     "--save",       "--help"};

// The usage error for an option that is none ("--write_path=x" is named without its value): the
// closest option when it is near, and where the options are listed.
std::string UnknownOption(const std::string& option) {
  const std::string name = option.compare(0, 2, "--") == 0 ? option.substr(0, option.find('=')) : option;
  const char* closest = Closest(name, kOptions);
  return "unknown option " + option +
         (closest ? ": did you mean " + std::string(closest) + "?" : std::string()) +
         " (corvane-host --help lists the options)";
}

bool ParseOptions(int argc, char** argv, Options* o, std::string* error) {
  std::vector<std::string> positional;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    // An option's value follows it as the next argument or after "=" ("--save=OUT.json").
    std::optional<std::string> attached;
    const size_t equals = a.find('=');
    if (a.compare(0, 2, "--") == 0 && equals != std::string::npos) {
      const std::string name = a.substr(0, equals);
      if (name == "--plugin-dir" || name == "--write-path" || name == "--renderer-dir" ||
          name == "--select" || name == "--answer" || name == "--save") {
        attached = a.substr(equals + 1);
        a = name;
      }
    }
    auto value = [&](std::string* out) {
      if (!attached && i + 1 >= argc) {
        *error = "option " + a + " needs a value";
        return false;
      }
      *out = attached ? *attached : argv[++i];
      // "--save=$OUT" with OUT unset, or "--save ''", would otherwise quietly do nothing.
      if (out->empty()) *error = EmptyValue(a);
      return !out->empty();
    };
    if (a == "--plugin-dir") {
      if (!value(&o->pluginDir)) return false;
    } else if (a == "--write-path") {
      if (!value(&o->writePath)) return false;
    } else if (a == "--renderer-dir") {
      if (!value(&o->rendererDir)) return false;
    } else if (a == "--select" || a == "--answer" || a == "--save") {
      // Read by the command's own parsing; only an empty value is refused here.
      o->rest.push_back(a);
      if (attached || i + 1 < argc) {
        std::string v;
        if (!value(&v)) return false;
        o->rest.push_back(v);
      }
    } else if (a.size() > 1 && a[0] == '-') {
      *error = UnknownOption(a);
      return false;
    } else {
      positional.push_back(a);
    }
  }
  if (positional.empty()) {
    *error = kNoCommand;
    return false;
  }
  o->command = positional[0];
  if (o->command == "check-material") {
    if (positional.size() != 2) {
      *error = "check-material needs one material file";
      return false;
    }
    o->document = positional[1];
    return RendererDirFits(*o, error);
  }
  if (o->command == "run" || o->command == "import" || o->command == "press") {
    o->rest.insert(o->rest.begin(), positional.begin() + 1, positional.end());
  } else if (!o->rest.empty()) {
    *error = "option " + o->rest[0] + " belongs to run, import and press";
    return false;
  }
  if (std::find(std::begin(kCommands), std::end(kCommands), o->command) == std::end(kCommands)) {
    *error = UnknownCommand(o->command);
    return false;
  }
  const bool runLike = o->command == "run" || o->command == "import" || o->command == "press";
  if (!runLike && (positional.size() > 2 || (o->command == "plugins" && positional.size() > 1))) {
    *error = "too many arguments";
    return false;
  }
  if (positional.size() == 2 && !runLike) o->document = positional[1];
  if (o->pluginDir.empty()) {
    std::string started;
    const std::string here = ExecutableDir(argc > 0 ? argv[0] : "", &started);
    if (here.empty()) {
      *error = "the runner's folder, which holds the plug-in, is not known here (no /proc, and " + started +
               " names no file): give --plugin-dir DIR";
      return false;
    }
    o->pluginDir = here + "/plugin";
  }
  return RendererDirFits(*o, error);
}

// One registration as a line of `plugins`: its kind, ID and name, as `run` and `--answer` take
// them. A command named "#$<position> --" is a menu separator, not a command to run, and an
// entry without a name says so.
std::string RegistrationLine(const host::Registration& r) {
  std::string name = r.name;
  if (name.compare(0, 2, "#$") == 0) name.erase(0, name.find_first_not_of("0123456789", 2));
  if (r.kind == host::PluginKind::Command && name == " --") return "separator " + std::to_string(r.id);
  if (name.empty()) name = "(no name)";
  return std::string(host::KindName(r.kind)) + " " + std::to_string(r.id) + " " + name;
}

int ListPlugins() {
  for (const host::Registration& r : host::Registrations()) {
    if (r.accepted) text::WriteLine(std::cout, RegistrationLine(r));
  }
  return 0;
}

const char kSettingsFileName[] = "corvaneSettings.cfg";

// The settings file as the plug-in reads it.
struct Settings {
  std::optional<std::string> bytes;  // nothing when there is none
  std::string problem;               // the line that says why it may not be used, or ""
};

// Reads the settings file through its open folder, as the plug-in does: in a sticky folder that
// others may write to, only a file (or a link at it) of this user's or of the folder's owner's is
// read ("cannot use" it otherwise), and what is read is the file that was checked. A folder, a FIFO
// or a device there is refused (reading a FIFO would wait for a writer). Where the fault lies on
// the way to the write path `writePath`, the line names the write path.
Settings ReadSettings(const std::string& writePath, const std::string& settingsFile) {
  Settings settings;
  std::string bytes;
  files::Place place;
  files::Result r = files::Locate(settingsFile, &place);
  const bool reached = r.ok();
  if (reached) r = place.folder.ReadFile(place.name, &bytes, size_t(1) << 30, files::ReadPolicy::kTrusted);
  if (r.ok()) {
    settings.bytes = std::move(bytes);
  } else if (r.error() != ENOENT && r.error() != ENOTDIR) {  // none, nor a folder for it yet
    const bool refused = r.reason() == files::Reason::kForeignFile || r.error() == EACCES;
    settings.problem = !reached ? "cannot use the write path " + writePath + ": " + r.Text()
                                : std::string(refused ? "cannot use" : "cannot open") +
                                      " the settings file " + settingsFile + ": " + r.Text();
  }
  return settings;
}

// What TinyXML keeps of the settings file's bytes, also of a text that is not well-formed.
void ParseSettings(const std::string& bytes, TiXmlDocument* doc) {
  std::string message;
  Orvane::OrvaneXMLLoader::parse(bytes, *doc, message);
}

// The renderer folder that the plug-in's settings file names, or "" when it names none.
std::string SettingsRendererDir(const Settings& read) {
  if (!read.bytes) return "";
  TiXmlDocument settings;
  ParseSettings(*read.bytes, &settings);
  TiXmlElement* global = settings.FirstChildElement("global_settings");
  TiXmlElement* path = global ? global->FirstChildElement("PATH") : nullptr;
  const char* text = path ? path->GetText() : nullptr;
  return text ? text : "";
}

// What this run did to the settings file, so that only that is put back.
struct SettingsChange {
  std::optional<std::string> before;  // the file as it was; nothing when there was none
  std::string written;                // the text this run wrote
  files::Folder folder;               // the folder of the file this run wrote (a link at the
  std::string name;                   // settings file's name followed) and its name there
  struct stat file = {};              // that file as it was then
};

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_ctim.tv_sec == b.st_ctim.tv_sec &&
         a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

// Makes the temporary that `UseRendererDir` writes the settings file in the write path `writePath`
// through, before the change is made while interruptions wait: the first temporary in a folder
// sweeps what a killed run left there, which may take long, and a signal's step must not wait for
// it. False, with the line that says why, when it cannot be made.
bool SettingsTemporary(const files::Folder& writePath, const std::string& settingsFile,
                       files::TemporaryFile* file, std::string* error) {
  const files::Result made = writePath.CreateTemporary(kSettingsFileName, file);
  if (!made.ok()) *error = "cannot write the settings file " + settingsFile + ": " + made.Text();
  return made.ok();
}

// Points the settings file in the write path `writePath` (open) at the renderer folder `dir` for
// this run, as the plug-in keeps it: "global_settings" with "PATH" (UTF-8 text) replaces the old
// one, every other node stays. The file is written through `file` (`SettingsTemporary`); `change`
// tells what was done.
bool UseRendererDir(const files::Folder& writePath, const std::string& settingsFile, const std::string& dir,
                    files::TemporaryFile* file, SettingsChange* change, std::string* error) {
  const Settings read = ReadSettings(settingsFile.substr(0, settingsFile.rfind('/')), settingsFile);
  if (!read.problem.empty()) {
    *error = read.problem;
    return false;
  }
  TiXmlDocument settings;
  if (read.bytes) ParseSettings(*read.bytes, &settings);
  change->before = read.bytes;
  if (TiXmlElement* old = settings.FirstChildElement("global_settings")) settings.RemoveChild(old);
  auto* global = new TiXmlElement("global_settings");
  auto* path = new TiXmlElement("PATH");
  path->LinkEndChild(new TiXmlText(dir));
  global->LinkEndChild(path);
  settings.LinkEndChild(global);
  TiXmlPrinter printer;
  settings.Accept(&printer);
  change->written = printer.Str();
  files::Result written = file->Write(change->written.data(), change->written.size());
  if (written.ok()) written = file->Commit();
  if (!written.ok()) {
    *error = "cannot write the settings file " + settingsFile + ": " + written.Text();
    return false;
  }
  files::Target target;
  if (writePath.WriteTarget(kSettingsFileName, &target).ok() && target.isFile) {
    change->folder = target.folder;
    change->name = target.name;
    change->file = target.status;
  }
  return true;
}

// The bytes of `name` in `folder` when it is still the file `file`: read from what was opened, so
// that the check and the read are of one file.
std::optional<std::string> ReadSameFile(const files::Folder& folder, const std::string& name,
                                        const struct stat& file) {
  int fd = -1;
  if (!folder.OpenFile(name, &fd).ok()) return std::nullopt;
  struct stat st;
  std::string bytes;
  bool same = ::fstat(fd, &st) == 0 && SameFile(st, file);
  same = same && files::ReadAll(fd, &bytes, size_t(1) << 30, name).ok();
  ::close(fd);
  return same ? std::optional<std::string>(bytes) : std::nullopt;
}

// Puts the settings file back as it was before `UseRendererDir`, but only while it is still the
// file this run wrote: another run may have written its own since. Works in the folder where that
// file was written, never by the settings file's path again. The line that says it could not is
// left in `*problem`, for the caller to print once no lock the signal's step needs is held.
void RestoreSettings(const std::string& settingsFile, const SettingsChange& change, std::string* problem) {
  if (!change.folder.IsOpen()) return;
  const std::optional<std::string> now = ReadSameFile(change.folder, change.name, change.file);
  if (!now || *now != change.written) return;
  files::Result restored;
  if (change.before) {
    restored = change.folder.WriteFile(change.name, change.before->data(), change.before->size());
  } else {
    // The file this run made (where a link at its name leads, the link having been there before).
    struct stat st;
    if (::fstatat(change.folder.Descriptor(), change.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
        !SameFile(st, change.file))
      return;
    if (::unlinkat(change.folder.Descriptor(), change.name.c_str(), 0) != 0)
      restored = files::Result::System(errno);
  }
  if (!restored.ok())
    *problem = "could not put the settings file " + settingsFile + " back as it was: " + restored.Text();
}

// Why the file `path` (the runner's `what`) cannot be read, or "" when it can. Only a regular
// file is opened: a FIFO would block the open for ever, a device is nothing to read.
std::string FileProblem(const std::string& what, const std::string& path) {
  int fd = -1;
  const files::Result r = files::OpenFile(path, &fd);
  if (!r.ok()) return "cannot open the " + what + " " + path + ": " + r.Text();
  ::close(fd);
  return "";
}

// The line that says the write path of `o` cannot be made for `r`, and how to name another.
std::string WritePathLine(const Options& o, const files::Result& r) {
  return "cannot make the write path " + o.writePath + (o.defaultWritePath ? " (~/.corvane)" : "") + ": " +
         r.Text() + "; --write-path DIR names another";
}

// Makes the write path of `o` (walked once, with the rules for links in shared folders, the missing
// folders made): "" when it is a folder, `*folder` (when given) open, else the line that says why
// it cannot be and how to name another.
std::string MakeWritePath(const Options& o, files::Folder* folder = nullptr) {
  files::Folder made;
  const files::Result r = files::Folder::Open(o.writePath, &made, files::Folder::Make::kMissing);
  if (!r.ok()) return WritePathLine(o, r);
  if (folder) *folder = made;
  return "";
}

// Why `MakeWritePath` would fail, in its words, found without making anything: the write path of
// `o` walked as far as it is there; what is not a folder on the way, or a folder this run may not
// write into, is the failure, and so is a folder that the first missing name would be made in
// where this user may not make one. "" when the write path is there to write into or can be made
// (a full disk shows only when it is made).
std::string WritePathUnmakeable(const Options& o) {
  files::Folder folder;
  files::Result r = files::Folder::Open(o.writePath, &folder);
  if (r.ok()) r = folder.MayWrite();
  if (r.ok()) return "";
  if (r.error() != ENOENT || r.reason() != files::Reason::kSystem) return WritePathLine(o, r);
  // Something is missing: the deepest folder of the (absolute) path that is there is where the
  // making begins.
  files::Folder at;
  if (!files::Folder::Open("/", &at).ok()) return "";
  std::string prefix;
  for (const std::string& name : files::PathNames(o.writePath)) {
    prefix += "/" + name;
    files::Folder next;
    if (files::Folder::Open(prefix, &next).ok()) {
      at = next;
      continue;
    }
    // A name that is there (a link to nothing) fails the making as it fails this walk.
    struct stat st;
    if (::fstatat(at.Descriptor(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 || errno != ENOENT)
      return WritePathLine(o, r);
    // Only the kernel's own "no" counts (no right to write there, a read-only file system): a probe
    // that a sandbox answers otherwise (EPERM for the call itself) says nothing of the making.
    files::Result make = at.MayWrite();
    if (make.ok() && ::faccessat(at.Descriptor(), ".", W_OK | X_OK, AT_EACCESS) != 0 &&
        (errno == EACCES || errno == EROFS))
      make = files::Result::System(errno, at.PathOf(name));
    return make.ok() ? "" : WritePathLine(o, make);
  }
  return "";
}

// The last line the plug-in printed: where a failed render says why.
std::string LastConsoleLine() {
  const std::vector<std::string> lines = host::ConsoleLines();
  for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
    if (it->find_first_not_of(' ') != std::string::npos) return *it;
  }
  return "";
}

// `dir` as a full path, or "" for "": its ".." resolved by the walk, as the folder is kept in the
// settings file and must name it after the working folder or a link on the way changed.
std::string AbsoluteDir(const std::string& dir) {
  std::string full;
  return FromHere(dir, &full) ? files::Resolve(full) : dir;
}

// What undoes `UseRendererDir` (its `change` to the settings file `settingsFile`) after a run, or
// when it is interrupted: the file is put back unless the renderer or its console has started
// since (from the folder the file names: the gate of starts counts them, and an interruption closes
// it before it undoes this). Why it could not be put back goes to `*problem`.
std::function<void()> PutBackUnlessStarted(const std::string& settingsFile, const SettingsChange& change,
                                           std::string* problem) {
  return [&settingsFile, &change, problem, starts = process::StartsMade()] {
    if (process::StartsMade() == starts) RestoreSettings(settingsFile, change, problem);
  };
}

// Runs the request of run or press. A renderer folder given for it goes into the settings file
// first, as for render, and is kept only once the renderer (or its console) has started from it.
int RunWithRendererDir(const Options& o, const RunRequest& run) {
  if (o.rendererDir.empty()) return RunCommand(run);
  const std::string settingsFile = o.writePath + "/" + kSettingsFileName;
  std::string problem = ReadSettings(o.writePath, settingsFile).problem;
  files::Folder writePath;
  if (problem.empty()) problem = MakeWritePath(o, &writePath);
  if (!problem.empty()) return Fail(problem);
  SettingsChange settingsChange;
  UndoneOnInterrupt settingsUse;
  std::string notPutBack;
  files::TemporaryFile settingsWrite;
  if (!SettingsTemporary(writePath, settingsFile, &settingsWrite, &problem) ||
      !settingsUse.Make(
          [&] {
            return UseRendererDir(writePath, settingsFile, AbsoluteDir(o.rendererDir), &settingsWrite,
                                  &settingsChange, &problem);
          },
          PutBackUnlessStarted(settingsFile, settingsChange, &notPutBack)))
    return Fail(problem);
  RunRequest withDir = run;
  withDir.rendererDir = AbsoluteDir(o.rendererDir);
  const int status = RunCommand(withDir);
  settingsUse.Undo();
  if (!notPutBack.empty()) Fail(notPutBack);
  return status;
}

// The first words of the renderer stand-in's first line (tools/orvane_standin.cpp), which its
// install (tools/install-renderer-standin, which the build runs too) writes into the marker file
// beside Orvane.app: how the runner tells the stand-in from a renderer that keeps no such log.
const char kStandinMark[] = "orvane-standin: a test double of the Orvane renderer";
const char kStandinMarkFile[] = "orvane-standin.mark";

// Whether the renderer in `rendererDir` is the stand-in: its marker file starts with the
// stand-in's words. A file far larger than that line is no marker, and is not read; in a folder
// others may write to, only one of this user's or the folder owner's counts, as for the settings file.
bool IsRendererStandin(const std::string& rendererDir) {
  std::string mark;
  return files::ReadFile(rendererDir + "/" + kStandinMarkFile, &mark, 4096, files::ReadPolicy::kTrusted)
             .ok() &&
         mark.rfind(kStandinMark, 0) == 0;
}

// The render's last lines: where the scenes went (the console's "Saved scene to: " lines: the one
// scene, or the first and last of a frame range and how many) and, when the renderer in
// `rendererDir` is the stand-in, where it logs its command lines. Nothing once a signal has been
// taken.
void PrintSceneAndLog(const std::string& rendererDir) {
  const std::string saved = "Saved scene to: ";
  std::vector<std::string> scenes;
  for (const std::string& line : host::ConsoleLines())
    if (line.rfind(saved, 0) == 0) scenes.push_back(line.substr(saved.size()));
  if (scenes.empty()) return;
  const bool standin = IsRendererStandin(rendererDir);
  PrintUnlessInterrupted([&] {
    std::cout << "\n";
    if (scenes.size() == 1)
      text::WriteLine(std::cout, "The scene was written to " + scenes.front());
    else
      text::WriteLine(std::cout, "The " + std::to_string(scenes.size()) + " scenes were written to " +
                                     scenes.front() + " ... " + scenes.back());
    if (standin)
      text::WriteLine(std::cout, "The renderer stand-in logs its command lines to " + rendererDir +
                                     "/orvane-standin.log");
    std::cout << std::flush;
  });
}

int Render(const Options& o) {
  const std::string settingsFile = o.writePath + "/" + kSettingsFileName;
  const Settings settings = ReadSettings(o.writePath, settingsFile);
  if (!settings.problem.empty()) return Fail(settings.problem);
  // A write path that cannot be made is said first: no renderer's folder would mend it. It is
  // only walked here; it is made once there is a document to render.
  if (const std::string problem = WritePathUnmakeable(o); !problem.empty()) return Fail(problem);
  const std::string rendererDir = AbsoluteDir(o.rendererDir);
  if (rendererDir.empty() && SettingsRendererDir(settings).empty())
    return Fail("no renderer known: the settings file " + settingsFile +
                " names none; give the renderer's folder with --renderer-dir DIR");

  std::string error;
  BaseDocument* doc = o.document.empty() ? LoadDemoDocument(o.pluginDir + "/" + kDemoResourceFolder, &error)
                                         : host::LoadDocumentFile(o.document, &error);
  if (!doc) return Fail(error);

  // Only now, with a document to render, does the write path get made.
  files::Folder writePath;
  const std::string writePathProblem = MakeWritePath(o, &writePath);
  if (!writePathProblem.empty()) {
    BaseDocument::Free(doc);
    return Fail(writePathProblem);
  }
  SettingsChange settingsChange;
  UndoneOnInterrupt settingsUse;  // an interrupted render puts the settings file back too
  std::string notPutBack;
  files::TemporaryFile settingsWrite;
  const auto useRendererDir = [&] {
    return UseRendererDir(writePath, settingsFile, rendererDir, &settingsWrite, &settingsChange, &error);
  };
  if (!rendererDir.empty() &&
      !(SettingsTemporary(writePath, settingsFile, &settingsWrite, &error) &&
        settingsUse.Make(useRendererDir, PutBackUnlessStarted(settingsFile, settingsChange, &notPutBack)))) {
    BaseDocument::Free(doc);
    return Fail(error);
  }

  host::SetActiveDocument(doc);
  text::WriteLine(std::cout,
                  "Opened " + (o.document.empty() ? std::string("the demo document") : o.document));
  // As the host runs a menu command: on the active document, returning once its modal dialog has
  // closed. True only when the renderer was started on a complete scene.
  host::ClearConsole();
  const bool ran = CallCommand(kRenderCommand);
  host::SetActiveDocument(nullptr);
  BaseDocument::Free(doc);
  if (ran) {
    PrintSceneAndLog(rendererDir.empty() ? SettingsRendererDir(settings) : rendererDir);
    return 0;
  }
  // A folder given for this run is kept only once the renderer has started from it.
  settingsUse.Undo();
  if (!notPutBack.empty()) Fail(notPutBack);
  std::string why = LastConsoleLine();
  // A renderer that could not start from the folder the settings file names (one moved since, say):
  // where that folder came from, and how to name another.
  const std::string kept = SettingsRendererDir(settings);
  if (rendererDir.empty() && !kept.empty() && why.rfind("Could not start " + kept, 0) == 0)
    why += " (the folder " + kept + " is the one the settings file " + settingsFile +
           " names; give the renderer's folder with --renderer-dir DIR)";
  why = WithRendererDirHint(why, rendererDir);
  return Fail(why.empty() ? "the render command could not run (is the renderer's folder right?)"
                          : "the render failed: " + why);
}

// The run of the command line's command; its exit status.
int Main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "-h") || !std::strcmp(argv[i], "--help")) {
      std::cout << Usage();
      return 0;
    }
  }
  Options o;
  std::string error;
  if (!ParseOptions(argc, argv, &o, &error)) {
    // One line says what is wrong; without a command the usage follows.
    WriteError(error);
    if (error == kNoCommand) std::cerr << "\n" << Usage();
    return 2;
  }

  RunRequest run;
  if (o.command == "run" || o.command == "import" || o.command == "press") {
    const bool parsed = o.command == "run"      ? ParseRunArguments(o.rest, &run, &error)
                        : o.command == "import" ? ParseImportArguments(o.rest, &run, &error)
                                                : ParsePressArguments(o.rest, &run, &error);
    if (!parsed) {
      WriteError(error);
      return 2;
    }
  }

  // A file-size limit makes a write fail (and be reported) instead of ending the process.
  ::signal(SIGXFSZ, SIG_IGN);
  // An interrupted run removes its temporary files; from here on, before any thread starts.
  WatchInterrupts();

  // Reading a material file needs neither the host nor the plug-in.
  if (o.command == "check-material") return CheckMaterialFile(o.document, std::cout);

  const std::string document = o.command == "render" ? o.document : run.document;
  if (!document.empty()) {
    const std::string problem = FileProblem("document", document);
    if (!problem.empty()) return Fail(problem);
  }
  if (o.command == "import") {
    const std::string problem = FileProblem("material file", run.answers.front().substr(5));
    if (!problem.empty()) return Fail(problem);
  }

  if (o.writePath.empty()) {
    // Without a home folder there is no default: the current folder is nobody's write path.
    const char* home = std::getenv("HOME");
    if (!home || !*home)
      return Fail(std::string(home ? "HOME is empty" : "HOME is not set") +
                  ", so there is no default write path: pass --write-path DIR");
    o.writePath = std::string(home) + "/.corvane";
    o.defaultWritePath = true;
  }
  // The write path is made only once a render needs it. Its ".." names stay for the walk, which
  // resolves them as the system does.
  if (!FromHere(o.writePath, &o.writePath))
    return Fail("cannot use the write path " + o.writePath + ": " + files::ErrorText(errno));
  host::SetStartupWritePath(o.writePath);
  std::error_code ec;
  host::SetPluginPath(fs::absolute(o.pluginDir, ec).string());
  host::SetConsoleEcho([](const std::string& line) {
    PrintUnlessInterrupted([&] {
      text::WriteLine(std::cout, line);
      std::cout << std::flush;
    });
  });

  // The render command writes its scene and the renderer's folder into the write path, as
  // "render" does.
  if (o.command == "run" && run.commandId == kRenderCommand) {
    const std::string problem = MakeWritePath(o);
    if (!problem.empty()) return Fail(problem);
  }

  PluginModule plugin;
  if (!plugin.Start(o.pluginDir, &error)) return Fail(error);
  plugin.BuildMenus();

  int status = o.command == "plugins" ? ListPlugins()
               : (o.command == "run" || o.command == "import" || o.command == "press")
                   ? RunWithRendererDir(o, run)
                   : Render(o);
  plugin.End();
  return status;
}

// `status`, or 1 when standard output was not written whole (a full disk, a closed descriptor; not
// a pipe its reader closed): the output is checked once it is all written, so that a short file
// never comes with a status of success. The line that says so goes to standard error.
int CheckStandardOutput(int status) {
  errno = 0;
  const bool flushed = std::fflush(stdout) == 0;
  int error = flushed ? 0 : errno;
  if (error == 0 && (!flushed || std::ferror(stdout) || std::cout.bad()))
    error = StdoutWriteError() != 0 ? StdoutWriteError() : EIO;  // a write before this one failed
  if (error == 0) {
    // A file system that writes late (NFS) says at a close that it could not: a copy is closed.
    const int copy = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
    if (copy >= 0 && ::close(copy) != 0 && errno != EINTR) error = errno;
  }
  // A reader that stopped reading (`| head -1`) took what it wanted: no failure, as when a signal
  // of a closed pipe ends a tool. A terminal that hung up ends the run by SIGHUP. Once a signal's
  // step has begun, the run ends by that signal and says so itself: standard output may by then be
  // set aside (a terminal that hung up no longer looks like one), so nothing is said here.
  if (error == 0 || error == EPIPE || EndsByHangUp(STDOUT_FILENO, error)) return status;
  PrintUnlessInterrupted([&] { WriteError("cannot write standard output: " + files::ErrorText(error)); });
  return status == 0 ? 1 : status;
}

}  // namespace

int main(int argc, char** argv) { return CheckStandardOutput(Main(argc, argv)); }
