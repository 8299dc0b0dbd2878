// Renderer location, settings file, launch and material packing.
#include "main/orvanelaunch.h"

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <system_error>
#include <utility>

#include "export/xmlbuilders.h"
#include "main/childreaper.h"
#include "main/helpers.h"
#include "archive/nestedmaterial.h"
#include "archive/unpackfailure.h"
#include "files/folder.h"
#include "files/sweep.h"
#include "orvane_utils/OrvaneXMLLoader.h"
#include "process/gate.h"

namespace Helpers {
namespace {

const char kSettingsFileName[] = "corvaneSettings.cfg";
const char kSettingsElement[] = "global_settings";
const char kPathElement[] = "PATH";
const char kExecutableDir[] = "/Orvane.app/Contents/MacOS/";
// The longest command line the renderer is started with, its program included.
const size_t kMaxArguments = 49;
// How many names NewFolder tries before it gives up.
const int kMaxNewFolderTries = 10000;

std::string SettingsFileUtf8() { return ToUTF8String(GetSettingsFile().GetString()); }

// True when `text` is well-formed UTF-8: no stray continuation bytes, no overlong forms, no
// surrogates, nothing above U+10FFFF.
bool IsUtf8(const std::string& text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = p + text.size();
  while (p < end) {
    const unsigned char c = *p++;
    if (c < 0x80) continue;
    int more = 0;
    unsigned long code = 0, least = 0;
    if (c >= 0xC2 && c <= 0xDF) {
      more = 1, code = c & 0x1F, least = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
      more = 2, code = c & 0x0F, least = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
      more = 3, code = c & 0x07, least = 0x10000;
    } else {
      return false;
    }
    if (end - p < more) return false;
    for (int i = 0; i < more; ++i, ++p) {
      if ((*p & 0xC0) != 0x80) return false;
      code = (code << 6) | (*p & 0x3F);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
  }
  return true;
}

// True for a read that found no file (nor a folder for it).
bool Missing(const files::Result& read) { return read.error() == ENOENT || read.error() == ENOTDIR; }

// Walks to the settings file (`*place`) and reads it as every input file is read (a regular
// file, under the rule for shared folders: in a sticky folder that others may write to, only a
// file, or a link at it, of this user's or of the folder's owner's). Success with `doc` holding
// what TinyXML kept, also of a text that is not well-formed; else what the walk or the read gave
// (`Missing` when there is no file), with `doc` untouched.
files::Result LoadSettings(TiXmlDocument* doc, files::Place* place) {
  std::string bytes;
  files::Result read = files::Locate(SettingsFileUtf8(), place);
  if (read.ok())
    read = place->folder.ReadFile(place->name, &bytes, Orvane::OrvaneXMLLoader::MAX_FILE_BYTES,
                                  files::ReadPolicy::kTrusted);
  if (!read.ok()) return read;
  std::string message;
  Orvane::OrvaneXMLLoader::parse(bytes, *doc, message);
  return read;
}

// "P: File name too long" for the first argument of `argv` longer than a path may be: the program
// could open none such. "" when all fit.
std::string PathTooLong(const std::vector<std::string>& argv) {
  for (const std::string& argument : argv)
    if (!PathFits(argument)) return argument + ": " + files::ErrorText(ENAMETOOLONG);
  return std::string();
}

void PrintStartFailure(const std::string& program, const std::string& why) {
  GePrint(String("Could not start " + program + ": " + why));
}

void PrintStartFailure(const std::string& program, int error) {
  PrintStartFailure(program, std::system_category().message(error));
}

// A start from the descriptor of the file checked, shared with the child until it execs.
struct DescriptorStart {
  int program;        // the file, open close-on-exec
  char* const* argv;  // the command line, null-terminated
  bool throughProc;   // the file is reached by the name the kernel gives a script's interpreter
  int failure;        // the exec's `errno` value, set by a child that could not run it
  bool script;        // set by a child that started the file again as a script, through that name
  bool keepHangUp;    // SIGHUP stays ignored (the host runs under nohup)
};

// The kernel's `struct sigaction` on x86_64 and aarch64, which is not the C library's; no
// restorer is needed for the default handling.
struct KernelSigaction {
  void (*handler)(int);
  unsigned long flags;
  void (*restorer)();
  unsigned long mask;
};
constexpr int kKernelSignals = 64;
static_assert(sizeof(unsigned long) * 8 == kKernelSignals,
              "the kernel's signal set is one unsigned long of 64 signals on the systems built for");

// The child of `SpawnFromDescriptor`, in the parent's memory until it execs: every signal at its
// default and none blocked, then the file itself started (execveat needs no /proc). It calls the
// kernel directly (`syscall`, which no sanitizer wraps): a wrapper of `sigaction` would change the
// parent's state, such as a sanitizer's table of handlers. A binary keeps no descriptor of it; a
// script, which the kernel hands its interpreter as /dev/fd/N, fails so with ENOENT and is started
// again with the descriptor kept open, where /proc gives that path.
__attribute__((no_sanitize_address)) int StartFromDescriptor(void* data) {
  auto* start = static_cast<DescriptorStart*>(data);
  const KernelSigaction standard{SIG_DFL, 0, nullptr, 0};
  for (int signal = 1; signal <= kKernelSignals; ++signal)
    if (signal != SIGHUP || !start->keepHangUp)
      ::syscall(SYS_rt_sigaction, signal, &standard, nullptr, sizeof standard.mask);
  const unsigned long none = 0;
  ::syscall(SYS_rt_sigprocmask, SIG_SETMASK, &none, nullptr, sizeof none);
  ::syscall(SYS_execveat, start->program, "", start->argv, environ, AT_EMPTY_PATH);
  if (errno == ENOENT && start->throughProc && ::syscall(SYS_fcntl, start->program, F_SETFD, 0) == 0) {
    start->script = true;
    ::syscall(SYS_execveat, start->program, "", start->argv, environ, AT_EMPTY_PATH);
  }
  start->failure = errno;
  ::syscall(SYS_exit_group, 127);
  return 127;
}

// Starts `argv` by the path `argv[0]` through posix_spawn, every signal at its default (SIGHUP
// ignored where `keepHangUp`) and none blocked. 0 with `*child` set, or the `errno` value.
int SpawnByPath(char* const* argv, bool keepHangUp, pid_t* child) {
  posix_spawnattr_t attributes;
  if (const int error = ::posix_spawnattr_init(&attributes); error != 0) return error;
  sigset_t all, none;
  sigfillset(&all);
  if (keepHangUp) sigdelset(&all, SIGHUP);
  sigemptyset(&none);
  ::posix_spawnattr_setsigdefault(&attributes, &all);
  ::posix_spawnattr_setsigmask(&attributes, &none);
  ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  const int error = ::posix_spawn(child, argv[0], nullptr, &attributes, argv, environ);
  ::posix_spawnattr_destroy(&attributes);
  return error;
}

// Starts `start` as posix_spawn does, without copying the host's memory: a child that shares it
// and runs on a stack of its own while this thread waits for its exec, every signal blocked here
// meanwhile so that no handler of the host runs in it. 0 with `*child` set, or the `errno` value
// (a child that could not run the file has been waited for).
int SpawnFromDescriptor(DescriptorStart* start, pid_t* child) {
  const size_t size = 64 * 1024;
  void* stack = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
  if (stack == MAP_FAILED) return errno;
  sigset_t all, old;
  sigfillset(&all);
  ::pthread_sigmask(SIG_BLOCK, &all, &old);
  start->failure = 0;
  const pid_t pid =
      ::clone(StartFromDescriptor, static_cast<char*>(stack) + size, CLONE_VM | CLONE_VFORK | SIGCHLD, start);
  const int error = pid < 0 ? errno : start->failure;
  ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
  ::munmap(stack, size);
  if (pid > 0 && error != 0) {
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {}
  }
  if (error == 0) *child = pid;
  return error;
}

}  // namespace

Filename GetSettingsFile() { return GeGetStartupWritePath() + Filename(kSettingsFileName); }

namespace {

// GetOrvaneExe, with `*refused` (when given) true when a settings file is there but could not be
// read (that is said on the console).
int FindOrvaneExe(Filename* exe, int withFile, int console, bool* refused) {
  if (refused) *refused = false;
  TiXmlDocument doc;
  files::Place place;
  if (const files::Result read = LoadSettings(&doc, &place); !read.ok()) {
    if (!Missing(read)) {
      GePrint(String("Could not read the settings file ") + GetSettingsFile().GetString() + String(": ") +
              String(read.Text()));
      if (refused) *refused = true;
    }
    return 0;
  }
  TiXmlElement* settings = doc.FirstChildElement(kSettingsElement);
  TiXmlElement* path = settings ? settings->FirstChildElement(kPathElement) : nullptr;
  const char* text = path ? path->GetText() : nullptr;
  if (!text || !*text) return 0;
  // The folder is stored in UTF-8; files written before hold it in the host's 8-bit encoding,
  // which is read as such where the bytes are not UTF-8.
  String dir;
  dir.SetCString(text, -1, IsUtf8(text) ? STRINGENCODING_UTF8 : STRINGENCODING_XBIT);
  Filename result(dir + String(kExecutableDir));
  if (withFile) result += Filename(console ? "OrvaneConsole" : "Orvane");
  if (exe) *exe = result;
  return 1;
}

}  // namespace

int GetOrvaneExe(Filename* exe, int withFile, int console) {
  return FindOrvaneExe(exe, withFile, console, nullptr);
}

bool SaveSettings(GlobalSettings* settings, std::string* why) {
  TiXmlDocument doc;
  files::Place place;
  // What is there is kept, so a file that may not be read is not written either. One walk serves
  // the read and the write.
  files::Result done = LoadSettings(&doc, &place);
  if (done.ok() || (Missing(done) && place.folder.IsOpen())) {
    if (settings) {
      if (TiXmlElement* old = doc.FirstChildElement(kSettingsElement)) doc.RemoveChild(old);
      TiXmlElement* global = new TiXmlElement(kSettingsElement);
      doc.LinkEndChild(global);
      SceneExportStringValue(kPathElement, ToUTF8String(settings->path), global);
    }
    done = SaveXmlFile(doc, place.folder, place.name);
  }
  if (!done.ok() && why) *why = done.Text();
  return done.ok();
}

int ChooseOrvaneExe() {
  Filename dir;
  String title("Choose Orvane dir");
  if (!dir.FileSelect(FILESELECTTYPE_ANYTHING, FILESELECT_DIRECTORY, &title)) return 0;
  GlobalSettings settings;
  settings.path = dir.GetString();
  std::string why;
  if (!SaveSettings(&settings, &why)) {
    GePrint(String("Could not save the Orvane directory to ") + GetSettingsFile().GetString() + String(": ") +
            String(why));
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

std::vector<std::string> OrvaneArguments(const Filename& exe, const Filename& scene, int network, int port,
                                         Filename output, int haltSpp, int seed) {
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

int LaunchOrvane(Filename scene, int, int, int, int network, int port, Filename output, int haltSpp, int,
                 int) {
  GePrint("Launching Orvane...");
  Filename exe;
  bool refused = false;
  if (!FindOrvaneExe(&exe, 1, 0, &refused)) {
    // A settings file that could not be read has said why; one that is gone names no folder.
    GePrint(String("Not launching Orvane: the Orvane folder is not known (") + GetSettingsFile().GetString() +
            String(refused ? " could not be read)." : " names none)."));
    return 0;
  }
  const std::vector<std::string> argv =
      OrvaneArguments(exe, scene, network, port, output, haltSpp, LaunchSeed());
  const std::string tooLong = PathTooLong(argv);
  if (!tooLong.empty()) GePrint(String("Not launching Orvane: ") + String(tooLong));
  return tooLong.empty() && LaunchOrvaneMac(argv) ? 1 : 0;
}

int LaunchOrvaneMac(const std::vector<std::string>& argv) {
  if (argv.size() < 2 || argv.size() > kMaxArguments) return 0;
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  // What starts is the file the walk checked: another user's program, or one another user could
  // have swapped in, is never started, and a walk that fails for any reason starts nothing.
  // A host started under nohup ignores SIGHUP: the renderer, which runs on after it, keeps that so
  // that a closed terminal does not end it either.
  struct sigaction hangUp = {};
  const bool keepHangUp = ::sigaction(SIGHUP, nullptr, &hangUp) == 0 && hangUp.sa_handler == SIG_IGN;
  DescriptorStart start{-1, args.data(), false, 0, false, keepHangUp};
  bool steady = false;
  if (const files::Result refused =
          files::OpenFile(argv[0], &start.program, files::ReadPolicy::kProgram, &steady);
      !refused.ok()) {
    PrintStartFailure(argv[0], refused.Text());
    return 0;
  }
  // Where only trusted users can change what the path names it is started by that path, which the
  // kernel resolves to the file checked; the program then holds no descriptor of itself.
  if (steady) ::close(std::exchange(start.program, -1));
  const std::string asScript = steady ? std::string() : files::InheritedDescriptorPath(start.program);
  start.throughProc = !steady && files::Reaches(asScript, start.program);
  ChildReaper& reaper = ChildReaper::Get();
  if (!reaper.Start()) {
    if (start.program >= 0) ::close(start.program);
    PrintStartFailure(argv[0], EAGAIN);
    return 0;
  }
  // The program starts without a copy of the host's memory (the host may be large), with the
  // default handling of every signal (but an ignored SIGHUP) and none blocked whatever the host's
  // threads have set; one that cannot be run is the start's result, its child waited for already:
  // - by its path through posix_spawn (`SpawnByPath`) where that is steady;
  // - else from the descriptor of the file checked (`SpawnFromDescriptor`), through /proc only for
  //   a script.
  // Once the run is being interrupted nothing is started; a start under way holds the interruption
  // back until its program runs.
  int error = 0;
  bool tried = false;
  pid_t child = -1;
  const bool started = process::StartThroughGate([&] {
    tried = true;
    error = steady ? SpawnByPath(args.data(), keepHangUp, &child) : SpawnFromDescriptor(&start, &child);
    if (error == 0) reaper.Watch(child);
    return error == 0;
  });
  if (start.program >= 0) ::close(start.program);
  if (!started) {
    if (!tried)
      PrintStartFailure(argv[0], files::Result::Interrupted().Text());
    else if (error == ENOENT && !steady && !start.throughProc)
      PrintStartFailure(argv[0],
                        "it is in a folder that others may change, and is then started only "
                        "through /proc, which is not mounted");
    else
      PrintStartFailure(argv[0], error);
    return 0;
  }
  // A launcher script there finds no file beside it by its `$0`: said, as its failure comes later.
  if (start.script)
    GePrint(String("Started ") + String(argv[0]) + String(" as ") + String(asScript.c_str()) +
            String(": a script in a folder that others may change sees that path as its own ($0)"));
  GePrint("Orvane executed...");
  return 1;
}

int PackPovm(Filename materialFile, Filename archive) { return PackPovmMac(1, materialFile, archive); }

int PackPovmMac(int pack, const Filename& first, const Filename& second) {
  Filename exe;
  if (!GetOrvaneExe(&exe, 1, 1)) {
    if (!ChooseOrvaneExe() || !GetOrvaneExe(&exe, 1, 1)) {
      GePrint(String("Could not ") + String(pack ? "pack " : "unpack ") + first.GetString() +
              String(": the Orvane folder is not known"));
      return 0;
    }
  }
  std::vector<std::string> argv{ToUTF8String(exe.GetString()), pack ? "--pack" : "--unpack",
                                ToUTF8String(first.GetString()), ToUTF8String(second.GetString())};
  const std::string tooLong = PathTooLong(argv);
  if (!tooLong.empty())
    GePrint(String("Could not ") + String(pack ? "pack " : "unpack ") + first.GetString() + String(": ") +
            String(tooLong));
  return tooLong.empty() && LaunchOrvaneMac(argv);
}

files::Result NewFolder(const Filename& parent, const String& name, files::NewFolder* made,
                        files::Folder* opened) {
  // The parent and the folders above it are made when missing, each used only as the rules for
  // shared folders allow. One walk, and the new folder is made in the folder it opened, with a
  // temporary's name while it is filled, so that what a killed run left is swept.
  files::Folder folder;
  files::Result r =
      files::Folder::Open(ToUTF8String(parent.GetString()), &folder, files::Folder::Make::kMissing);
  if (r.ok()) r = folder.MakeTemporaryFolder(ToUTF8String(name), made);
  if (r.ok() && opened) *opened = folder;
  return r;
}

namespace {

/// The `n`th name `NameNewFolder` tries for `name`: "name", "name-2", "name-3", ...
std::string NthName(const String& name, int n) {
  return ToUTF8String(name) + (n == 1 ? std::string() : "-" + std::to_string(n));
}

}  // namespace

Filename NameNewFolder(files::NewFolder* made, const Filename& parent, const String& name,
                       files::Result* result) {
  files::Result r = files::Result::System(EEXIST, made->Path());
  for (int n = 1; n <= kMaxNewFolderTries && r.error() == EEXIST; ++n) {
    const std::string candidate = NthName(name, n);
    if (files::ReadName(candidate).temporary) continue;  // a later sweep would take it
    r = made->Commit(candidate);
    if (r.ok()) return parent + Filename(String(candidate.c_str()));
  }
  if (result) *result = r;
  return Filename();
}

Filename FreeFolderName(const files::Folder& folder, const Filename& parent, const String& name) {
  for (int n = 1; n <= kMaxNewFolderTries; ++n) {
    const std::string candidate = NthName(name, n);
    if (files::ReadName(candidate).temporary) continue;
    struct stat st;
    if (::fstatat(folder.Descriptor(), candidate.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) continue;
    if (errno != ENOENT) return Filename();
    return parent + Filename(String(candidate.c_str()));
  }
  errno = EEXIST;
  return Filename();
}

std::string FitFolderName(const std::string& name, size_t room) {
  // "-10000" is the longest ending NameNewFolder gives.
  const size_t limit = NAME_MAX - std::to_string(kMaxNewFolderTries).size() - 1 - room;
  if (name.size() <= limit) return name;
  size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) --end;  // whole characters
  return name.substr(0, end);
}

String UnpackFailure(LONG error, int systemError) {
  return String(UnpackFailureText(error, systemError).c_str());
}

Filename UnpackPovm(Filename archive, Filename dir, LONG* failure,
                    std::vector<ZipFile::LeftOut>* leftOutLinks) {
  if (failure) *failure = ZIPERROR_NONE;
  if (leftOutLinks) leftOutLinks->clear();
  ZipFile* zip = ZipFile::Alloc();
  if (!zip) return Filename();
  bool extracted =
      zip->ExtractToDirectory(archive, dir, ZIP_EXTRACT_CREATE_SUBDIR, nullptr, nullptr, nullptr);
  const LONG error = zip->GetError();
  const String why(UnpackFailureText(*zip));  // whole: a NUL of an entry's name too
  const std::vector<ZipFile::LeftOut> leftOut = zip->GetLeftOut();
  ZipFile::Free(zip);
  if (failure) *failure = extracted ? ZIPERROR_NONE : error;
  if (!extracted) {
    GePrint(String("Could not unpack ") + archive.GetString() + ": " + why);
    return Filename();
  }
  for (const ZipFile::LeftOut& link : leftOut) GePrint(String(LeftOutText(link)));
  if (leftOutLinks) *leftOutLinks = leftOut;
  Filename result;
  BrowseFiles* browser = BrowseFiles::Alloc();
  if (!browser) return result;
  browser->Init(dir, 0);
  while (browser->GetNext()) {
    Filename name = browser->GetFilename();
    GePrint(name.GetString());
    if (!browser->IsDir() && IsMaterialFileName(name)) {
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
