// What the runner writes: document saves, its settings file, and the temporary files of a run
// that is interrupted.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "host_files.h"
#include "support/host_fixture.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

// The runner as a child process whose console is read as it comes, every wait bounded in time.
class Runner {
 public:
  Runner(const std::string& writePath, const std::vector<std::string>& args, const std::string& errFile) {
    std::vector<std::string> argv = {CORVANE_HOST_EXE,   args[0],        "--plugin-dir",
                                     CORVANE_PLUGIN_DIR, "--write-path", writePath};
    argv.insert(argv.end(), args.begin() + 1, args.end());
    std::vector<char*> pointers;
    for (std::string& a : argv) pointers.push_back(a.data());
    pointers.push_back(nullptr);
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return;
    // A small pipe: a runner writing its console stops until the test reads.
    ::fcntl(out[0], F_SETPIPE_SZ, 4096);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (posix_spawn(&pid_, pointers[0], &actions, nullptr, pointers.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    fd_ = out[0];
  }
  ~Runner() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (fd_ >= 0) ::close(fd_);
  }
  pid_t pid() const { return pid_; }
  // Reads the console until a line holds `text` (all of it for ""); false at its end or after a
  // minute.
  bool ReadUntil(const std::string& text) {
    const auto end = Clock::now() + std::chrono::seconds(60);
    for (;;) {
      const size_t found = text.empty() ? std::string::npos : out.find(text);
      if (found != std::string::npos && out.find('\n', found) != std::string::npos) return true;
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
      pollfd p = {fd_, POLLIN, 0};
      if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0) return false;
      char buffer[4096];
      const ssize_t n = ::read(fd_, buffer, sizeof buffer);
      if (n <= 0) return text.empty();
      out.append(buffer, static_cast<size_t>(n));
    }
  }
  // The wait status once the console has ended (killed when it has not within a minute).
  int Wait() {
    if (pid_ <= 0) return -1;
    if (!ReadUntil("")) ::kill(pid_, SIGKILL);
    int status = -1;
    if (::waitpid(pid_, &status, 0) == pid_) pid_ = -1;
    return status;
  }
  std::string out;

 private:
  pid_t pid_ = -1;
  int fd_ = -1;
};

// A renderer stand-in installed in `dir`.
void InstallRenderer(const std::string& dir) {
  const fs::path macos = fs::path(dir) / "Orvane.app/Contents/MacOS";
  fs::create_directories(macos);
  fs::copy_file(fs::path(CORVANE_RENDERER_DIR) / "Orvane.app/Contents/MacOS/Orvane", macos / "Orvane");
}

// Writes a document with scripts/gen-document (`what` its arguments before the file).
void GenerateDocument(const std::string& what, const std::string& path) {
  std::string out;
  ASSERT_EQ(RunCommand("python3 " CORVANE_SOURCE_DIR "/scripts/gen-document " + what + " " + path, &out), 0)
      << out;
}

TEST(RunnerFilesTest, SavesAndTheSettingsFileAreWrittenSafelyAndOnlyOwnChangesPutBack) {
  TempDir work;
  InstallRenderer(work / "renderer");
  GenerateDocument("quads 150", work / "quads.json");  // a console line for each of the meshes
  const std::string write = work / "write", settings = write + "/corvaneSettings.cfg";
  const std::string theirs = "<global_settings><PATH>" + work / "elsewhere" + "</PATH></global_settings>";
  const auto render = [&](const std::string& renderer) -> std::vector<std::string> {
    return {"render", "--renderer-dir", work / renderer, work / "quads.json"};
  };
  const std::string failed = "corvane-host: the render failed: Could not start ";
  const std::string missing = "/Orvane.app/Contents/MacOS/Orvane: No such file or directory\n";
  const struct Row {
    std::string what;
    std::function<void()> before;  // prepares the write path
    std::vector<std::string> args;
    std::function<void()> opened;  // runs once the runner has opened the document
    int status;
    std::string err;       // the runner's standard error
    std::string settings;  // the settings file afterwards
  } rows[] = {
      // clang-format off
      {"a save to a FIFO is refused before the command runs",
       [&] { ASSERT_EQ(::mkfifo((work / "fifo").c_str(), 0600), 0); },
       {"run", "1024454", "--save", work / "fifo"}, nullptr,
       1, "corvane-host: " + work / "fifo" + ": cannot write the file: not a regular file\n", ""},
      {"a save follows a link",
       [&] { ASSERT_EQ(::symlink("saved.json", (work / "link").c_str()), 0); },
       {"run", "1024454", "--save", work / "link"}, nullptr, 0, "", ""},
      {"a link planted at a fixed name is left alone",
       [&] { ASSERT_EQ(::symlink((work / "victim").c_str(), (settings + ".new").c_str()), 0); },
       render("renderer"), nullptr,
       0, "", "<global_settings>\n    <PATH>" + work / "renderer" + "</PATH>\n</global_settings>\n"},
      {"a failed render puts back what was there",
       [&] { std::ofstream(settings) << "<mine/>"; },
       render("nowhere"), nullptr, 1, failed + work / "nowhere" + missing, "<mine/>"},
      {"a failed render leaves a file someone else wrote meanwhile",
       nullptr,
       render("nowhere"), [&] { host::WriteFileReplacing(settings, theirs.data(), theirs.size()); },
       1, failed + work / "elsewhere" + missing, theirs},
      {"a PATH before a syntax error is read as the plug-in reads it",
       [&] { std::ofstream(settings) << "<global_settings><PATH>" << work / "renderer" << "</PATH>"
                                     << "</global_settings><a"; },
       {"render", work / "quads.json"}, nullptr, 0, "", ""},
      {"a write that fails says why",
       [&] { ASSERT_EQ(::symlink("/nonexistent/corvaneSettings.cfg", settings.c_str()), 0); },
       render("renderer"), nullptr,
       1, "corvane-host: cannot write the settings file " + settings + ": No such file or directory\n", ""},
      {"a write path that is no folder is refused",
       [&] { fs::remove(write); std::ofstream(write) << "file"; },
       render("renderer"), nullptr,
       1, "corvane-host: cannot use the write path " + write + ": Not a directory\n", ""},
      {"a FIFO is refused",
       [&] { ASSERT_EQ(::mkfifo(settings.c_str(), 0600), 0); },
       {"render", work / "quads.json"}, nullptr,
       1, "corvane-host: cannot open the settings file " + settings + ": not a regular file\n", ""},
      // clang-format on
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    fs::remove_all(write);
    fs::remove(work / "victim");
    fs::create_directories(write);
    std::ofstream(work / "victim") << "victim";
    if (row.before) row.before();
    Runner runner(write, row.args, work / "err");
    if (row.opened) {
      // The console stops in a full pipe until it is read: the runner cannot end its render before.
      ASSERT_TRUE(runner.ReadUntil("Opened ")) << runner.out;
      row.opened();
    }
    const int status = runner.Wait();
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, row.status) << runner.out;
    EXPECT_EQ(ReadFile(work / "err"), row.err);
    if (!row.settings.empty()) {
      EXPECT_EQ(ReadFile(settings), row.settings);
    }
    EXPECT_EQ(ReadFile(work / "victim"), "victim");
    std::set<std::string> temporaries;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(write, ec))
      if (host::TemporaryFileProcess(entry.path().filename()) != 0)
        temporaries.insert(entry.path().filename());
    EXPECT_EQ(temporaries, std::set<std::string>());
  }
  EXPECT_TRUE(fs::is_fifo(work / "fifo") && fs::is_symlink(work / "link"));
  EXPECT_EQ(ReadFile(work / "saved.json").substr(0, 1), "{");
}

// Waits until a file whose name starts with `prefix` is in `root` or a folder below it, watching
// every folder for new entries; false after a minute.
bool WaitForFile(const std::string& root, const std::string& prefix) {
  const int fd = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
  if (fd < 0) return false;
  std::set<std::string> watched;
  const auto end = Clock::now() + std::chrono::seconds(60);
  bool found = false;
  while (!found && Clock::now() < end) {
    // Watch first, then look: nothing made in between is missed.
    std::error_code ec;
    std::vector<fs::path> folders = {root};
    for (auto it = fs::recursive_directory_iterator(root, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
      if (it->is_directory(ec)) folders.push_back(it->path());
    for (const fs::path& folder : folders)
      if (watched.insert(folder).second) ::inotify_add_watch(fd, folder.c_str(), IN_CREATE | IN_MOVED_TO);
    for (auto it = fs::recursive_directory_iterator(root, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
      found = found || it->path().filename().string().compare(0, prefix.size(), prefix) == 0;
    pollfd p = {fd, POLLIN, 0};
    if (!found && ::poll(&p, 1, 1000) > 0) {
      char events[4096];
      while (::read(fd, events, sizeof events) > 0) {}
    }
  }
  ::close(fd);
  return found;
}

TEST(RunnerFilesTest, AnInterruptedRenderRemovesItsTemporaryFilesAndEndsBySignal) {
  TempDir work;
  InstallRenderer(work / "renderer");
  const std::string document = work / "big.json", write = work / "write";
  GenerateDocument("instances 100 50000", document);
  Runner runner(write, {"render", "--renderer-dir", work / "renderer", document}, work / "err");
  ASSERT_TRUE(runner.ReadUntil("Exporting objects and lights...")) << runner.out;
  // The scene of fifty thousand instances takes a while to write (a few tenths of a second).
  ASSERT_TRUE(WaitForFile(write, ".quickrender.ovs.tmp-"));
  ASSERT_EQ(::kill(runner.pid(), SIGTERM), 0);
  const int status = runner.Wait();
  ASSERT_TRUE(WIFSIGNALED(status)) << status << runner.out;
  EXPECT_EQ(WTERMSIG(status), SIGTERM);
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(write, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec))
    EXPECT_EQ(it->path().filename().string().find(".tmp"), std::string::npos) << it->path();
  EXPECT_FALSE(fs::exists(write + "/quickrender/quickrender.ovs"));
}

}  // namespace
