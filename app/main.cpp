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
#include <fstream>
#include <optional>
#include <sstream>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "c4d.h"
#include "demo_document.h"
#include "host_control.h"
#include "host_document_file.h"
#include "host_user.h"
#include "check_material.h"
#include "plugin_module.h"
#include "run_command.h"

namespace fs = std::filesystem;

namespace {

const char kUsage[] =
    "usage: corvane-host <command> [options] [DOCUMENT.json]\n"
    "\n"
    "commands:\n"
    "  plugins               start the plug-in and list its registrations\n"
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
    "  --renderer-dir DIR    the renderer's installation folder (holding Orvane.app) for this\n"
    "                        render; kept in the settings file once the renderer has started\n"
    "  -h, --help            this text\n";

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
      if (attached) {
        *out = *attached;
        return true;
      }
      if (i + 1 >= argc) {
        *error = "option " + a + " needs a value";
        return false;
      }
      *out = argv[++i];
      return true;
    };
    if (a == "--plugin-dir") {
      if (!value(&o->pluginDir)) return false;
    } else if (a == "--write-path") {
      if (!value(&o->writePath)) return false;
    } else if (a == "--renderer-dir") {
      if (!value(&o->rendererDir)) return false;
    } else if (a == "--select" || a == "--answer" || a == "--save") {
      // Checked by the command's own parsing, which says when the value is missing.
      o->rest.push_back(a);
      if (attached)
        o->rest.push_back(*attached);
      else if (i + 1 < argc)
        o->rest.push_back(argv[++i]);
    } else if (a.size() > 1 && a[0] == '-') {
      *error = "unknown option " + a;
      return false;
    } else {
      positional.push_back(a);
    }
  }
  if (positional.empty()) {
    *error = "no command given";
    return false;
  }
  o->command = positional[0];
  if (o->command == "check-material") {
    if (positional.size() != 2) {
      *error = "check-material needs one material file";
      return false;
    }
    o->document = positional[1];
    return true;
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
  return true;
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

// The renderer folder that the plug-in's settings file names, or "" when it names none.
std::string SettingsRendererDir(const std::string& settingsFile) {
  TiXmlDocument settings;
  if (!settings.LoadFile(settingsFile.c_str())) return "";
  TiXmlElement* global = settings.FirstChildElement("global_settings");
  TiXmlElement* path = global ? global->FirstChildElement("PATH") : nullptr;
  const char* text = path ? path->GetText() : nullptr;
  return text ? text : "";
}

// The whole content of `path`, or nothing when it cannot be read.
std::optional<std::string> ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return text.str();
}

// Writes `text` to `path` through a new file beside it and a rename.
bool WriteWhole(const std::string& path, const std::string& text) {
  const std::string temporary = path + ".new";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << text;
    out.flush();
    if (!out) {
      std::remove(temporary.c_str());
      return false;
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

// Points the settings file at the renderer folder `dir` for this run, as the plug-in keeps it:
// "global_settings" with "PATH" (UTF-8 text) replaces the old one, every other node stays. The
// file as it was is kept in `before` (nothing when there was none) so that it can be put back.
bool UseRendererDir(const std::string& settingsFile, const std::string& dir,
                    std::optional<std::string>* before, std::string* error) {
  *before = ReadWhole(settingsFile);
  TiXmlDocument settings;
  if (*before) settings.Parse((*before)->c_str());
  if (TiXmlElement* old = settings.FirstChildElement("global_settings")) settings.RemoveChild(old);
  auto* global = new TiXmlElement("global_settings");
  auto* path = new TiXmlElement("PATH");
  path->LinkEndChild(new TiXmlText(dir));
  global->LinkEndChild(path);
  settings.LinkEndChild(global);
  TiXmlPrinter printer;
  settings.Accept(&printer);
  if (!WriteWhole(settingsFile, printer.Str())) {
    *error = "cannot write the settings file " + settingsFile + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

// Puts the settings file back as it was before `UseRendererDir`.
void RestoreSettings(const std::string& settingsFile, const std::optional<std::string>& before) {
  bool restored = before ? WriteWhole(settingsFile, *before) : std::remove(settingsFile.c_str()) == 0;
  if (!restored)
    std::cerr << "corvane-host: could not put the settings file " << settingsFile << " back as it was\n";
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

// The last line the plug-in printed: where a failed render says why.
std::string LastConsoleLine() {
  const std::vector<std::string> lines = host::ConsoleLines();
  for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
    if (it->find_first_not_of(' ') != std::string::npos) return *it;
  }
  return "";
}

int Render(const Options& o) {
  const std::string settingsFile = o.writePath + "/corvaneSettings.cfg";
  std::error_code ec;
  const std::string rendererDir =
      o.rendererDir.empty() ? std::string() : fs::absolute(o.rendererDir, ec).lexically_normal().string();
  if (rendererDir.empty() && SettingsRendererDir(settingsFile).empty())
    return Fail("no renderer known: the settings file " + settingsFile +
                " names none; give the renderer's folder with --renderer-dir DIR");

  std::string error;
  BaseDocument* doc = o.document.empty() ? LoadDemoDocument(o.pluginDir + "/" + kDemoResourceFolder, &error)
                                         : host::LoadDocumentFile(o.document, &error);
  if (!doc) return Fail(error);

  // Only now, with a document to render, does the write path get made.
  fs::create_directories(o.writePath, ec);
  if (!fs::is_directory(o.writePath, ec)) {
    BaseDocument::Free(doc);
    return Fail("cannot use the write path " + o.writePath);
  }
  std::optional<std::string> settingsBefore;
  if (!rendererDir.empty() && !UseRendererDir(settingsFile, rendererDir, &settingsBefore, &error)) {
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
  if (!rendererDir.empty()) RestoreSettings(settingsFile, settingsBefore);
  const std::string why = LastConsoleLine();
  return Fail(why.empty() ? "the render command could not run (is the renderer's folder right?)"
                          : "the render failed: " + why);
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "-h") || !std::strcmp(argv[i], "--help")) {
      std::string usage = kUsage;
      usage.replace(usage.find("%RUN%"), 5, kRunUsage);
      std::cout << usage;
      return 0;
    }
  }
  Options o;
  std::string error;
  if (!ParseOptions(argc, argv, &o, &error)) {
    std::string usage = kUsage;
    usage.replace(usage.find("%RUN%"), 5, kRunUsage);
    std::cerr << "corvane-host: " << error << "\n\n" << usage;
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
  if (ec) return Fail("cannot use the write path " + o.writePath);
  host::SetStartupWritePath(o.writePath);
  host::SetPluginPath(fs::absolute(o.pluginDir, ec).string());
  host::SetConsoleEcho([](const std::string& line) { std::cout << line << "\n" << std::flush; });

  // The render command writes its scene and the renderer's folder into the write path, as
  // "render" does.
  if (o.command == "run" && run.commandId == kRenderCommand) {
    fs::create_directories(o.writePath, ec);
    if (!fs::is_directory(o.writePath, ec)) return Fail("cannot use the write path " + o.writePath);
  }

  PluginModule plugin;
  if (!plugin.Start(o.pluginDir, &error)) return Fail(error);
  plugin.BuildMenus();

  int status = o.command == "plugins"                                                  ? ListPlugins()
               : (o.command == "run" || o.command == "import" || o.command == "press") ? RunCommand(run)
                                                                                       : Render(o);
  plugin.End();
  return status;
}
