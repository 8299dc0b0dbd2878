// The renderer's location in the settings file, the renderer's command line, starting it, and
// packing and unpacking material archives, with the renderer stand-in as the renderer.
#include "main/orvanelaunch.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <grp.h>
#include <signal.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "export/xmlbuilders.h"
#include "files/folder.h"
#include "host_clock.h"
#include "host_user.h"
#include "process/gate.h"
#include "support/host_fixture.h"
#include "support/zip_writer.h"

namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

std::string Utf8(const Filename& f) { return host::ToUtf8(f.GetString()); }

Strings SplitTabs(const std::string& line) {
  Strings fields;
  std::stringstream s(line);
  std::string field;
  while (std::getline(s, field, '\t')) fields.push_back(field);
  return fields;
}

class LaunchTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    host::SetStartupWritePath(writePath.path());
  }

  std::string SettingsText() const { return ReadFile(writePath / "corvaneSettings.cfg"); }
  void WriteSettings(const std::string& text) const {
    std::ofstream(writePath / "corvaneSettings.cfg", std::ios::binary) << text;
  }
  void SaveDir(const std::string& dir) {
    Helpers::GlobalSettings settings;
    settings.path = String(dir);
    ASSERT_TRUE(Helpers::SaveSettings(&settings));
  }

  // Lays out the renderer stand-in as an installation in `dir` (links to the built one, so that
  // its log goes to `dir`) and makes it the renderer.
  void InstallRenderer(const std::string& dir) {
    fs::path bin = fs::path(dir) / "Orvane.app/Contents/MacOS";
    fs::create_directories(bin);
    for (const char* name : {"Orvane", "OrvaneConsole"}) {
      fs::path built = fs::path(CORVANE_RENDERER_DIR) / "Orvane.app/Contents/MacOS" / name;
      ASSERT_TRUE(fs::exists(built)) << built;
      fs::create_symlink(built, bin / name);
    }
    SaveDir(dir);
  }

  // The command lines the stand-in logged in `dir`, once there are `count` of them.
  std::vector<Strings> LoggedCommands(const std::string& dir, size_t count) {
    std::string log = dir + "/orvane-standin.log";
    std::vector<Strings> lines;
    auto complete = [&] {
      lines.clear();
      std::stringstream s(ReadFile(log));
      std::string line;
      while (std::getline(s, line)) lines.push_back(SplitTabs(line));
      return lines.size() >= count && ReadFile(log).back() == '\n';
    };
    EXPECT_TRUE(WaitFor(complete)) << "the renderer stand-in logged " << lines.size() << " of " << count
                                   << " command lines in " << log;
    return lines;
  }

  TempDir writePath;
  TempDir work;
};

// --- Settings file --------------------------------------------------------------

TEST_F(LaunchTest, WithoutSettingsFileNoRendererIsKnown) {
  Filename exe("untouched");
  EXPECT_EQ(Helpers::GetOrvaneExe(&exe, 1, 0), 0);
  EXPECT_EQ(exe, Filename("untouched"));
  EXPECT_EQ(Helpers::GetSettingsFile(), Filename(String(writePath / "corvaneSettings.cfg")));
}

TEST_F(LaunchTest, TheChosenFolderIsSavedAndNamesTheExecutables) {
  host::user::ChooseDirectory("/Applications/R");
  EXPECT_EQ(Helpers::ChooseOrvaneExe(), 1);

  std::vector<host::Shown> shown = host::user::History();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].prompt, host::Prompt::Directory);
  EXPECT_EQ(shown[0].text, "Choose Orvane dir");

  EXPECT_EQ(SettingsText(), "<global_settings>\n    <PATH>/Applications/R</PATH>\n</global_settings>\n");
  TiXmlDocument doc;
  ASSERT_TRUE(LoadXmlFile(doc, writePath / "corvaneSettings.cfg"));
  EXPECT_STREQ(doc.FirstChildElement("global_settings")->FirstChildElement("PATH")->GetText(),
               "/Applications/R");

  Filename exe;
  EXPECT_EQ(Helpers::GetOrvaneExe(&exe, 1, 0), 1);
  EXPECT_EQ(Utf8(exe), "/Applications/R/Orvane.app/Contents/MacOS/Orvane");
  EXPECT_EQ(Helpers::GetOrvaneExe(&exe, 1, 1), 1);
  EXPECT_EQ(Utf8(exe), "/Applications/R/Orvane.app/Contents/MacOS/OrvaneConsole");
  EXPECT_EQ(Helpers::GetOrvaneExe(&exe, 0, 0), 1);
  EXPECT_EQ(Utf8(exe), "/Applications/R/Orvane.app/Contents/MacOS/");
  EXPECT_EQ(Helpers::GetOrvaneExe(&exe, 0, 1), 1);
  EXPECT_EQ(Utf8(exe), "/Applications/R/Orvane.app/Contents/MacOS/");
  EXPECT_EQ(Helpers::GetOrvaneExe(nullptr, 1, 0), 1);
}

TEST_F(LaunchTest, ACancelledChooserSavesNothing) {
  EXPECT_EQ(Helpers::ChooseOrvaneExe(), 0);
  EXPECT_EQ(host::user::History().size(), 1u);  // asked once, not again and again
  EXPECT_FALSE(fs::exists(writePath / "corvaneSettings.cfg"));

  SaveDir("/old");
  EXPECT_EQ(Helpers::ChooseOrvaneExe(), 0);
  Filename exe;
  EXPECT_EQ(Helpers::GetOrvaneExe(&exe, 0, 0), 1);
  EXPECT_EQ(Utf8(exe), "/old/Orvane.app/Contents/MacOS/");
}

TEST_F(LaunchTest, AChoiceThatCannotBeSavedIsReported) {
  host::SetStartupWritePath(writePath / "missing");
  host::user::ChooseDirectory("/Applications/R");
  EXPECT_EQ(Helpers::ChooseOrvaneExe(), 0);
  EXPECT_EQ(Console(), Strings{"Could not save the Orvane directory to " + writePath.path() +
                               "/missing/corvaneSettings.cfg: No such file or directory"});
  EXPECT_FALSE(fs::exists(writePath / "missing"));
}

TEST_F(LaunchTest, SavingTwiceLeavesOneSettingsElement) {
  SaveDir("/first");
  SaveDir("/second");
  EXPECT_EQ(SettingsText(), "<global_settings>\n    <PATH>/second</PATH>\n</global_settings>\n");
}

TEST_F(LaunchTest, OtherNodesOfTheFileStayAndTheSettingsMoveLast) {
  WriteSettings(
      "<?xml version=\"1.0\" ?><other>1</other><global_settings><PATH>/old</PATH>"
      "<extra/></global_settings><!--note--><more/>");
  SaveDir("/new");
  EXPECT_EQ(SettingsText(),
            "<?xml version=\"1.0\" ?>\n<other>1</other>\n<!--note-->\n<more />\n"
            "<global_settings>\n    <PATH>/new</PATH>\n</global_settings>\n");
}

TEST_F(LaunchTest, SavingWithoutSettingsRewritesTheFileAsRead) {
  WriteSettings("<global_settings><PATH>/kept</PATH></global_settings>");
  EXPECT_TRUE(Helpers::SaveSettings(nullptr));
  EXPECT_EQ(SettingsText(), "<global_settings>\n    <PATH>/kept</PATH>\n</global_settings>\n");
}

TEST_F(LaunchTest, FilesWithoutAFolderNameNoRenderer) {
  const char* files[] = {"",
                         "not xml",
                         "<settings><PATH>/a</PATH></settings>",
                         "<global_settings></global_settings>",
                         "<global_settings><path>/a</path></global_settings>",
                         "<global_settings><PATH></PATH></global_settings>",
                         "<global_settings><PATH/></global_settings>",
                         "<global_settings><PATH><!--c-->/a</PATH></global_settings>",
                         "<x><global_settings><PATH>/nested</PATH></global_settings></x>"};
  for (const char* text : files) {
    WriteSettings(text);
    Filename exe("untouched");
    EXPECT_EQ(Helpers::GetOrvaneExe(&exe, 1, 0), 0) << text;
    EXPECT_EQ(exe, Filename("untouched")) << text;
  }
}

TEST_F(LaunchTest, ABrokenFileStillNamesTheFolderReadBeforeTheError) {
  WriteSettings("<global_settings><PATH>/a</PATH></global_settings><broken");
  Filename exe;
  EXPECT_EQ(Helpers::GetOrvaneExe(&exe, 1, 0), 1);
  EXPECT_EQ(Utf8(exe), "/a/Orvane.app/Contents/MacOS/Orvane");

  WriteSettings("<global_settings><PA");
  EXPECT_EQ(Helpers::GetOrvaneExe(&exe, 1, 0), 0);
  // Saving keeps what the reader kept and adds the settings after it.
  WriteSettings("<first/><global_settings><PA");
  SaveDir("/new");
  EXPECT_EQ(SettingsText(), "<first />\n<global_settings>\n    <PATH>/new</PATH>\n</global_settings>\n");
}

TEST_F(LaunchTest, FoldersOfAnyNameAreKeptInUtf8AndReadBack) {
  const Strings folders = {
      "/Users/Jos\xC3\xA9/Apps",                // Latin-1
      "/Users/\xE6\x97\xA5\xE6\x9C\xAC/Apps",   // CJK, outside Latin-1
      "/Apps/\xCE\xA9 & <R>/\xF0\x9F\x8E\xA8",  // Greek, XML specials and a 4-byte character
  };
  for (const std::string& dir : folders) {
    SCOPED_TRACE(dir);
    host::user::ChooseDirectory(dir);
    ASSERT_EQ(Helpers::ChooseOrvaneExe(), 1);
    // The file is well-formed XML holding the folder's UTF-8 bytes.
    TiXmlDocument doc;
    ASSERT_TRUE(doc.LoadFile((writePath / "corvaneSettings.cfg").c_str(), TIXML_ENCODING_UTF8));
    ASSERT_FALSE(doc.Error()) << doc.ErrorDesc();
    EXPECT_EQ(doc.FirstChildElement("global_settings")->FirstChildElement("PATH")->GetText(), dir);
    Filename exe;
    ASSERT_EQ(Helpers::GetOrvaneExe(&exe, 1, 0), 1);
    EXPECT_EQ(Utf8(exe), dir + "/Orvane.app/Contents/MacOS/Orvane");
  }
}

TEST_F(LaunchTest, OldEightBitSettingsFilesStillRead) {
  const struct {
    std::string stored;  // the bytes of "PATH"
    std::string read;    // the folder read, in UTF-8
  } cases[] = {
      {"/Users/Jos\xE9/Apps", "/Users/Jos\xC3\xA9/Apps"},  // Latin-1 bytes, not UTF-8
      {"/\xC4\xD6\xDC/\xDF", "/\xC3\x84\xC3\x96\xC3\x9C/\xC3\x9F"},
      {"/a\xC3", "/a\xC3\x83"},                                // a cut-off sequence
      {"/\xED\xA0\x80", "/\xC3\xAD\xC2\xA0\xC2\x80"},          // an encoded surrogate is not UTF-8
      {"/Users/Jos\xC3\xA9/Apps", "/Users/Jos\xC3\xA9/Apps"},  // valid UTF-8 reads as such
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.read);
    WriteSettings("<global_settings><PATH>" + c.stored + "</PATH></global_settings>");
    Filename exe;
    ASSERT_EQ(Helpers::GetOrvaneExe(&exe, 0, 0), 1);
    EXPECT_EQ(Utf8(exe), c.read + "/Orvane.app/Contents/MacOS/");
  }
  // Saving again turns the old file into UTF-8.
  WriteSettings("<global_settings><PATH>/Users/Jos\xE9/Apps</PATH></global_settings>");
  Filename exe;
  ASSERT_EQ(Helpers::GetOrvaneExe(&exe, 0, 0), 1);
  Helpers::GlobalSettings settings;
  settings.path = exe.GetDirectory().GetDirectory().GetDirectory().GetDirectory().GetString();
  ASSERT_TRUE(Helpers::SaveSettings(&settings));
  EXPECT_EQ(SettingsText(),
            "<global_settings>\n    <PATH>/Users/Jos\xC3\xA9/Apps</PATH>\n</global_settings>\n");
}

TEST_F(LaunchTest, LongFoldersAreKeptWhole) {
  std::string dir;
  while (dir.size() < 5000) dir += "/a-rather-long-folder-name";
  SaveDir(dir);
  Filename exe;
  ASSERT_EQ(Helpers::GetOrvaneExe(&exe, 1, 1), 1);
  EXPECT_EQ(Utf8(exe), dir + "/Orvane.app/Contents/MacOS/OrvaneConsole");
}

// --- Command line ---------------------------------------------------------------

TEST_F(LaunchTest, CommandLinesFromTheShortestToTheFull) {
  const Filename exe("/R/Orvane"), scene("/s/a b.ovs");
  const struct {
    Filename scene;
    LONG network, port;
    Filename image;
    LONG haltSpp, seed;
    Strings args;  // after the executable
  } cases[] = {
      {scene, 0, 7777, Filename(), -1, 42, {"/s/a b.ovs", "-seed", "42"}},
      {scene,
       1,
       7100,
       Filename("/x/y/img.tif"),
       1000,
       -5,
       {"/s/a b.ovs", "-seed", "-5", "-n", "wm", "-p", "7100", "-haltspp", "1000", "-o", "/x/y/img.png"}},
      {scene, 7, 1, Filename(), -1, 0, {"/s/a b.ovs", "-seed", "0", "-n", "wm", "-p", "1"}},
      {scene, 0, 1, Filename(), 0, 0, {"/s/a b.ovs", "-seed", "0", "-haltspp", "0"}},
      {scene, 0, 1, Filename("/out/shot"), -1, 0, {"/s/a b.ovs", "-seed", "0", "-o", "/out/shot.png"}},
      {scene,
       0,
       1,
       Filename("/out/shot.v2.exr"),
       -1,
       0,
       {"/s/a b.ovs", "-seed", "0", "-o", "/out/shot.v2.png"}},
      {scene, 0, 1, Filename("shot.tif"), -1, 0, {"/s/a b.ovs", "-seed", "0", "-o", "shot.png"}},
      {Filename("/s/\xC3\xA9.ovs"),
       0,
       1,
       Filename("/\xE6\x97\xA5/i.tif"),
       -1,
       0,
       {"/s/\xC3\xA9.ovs", "-seed", "0", "-o", "/\xE6\x97\xA5/i.png"}},
  };
  for (const auto& c : cases) {
    Strings expected{"/R/Orvane"};
    expected.insert(expected.end(), c.args.begin(), c.args.end());
    EXPECT_EQ(Helpers::OrvaneArguments(exe, c.scene, c.network, c.port, c.image, c.haltSpp, c.seed),
              expected);
  }
}

TEST_F(LaunchTest, TheSeedFollowsTheTimer) {
  host::ManualClock clock;
  host::SetClock(&clock);
  EXPECT_EQ(Helpers::LaunchSeed(), 0);
  clock.Advance(1000);
  int seed = Helpers::LaunchSeed();
  EXPECT_GE(seed, 0);
  EXPECT_LT(seed, 1000);
  EXPECT_EQ(Helpers::LaunchSeed(), seed);  // same timer, same seed
  clock.Advance(2147483647.0 - 1000);      // the largest timer value
  seed = Helpers::LaunchSeed();
  EXPECT_GE(seed, 0);
  clock.Advance(1000000);  // past it the timer wraps to negative values
  seed = Helpers::LaunchSeed();
  EXPECT_LE(seed, 0);
  EXPECT_GE(seed, GeGetTimer());
  host::SetClock(nullptr);
}

// --- Starting programs ----------------------------------------------------------

TEST_F(LaunchTest, CommandLinesOutsideTwoToFortyNineEntriesAreRejected) {
  EXPECT_EQ(Helpers::LaunchOrvaneMac(Strings{}), 0);
  EXPECT_EQ(Helpers::LaunchOrvaneMac(Strings{"/bin/true"}), 0);
  EXPECT_EQ(Helpers::LaunchOrvaneMac(Strings(50, "/bin/true")), 0);
  EXPECT_TRUE(Console().empty());
  EXPECT_EQ(Helpers::LaunchOrvaneMac(Strings(49, "/bin/true")), 1);
  EXPECT_EQ(Helpers::LaunchOrvaneMac(Strings(2, "/bin/true")), 1);
  EXPECT_EQ(Console(), (Strings{"Orvane executed...", "Orvane executed..."}));
}

// True while a child of this process has ended and not been reaped (it is left waitable).
bool HasZombieChild() {
  siginfo_t info{};
  return waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid != 0;
}

TEST_F(LaunchTest, AStartedProgramIsNotWaitedForAndLeavesNoZombie) {
  auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(Helpers::LaunchOrvaneMac(Strings{"/bin/sleep", "1"}), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
  ASSERT_EQ(Helpers::LaunchOrvaneMac(Strings{"/bin/true", "x"}), 1);
  // Each program is reaped once it ends, without anyone here waiting for it: no zombie appears,
  // and once both have ended no child is left.
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  bool gone = false;
  while (!gone && std::chrono::steady_clock::now() < end) {
    if (HasZombieChild()) {
      // A program that has just ended is reaped within moments.
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      EXPECT_FALSE(HasZombieChild()) << "a child stayed a zombie";
    }
    siginfo_t info{};
    errno = 0;
    gone = waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) < 0 && errno == ECHILD;
    if (!gone) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_TRUE(gone);
}

TEST_F(LaunchTest, AProgramStartsWithDefaultSignalHandling) {
  // The host ignores some signals (the runner ignores SIGXFSZ) and its threads block some; the
  // renderer must not inherit that, started by its path or from its descriptor (a folder anyone may
  // change), whose child sets it up itself. Only SIGHUP, ignored under nohup, stays ignored, so the
  // renderer runs on when the terminal closes.
  const std::string open = work / "open";
  fs::create_directories(open);
  ::chmod(open.c_str(), 0777);
  fs::copy_file("/bin/sh", open + "/sh");
  for (const std::string& shell : {std::string("/bin/sh"), open + "/sh"}) {
    SCOPED_TRACE(shell);
    struct sigaction ignore {
    }, old{}, oldHangUp{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &old);
    sigaction(SIGHUP, &ignore, &oldHangUp);
    sigset_t blocked, was;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGUSR2);
    pthread_sigmask(SIG_BLOCK, &blocked, &was);
    const std::string out = work / ("signals-" + std::to_string(shell.size()));
    const int started = Helpers::LaunchOrvaneMac(
        Strings{shell, "-c",
                "grep -e SigIgn -e SigBlk /proc/self/status > " + out + ".tmp; mv " + out + ".tmp " + out});
    pthread_sigmask(SIG_SETMASK, &was, nullptr);
    sigaction(SIGXFSZ, &old, nullptr);
    sigaction(SIGHUP, &oldHangUp, nullptr);
    ASSERT_EQ(started, 1);
    ASSERT_TRUE(WaitFor([&] { return fs::exists(out); }));
    std::istringstream lines(ReadFile(out));
    std::map<std::string, unsigned long long> masks;
    for (std::string name, mask; lines >> name >> mask;) masks[name] = std::stoull(mask, nullptr, 16);
    EXPECT_EQ(masks["SigIgn:"] & (1ull << (SIGXFSZ - 1)), 0u) << ReadFile(out);
    EXPECT_NE(masks["SigIgn:"] & (1ull << (SIGHUP - 1)), 0u) << ReadFile(out);
    EXPECT_EQ(masks["SigBlk:"], 0u) << ReadFile(out);
    EXPECT_EQ(masks.size(), 2u) << ReadFile(out);
  }
}

TEST_F(LaunchTest, AProgramThatCannotBeStartedIsReported) {
  ASSERT_TRUE(WaitFor([] { return !HasZombieChild(); }));  // earlier tests' programs reaped
  const std::string missing = work / "missing";
  EXPECT_EQ(Helpers::LaunchOrvaneMac(Strings{missing, "scene"}), 0);
  EXPECT_EQ(Console(), Strings{"Could not start " + missing + ": No such file or directory"});

  host::ClearConsole();
  const std::string plain = work / "not-executable";
  std::ofstream(plain) << "#!/bin/sh\n";
  chmod(plain.c_str(), 0644);
  EXPECT_EQ(Helpers::LaunchOrvaneMac(Strings{plain, "scene"}), 0);
  EXPECT_EQ(Console(), Strings{"Could not start " + plain + ": Permission denied"});
  // A program that never ran leaves nothing to reap.
  EXPECT_FALSE(HasZombieChild());

  // In a shared folder, a program reached through another user's link or folder is theirs to swap.
  if (::geteuid() != 0) GTEST_SKIP() << "only root plants another user's link and folder";
  const std::string shared = work / "shared", theirs = shared + "/theirs", program = theirs + "/Orvane";
  fs::create_directories(theirs);
  ::chmod(shared.c_str(), 01777);
  std::ofstream(program) << "#!/bin/sh\n";
  ::chmod(program.c_str(), 0755);
  fs::create_symlink(theirs, shared + "/link");
  ASSERT_EQ(::lchown((shared + "/link").c_str(), 65534, 65534), 0);
  host::ClearConsole();
  EXPECT_EQ(Helpers::LaunchOrvaneMac(Strings{shared + "/link/Orvane", "scene"}), 0);
  EXPECT_EQ(Console(), Strings{"Could not start " + shared + "/link/Orvane: the link " + shared +
                               "/link belongs to another user (nobody)"});
  ASSERT_EQ(::chown(theirs.c_str(), 65534, 65534), 0);
  host::ClearConsole();
  EXPECT_EQ(Helpers::LaunchOrvaneMac(Strings{program, "scene"}), 0);
  EXPECT_EQ(Console(), Strings{"Could not start " + program + ": the folder " + theirs +
                               " belongs to another user (nobody)"});
  EXPECT_FALSE(HasZombieChild());
}

TEST_F(LaunchTest, WhatStartsIsTheFileTheWalkOpened) {
  // A script starts by its path where only trusted users can change what the path names (a wrapper
  // finds its files beside it by `dirname "$0"`): a team folder's members, or the user's own group
  // in a tree made under umask 0002, are trusted. Where a folder on it lets others rename its
  // entries, from the descriptor of the file checked, which the kernel names /dev/fd/N.
  const std::string out = work / "out";
  fs::create_directories(out);
  const struct {
    std::string folder;
    mode_t mode;  ///< 0: a path through folders made before
    bool byPath;
  } rows[] = {
      {"own", 0700, true},   {"sticky", 01777, true},          {"group", 0775, true},
      {"team", 02775, true}, {"team/intoown", 0, true},         // a link in a team folder
      {"open", 0777, false}, {"open/sub/../../own", 0, false},  // `..` out of a folder others may move
  };
  fs::create_directories(work / "open/sub");
  for (const auto& row : rows) {
    SCOPED_TRACE(row.folder);
    const std::string folder = work / row.folder, script = folder + "/Orvane",
                      name = "ran-" + std::to_string(&row - rows);
    if (row.folder == "team/intoown") fs::create_symlink("../own", folder);
    if (row.mode != 0) {
      fs::create_directories(folder);
      ASSERT_EQ(::chmod(folder.c_str(), row.mode), 0);
      std::ofstream(folder + "/beside") << "beside\n";
      std::ofstream(script)
          << "#!/bin/sh\n{ echo \"$0\"; cat \"$(dirname \"$0\")/beside\"; } > \"$1.tmp\" 2>&1\n"
             "mv \"$1.tmp\" \"$1\"\n";
      ::chmod(script.c_str(), 0755);
    }
    host::ClearConsole();
    ASSERT_EQ(Helpers::LaunchOrvaneMac(Strings{script, out + "/" + name}), 1);
    ASSERT_TRUE(WaitForName(out, name));
    const std::string said = ReadFile(out + "/" + name);
    if (row.byPath) {
      EXPECT_EQ(Console(), Strings{"Orvane executed..."});
      EXPECT_EQ(said, script + "\nbeside\n");
    } else {
      // The script is told of, with the path it sees as its own.
      const std::string self = said.substr(0, said.find('\n'));
      EXPECT_EQ(self.rfind("/dev/fd/", 0), 0u) << said;
      EXPECT_EQ(Console(), (Strings{"Started " + script + " as " + self +
                                        ": a script in a folder that others may change sees that path as its "
                                        "own ($0)",
                                    "Orvane executed..."}));
    }
  }

  // A link to a folder open in this process (as another user's is in theirs) whose path is too
  // long for the walk: the check fails, and what fails the check never starts, though the kernel
  // would follow the link.
  TooLongFolder far(work.path());
  ASSERT_TRUE(far.Write("Orvane", "#!/bin/sh\n: > \"$1\"\n", 0755));
  const std::string link = work / "far";
  fs::create_symlink(files::ProcDescriptorPath(far.Descriptor()), link);
  host::ClearConsole();
  EXPECT_EQ(Helpers::LaunchOrvaneMac(Strings{link + "/Orvane", work / "far-ran"}), 0);
  EXPECT_EQ(Console(), Strings{"Could not start " + link + "/Orvane: File name too long"});
  // A folder, and a FIFO, are no programs either.
  host::ClearConsole();
  ASSERT_EQ(::mkfifo((work / "fifo").c_str(), 0755), 0);
  EXPECT_EQ(Helpers::LaunchOrvaneMac(Strings{work.path(), "scene"}), 0);
  EXPECT_EQ(Helpers::LaunchOrvaneMac(Strings{work / "fifo", "scene"}), 0);
  EXPECT_EQ(Console(), (Strings{"Could not start " + work.path() + ": Is a directory",
                                "Could not start " + work / "fifo" + ": not a regular file"}));
  EXPECT_FALSE(fs::exists(work / "far-ran"));
}

TEST_F(LaunchTest, AProgramThatMayOnlyBeRunStartsForAnOrdinaryUser) {
  // Run as the user nobody (root reads any file), in the user's own folders and in an open one. In
  // a process of its own (this test run again up to here), which no thread shares.
  if (::geteuid() != 0) GTEST_SKIP() << "only root becomes the user nobody";
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::string out = work / "out";
  const auto body = [&] {
    std::string said;
    fs::create_directories(out);
    ::chmod(work.path().c_str(), 0755);
    ::chmod(out.c_str(), 0777);
    for (const auto& [folder, mode] : {std::make_pair("runonly", 0755), std::make_pair("open", 0777)}) {
      const std::string bin = work / folder, name = std::string("by-nobody-") + folder;
      fs::create_directories(bin);
      ::chmod(bin.c_str(), mode);
      fs::copy_file("/usr/bin/touch", bin + "/Toucher");
      ::chmod((bin + "/Toucher").c_str(), 0111);
      const pid_t child = ::fork();
      if (child == 0)
        ::_exit(::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0 &&
                        Helpers::LaunchOrvaneMac(Strings{bin + "/Toucher", out + "/" + name}) == 1 &&
                        WaitForName(out, name)
                    ? 0
                    : 1);
      int status = -1;
      ::waitpid(child, &status, 0);
      said += std::string(folder) + (status == 0 ? " ran " : " did not run ");
    }
    std::cerr << said << "\n";
    fs::remove_all(work.path());
    fs::remove_all(writePath.path());
    std::exit(0);
  };
  EXPECT_EXIT(body(), testing::ExitedWithCode(0), "^runonly ran open ran \n$");
}

TEST_F(LaunchTest, WithoutProcWhatIsStartedByItsPathRunsAndTheRestSaysWhy) {
  // In a mount namespace of its own without /proc, in a process of its own (this test run again up
  // to here): a wrapper renderer in the user's own folder renders, finding its program beside it; a
  // binary in an open folder starts from its descriptor; a script there, which only /proc would
  // reach, is refused in words.
  if (::geteuid() != 0) GTEST_SKIP() << "only root hides /proc in a mount namespace of its own";
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::string bin = work / "own/Orvane.app/Contents/MacOS", open = work / "open", out = work / "out";
  const auto body = [&] {
    for (const std::string& folder : {bin, open, out}) fs::create_directories(folder);
    ::chmod(open.c_str(), 0777);
    fs::copy_file(fs::path(CORVANE_RENDERER_DIR) / "Orvane.app/Contents/MacOS/Orvane", bin + "/Orvane.bin");
    std::ofstream(bin + "/Orvane") << "#!/bin/sh\nexec \"$(dirname \"$0\")/Orvane.bin\" \"$@\"\n";
    fs::copy_file("/usr/bin/touch", open + "/Toucher");
    std::ofstream(open + "/Script") << "#!/bin/sh\n: > \"$1\"\n";
    for (const std::string& program : {bin + "/Orvane", open + "/Script"}) ::chmod(program.c_str(), 0755);
    SaveDir(work / "own");
    const bool hidden = ::unshare(CLONE_NEWNS) == 0 &&
                        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                        ::umount2("/proc", MNT_DETACH) == 0 && !fs::exists("/proc/self");
    ::setenv("ASAN_OPTIONS", "detect_leaks=0", 1);  // a sanitized program's leak check reads /proc
    const int rendered = Helpers::LaunchOrvane(Filename(String(work / "s.ovs")), 1, 0, 0, 0, 7777,
                                               Filename(String(out + "/shot.tif")), -1, 0, 0);
    const bool image = rendered && WaitForName(out, "shot.png");
    const bool binary = Helpers::LaunchOrvaneMac(Strings{open + "/Toucher", out + "/touched"}) == 1 &&
                        WaitForName(out, "touched");
    const int script = Helpers::LaunchOrvaneMac(Strings{open + "/Script", out + "/script"});
    // The runner finds the plug-in beside itself by the path it was started by, or by its name on
    // the PATH (its status is the sanitizer's, which cannot end its leak check without /proc).
    bool listed = true;
    const std::string host = CORVANE_HOST_EXE, folder = fs::path(host).parent_path();
    for (const std::string& by : {host, "PATH=" + folder + ":$PATH " + fs::path(host).filename().string()}) {
      const std::string runner = "cd " + work.path() + " && " + by + " --write-path " + (work / "w") +
                                 " plugins > " + (work / "listed") + " 2>&1";
      listed = listed && std::system(runner.c_str()) >= 0 &&
               ReadFile(work / "listed").find("\nseparator 1022283\n") != std::string::npos;
    }
    // The name it is given to see as its own is the caller's to choose: the path the kernel
    // executed is taken, and nothing is loaded from where the name leads.
    const std::string elsewhere = "cd " + work.path() + " && bash -c 'exec -a /elsewhere/corvane-host " +
                                  host + " --write-path " + (work / "w") + " plugins' > " +
                                  (work / "listed") + " 2>&1";
    listed = listed && std::system(elsewhere.c_str()) >= 0 &&
             ReadFile(work / "listed").find("\nseparator 1022283\n") != std::string::npos;
    // Started from a descriptor, the kernel tells a path that only /proc leads on: the folder is
    // asked for, never taken from the working directory.
    const std::string nowhere = "cd " + work.path() + " && python3 -c 'import os; os.execve(os.open(\"" +
                                host + "\", os.O_RDONLY), [\"corvane-host\", \"plugins\"], os.environ)' > " +
                                (work / "listed") + " 2>&1";
    const std::string asked = std::system(nowhere.c_str()) >= 0 ? ReadFile(work / "listed") : "";
    listed = listed && asked.find("(no /proc, and /dev/fd/") != std::string::npos &&
             asked.find(" names no file): give --plugin-dir DIR") != std::string::npos;
    const bool said =
        Console() == Strings{"Launching Orvane...", "Orvane executed...", "Orvane executed...",
                             "Could not start " + open +
                                 "/Script: it is in a folder that others may change, and is then started "
                                 "only through /proc, which is not mounted"};
    std::cerr << (hidden ? "hidden" : "not hidden") << (image ? " rendered" : " no image")
              << (binary ? " started" : " not started") << " " << script
              << (said ? " said why" : " said else") << (listed ? " listed" : " not listed") << "\n";
    fs::remove_all(work.path());
    fs::remove_all(writePath.path());
    ::syscall(SYS_exit_group, 0);  // without the sanitizer's leak check at exit, which reads /proc
  };
  // After the sanitizer's words on what it cannot read without /proc.
  EXPECT_EXIT(body(), testing::ExitedWithCode(0), "hidden rendered started 0 said why listed\n$");
}

TEST_F(LaunchTest, NothingStartsOnceTheRunIsInterrupted) {
  // In a process of its own (this test run again up to here, in folders of its own): the gate, once
  // closed, stays closed.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::string script = work / "Orvane", marker = work / "ran";
  std::ofstream(script) << "#!/bin/sh\n: > \"$1\"\n";
  ::chmod(script.c_str(), 0755);
  EXPECT_EXIT(
      {
        process::CloseGate();
        const int started = Helpers::LaunchOrvaneMac(Strings{script, marker});
        const bool said = Console() == Strings{"Could not start " + script + ": interrupted"};
        std::cerr << started << (said ? " said interrupted " : " said otherwise ") << process::StartsMade()
                  << "\n";
        fs::remove_all(work.path());
        fs::remove_all(writePath.path());
        std::exit(0);
      },
      testing::ExitedWithCode(0), "^0 said interrupted 0\n$");
  // What would have started runs where the gate is open.
  const unsigned long before = process::StartsMade();
  ASSERT_EQ(Helpers::LaunchOrvaneMac(Strings{script, marker}), 1);
  EXPECT_EQ(process::StartsMade(), before + 1);
  EXPECT_TRUE(WaitFor([&] { return fs::exists(marker); }));
}

TEST_F(LaunchTest, WithoutARendererNothingIsLaunched) {
  EXPECT_EQ(Helpers::LaunchOrvane(Filename("/s/scene.ovs"), 1, 0, 0, 0, 7777, Filename(), -1, 0, 0), 0);
  EXPECT_EQ(Console(),
            (Strings{"Launching Orvane...", "Not launching Orvane: the Orvane folder is not known (" +
                                                Utf8(Helpers::GetSettingsFile()) + " names none)."}));
  EXPECT_TRUE(host::user::History().empty());  // no chooser here
  // A settings file that cannot be read has said why: it is not said to name none.
  const std::string settings = Utf8(Helpers::GetSettingsFile());
  ASSERT_EQ(::mkfifo(settings.c_str(), 0600), 0);
  host::ClearConsole();
  EXPECT_EQ(Helpers::LaunchOrvane(Filename("/s/scene.ovs"), 1, 0, 0, 0, 7777, Filename(), -1, 0, 0), 0);
  EXPECT_EQ(Console(), (Strings{"Launching Orvane...",
                                "Could not read the settings file " + settings + ": not a regular file",
                                "Not launching Orvane: the Orvane folder is not known (" + settings +
                                    " could not be read)."}));
  ::unlink(settings.c_str());
}

TEST_F(LaunchTest, AMissingRendererIsReportedWithItsPath) {
  SaveDir(work / "no-renderer");
  EXPECT_EQ(Helpers::LaunchOrvane(Filename("/s/scene.ovs"), 1, 0, 0, 0, 7777, Filename(), -1, 0, 0), 0);
  EXPECT_EQ(Console(),
            (Strings{"Launching Orvane...",
                     "Could not start " + work.path() +
                         "/no-renderer/Orvane.app/Contents/MacOS/Orvane: No such file or directory"}));
}

TEST_F(LaunchTest, LaunchesTheRendererWithItsCommandLine) {
  InstallRenderer(work.path());
  const std::string scene = work / "my scene.ovs";
  const std::string image = work / "renders/shot";
  fs::create_directories(work / "renders");
  EXPECT_EQ(Helpers::LaunchOrvane(Filename(String(scene)), 1, 1, 1, 1, 7100, Filename(String(image + ".tif")),
                                  1000, 0, 0),
            1);
  EXPECT_EQ(Console(), (Strings{"Launching Orvane...", "Orvane executed..."}));

  std::vector<Strings> lines = LoggedCommands(work.path(), 1);
  ASSERT_EQ(lines.size(), 1u);
  const Strings& argv = lines[0];
  ASSERT_EQ(argv.size(), 12u);
  EXPECT_EQ(argv[0], work / "Orvane.app/Contents/MacOS/Orvane");
  EXPECT_EQ(argv[1], scene);
  EXPECT_EQ(argv[2], "-seed");
  EXPECT_EQ(argv[3], std::to_string(std::stoi(argv[3])));
  EXPECT_EQ(Strings(argv.begin() + 4, argv.end()),
            (Strings{"-n", "wm", "-p", "7100", "-haltspp", "1000", "-o", image + ".png"}));

  // The stand-in writes a real PNG where the image is asked for.
  ASSERT_TRUE(WaitFor([&] { return ReadFile(image + ".png").size() > 8; }));
  EXPECT_EQ(ReadFile(image + ".png").substr(0, 8), "\x89PNG\r\n\x1a\n");

  // An image path longer than a path may be is one the renderer could not open: nothing starts.
  host::ClearConsole();
  std::string far = work.path();
  while (far.size() < 4092) far += "/" + std::string(200, 'd');
  EXPECT_EQ(Helpers::LaunchOrvane(Filename(String(scene)), 1, 1, 1, 1, 7100, Filename(String(far + ".tif")),
                                  1000, 0, 0),
            0);
  EXPECT_EQ(Console(),
            (Strings{"Launching Orvane...", "Not launching Orvane: " + far + ".png: File name too long"}));
}

// --- Packing and unpacking ------------------------------------------------------

TEST_F(LaunchTest, PackThenUnpackGivesTheMaterialBack) {
  InstallRenderer(work.path());
  const std::string material = work / "wood.ovm";
  const std::string archive = work / "wood.povm";
  std::ofstream(material) << "<material><name>wood</name></material>\n";
  EXPECT_EQ(Helpers::PackPovm(Filename(String(material)), Filename(String(archive))), 1);
  EXPECT_EQ(Console(), Strings{"Orvane executed..."});

  std::vector<Strings> lines = LoggedCommands(work.path(), 1);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0],
            (Strings{work / "Orvane.app/Contents/MacOS/OrvaneConsole", "--pack", material, archive}));
  ASSERT_TRUE(WaitFor([&] { return fs::exists(archive); }));

  host::ClearConsole();
  const std::string out = work / "unpacked";
  Filename found = Helpers::UnpackPovm(Filename(String(archive)), Filename(String(out)));
  EXPECT_EQ(Utf8(found), out + "/wood.ovm");
  EXPECT_EQ(ReadFile(out + "/wood.ovm"), "<material><name>wood</name></material>\n");
  EXPECT_EQ(Console(), Strings{"wood.ovm"});
}

TEST_F(LaunchTest, PackingWithoutARendererAsksOnceAndGivesUp) {
  EXPECT_EQ(Helpers::PackPovm(Filename("/m.ovm"), Filename("/m.povm")), 0);
  EXPECT_EQ(host::user::History().size(), 1u);
  EXPECT_EQ(Console(), Strings{"Could not pack /m.ovm: the Orvane folder is not known"});
}

TEST_F(LaunchTest, PackingAsksForTheRendererWhenNoneIsKnown) {
  fs::path renderer = work / "chosen";
  InstallRenderer(renderer.string());
  fs::remove(writePath / "corvaneSettings.cfg");
  host::user::ChooseDirectory(renderer.string());
  const std::string material = work / "m.ovm", archive = work / "m.povm";
  std::ofstream(material) << "<m/>";
  EXPECT_EQ(Helpers::PackPovm(Filename(String(material)), Filename(String(archive))), 1);
  EXPECT_EQ(host::user::Pending(), 0u);
  std::vector<Strings> lines = LoggedCommands(renderer.string(), 1);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0][1], "--pack");
  EXPECT_TRUE(WaitFor([&] { return fs::exists(archive); }));
}

TEST_F(LaunchTest, TheConsoleRendererUnpacksToo) {
  InstallRenderer(work.path());
  const std::string archive = work / "a.povm";
  ASSERT_TRUE(WriteZip(archive, {{"a.ovm", "<a/>"}}));
  Filename first{String(archive)}, second{String(work / "out")};
  Helpers::PackPovmMac(0, first, second);
  std::vector<Strings> lines = LoggedCommands(work.path(), 1);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0][1], "--unpack");
  EXPECT_TRUE(WaitFor([&] { return ReadFile(work / "out/a.ovm") == "<a/>"; }));
}

TEST_F(LaunchTest, UnpackPrintsEntriesUntilTheFirstMaterial) {
  const std::string archive = work / "a.povm";
  ASSERT_TRUE(WriteZip(archive, {{"mat.ovm", "<m/>"}, {"a_tex.jpg", "jpg"}, {"z.ovm", "<z/>"}}));
  const std::string out = work / "out";
  Filename found = Helpers::UnpackPovm(Filename(String(archive)), Filename(String(out)));
  EXPECT_EQ(Utf8(found), out + "/mat.ovm");
  EXPECT_EQ(Console(), (Strings{"a_tex.jpg", "mat.ovm"}));
  EXPECT_TRUE(fs::exists(out + "/z.ovm"));  // the whole archive is extracted
}

TEST_F(LaunchTest, UnpackFindsTheSuffixInAnyCaseAndSkipsFolders) {
  const std::string archive = work / "a.povm";
  ASSERT_TRUE(WriteZip(archive, {{"A.ovm/inner.txt", "x"}, {"B.OVM", "<m/>"}}));
  Filename found = Helpers::UnpackPovm(Filename(String(archive)), Filename(String(work / "out")));
  EXPECT_EQ(Utf8(found), work / "out/B.OVM");
  EXPECT_EQ(Console(), (Strings{"A.ovm", "B.OVM"}));
}

TEST_F(LaunchTest, UnpackWithoutMaterialGivesAnEmptyName) {
  const std::string archive = work / "a.povm";
  ASSERT_TRUE(WriteZip(archive, {{"readme.txt", "x"}}));
  EXPECT_FALSE(Helpers::UnpackPovm(Filename(String(archive)), Filename(String(work / "out"))).Content());
  EXPECT_EQ(Console(), Strings{"readme.txt"});
}

TEST_F(LaunchTest, UnpackRefusesArchivesThatPointOutside) {
  for (const char* name : {"../evil.ovm", "/abs.ovm"}) {
    host::ClearConsole();
    const std::string archive = work / "evil.povm";
    ASSERT_TRUE(WriteZip(archive, {{"good.ovm", "g"}, {name, "<evil/>"}}));
    const std::string out = work / "out";
    EXPECT_FALSE(Helpers::UnpackPovm(Filename(String(archive)), Filename(String(out))).Content()) << name;
    EXPECT_FALSE(fs::exists(work / "evil.ovm"));
    EXPECT_FALSE(fs::exists("/abs.ovm"));
    EXPECT_FALSE(fs::exists(out + "/good.ovm"));
    EXPECT_EQ(Console(), Strings{"Could not unpack " + archive + ": unsafe name: entry \"" + name + "\""})
        << name;
    EXPECT_FALSE(fs::exists(out)) << name;
  }
}

TEST_F(LaunchTest, ANewFolderHasATemporarysNameUntilItIsNamedBesideWhateverHoldsTheName) {
  const std::string parent = work / "deep/materials", name = parent + "/a.povm0";
  const Filename at{String(parent)};
  files::NewFolder first, second, third;
  files::Folder opened;
  ASSERT_TRUE(Helpers::NewFolder(at, String("a.povm0"), &first).ok());
  EXPECT_EQ(fs::path(first.Path()).filename().string().rfind(".a.povm0.tmp-", 0), 0u) << first.Path();
  EXPECT_EQ(Utf8(Helpers::NameNewFolder(&first, at, String("a.povm0"))), name);
  std::ofstream(name + "/old.ovm") << "old";  // taken: a folder with content, a file, a link to a folder
  std::ofstream(name + "-2") << "file";
  fs::create_directory_symlink(work.path(), name + "-3");
  ASSERT_TRUE(Helpers::NewFolder(at, String("a.povm0"), &second, &opened).ok());
  EXPECT_EQ(Utf8(Helpers::FreeFolderName(opened, at, String("a.povm0"))), name + "-4");
  const std::string next = Utf8(Helpers::NameNewFolder(&second, at, String("a.povm0")));
  EXPECT_EQ(next, name + "-4");
  EXPECT_TRUE(fs::is_directory(next) && fs::is_empty(next) && ReadFile(name + "/old.ovm") == "old");
  const files::Result refused =
      Helpers::NewFolder(Filename(String(name + "-2")), String("x"), &third);  // a file
  EXPECT_FALSE(refused.ok());
  EXPECT_EQ(refused.Text(), "Not a directory");
}

TEST_F(LaunchTest, UnpackOfAMissingArchiveGivesAnEmptyName) {
  EXPECT_FALSE(
      Helpers::UnpackPovm(Filename(String(work / "missing.povm")), Filename(String(work / "out"))).Content());
  EXPECT_EQ(Console(), Strings{"Could not unpack " + work / "missing.povm" +
                               ": cannot be read: No such file or directory"});
}

// --- The other platform -----------------------------------------------------------

TEST_F(LaunchTest, TheOtherPlatformsFunctionsOnlySayTheyWereCalled) {
  EXPECT_EQ(Helpers::LaunchOrvanePc(Filename("/s.ovs"), 1, 0, 0, 1, 7777, Filename("/o"), -1, 0, 0), 0);
  Filename a("/a"), b("/b");
  Helpers::PackPovmPc(1, a, b);
  std::vector<host::Shown> shown = host::user::History();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].prompt, host::Prompt::Message);
  EXPECT_EQ(shown[0].text, "LaunchOrvanePc() called on Mac!");
  EXPECT_EQ(shown[1].text, "PackPovmPc() called on Mac!");
  EXPECT_TRUE(Console().empty());
}

}  // namespace
