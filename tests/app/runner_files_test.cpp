// What the runner writes: document saves, its settings file, and an interrupted run's temporary files.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "files/temporaryfile.h"
#include "support/host_fixture.h"

namespace fs = std::filesystem;

namespace {

// Waits until a file whose name starts with `prefix` is made in `dir`; false after a minute without.
bool WaitForFile(const std::string& dir, const std::string& prefix) {
  const int fd = ::inotify_init1(IN_CLOEXEC);
  bool found = false, watched = ::inotify_add_watch(fd, dir.c_str(), IN_CREATE | IN_MOVED_TO) >= 0;
  for (pollfd p = {fd, POLLIN, 0}; watched && !found;) {
    std::error_code ec;  // watched before looked at: nothing made in between is missed
    for (auto it = fs::directory_iterator(dir, ec); !ec && it != fs::directory_iterator(); it.increment(ec))
      found = found || it->path().filename().string().rfind(prefix, 0) == 0;
    char events[4096];
    if (!found && (::poll(&p, 1, 60000) <= 0 || ::read(fd, events, sizeof events) <= 0)) break;
  }
  ::close(fd);
  return found;
}

TEST(RunnerFilesTest, SavesAndSettingsAreWrittenSafelyAndAnInterruptedRenderLeavesNoTemporaries) {
  TempDir work;
  fs::copy(CORVANE_RENDERER_DIR, work / "renderer", fs::copy_options::recursive);
  // A console line for each of the quads; fifty thousand instances take a while to save.
  const std::string gen = "python3 " CORVANE_SOURCE_DIR "/scripts/gen-document ", write = work / "write";
  std::string out,
      docs = gen + "quads 150 " + work / "q.json && " + gen + "instances 100 50000 " + work / "i.json";
  ASSERT_EQ(RunCommand(docs, &out), 0) << out;
  std::ofstream(work / "victim") << "victim";
  const std::string cfg = "corvaneSettings.cfg", settings = write + "/" + cfg, who = "corvane-host: ";
  const std::string theirs = "<global_settings><PATH>" + work / "elsewhere" + "</PATH></global_settings>";
  const auto render = [&](const std::string& renderer, const std::string& document = "q.json") {
    return "render --renderer-dir " + work / renderer + " " + work / document;
  };
  const std::string failed = who + "the render failed: Could not start ";
  const std::string missing = "/Orvane.app/Contents/MacOS/Orvane: No such file or directory\n";
  const struct {
    std::string what;
    std::function<void()> before;  // prepares the write path
    std::string args;
    std::function<void(pid_t)> exporting;  // runs while the runner exports its scene
    int status;                            // the exit status, or minus the signal that ended the runner
    std::string err, file, content;        // standard error; a file of the write path afterwards
  } rows[] = {
      // clang-format off
      {"a save to a FIFO is refused before the command runs",
       [&] { ASSERT_EQ(::mkfifo((work / "fifo").c_str(), 0600), 0); }, "run 1024454 --save " + work / "fifo",
       nullptr, 1, who + work / "fifo" + ": cannot write the file: not a regular file\n", "", ""},
      {"a save follows a link", [&] { ASSERT_EQ(::symlink("saved.json", (work / "link").c_str()), 0); },
       "run 1024454 --save " + work / "link", nullptr, 0, "", "", ""},
      {"another user's link in a shared sticky write path is not followed",
       [&] {
         const std::string target = work / (::geteuid() == 0 ? "victim" : "mine");  // root can plant as another
         ASSERT_EQ(::chmod(write.c_str(), 01777) | ::symlink(target.c_str(), settings.c_str()), 0);
         ASSERT_EQ(::lchown(settings.c_str(), ::geteuid() == 0 ? 65534 : ::geteuid(), -1), 0);
       },
       render("renderer"), nullptr, ::geteuid() == 0 ? 1 : 0,
       ::geteuid() == 0 ? who + "cannot write the settings file " + settings + ": Permission denied\n" : "", "", ""},
      {"a failed render puts back what was there", [&] { std::ofstream(settings) << "<mine/>"; },
       render("nowhere"), nullptr, 1, failed + work / "nowhere" + missing, cfg, "<mine/>"},
      {"a failed render leaves a file someone else wrote meanwhile", nullptr, render("nowhere"),
       [&](pid_t) { TemporaryFile::WriteFileReplacing(settings, theirs.data(), theirs.size()); },
       1, failed + work / "elsewhere" + missing, cfg, theirs},
      {"a failed render leaves a file rewritten in place meanwhile", nullptr, render("nowhere"),
       [&](pid_t) { const std::string text = ReadFile(settings); std::ofstream(settings) << text; },
       1, failed + work / "nowhere" + missing, cfg,
       "<global_settings>\n    <PATH>" + work / "nowhere" + "</PATH>\n</global_settings>\n"},
      {"a PATH before a syntax error is read as the plug-in reads it",
       [&] { std::ofstream(settings) << "<global_settings><PATH>" + work / "renderer" + "</PATH>"
                                     "</global_settings><a"; },
       "render " + work / "q.json", nullptr, 0, "", "", ""},
      {"a write that fails says why",
       [&] { ASSERT_EQ(::symlink("/nonexistent/corvaneSettings.cfg", settings.c_str()), 0); },
       render("renderer"), nullptr, 1,
       who + "cannot write the settings file " + settings + ": No such file or directory\n", "", ""},
      {"a write path that is no folder is refused", [&] { fs::remove(write); std::ofstream(write) << "x"; },
       render("renderer"), nullptr, 1, who + "cannot use the write path " + write + ": Not a directory\n",
       "", ""},
      {"a FIFO is refused", [&] { ASSERT_EQ(::mkfifo(settings.c_str(), 0600), 0); },
       "render " + work / "q.json", nullptr, 1,
       who + "cannot open the settings file " + settings + ": not a regular file\n", "", ""},
      {"SIGTERM while the scene is saved removes the temporary files and ends the runner by that signal",
       nullptr, render("renderer", "i.json"), [&](pid_t pid) {
         ASSERT_TRUE(WaitForFile(write + "/quickrender", ".quickrender.ovs.tmp-"));
         ASSERT_EQ(::kill(pid, SIGTERM), 0);
       }, -SIGTERM, who + "interrupted by SIGTERM; the run's temporary files were removed\n",
       "quickrender/quickrender.ovs", ""},
      // clang-format on
  };
  // The runner through a shell that says its process ID first. In a small pipe the console stops until it is
  // read: the runner cannot go on before.
  const std::string runner = "echo $$; exec " CORVANE_HOST_EXE " --plugin-dir " CORVANE_PLUGIN_DIR " 2>" +
                             work / "err" + " --write-path " + write + " ";
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    fs::remove_all(write);
    fs::create_directories(write);
    if (row.before) row.before();
    FILE* pipe = ::popen((runner + row.args).c_str(), "r");
    EXPECT_GE(::fcntl(::fileno(pipe), F_SETPIPE_SZ, 4096), 0);
    out.clear();
    const auto readUntil = [&](const std::string& text) {  // false at the console's end
      for (char line[4096]; std::fgets(line, sizeof line, pipe);)
        if ((out += line).find(text) != std::string::npos) return true;
      return false;
    };
    readUntil("\n");
    if (row.exporting) {
      EXPECT_TRUE(readUntil("Exporting objects and lights...")) << out;
      row.exporting(std::stoi(out));
    }
    while (readUntil("\n")) {}
    const int status = ::pclose(pipe);
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status), row.status) << out;
    EXPECT_EQ(ReadFile(work / "err"), row.err);
    EXPECT_EQ(row.file.empty() ? "" : ReadFile(write + "/" + row.file), row.content);
    RunCommand("find " + write + " -name '*.tmp*'", &out);
    EXPECT_EQ(out, "");  // no temporary files left
  }
  EXPECT_TRUE(fs::is_fifo(work / "fifo") && fs::is_symlink(work / "link"));
  EXPECT_EQ(ReadFile(work / "saved.json").substr(0, 1), "{");
  EXPECT_EQ(ReadFile(work / "victim"), "victim");
}

}  // namespace
