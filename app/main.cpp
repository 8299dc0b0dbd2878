// corvane-host: loads the plug-in module, starts it, opens a document and runs plug-in commands
// headless, printing the host's console.
#include <tinyxml.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
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
    "  check-material FILE   read every material of a material file (.ovm) as the import does\n"
    "                        and report each one, or where it is broken\n"
    "%RUN%"
    "\n"
    "options:\n"
    "  --plugin-dir DIR      folder of corvaneR12.so with its res/ and preview/ (default: next to\n"
    "                        this program, in plugin/)\n"
    "  --write-path DIR      the host's startup write path (default: ~/.corvane)\n"
    "  --renderer-dir DIR    the renderer's installation folder (holding Orvane.app), answered\n"
    "                        when the settings file names none yet\n"
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
    auto value = [&](std::string* out) {
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
      o->rest.push_back(a);
      if (i + 1 < argc) o->rest.push_back(argv[++i]);
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
  if (o->command == "run" || o->command == "import") {
    o->rest.insert(o->rest.begin(), positional.begin() + 1, positional.end());
  } else if (!o->rest.empty()) {
    *error = "option " + o->rest[0] + " belongs to run and import";
    return false;
  }
  if (o->command != "plugins" && o->command != "render" && o->command != "run" && o->command != "import") {
    *error = "unknown command " + o->command;
    return false;
  }
  if (o->command != "run" && o->command != "import" &&
      (positional.size() > 2 || (o->command == "plugins" && positional.size() > 1))) {
    *error = "too many arguments";
    return false;
  }
  if (positional.size() == 2 && o->command != "run" && o->command != "import") o->document = positional[1];
  if (o->pluginDir.empty()) o->pluginDir = ExecutableDir() + "/plugin";
  if (o->writePath.empty()) {
    const char* home = std::getenv("HOME");
    o->writePath = std::string(home && *home ? home : ".") + "/.corvane";
  }
  return true;
}

int ListPlugins() {
  for (const host::Registration& r : host::Registrations()) {
    if (!r.accepted) continue;
    std::cout << host::KindName(r.kind) << " " << r.id << " " << r.name << "\n";
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

int Render(const Options& o) {
  const std::string settingsFile = o.writePath + "/corvaneSettings.cfg";
  if (SettingsRendererDir(settingsFile).empty()) {
    if (o.rendererDir.empty())
      return Fail("no renderer known: the settings file " + settingsFile +
                  " names none; give the renderer's folder with --renderer-dir DIR");
    // The plug-in asks for the folder with its chooser; this is the answer.
    std::error_code ec;
    host::user::ChooseDirectory(fs::absolute(o.rendererDir, ec).lexically_normal().string());
  }

  std::string error;
  BaseDocument* doc = o.document.empty()
                          ? host::LoadDocumentText(kDemoDocument, "demo document", &error)
                          : host::LoadDocumentFile(o.document, &error);
  if (!doc) return Fail(error);
  host::SetActiveDocument(doc);
  std::cout << "Opened " << (o.document.empty() ? std::string("the demo document") : o.document) << "\n";
  // As the host runs a menu command: on the active document, returning once its modal dialog has
  // closed.
  const bool ran = CallCommand(kRenderCommand);
  host::SetActiveDocument(nullptr);
  BaseDocument::Free(doc);
  if (!ran) return Fail("the render command could not run (is the renderer's folder right?)");
  return 0;
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
  if (o.command == "run" || o.command == "import") {
    const bool parsed = o.command == "run" ? ParseRunArguments(o.rest, &run, &error)
                                           : ParseImportArguments(o.rest, &run, &error);
    if (!parsed) {
      std::cerr << "corvane-host: " << error << "\n";
      return 2;
    }
  }

  // Reading a material file needs neither the host nor the plug-in.
  if (o.command == "check-material") return CheckMaterialFile(o.document, std::cout);

  std::error_code ec;
  fs::create_directories(o.writePath, ec);
  if (!fs::is_directory(o.writePath, ec)) return Fail("cannot use the write path " + o.writePath);
  o.writePath = fs::absolute(o.writePath, ec).lexically_normal().string();
  host::SetStartupWritePath(o.writePath);
  host::SetPluginPath(fs::absolute(o.pluginDir, ec).string());
  host::SetConsoleEcho([](const std::string& line) { std::cout << line << "\n" << std::flush; });

  PluginModule plugin;
  if (!plugin.Start(o.pluginDir, &error)) return Fail(error);
  plugin.BuildMenus();

  int status = o.command == "plugins"                              ? ListPlugins()
               : (o.command == "run" || o.command == "import") ? RunCommand(run)
                                                               : Render(o);
  plugin.End();
  return status;
}
