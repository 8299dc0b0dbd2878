// corvane-host: loads the plug-in module, starts it, opens a document and runs plug-in commands
// headless, printing the host's console.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <tinyxml.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "c4d.h"
#include "demo_document.h"
#include "host_control.h"
#include "host_document_file.h"
#include "files/temporaryfile.h"
#include "host_user.h"
#include "check_material.h"
#include "interrupt.h"
#include "orvane_utils/OrvaneXMLLoader.h"
#include "plugin_module.h"
#include "run_command.h"

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
    "outside a dialog field's limits), or a file check-material cannot read.\n";

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
  std::string rendererDir;
  std::vector<std::string> rest;  // "run" and "import": their own arguments and options
};

// The render command's plug-in ID.
constexpr LONG kRenderCommand = 1023920;

int Fail(const std::string& message) {
  std::cerr << "corvane-host: " << message << "\n";
  return 1;
}

std::string ExecutableDir() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string(".") : exe.parent_path().string();
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
      *error = "unknown option " + a;
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
  if (o->command != "plugins" && o->command != "render" && o->command != "run" && o->command != "import" &&
      o->command != "press") {
    *error = "unknown command " + o->command;
    return false;
  }
  const bool runLike = o->command == "run" || o->command == "import" || o->command == "press";
  if (!runLike && (positional.size() > 2 || (o->command == "plugins" && positional.size() > 1))) {
    *error = "too many arguments";
    return false;
  }
  if (positional.size() == 2 && !runLike) o->document = positional[1];
  if (o->pluginDir.empty()) o->pluginDir = ExecutableDir() + "/plugin";
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
    if (r.accepted) std::cout << RegistrationLine(r) << "\n";
  }
  return 0;
}

// Reads the settings file as the plug-in does: it counts as loaded when it could be read, and
// `doc` then holds what TinyXML kept, also of a text that is not well-formed. Its bytes, or
// nothing when it could not be read.
std::optional<std::string> LoadSettings(const std::string& settingsFile, TiXmlDocument* doc) {
  std::string bytes, message;
  if (!Orvane::OrvaneXMLLoader::readFile(settingsFile, bytes, message)) return std::nullopt;
  Orvane::OrvaneXMLLoader::parse(bytes, *doc, message);
  return bytes;
}

// The renderer folder that the plug-in's settings file names, or "" when it names none.
std::string SettingsRendererDir(const std::string& settingsFile) {
  TiXmlDocument settings;
  if (!LoadSettings(settingsFile, &settings)) return "";
  TiXmlElement* global = settings.FirstChildElement("global_settings");
  TiXmlElement* path = global ? global->FirstChildElement("PATH") : nullptr;
  const char* text = path ? path->GetText() : nullptr;
  return text ? text : "";
}

// What this run did to the settings file, so that only that is put back.
struct SettingsChange {
  std::optional<std::string> before;  // the file as it was; nothing when there was none
  std::string written;                // the text this run wrote
  struct stat file = {};              // the file this run wrote, as it was then
};

// Points the settings file at the renderer folder `dir` for this run, as the plug-in keeps it:
// "global_settings" with "PATH" (UTF-8 text) replaces the old one, every other node stays. The
// file is written through an exclusive temporary file beside it; `change` tells what was done.
bool UseRendererDir(const std::string& settingsFile, const std::string& dir, SettingsChange* change,
                    std::string* error) {
  TiXmlDocument settings;
  change->before = LoadSettings(settingsFile, &settings);
  if (TiXmlElement* old = settings.FirstChildElement("global_settings")) settings.RemoveChild(old);
  auto* global = new TiXmlElement("global_settings");
  auto* path = new TiXmlElement("PATH");
  path->LinkEndChild(new TiXmlText(dir));
  global->LinkEndChild(path);
  settings.LinkEndChild(global);
  TiXmlPrinter printer;
  settings.Accept(&printer);
  change->written = printer.Str();
  std::string why;
  if (!TemporaryFile::WriteFileReplacing(settingsFile, change->written.data(), change->written.size(),
                                         &why)) {
    *error = "cannot write the settings file " + settingsFile + ": " + why;
    return false;
  }
  if (::stat(settingsFile.c_str(), &change->file) != 0) change->file = {};
  return true;
}

// Puts the settings file back as it was before `UseRendererDir`, but only while it is still the
// file this run wrote: another run may have written its own since.
void RestoreSettings(const std::string& settingsFile, const SettingsChange& change) {
  struct stat now;
  std::string bytes, why;
  if (::stat(settingsFile.c_str(), &now) != 0 || now.st_dev != change.file.st_dev ||
      now.st_ino != change.file.st_ino || now.st_ctim.tv_sec != change.file.st_ctim.tv_sec ||
      now.st_ctim.tv_nsec != change.file.st_ctim.tv_nsec ||
      !Orvane::OrvaneXMLLoader::readFile(settingsFile, bytes, why) || bytes != change.written)
    return;
  bool restored = false;
  if (change.before) {
    restored =
        TemporaryFile::WriteFileReplacing(settingsFile, change.before->data(), change.before->size(), &why);
  } else {
    // The file this run made: where a link at its name leads, the link having been there before.
    std::error_code ec;
    const fs::path made = fs::canonical(settingsFile, ec);
    restored = !ec && ::unlink(made.c_str()) == 0;
    why = ec ? ec.message() : std::strerror(errno);
  }
  if (!restored)
    std::cerr << "corvane-host: could not put the settings file " << settingsFile
              << " back as it was: " << why << "\n";
}

// Why the file `path` (the runner's `what`) cannot be read, or "" when it can. Only a regular
// file is opened: a FIFO would block the open for ever, a device is nothing to read.
std::string FileProblem(const std::string& what, const std::string& path) {
  const std::string prefix = "cannot open the " + what + " " + path + ": ";
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return prefix + std::strerror(errno);
  if (S_ISDIR(st.st_mode)) return prefix + std::strerror(EISDIR);
  if (!S_ISREG(st.st_mode)) return prefix + "not a regular file";
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return prefix + std::strerror(errno);
  ::close(fd);
  return "";
}

// Why the settings file cannot be used: a folder, a FIFO or a device there is refused (reading a
// FIFO would wait for a writer); "" for a regular file or none at all.
std::string SettingsFileProblem(const std::string& settingsFile) {
  struct stat st;
  if (::stat(settingsFile.c_str(), &st) != 0 || S_ISREG(st.st_mode)) return "";
  return FileProblem("settings file", settingsFile);
}

// Makes the write path `dir`: "" when it is a folder, else the line that says why it cannot be.
std::string MakeWritePath(const std::string& dir) {
  std::error_code ec;
  fs::create_directories(dir, ec);
  std::error_code is;
  if (fs::is_directory(dir, is)) return "";
  const std::string why = ec && ec != std::errc::file_exists ? ec.message() : std::strerror(ENOTDIR);
  return "cannot use the write path " + dir + ": " + why;
}

// The last line the plug-in printed: where a failed render says why.
std::string LastConsoleLine() {
  const std::vector<std::string> lines = host::ConsoleLines();
  for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
    if (it->find_first_not_of(' ') != std::string::npos) return *it;
  }
  return "";
}

// `dir` as a full path, or "" for "".
std::string AbsoluteDir(const std::string& dir) {
  std::error_code ec;
  return dir.empty() ? std::string() : fs::absolute(dir, ec).lexically_normal().string();
}

// Whether the plug-in started the renderer or its console since the console was last cleared: it
// prints "Orvane executed..." for each process it starts.
bool RendererStarted() {
  for (const std::string& line : host::ConsoleLines())
    if (line == "Orvane executed...") return true;
  return false;
}

// Runs the request of run or press. A renderer folder given for it goes into the settings file
// first, as for render, and is kept only once the renderer (or its console) has started from it.
int RunWithRendererDir(const Options& o, const RunRequest& run) {
  if (o.rendererDir.empty()) return RunCommand(run);
  const std::string settingsFile = o.writePath + "/corvaneSettings.cfg";
  std::string problem = SettingsFileProblem(settingsFile);
  if (problem.empty()) problem = MakeWritePath(o.writePath);
  if (!problem.empty()) return Fail(problem);
  SettingsChange settingsChange;
  if (!UseRendererDir(settingsFile, AbsoluteDir(o.rendererDir), &settingsChange, &problem))
    return Fail(problem);
  const int status = RunCommand(run);
  if (!RendererStarted()) RestoreSettings(settingsFile, settingsChange);
  return status;
}

int Render(const Options& o) {
  const std::string settingsFile = o.writePath + "/corvaneSettings.cfg";
  const std::string settingsProblem = SettingsFileProblem(settingsFile);
  if (!settingsProblem.empty()) return Fail(settingsProblem);
  const std::string rendererDir = AbsoluteDir(o.rendererDir);
  if (rendererDir.empty() && SettingsRendererDir(settingsFile).empty())
    return Fail("no renderer known: the settings file " + settingsFile +
                " names none; give the renderer's folder with --renderer-dir DIR");

  std::string error;
  BaseDocument* doc = o.document.empty() ? LoadDemoDocument(o.pluginDir + "/" + kDemoResourceFolder, &error)
                                         : host::LoadDocumentFile(o.document, &error);
  if (!doc) return Fail(error);

  // Only now, with a document to render, does the write path get made.
  const std::string writePathProblem = MakeWritePath(o.writePath);
  if (!writePathProblem.empty()) {
    BaseDocument::Free(doc);
    return Fail(writePathProblem);
  }
  SettingsChange settingsChange;
  if (!rendererDir.empty() && !UseRendererDir(settingsFile, rendererDir, &settingsChange, &error)) {
    BaseDocument::Free(doc);
    return Fail(error);
  }

  host::SetActiveDocument(doc);
  std::cout << "Opened " << (o.document.empty() ? std::string("the demo document") : o.document) << "\n";
  // As the host runs a menu command: on the active document, returning once its modal dialog has
  // closed. True only when the renderer was started on a complete scene.
  host::ClearConsole();
  const bool ran = CallCommand(kRenderCommand);
  host::SetActiveDocument(nullptr);
  BaseDocument::Free(doc);
  if (ran) return 0;
  // A folder given for this run is kept only once the renderer has started from it.
  if (!rendererDir.empty()) RestoreSettings(settingsFile, settingsChange);
  const std::string why = LastConsoleLine();
  return Fail(why.empty() ? "the render command could not run (is the renderer's folder right?)"
                          : "the render failed: " + why);
}

}  // namespace

int main(int argc, char** argv) {
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
    std::cerr << "corvane-host: " << error << "\n";
    if (error == kNoCommand) std::cerr << "\n" << Usage();
    return 2;
  }

  RunRequest run;
  if (o.command == "run" || o.command == "import" || o.command == "press") {
    const bool parsed = o.command == "run"      ? ParseRunArguments(o.rest, &run, &error)
                        : o.command == "import" ? ParseImportArguments(o.rest, &run, &error)
                                                : ParsePressArguments(o.rest, &run, &error);
    if (!parsed) {
      std::cerr << "corvane-host: " << error << "\n";
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
      return Fail("HOME is not set, so there is no default write path: pass --write-path DIR");
    o.writePath = std::string(home) + "/.corvane";
  }
  // The write path is made only once a render needs it.
  std::error_code ec;
  o.writePath = fs::absolute(o.writePath, ec).lexically_normal().string();
  if (ec) return Fail("cannot use the write path " + o.writePath + ": " + ec.message());
  host::SetStartupWritePath(o.writePath);
  host::SetPluginPath(fs::absolute(o.pluginDir, ec).string());
  host::SetConsoleEcho([](const std::string& line) { std::cout << line << "\n" << std::flush; });

  // The render command writes its scene and the renderer's folder into the write path, as
  // "render" does.
  if (o.command == "run" && run.commandId == kRenderCommand) {
    const std::string problem = MakeWritePath(o.writePath);
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
