// The progress line of scripts/test and scripts/fuzz: the count it shows of a step's log, and what
// an interruption leaves.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/host_fixture.h"

namespace fs = std::filesystem;

namespace {

const std::string kLogFiles = std::string(CORVANE_SOURCE_DIR) + "/scripts/log-files.sh";

// A step as the scripts run one: its log under a temporary name while the progress line watches it.
const std::string kStep = "set -euo pipefail\nlog_owner=step\n. " + kLogFiles +
                          "\nnew_temporary . step.log\ncat given.log > \"$temporary\"\n"
                          "progress_start \"$1\" \"$2\" \"${3:-}\"\nprogress_end\nkeep_log step.log\n";

// Whether the process `pid` still runs (a zombie has ended).
bool Runs(pid_t pid) {
  const std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
  const size_t state = stat.rfind(") ");
  return state != std::string::npos && stat[state + 2] != 'Z';
}

TEST(ProgressLine, ShowsTheCountTheStepReached) {
  struct Row {
    const char* screen;
    const char* arguments;
    std::string log, shown;
  };
  const Row rows[] = {
      // Ninja's last "[N/M]" line, whatever the compiler said after it.
      {"lines", "'build:' ninja configure:", "[1/40] Building a\n[17/40] Building b\nb.cpp:3: warning: x\n",
       "build: 17/40\n"},
      // In a pipe nothing before the first tenth.
      {"lines", "'build:' ninja configure:", "[0/2] Re-checking globbed directories...\n", ""},
      // CMake's lines are the configure step, and once it is done, a line says so in a pipe.
      {"lines", "'build:' ninja configure:",
       "-- The CXX compiler identification is GNU\n-- Build files have been written to: /b\n",
       "configure: done in N s\n"},
      // CTest's last "N/M Test #" line; its "Start" lines do not count.
      {"lines", "'tests:' ctest",
       "      Start  3: A\n  1/12 Test  #3: A ....   Passed    0.01 sec\n  5/12 Test  #9: B ....***Failed"
       "    0.02 sec\n      Start 11: C\n",
       "tests: 5/12\n"},
      // A step without a count shows its name on a terminal only.
      {"terminal", "'fuzz material: replay of 3 regression inputs' none", "",
       "\rfuzz material: replay of 3 regression inputs\x1b[K\r\x1b[K"},
  };
  for (const Row& row : rows) {
    TempDir dir;
    std::ofstream(dir / "step.sh") << kStep;
    std::ofstream(dir / "given.log") << row.log;
    std::string output;
    const std::string run =
        "cd " + dir.path() + " && CORVANE_PROGRESS=" + row.screen + " bash step.sh " + row.arguments;
    EXPECT_EQ(RunCommand(run, &output), 0) << run << "\n" << output;
    // seconds as "N s": how many a step takes depends on the machine
    std::string shown;
    for (size_t i = 0; i < output.size();) {
      size_t end = i;
      while (end < output.size() && std::isdigit(static_cast<unsigned char>(output[end]))) ++end;
      const bool seconds = end > i && output.compare(end, 2, " s") == 0;
      shown += seconds ? std::string("N") : output.substr(i, std::max(end, i + 1) - i);
      i = seconds ? end : std::max(end, i + 1);
    }
    EXPECT_EQ(shown, row.shown) << run;
    EXPECT_EQ(ReadFile(dir / "step.log"), row.log) << row.arguments;
    EXPECT_EQ(FolderNames(dir.path()), (std::set<std::string>{"given.log", "step.log", "step.sh"}));
  }
}

// The build's warnings and errors on scripts/test's screen, each counted as what it is.
TEST(BuildProblems, CountsWarningsAndErrorsApart) {
  const struct {
    std::string log, shown;
  } rows[] = {
      {"a.cpp:3:5: warning: unused x [-Wunused]\n",
       "a.cpp:3:5: warning: unused x [-Wunused]\nbuild: 1 warning"},
      {"a.cpp:3: warning: x\nb.cpp:4: warning: y\n",
       "a.cpp:3: warning: x\nb.cpp:4: warning: y\nbuild: 2 warnings"},
      // A warning made an error is an error.
      {"[1/3] Building a\na.cpp:2: warning: w\nb.cpp:7: error: unused y [-Werror=unused]\nFAILED: b.o\n"
       "c.cpp:9: error: 'z' was not declared\n",
       "a.cpp:2: warning: w\nb.cpp:7: error: unused y [-Werror=unused]\nc.cpp:9: error: 'z' was not "
       "declared\nbuild: 1 warning and 2 errors"},
  };
  for (const auto& row : rows) {
    TempDir dir;
    std::ofstream(dir / "build.log") << row.log;
    std::string output;
    const std::string run =
        "cd " + dir.path() + " && bash -c '. " + kLogFiles + " && show_build_problems build.log'";
    EXPECT_EQ(RunCommand(run, &output), 0) << output;
    EXPECT_EQ(output, row.shown.empty() ? "" : row.shown + " (log: build.log)\n") << row.log;
  }
}

// Ctrl-C in the middle of a step ends the progress line with the script: no temporary is left, and
// no watcher goes on writing to the screen.
TEST(ProgressLine, CtrlCEndsItWithTheScript) {
  TempDir dir;
  std::ofstream(dir / "step.sh") << "set -euo pipefail\nlog_owner=step\n. " << kLogFiles
                                 << "\nnew_temporary . step.log\nprogress_start build: ninja\n"
                                    "echo \"$progress_pid\" > watcher.pid\nsleep 30\n";
  const pid_t pid = fork();
  if (pid == 0) {
    setpgid(0, 0);
    if (chdir(dir.path().c_str()) != 0) _exit(127);
    setenv("CORVANE_PROGRESS", "lines", 1);
    execl("/bin/bash", "bash", "step.sh", nullptr);
    _exit(127);
  }
  pid_t watcher = 0;
  EXPECT_TRUE(WaitFor([&] {
    watcher = atoi(ReadFile(dir / "watcher.pid").c_str());
    return watcher > 0 && FolderNames(dir.path()).size() == 3;
  }));
  kill(-pid, SIGINT);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
  EXPECT_EQ(FolderNames(dir.path()), (std::set<std::string>{"step.sh", "watcher.pid"}));
  EXPECT_TRUE(WaitFor([&] { return !Runs(watcher); })) << watcher;
}

// Asked for its usage, a script prints it and ends: it installs, builds and runs nothing.
TEST(ScriptUsage, HelpPrintsTheUsageAndDoesNothingElse) {
  const struct {
    const char* script;
    const char* argument;
  } rows[] = {{"bench", "--help"}, {"bench", "-h"},    {"bench", "--benchmark_filter=x --help"},
              {"test", "--help"},  {"fuzz", "--help"}, {"build", "--help"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.script) + " " + row.argument);
    TempDir dir;
    fs::create_directory(dir / "scripts");
    fs::copy_file(std::string(CORVANE_SOURCE_DIR) + "/scripts/" + row.script,
                  dir / ("scripts/" + std::string(row.script)));
    // What the script would install with, and build with, notes that it ran.
    std::ofstream(dir / "scripts/install-deps") << "#!/bin/sh\ntouch \"$(dirname \"$0\")/../installed\"\n";
    fs::permissions(dir / "scripts/install-deps", fs::perms::owner_all);
    std::string output;
    EXPECT_EQ(RunCommand("cd " + dir.path() + " && bash scripts/" + row.script + " " + row.argument, &output),
              0)
        << output;
    EXPECT_EQ(output.rfind("usage: scripts/" + std::string(row.script), 0), 0u) << output;
    EXPECT_EQ(FolderNames(dir.path()), std::set<std::string>{"scripts"});
  }
}

}  // namespace
