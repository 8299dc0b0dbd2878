// How the runner answers a signal: within a second whatever its output does (a full pipe nobody
// reads), with nothing printed after it took the signal, and with nothing started after it: the
// settings file names the folder the renderer started from exactly when it started.
#include "../../app/interrupt.cpp"  // the runner's answer to signals, run in a child of this test

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "files/internal.h"
#include "support/host_fixture.h"

namespace fs = std::filesystem;

namespace {

// The runner's last line after the signal `name`.
std::string LastLine(const std::string& name) {
  return "corvane-host: interrupted by " + name + "; the run's temporary files were removed\n";
}

// Starts the runner with `args`, its standard output on `out` and standard error on `err`, with
// the default handling of every signal.
pid_t StartRunner(const std::vector<std::string>& args, int out, int err) {
  std::vector<std::string> all{CORVANE_HOST_EXE};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
  ::posix_spawn_file_actions_adddup2(&actions, err, STDERR_FILENO);
  ::posix_spawnattr_init(&attributes);
  sigset_t all_signals, none;
  sigfillset(&all_signals);
  sigemptyset(&none);
  ::posix_spawnattr_setsigdefault(&attributes, &all_signals);
  ::posix_spawnattr_setsigmask(&attributes, &none);
  ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  pid_t pid = -1;
  if (::posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ) != 0) pid = -1;
  ::posix_spawn_file_actions_destroy(&actions);
  ::posix_spawnattr_destroy(&attributes);
  return pid;
}

// Waits up to `ms` milliseconds for the process `pid` to end (its pidfd becomes readable): its wait
// status, or -1 when it still ran (then it is killed and reaped).
int EndsWithin(pid_t pid, int ms) {
  const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  pollfd ended = {pidfd, POLLIN, 0};
  const bool done = pidfd >= 0 && ::poll(&ended, 1, ms) == 1;
  if (pidfd >= 0) ::close(pidfd);
  if (!done) ::kill(pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return done ? status : -1;
}

// Everything left in the pipe read end `fd` (non-blocking), up to its end or what is there now.
std::string Drain(int fd) {
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  std::string text;
  char buffer[65536];
  for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
  return text;
}

// Fills the pipe whose write end is `fd` to the brim, through a description of its own (the runner's
// stays blocking).
void Fill(int fd) {
  const int own = ::open(("/proc/self/fd/" + std::to_string(fd)).c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(own, 0);
  const std::string block(4096, 'x');
  while (::write(own, block.data(), block.size()) > 0) {}
  char one = 'x';
  while (::write(own, &one, 1) > 0) {}
  ::close(own);
}

// Waits until a thread of the process `pid` waits in a write to a full pipe (polled on that
// condition, as the kernel shows where each thread waits).
bool BlockedInAWrite(pid_t pid) {
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  return WaitFor([&] {
    std::error_code ec;
    for (auto it = fs::directory_iterator(tasks, ec); !ec && it != fs::directory_iterator(); it.increment(ec))
      if (ReadFile(it->path() / "wchan").find("pipe_write") != std::string::npos) return true;
    return false;
  });
}

// Leaves `count` temporaries of a killed run of this machine in the folder `dir`, as a sweep takes them.
void LeaveTemporaries(const std::string& dir, int count) {
  const pid_t killed = ::fork();
  if (killed == 0) ::_exit(0);
  ::waitpid(killed, nullptr, 0);
  const std::string stem = dir + "/.left.tmp-" + files::Origin() + "-" + std::to_string(killed) + "-";
  for (int i = 0; i < count; ++i) {
    const std::string random = std::to_string(1000000000 + i);
    ::close(::open((stem + random).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
  }
}

// A renderer installation in `dir`: the stand-in, logging its starts to `dir`.
void InstallRenderer(const std::string& dir) {
  const fs::path macos = fs::path(dir) / "Orvane.app/Contents/MacOS";
  fs::create_directories(macos);
  fs::copy_file(fs::path(CORVANE_RENDERER_DIR) / "Orvane.app/Contents/MacOS/Orvane", macos / "Orvane");
}

// In `work`: the document "q.json" of 5,000 quads, a console line for each (more than a pipe or a
// terminal holds unread), and the renderer folder "renderer".
void LongRenderIn(const TempDir& work) {
  std::string out;
  ASSERT_EQ(
      RunCommand("python3 " CORVANE_SOURCE_DIR "/scripts/gen-document quads 5000 " + work / "q.json", &out),
      0)
      << out;
  InstallRenderer(work / "renderer");
}

TEST(InterruptTest, ASignalEndsTheRunWithinASecondWhateverItsOutputDoes) {
  TempDir work;
  ASSERT_NO_FATAL_FAILURE(LongRenderIn(work));
  const struct {
    const char* what;
    int signal;
    const char* name;
    bool outFull, errFull, merged;  // which stream is a full pipe nobody reads; both in one pipe
    int left = 0;                   // a killed run's temporaries in the write path, being swept
    int old = 0;                    // an earlier render's files in the quickrender folder, being emptied
  } rows[] = {
      {"standard output full and unread", SIGINT, "SIGINT", true, false, false},
      {"standard error full and unread", SIGTERM, "SIGTERM", false, true, false},
      {"both in one full pipe", SIGHUP, "SIGHUP", true, true, true},
      {"both full, each a pipe of its own", SIGTERM, "SIGTERM", true, true, false},
      {"a killed run's temporaries swept from the write path", SIGTERM, "SIGTERM", false, false, false,
       100000},
      {"an earlier render's quickrender folder emptied", SIGINT, "SIGINT", false, false, false, 0, 100000},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    int outPipe[2], errPipe[2];
    ASSERT_EQ(::pipe2(outPipe, O_CLOEXEC), 0);
    ASSERT_EQ(::pipe2(errPipe, O_CLOEXEC), 0);
    if (row.errFull && !row.merged) Fill(errPipe[1]);
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    const std::string write = work / ("write-" + std::to_string(&row - rows));
    fs::create_directories(write);
    LeaveTemporaries(write, row.left);
    const std::string quick = write + "/quickrender";
    fs::create_directories(quick);
    for (int i = 0; i < row.old; ++i)
      ::close(::open((quick + "/m" + std::to_string(i)).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
    const int removals = ::inotify_init1(IN_CLOEXEC);
    ASSERT_GE(::inotify_add_watch(removals, row.old ? quick.c_str() : write.c_str(), IN_DELETE), 0);
    const int out = row.outFull ? outPipe[1] : null;
    const pid_t pid = StartRunner({"render", "--plugin-dir", CORVANE_PLUGIN_DIR, "--write-path", write,
                                   "--renderer-dir", work / "renderer", work / "q.json"},
                                  out, row.merged ? out : errPipe[1]);
    ASSERT_GT(pid, 0);
    for (const int fd : {outPipe[1], errPipe[1], null}) ::close(fd);
    // The signal comes once the render has begun (it locked its write path, or began to sweep
    // what a killed run left there) and, where standard output fills up, once the runner waits in a
    // write to it.
    pollfd removed = {removals, POLLIN, 0};
    bool ready =
        row.left || row.old ? ::poll(&removed, 1, 10000) == 1 : WaitForName(write, ".quickrender.lock");
    ::close(removals);
    if (row.outFull) ready = ready && BlockedInAWrite(pid);
    EXPECT_TRUE(ready);
    ASSERT_EQ(::kill(pid, row.signal), 0);
    const int status = EndsWithin(pid, 1000);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == row.signal) << "status " << status;
    const std::string err = Drain(row.merged ? outPipe[0] : errPipe[0]);
    std::string last = LastLine(row.name);
    if (row.old) {
      // What was not emptied yet is left, set aside, and the last line names it.
      std::string aside;
      for (const std::string& name : FolderNames(write))
        if (name.rfind(".quickrender.tmp-", 0) == 0) aside = write + "/" + name;
      EXPECT_FALSE(aside.empty() || fs::is_empty(aside)) << aside;
      last.insert(last.size() - 1, ", but for an earlier run's files left in " + aside +
                                       ", which the next run that writes into " + write + " removes");
      // As the next run's first write there does, once the interrupted one has ended.
      files::TemporaryFile next;
      EXPECT_TRUE(files::CreateTemporary(write + "/next", &next).ok());
      EXPECT_FALSE(fs::exists(aside)) << aside;
    }
    if (!row.errFull) {
      // Where it need not wait, the last line is written, and alone.
      EXPECT_EQ(err, last);
    } else {
      // Where it would wait, it is left out; nothing comes after it.
      const size_t last = err.find("corvane-host: interrupted");
      EXPECT_TRUE(last == std::string::npos || err.compare(last, std::string::npos, LastLine(row.name)) == 0)
          << err.substr(err.size() > 200 ? err.size() - 200 : 0);
    }
    ::close(outPipe[0]);
    ::close(errPipe[0]);
  }
}

// Its output on a terminal that hung up, and its standard error on a pipe that gets its last line.
// The run ends at its first write that fails, not at its end: the terminal is hung up while the
// runner waits in a write to it (the render's console lines fill it long before the renderer would
// start), so the renderer is never started and the settings file is put back as it was (none).
TEST(InterruptTest, ARunWhoseTerminalHungUpEndsAsBySighup) {
  TempDir work;
  ASSERT_NO_FATAL_FAILURE(LongRenderIn(work));
  // A terminal that is nobody's controlling terminal: its hang-up sends no SIGHUP, its writes fail.
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(master, 0);
  ASSERT_EQ(::grantpt(master), 0);
  ASSERT_EQ(::unlockpt(master), 0);
  const int terminal = ::open(::ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(terminal, 0);
  int errPipe[2];
  ASSERT_EQ(::pipe2(errPipe, O_CLOEXEC), 0);
  const pid_t pid = StartRunner({"render", "--plugin-dir", CORVANE_PLUGIN_DIR, "--write-path", work / "write",
                                 "--renderer-dir", work / "renderer", work / "q.json"},
                                terminal, errPipe[1]);
  ASSERT_GT(pid, 0);
  ::close(terminal);
  ::close(errPipe[1]);
  // Hung up once the render prints: the master's last descriptor is closed, unread.
  std::string shown;
  char buffer[4096];
  for (ssize_t n;
       shown.find("Opened ") == std::string::npos && (n = ::read(master, buffer, sizeof buffer)) > 0;)
    shown.append(buffer, static_cast<size_t>(n));
  EXPECT_NE(shown.find("Opened "), std::string::npos) << shown;
  ::close(master);
  const int status = EndsWithin(pid, 10000);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGHUP) << "status " << status;
  EXPECT_EQ(Drain(errPipe[0]), LastLine("SIGHUP"));
  EXPECT_FALSE(fs::exists(work / "write/corvaneSettings.cfg")) << "the renderer was started";
  EXPECT_FALSE(fs::exists(work / "renderer/orvane-standin.log")) << "the renderer was started";
  ::close(errPipe[0]);
}

TEST(InterruptTest, NothingIsPrintedOnceASignalIsTakenAndTheLastLineIsLast) {
  int output[2];
  ASSERT_EQ(::pipe2(output, O_CLOEXEC), 0);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    // Standard output and error in one pipe. The change that the signal undoes prints through
    // `PrintUnlessInterrupted`, and stands for a write under way when the signal came, which holds
    // the last line back until a thread has written once the streams are set aside.
    ::dup2(output[1], STDOUT_FILENO);
    ::dup2(output[1], STDERR_FILENO);
    WatchInterrupts();
    static UndoneOnInterrupt change;
    change.Make([] { return true; },
                [] {
                  PrintUnlessInterrupted([] { std::cout << "printed after the signal\n" << std::flush; });
                  ++g_writing[kErr];
                  std::thread([] {
                    while (!g_silenced.load()) std::this_thread::yield();
                    std::cout << "written after the signal\n" << std::flush;
                    std::lock_guard<std::mutex> lock(g_written);
                    --g_writing[kErr];
                    g_writtenChanged.notify_all();
                  }).detach();
                });
    std::cout << "before the signal\n" << std::flush;
    ::kill(::getpid(), SIGTERM);
    for (;;) ::pause();
  }
  ::close(output[1]);
  std::string text;
  char buffer[65536];
  for (ssize_t n; (n = ::read(output[0], buffer, sizeof buffer)) > 0;)
    text.append(buffer, static_cast<size_t>(n));
  ::close(output[0]);
  const int status = EndsWithin(pid, 10000);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << "status " << status;
  // What was printed before the signal, then the last line alone.
  EXPECT_EQ(text, "before the signal\n" + LastLine("SIGTERM"));
}

// A change asked for once the signal's step has begun is not made (one made before it is undone by
// it: the settings file's row below). Both steps run whole on one thread of a child (the signal's
// step sets its standard output and error aside).
TEST(InterruptTest, AChangeAskedForOnceTheSignalsStepHasBegunIsNotMade) {
  int seen[2];
  ASSERT_EQ(::pipe2(seen, O_CLOEXEC), 0);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    bool made = false, undone = false;
    UndoneOnInterrupt change;
    BeforeRemoval(SIGTERM);
    const bool answered = change.Make([&] { return made = true; }, [&] { undone = true; });
    const std::string text = "made " + std::to_string(made) + ", answered " + std::to_string(answered) +
                             ", undone " + std::to_string(undone);
    ::_exit(::write(seen[1], text.data(), text.size()) == static_cast<ssize_t>(text.size()) ? 0 : 1);
  }
  ::close(seen[1]);
  const int status = EndsWithin(pid, 10000);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
  EXPECT_EQ(Drain(seen[0]), "made 0, answered 0, undone 0");
  ::close(seen[0]);
}

TEST(InterruptTest, TheSettingsFileNamesTheFolderTheRendererStartedFromExactlyWhenItStarted) {
  TempDir work;
  const std::string oldDir = work / "old", newDir = work / "new";
  InstallRenderer(oldDir);
  InstallRenderer(newDir);
  std::ofstream(work / "quad.json") << R"({"objects": [{"type": 5100, "name": "Quad",
      "points": [[0, 0, 0], [1, 0, 0], [1, 1, 0], [0, 1, 0]], "polygons": [[0, 1, 2, 3]]}]})";
  const std::string oldSettings = "<global_settings><PATH>" + oldDir + "</PATH></global_settings>";
  // Renderers the runner started and left when it ended come to this test, which waits for them.
  ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
  // The signal comes as the runner gets near its start: when it has locked its write path, made
  // the quick-render folder, saved the scene.
  const struct {
    const char* folder;
    const char* name;
  } moments[] = {{"", ".quickrender.lock"}, {"", "quickrender"}, {"quickrender", "quickrender.ovs"}};
  int runs = 0;
  for (int round = 0; round < 4; ++round) {
    for (const auto& moment : moments) {
      for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(std::string(moment.name) + " signal " + std::to_string(signal));
        const std::string write = work / ("w" + std::to_string(runs++));
        fs::create_directories(write);
        std::ofstream(write + "/corvaneSettings.cfg") << oldSettings;
        fs::remove(newDir + "/orvane-standin.log");
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        const pid_t pid = StartRunner({"render", "--plugin-dir", CORVANE_PLUGIN_DIR, "--write-path", write,
                                       "--renderer-dir", newDir, work / "quad.json"},
                                      null, null);
        ::close(null);
        ASSERT_GT(pid, 0);
        bool reached = true;
        if (*moment.folder) reached = WaitForName(write, moment.folder);
        if (reached && WaitForName(*moment.folder ? write + "/" + moment.folder : write, moment.name))
          ::kill(pid, signal);
        const int status = EndsWithin(pid, 10000);
        EXPECT_TRUE(status == 0 || (WIFSIGNALED(status) && WTERMSIG(status) == signal))
            << "status " << status;
        // Every renderer started has ended: its log line is written.
        while (::waitpid(-1, nullptr, 0) > 0) {}
        const bool fromNew = !ReadFile(newDir + "/orvane-standin.log").empty();
        const std::string settings = ReadFile(write + "/corvaneSettings.cfg");
        EXPECT_EQ(settings.find(newDir) != std::string::npos, fromNew) << settings;
        EXPECT_EQ(settings.find(oldDir) != std::string::npos, !fromNew) << settings;
      }
    }
  }
  ::prctl(PR_SET_CHILD_SUBREAPER, 0);
  EXPECT_TRUE(ReadFile(oldDir + "/orvane-standin.log").empty());
}

}  // namespace
