// Renderer location, settings file, launch and material packing.
#include "main/orvanelaunch.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <system_error>

#include "export/xmlbuilders.h"
#include "main/helpers.h"

namespace Helpers {
namespace {

const char kSettingsFileName[] = "corvaneSettings.cfg";
const char kSettingsElement[] = "global_settings";
const char kPathElement[] = "PATH";
const char kExecutableDir[] = "/Orvane.app/Contents/MacOS/";
// The longest command line the renderer is started with, its program included.
const size_t kMaxArguments = 49;

std::string SettingsFileUtf8() { return ToUTF8String(GetSettingsFile().GetString()); }

// What a child process reports through the pipe when it fails before the program runs.
struct ChildFailure {
  int step;  // kForkFailed or kExecFailed
  int error;  // errno
};
const int kForkFailed = 1;
const int kExecFailed = 2;

// Only async-signal-safe calls here: it runs in a child forked from a threaded process.
void ReportFromChild(int fd, int step, int error) {
  ChildFailure failure{step, error};
  ssize_t ignored = ::write(fd, &failure, sizeof failure);
  (void)ignored;
}

// Reads the child's report; false when the pipe closed without one (the program runs).
bool ReadChildFailure(int fd, ChildFailure* failure) {
  char* out = reinterpret_cast<char*>(failure);
  size_t got = 0;
  while (got < sizeof *failure) {
    ssize_t n = ::read(fd, out + got, sizeof *failure - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  return got == sizeof *failure;
}

void PrintStartFailure(const std::string& program, int error) {
  GePrint(String("Could not start " + program + ": " + std::system_category().message(error)));
}

}  // namespace

Filename GetSettingsFile() { return GeGetStartupWritePath() + Filename(kSettingsFileName); }

int GetOrvaneExe(Filename* exe, int withFile, int console) {
  TiXmlDocument doc;
  if (!LoadXmlFile(doc, SettingsFileUtf8())) return 0;
  TiXmlElement* settings = doc.FirstChildElement(kSettingsElement);
  TiXmlElement* path = settings ? settings->FirstChildElement(kPathElement) : nullptr;
  const char* text = path ? path->GetText() : nullptr;
  if (!text || !*text) return 0;
  String dir;
  dir.SetCString(text, -1, STRINGENCODING_XBIT);
  Filename result(dir + String(kExecutableDir));
  if (withFile) result += Filename(console ? "OrvaneConsole" : "Orvane");
  if (exe) *exe = result;
  return 1;
}

bool SaveSettings(GlobalSettings* settings) {
  TiXmlDocument doc;
  std::string file = SettingsFileUtf8();
  LoadXmlFile(doc, file);
  if (settings) {
    if (TiXmlElement* old = doc.FirstChildElement(kSettingsElement)) doc.RemoveChild(old);
    TiXmlElement* global = new TiXmlElement(kSettingsElement);
    doc.LinkEndChild(global);
    CHAR* dir = settings->path.GetCStringCopy(STRINGENCODING_XBIT);
    SceneExportStringValue(kPathElement, dir ? std::string(dir) : std::string(), global);
    GeFree(dir);
  }
  return SaveXmlFile(doc, file);
}

int ChooseOrvaneExe() {
  Filename dir;
  String title("Choose Orvane dir");
  if (!dir.FileSelect(FILESELECTTYPE_ANYTHING, FILESELECT_DIRECTORY, &title)) return 0;
  GlobalSettings settings;
  settings.path = dir.GetString();
  if (!SaveSettings(&settings)) {
    GePrint(String("Could not save the Orvane directory to ") + GetSettingsFile().GetString());
    return 0;
  }
  return 1;
}

int LaunchSeed() {
  Random random;
  random.Init(static_cast<ULONG>(GeGetTimer()));
  double x = random.Get01();
  double seed = std::floor(static_cast<double>(GeGetTimer()) * x);
  // |timer x| < |timer| keeps it in range; the clamp only guards a generator outside [0, 1).
  if (!(seed >= static_cast<double>(INT_MIN))) return INT_MIN;
  if (seed > static_cast<double>(INT_MAX)) return INT_MAX;
  return static_cast<int>(seed);
}

std::vector<std::string> OrvaneArguments(const Filename& exe, const Filename& scene, int network,
                                         int port, Filename output, int haltSpp, int seed) {
  std::vector<std::string> argv;
  argv.push_back(ToUTF8String(exe.GetString()));
  argv.push_back(ToUTF8String(scene.GetString()));
  argv.push_back("-seed");
  argv.push_back(std::to_string(seed));
  if (network) {
    argv.push_back("-n");
    argv.push_back("wm");
    argv.push_back("-p");
    argv.push_back(std::to_string(port));
  }
  if (haltSpp != -1) {
    argv.push_back("-haltspp");
    argv.push_back(std::to_string(haltSpp));
  }
  if (output.Content()) {
    output.ClearSuffix();
    std::string dir = ToUTF8String(output.GetDirectory().GetString());
    std::string file = ToUTF8String(output.GetFile().GetString()) + ".png";
    argv.push_back("-o");
    // A name without a folder stays relative instead of landing in the root folder.
    argv.push_back(dir.empty() ? file : dir + "/" + file);
  }
  return argv;
}

int LaunchOrvane(Filename scene, int, int, int, int network, int port, Filename output,
                 int haltSpp, int, int) {
  GePrint("Launching Orvane...");
  Filename exe;
  if (!GetOrvaneExe(&exe, 1, 0)) return 0;
  return LaunchOrvaneMac(OrvaneArguments(exe, scene, network, port, output, haltSpp, LaunchSeed()))
             ? 1
             : 0;
}

int LaunchOrvaneMac(const std::vector<std::string>& argv) {
  if (argv.size() < 2 || argv.size() > kMaxArguments) return 0;
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  // The program is started by a grandchild: the child exits at once and is reaped here, and the
  // grandchild, an orphan from then on, is reaped by the system. So the caller never waits for the
  // program and leaves no zombie behind. A failure before the program runs comes back through a
  // pipe that closes by itself when it starts.
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    PrintStartFailure(argv[0], errno);
    return 0;
  }
  pid_t child = ::fork();
  if (child < 0) {
    ::close(fds[0]);
    ::close(fds[1]);
    GePrint("fork failed!");
    return 0;
  }
  if (child == 0) {
    ::close(fds[0]);
    pid_t grandchild = ::fork();
    if (grandchild < 0) {
      ReportFromChild(fds[1], kForkFailed, errno);
      ::_exit(1);
    }
    if (grandchild == 0) {
      ::execv(args[0], args.data());
      ReportFromChild(fds[1], kExecFailed, errno);
      ::_exit(1);
    }
    ::_exit(0);
  }
  ::close(fds[1]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  ChildFailure failure{0, 0};
  bool failed = ReadChildFailure(fds[0], &failure);
  ::close(fds[0]);
  if (failed) {
    if (failure.step == kForkFailed)
      GePrint("fork failed!");
    else
      PrintStartFailure(argv[0], failure.error);
    return 0;
  }
  GePrint("Orvane executed...");
  return 1;
}

int PackPovm(Filename materialFile, Filename archive) {
  PackPovmMac(1, materialFile, archive);
  return 1;
}

void PackPovmMac(int pack, const Filename& first, const Filename& second) {
  Filename exe;
  if (!GetOrvaneExe(&exe, 1, 1)) {
    if (!ChooseOrvaneExe() || !GetOrvaneExe(&exe, 1, 1)) return;
  }
  std::vector<std::string> argv{ToUTF8String(exe.GetString()), pack ? "--pack" : "--unpack",
                                ToUTF8String(first.GetString()), ToUTF8String(second.GetString())};
  LaunchOrvaneMac(argv);
}

Filename UnpackPovm(Filename archive, Filename dir) {
  ZipFile* zip = ZipFile::Alloc();
  if (!zip) return Filename();
  bool extracted = zip->ExtractToDirectory(archive, dir, ZIP_EXTRACT_CREATE_SUBDIR, nullptr,
                                           nullptr, nullptr);
  ZipFile::Free(zip);
  if (!extracted) {
    GePrint(String("Could not unpack ") + archive.GetString());
    return Filename();
  }
  Filename result;
  BrowseFiles* browser = BrowseFiles::Alloc();
  if (!browser) return result;
  browser->Init(dir, 0);
  while (browser->GetNext()) {
    Filename name = browser->GetFilename();
    GePrint(name.GetString());
    if (!browser->IsDir() && name.CheckSuffix("ovm")) {
      result = dir + name;
      break;
    }
  }
  BrowseFiles::Free(browser);
  return result;
}

int LaunchOrvanePc(Filename, int, int, int, int, int, Filename, int, int, int) {
  MessageDialog("LaunchOrvanePc() called on Mac!");
  return 0;
}

void PackPovmPc(int, const Filename&, const Filename&) { MessageDialog("PackPovmPc() called on Mac!"); }

}  // namespace Helpers
