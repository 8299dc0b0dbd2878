// Console, files and folders, status, paths.
#include "c4d_general.h"

#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "files/folder.h"
#include "host_state.h"
#include "host_user.h"

namespace fs = std::filesystem;

namespace host {
namespace {

struct Console {
  std::mutex mutex;
  std::mutex echoMutex;  // keeps echoed lines in order without holding `mutex`
  std::vector<std::string> lines;
  std::function<void(const std::string&)> echo;
};

Console& TheConsole() {
  static Console c;
  return c;
}

struct Paths {
  std::mutex mutex;
  std::string startupWrite;
  std::string plugin;
};

Paths& ThePaths() {
  static Paths p;
  return p;
}

fs::path ToPath(const Filename& f) { return fs::u8path(ToUtf8(f.GetString())); }

}  // namespace

std::vector<std::string> ConsoleLines() {
  Console& c = TheConsole();
  std::lock_guard<std::mutex> lock(c.mutex);
  return c.lines;
}

void ClearConsole() {
  Console& c = TheConsole();
  std::lock_guard<std::mutex> lock(c.mutex);
  c.lines.clear();
}

void SetConsoleEcho(std::function<void(const std::string&)> echo) {
  Console& c = TheConsole();
  std::lock_guard<std::mutex> lock(c.mutex);
  c.echo = std::move(echo);
}

void ResetConsole() {
  ClearConsole();
  SetConsoleEcho(nullptr);
}

void SetStartupWritePath(const std::string& path) {
  std::lock_guard<std::mutex> lock(ThePaths().mutex);
  ThePaths().startupWrite = path;
}

void SetPluginPath(const std::string& path) {
  std::lock_guard<std::mutex> lock(ThePaths().mutex);
  ThePaths().plugin = path;
}

std::string StartupWritePath() {
  std::lock_guard<std::mutex> lock(ThePaths().mutex);
  return ThePaths().startupWrite;
}

std::string PluginPath() {
  std::lock_guard<std::mutex> lock(ThePaths().mutex);
  return ThePaths().plugin;
}

}  // namespace host

void GePrint(const String& line) {
  host::Console& c = host::TheConsole();
  std::string text = host::ToUtf8(line);
  std::lock_guard<std::mutex> echoLock(c.echoMutex);
  std::function<void(const std::string&)> echo;
  {
    std::lock_guard<std::mutex> lock(c.mutex);
    c.lines.push_back(text);
    echo = c.echo;
  }
  if (echo) echo(text);
}

// Asked through the walk, as a read would reach it: a folder that cannot be searched is no
// proof that nothing is there, and errno keeps the reason for the caller.
Bool GeFExist(const Filename& name, Bool isdir) {
  if (!name.Content()) {
    errno = ENOENT;
    return false;
  }
  const std::string path = host::ToUtf8(name.GetString());
  files::Result found;
  if (isdir) {
    files::Folder folder;
    found = files::Folder::Open(path, &folder);
  } else {
    // Opened for reading as a read opens it (never waited on), and closed at once.
    int fd = -1;
    found = files::OpenFile(path, &fd);
    if (fd >= 0) ::close(fd);
    // A FIFO or a device is a file that is there, though no image can be read from it.
    if (found.reason() == files::Reason::kNotRegularFile) return true;
  }
  errno = found.error();
  return found.ok();
}

Bool GeFKill(const Filename& name, LONG flags) {
  if (!name.Content()) return false;
  std::error_code ec;
  fs::path p = host::ToPath(name);
  fs::file_status st = fs::symlink_status(p, ec);
  if (ec || !fs::exists(st)) return false;
  if (fs::is_directory(st)) {
    if (!(flags & GE_FKILL_DIRECTORY)) return false;
    if (flags & GE_FKILL_RECURSIVE) {
      fs::remove_all(p, ec);
      return !ec;
    }
  }
  return fs::remove(p, ec) && !ec;
}

// The path is walked once through open folders, the missing ones made, so that a link another
// user planted in a shared sticky folder on the way is not followed.
Bool GeFCreateDir(const Filename& name) {
  if (!name.Content()) return false;
  files::Folder folder;
  return files::Folder::Open(host::ToUtf8(name.GetString()), &folder, files::Folder::Make::kMissing).ok();
}

Filename GeGetStartupWritePath() { return Filename(String(host::StartupWritePath())); }

Filename GeGetPluginPath() { return Filename(String(host::PluginPath())); }

LONG GeGetCPUCount() {
  unsigned n = std::thread::hardware_concurrency();
  return n ? static_cast<LONG>(n) : 1;
}

void MessageDialog(const String& text) { host::user::ShowMessage(host::ToUtf8(text)); }

Bool QuestionDialog(const String& text) { return host::user::AskQuestion(host::ToUtf8(text)); }

Bool Filename::FileSelect(LONG /*type*/, LONG flags, const String* title) {
  host::Prompt prompt = flags == FILESELECT_DIRECTORY ? host::Prompt::Directory
                        : flags == FILESELECT_SAVE    ? host::Prompt::FileSave
                                                      : host::Prompt::FileLoad;
  std::string path;
  if (!host::user::AskPath(prompt, title ? host::ToUtf8(*title) : std::string(), &path)) return false;
  path_ = String(path);
  return true;
}
