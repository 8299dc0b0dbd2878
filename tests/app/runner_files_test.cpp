// What the runner writes: document saves, its settings file, and what an interrupted run leaves (nothing).
#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "files/folder.h"
#include "support/host_fixture.h"
#include "support/zip_writer.h"

namespace fs = std::filesystem;

namespace {

// Waits until a file whose name starts with `prefix` is made in `dir`: its path, or "" once the
// process `pid` has ended without it (however long it works first, as it may on a loaded machine).
std::string WaitForFile(const std::string& dir, const std::string& prefix, pid_t pid) {
  const int fd = ::inotify_init1(IN_CLOEXEC);
  const int ended = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  std::string found;
  bool watched = ended >= 0 && ::inotify_add_watch(fd, dir.c_str(), IN_CREATE | IN_MOVED_TO) >= 0;
  for (pollfd p[2] = {{fd, POLLIN, 0}, {ended, POLLIN, 0}}; watched && found.empty();) {
    std::error_code ec;  // watched before looked at: nothing made in between is missed
    for (auto it = fs::directory_iterator(dir, ec); !ec && it != fs::directory_iterator(); it.increment(ec))
      if (it->path().filename().string().rfind(prefix, 0) == 0) found = it->path().string();
    if (!found.empty() || ::poll(p, 2, -1) < 0 || p[1].revents != 0) break;
    // A file named in an event counts even when it is gone by the time the folder is listed.
    alignas(inotify_event) char events[4096];
    const ssize_t n = ::read(fd, events, sizeof events);
    for (ssize_t at = 0; at < n && found.empty();) {
      const inotify_event* e = reinterpret_cast<const inotify_event*>(events + at);
      if (e->len > 0 && std::string(e->name).rfind(prefix, 0) == 0) found = dir + "/" + e->name;
      at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
    }
    watched = n > 0;
  }
  if (ended >= 0) ::close(ended);
  ::close(fd);
  return found;
}

TEST(RunnerFilesTest, SavesAndSettingsAreWrittenSafelyAndAnInterruptedRenderLeavesNoTemporaries) {
  TempDir work;
  fs::copy(CORVANE_RENDERER_DIR, work / "renderer", fs::copy_options::recursive);
  // A console line for each of the quads; fifty thousand instances take a while to save.
  const std::string gen = "python3 " CORVANE_SOURCE_DIR "/scripts/gen-document ", write = work / "write";
  std::string out, docs = gen + "quads 150 " + work / "q.json && " + gen + "instances 100 50000 " +
                          work / "i.json" + " && " + gen + "quads 2000 " + work / "quads.json";
  ASSERT_EQ(RunCommand(docs, &out), 0) << out;
  std::ofstream(work / "victim") << "victim";
  // Thousands of small entries: unpacking them takes long after the first is written.
  std::vector<ZipEntry> entries{{"m.ovm", ReadFile(CORVANE_SOURCE_DIR "/tests/data/materials/good.ovm")}};
  for (int i = 0; i < 5000; ++i) entries.emplace_back("part" + std::to_string(i) + ".bin", "x");
  ASSERT_TRUE(WriteZip(work / "many.povm", entries));
  // As many folders, each new in the folder unpacked into: they are built in a staging folder there.
  std::vector<ZipEntry> folders{entries.front()};
  for (int i = 0; i < 5000; ++i) folders.emplace_back("d" + std::to_string(i) + "/part.bin", "x");
  ASSERT_TRUE(WriteZip(work / "folders.povm", folders));
  const std::string scratch = work / "tmp";
  const auto interruptUnpacking = [&](pid_t pid, const std::string& folder) {
    ASSERT_NE(folder, "");
    ASSERT_NE(WaitForFile(folder, ".part", pid), "");
    ASSERT_EQ(::kill(pid, SIGTERM), 0);
  };
  const std::string cfg = "corvaneSettings.cfg", settings = write + "/" + cfg, who = "corvane-host: ";
  const std::string theirs = "<global_settings><PATH>" + work / "elsewhere" + "</PATH></global_settings>";
  const std::string ours = "<global_settings><PATH>" + work / "renderer" + "</PATH></global_settings>";
  const auto render = [&](const std::string& renderer, const std::string& document = "q.json") {
    return "render --renderer-dir " + work / renderer + " " + work / document;
  };
  const std::string failed = who + "the render failed: Could not start ";
  // In a sticky write path that anyone may write to, what "another user" plants: root plants as
  // user nobody. Anyone else cannot, and the rows that need it are left out, saying why.
  const passwd* nobody = ::geteuid() == 0 ? ::getpwnam("nobody") : nullptr;
  const std::string other = nobody ? nobody->pw_name : "";
  const uid_t otherUid = nobody ? nobody->pw_uid : 0;
  const std::string noOtherUser = ::geteuid() != 0 ? "planting as another user needs root to become one"
                                  : !nobody        ? "there is no user nobody to plant as"
                                                   : "";
  const auto plant = [&](const std::string& path, const std::string& link) {
    ASSERT_EQ(::chmod(write.c_str(), 01777), 0);
    ASSERT_EQ(link.empty() ? ::mkdir(path.c_str(), 0777) : ::symlink(link.c_str(), path.c_str()), 0);
    ASSERT_EQ(::lchown(path.c_str(), otherUid, -1), 0);
  };
  const std::string fromHere = fs::relative(work / "renderer").string();
  const std::string shot = write + "/shot.ovs", planted = work / "planted";
  std::ofstream(work / "shot.json")
      << R"({"objects": [{"type": 5100, "name": "Quad", "polygons": [[0, 1, 2, 3]],
      "points": [[0, 0, 0], [1, 0, 0], [1, 1, 0], [0, 1, 0]]}], "renderData": {"videoPosts": [{"type": 1020896,
      "parameters": {"1408": true, "1393": {"filename": ")" +
             shot + R"("}}}]}})";
  ASSERT_TRUE(WriteZip(work / "one.povm", {entries.front()}));
  const auto interruptedBy = [&](const std::string& signal) {
    return who + "interrupted by " + signal + "; the run's temporary files were removed\n";
  };
  const std::string interrupted = interruptedBy("SIGTERM");
  FILE* pipe = nullptr;                // the runner's standard output
  const auto closePipe = [&](pid_t) {  // the reader goes away
    const int null = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::dup2(null, ::fileno(pipe)), ::fileno(pipe));
    ::close(null);
  };
  const std::string missing = "/Orvane.app/Contents/MacOS/Orvane: No such file or directory\n";
  // The same for the folder given with --renderer-dir.
  const std::string missingGiven =
      "/Orvane.app/Contents/MacOS/Orvane: No such file or directory (" + work / "nowhere" +
      ", given with --renderer-dir, holds no renderer: name the renderer's installation folder, the one "
      "holding "
      "Orvane.app)\n";
  const struct {
    std::string what;
    std::function<void()> before;  // prepares the write path
    std::string args;
    std::function<void(pid_t)> exporting;   // runs while the runner exports its scene
    int status;                             // the exit status, or minus the signal that ended the runner
    std::string err, file, content;         // standard error; a file of the write path afterwards
    bool asAnotherUser = false;             // plants as another user
    std::string cwd = ".";                  // the folder the runner is started in
    std::string saved = "", notSaved = "";  // where it saved a document, and where it must not have
    std::string shell = "";                 // run by the shell before the runner
    bool merged = false;                    // standard error goes with standard output (`out`)
    bool mounts = false;                    // mounts a file system
  } rows[] = {
      // clang-format off
      {"a save to a FIFO is refused before the command runs",
       [&] { ASSERT_EQ(::mkfifo((work / "fifo").c_str(), 0600), 0); }, "run 1024454 --save " + work / "fifo",
       nullptr, 1, who + work / "fifo" + ": cannot write the file: not a regular file\n", "", ""},
      {"a save follows a link", [&] { ASSERT_EQ(::symlink("saved.json", (work / "link").c_str()), 0); },
       "run 1024454 --save " + work / "link", nullptr, 0, "", "", ""},
      {"another user's link in a shared sticky write path is not followed",
       [&] { plant(settings, work / "victim"); }, render("renderer"), nullptr, 1,
       who + "cannot use the settings file " + settings + ": the link " + settings + " belongs to another user (" + other + ")\n", "", "", true},
      {"another user's settings file in a shared sticky write path is not read",
       [&] {
         std::ofstream(settings) << ours;
         ASSERT_EQ(::chmod(write.c_str(), 01777) | ::lchown(settings.c_str(), otherUid, -1), 0);
       },
       "render " + work / "q.json", nullptr, 1,
       who + "cannot use the settings file " + settings + ": the file " + settings + " belongs to another user (" +
           other + ")\n", cfg, ours, true},
      {"a folder chosen from where the runner stands is kept from the root, its .. names for the system to resolve",
       nullptr, "run 1023920 --answer dir:" + fromHere, nullptr, 0, "", cfg,
       "<global_settings>\n    <PATH>" + fs::current_path().string() + "/" + fromHere +
           "</PATH>\n</global_settings>\n"},
      {"a folder chosen through a link and .. is the one the system names, its path kept as given",
       [&] {  // p/L -> ../x: p/L/.. is work itself
         for (const char* folder : {"p", "x"}) fs::create_directories(work / folder);
         fs::create_directory_symlink("../x", work / "p/L");
       },
       "run 1023920 --answer dir:L/../renderer", nullptr, 0, "", cfg,
       "<global_settings>\n    <PATH>" + work / "p/L/../renderer" + "</PATH>\n</global_settings>\n", false,
       work / "p"},
      {"a --renderer-dir through a link and .. is kept as the folder the walk found, wherever the runner stood",
       [&] { fs::create_directory_symlink("../x", work / "p/M"); },  // p/M/.. is work itself
       "render --renderer-dir M/../renderer " + work / "q.json", nullptr, 0, "", cfg,
       "<global_settings>\n    <PATH>" + work / "renderer" + "</PATH>\n</global_settings>\n", false, work / "p"},
      {"a relative save goes to the working directory itself, though it was renamed away and replaced",
       [&] { fs::create_directories(work / "here"); }, "import " + work / "many.povm" + " --save out.json",
       [&](pid_t pid) {
         const std::string unpacking = WaitForFile(write + "/materials", ".many.povm", pid);
         ASSERT_NE(unpacking, "");
         ASSERT_NE(WaitForFile(unpacking, ".part", pid), "");
         fs::rename(work / "here", work / "away");
         fs::create_directory(work / "here");
       }, 0, "", "", "", false, work / "here", work / "away/out.json", work / "here/out.json"},
      {"a failed render puts back what was there", [&] { std::ofstream(settings) << "<mine/>"; },
       render("nowhere"), nullptr, 1, failed + work / "nowhere" + missingGiven, cfg, "<mine/>"},
      {"a failed render leaves a file someone else wrote meanwhile", nullptr, render("nowhere"),
       [&](pid_t) {
         files::Folder folder;
         ASSERT_TRUE(files::Folder::Open(write, &folder).ok());
         ASSERT_TRUE(folder.WriteFile(cfg, theirs.data(), theirs.size()).ok());
       },
       1, failed + work / "elsewhere" + missing, cfg, theirs},
      {"a failed render leaves a file rewritten in place meanwhile", nullptr, render("nowhere"),
       [&](pid_t) { const std::string text = ReadFile(settings); std::ofstream(settings) << text; },
       1, failed + work / "nowhere" + missingGiven, cfg,
       "<global_settings>\n    <PATH>" + work / "nowhere" + "</PATH>\n</global_settings>\n"},
      {"a PATH before a syntax error is read as the plug-in reads it",
       [&] { std::ofstream(settings) << "<global_settings><PATH>" + work / "renderer" + "</PATH>"
                                     "</global_settings><a"; },
       "render " + work / "q.json", nullptr, 0, "", "", ""},
      {"a write that fails says why",
       [&] { ASSERT_EQ(::symlink("/nonexistent/corvaneSettings.cfg", settings.c_str()), 0); },
       render("renderer"), nullptr, 1,
       who + "cannot write the settings file " + settings + ": No such file or directory\n", "", ""},
      {"a write path that is no folder is refused", [&] { fs::remove_all(write); std::ofstream(write) << "x"; },
       render("renderer"), nullptr, 1, who + "cannot make the write path " + write + ": Not a directory; --write-path DIR names another\n", "", ""},
      {"a write path that cannot be made on a read-only file system is said before a renderer's folder is asked for",
       [&] {
         fs::create_directory(work / "ro");
         ASSERT_EQ(::mount("corvane-test", (work / "ro").c_str(), "tmpfs", MS_RDONLY, nullptr), 0);
       },
       "render --write-path " + work / "ro/w" + " " + work / "q.json", nullptr, 1,
       who + "cannot make the write path " + work / "ro/w" + ": Read-only file system; --write-path DIR names another\n",
       "", "", false, ".", "", "", "", false, true},
      {"a FIFO is refused", [&] { ASSERT_EQ(::mkfifo(settings.c_str(), 0600), 0); },
       "render " + work / "q.json", nullptr, 1,
       who + "cannot open the settings file " + settings + ": not a regular file\n", "", ""},
      {"a mesh folder another user made in a shared sticky folder is not written into",
       [&] { plant(write + "/models.shot", ""); }, render("renderer", "shot.json"), nullptr, 1,
       who + "the render failed: Not launching Orvane: the folder " + write + "/models.shot belongs to another user (" +
           other + "); no scene was saved to " + shot + ".\n", "", "", true},
      {"another user's link at the quick-render folder is neither followed nor removed",
       [&] { fs::create_directory(planted); plant(write + "/quickrender", planted); },
       render("renderer"), nullptr, 1,
       who + "the render failed: Quickrender dir could not be created: the link " + write +
           "/quickrender belongs to another user (" + other + ").\n", "", "", true},
      {"a save into another user's folder of a shared folder is refused before the import, naming it",
       [&] { plant(write + "/theirs", ""); }, "import " + work / "one.povm" + " --save " + write + "/theirs/out.json",
       nullptr, 1, who + write + "/theirs/out.json: cannot write the file: the folder " + write +
           "/theirs belongs to another user (" + other + ")\n", "", "", true},
      {"another user's link at the materials folder is not followed",
       [&] { fs::create_directory(planted); fs::remove(write + "/materials"); plant(write + "/materials", planted); },
       "import " + work / "one.povm", nullptr, 1,
       who + "command 1022469 (Import Orvane Material...) did not run: Could not unpack " + work / "one.povm" +
           ": cannot write: the link " + write + "/materials belongs to another user (" + other + ")\n", "", "", true},
      {"SIGTERM while the scene is saved removes the temporary files and ends the runner by that signal",
       nullptr, render("renderer", "i.json"), [&](pid_t pid) {
         ASSERT_NE(WaitForFile(write + "/quickrender", ".quickrender.ovs.tmp-", pid), "");
         ASSERT_EQ(::kill(pid, SIGTERM), 0);
       }, -SIGTERM, interrupted, "quickrender/quickrender.ovs", ""},
      {"SIGTERM while a .povm is unpacked removes its temporary files and its new folder", nullptr,
       "import " + work / "many.povm",
       [&](pid_t pid) { interruptUnpacking(pid, WaitForFile(write + "/materials", ".many.povm", pid)); },
       -SIGTERM, interrupted, "", ""},
      {"SIGTERM while new folders are staged removes the staging folder: nothing is added while it goes", nullptr,
       "import " + work / "folders.povm",
       [&](pid_t pid) {
         const std::string unpacking = WaitForFile(write + "/materials", ".folders.povm", pid);
         ASSERT_NE(unpacking, "");
         ASSERT_NE(WaitForFile(unpacking, ".unpacking", pid), "");
         ASSERT_EQ(::kill(pid, SIGTERM), 0);
       },
       -SIGTERM, interrupted, "", ""},
      {"SIGTERM while check-material unpacks removes its scratch folder", nullptr,
       "check-material " + work / "many.povm",
       [&](pid_t pid) { interruptUnpacking(pid, WaitForFile(scratch, ".corvane-check.tmp-", pid)); },
       -SIGTERM, interrupted, "", ""},
      {"SIGTERM while the scene is saved puts back the settings file", [&] { std::ofstream(settings) << "<mine/>"; },
       render("renderer", "i.json"), [&](pid_t pid) {
         ASSERT_NE(WaitForFile(write + "/quickrender", ".quickrender.ovs.tmp-", pid), "");
         ASSERT_EQ(::kill(pid, SIGTERM), 0);
       }, -SIGTERM, interrupted, cfg, "<mine/>"},
      {"SIGHUP while the meshes are written removes them and ends the runner by that signal", nullptr,
       render("renderer", "quads.json"), [&](pid_t pid) {
         ASSERT_NE(WaitForFile(write + "/quickrender", "models.", pid), "");
         ASSERT_EQ(::kill(pid, SIGHUP), 0);
       },
       -SIGHUP, interruptedBy("SIGHUP"), "quickrender/quickrender.ovs", ""},
      {"a closed standard output while the meshes are written is SIGPIPE: they are removed", nullptr,
       render("renderer", "quads.json"), closePipe, -SIGPIPE, interruptedBy("SIGPIPE"), "quickrender/quickrender.ovs",
       ""},
      {"a save to a read-only file system is refused before the import unpacks anything",
       [&] {
         fs::create_directory(work / "ro");
         ASSERT_EQ(::mount("corvane-test", (work / "ro").c_str(), "tmpfs", MS_RDONLY, nullptr), 0);
       },
       "import " + work / "one.povm" + " --save " + work / "ro/out.json", nullptr, 1,
       who + work / "ro/out.json" + ": cannot write the file: Read-only file system\n", "", "", false, ".", "",
       "", "", false, true},
      {"a save whose write fails removes the folder the import unpacked into", nullptr,
       "import " + work / "one.povm" + " --save " + work / "big.json", nullptr, 1,
       who + work / "big.json" + ": cannot write the file: File too large\n", "", "", false, ".", "", work / "big.json",
       "trap '' XFSZ; ulimit -f 8; "},
      {"a save whose write fails leaves a folder named like the import's that another run kept meanwhile", nullptr,
       "import " + work / "many.povm" + " --save " + work / "big.json",
       [&](pid_t pid) {
         ASSERT_NE(WaitForFile(write + "/materials", ".many.povm", pid), "");
         fs::create_directory(write + "/materials/many.povm1");
         std::ofstream(write + "/materials/many.povm1/kept.ovm") << "kept";
       },
       1, who + work / "big.json" + ": cannot write the file: File too large\n", "materials/many.povm1/kept.ovm",
       "kept", false, ".", "", work / "big.json", "trap '' XFSZ; ulimit -f 8; "},
      {"SIGINT while the meshes are written: nothing is printed after the run's last line", nullptr,
       render("renderer", "quads.json"), [&](pid_t pid) {
         ASSERT_NE(WaitForFile(write + "/quickrender", "models.", pid), "");
         ASSERT_EQ(::kill(pid, SIGINT), 0);
       },
       -SIGINT, "", "quickrender/quickrender.ovs", "", false, ".", "", "", "", true},
      // clang-format on
  };
  const std::string noMount = ::geteuid() != 0 ? "mounting a read-only file system needs root" : "";
  // The runner through a shell that says its process ID first. In a small pipe the console stops until it is
  // read: the runner cannot go on before.
  const std::string runner = "echo $$; export TMPDIR=" + scratch +
                             "; exec " CORVANE_HOST_EXE " --plugin-dir " CORVANE_PLUGIN_DIR " --write-path " +
                             write + " ";
  std::string leftOutUser,
      leftOutMount;  // the rows that need another user, or a mount, where none can be had
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    if ((row.asAnotherUser && !noOtherUser.empty()) || (row.mounts && !noMount.empty())) {
      std::string& leftOut = row.asAnotherUser ? leftOutUser : leftOutMount;
      leftOut += (leftOut.empty() ? "\"" : "; \"") + row.what + "\"";
      continue;
    }
    fs::remove_all(write);
    fs::remove_all(planted);
    for (const std::string& folder : {write + "/materials", scratch}) fs::create_directories(folder);
    if (row.before) row.before();
    const std::string err = row.merged ? " 2>&1" : " 2>" + work / "err";
    std::ofstream(work / "err").flush();
    pipe = ::popen(("cd " + row.cwd + "; " + row.shell + runner + row.args + err).c_str(), "r");
    EXPECT_GE(::fcntl(::fileno(pipe), F_SETPIPE_SZ, 4096), 0);
    out.clear();
    const auto readUntil = [&](const std::string& text) {  // false at the console's end
      for (char line[4096]; std::fgets(line, sizeof line, pipe);)
        if ((out += line).find(text) != std::string::npos) return true;
      return false;
    };
    readUntil("\n");
    if (row.exporting) {
      EXPECT_TRUE(row.args.rfind("render", 0) != 0 || readUntil("Exporting objects and lights...")) << out;
      row.exporting(std::stoi(out));
    }
    while (readUntil("\n")) {}
    const int status = ::pclose(pipe);
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status), row.status) << out;
    EXPECT_EQ(ReadFile(work / "err"), row.err);
    // Both streams in one: the run's last line is the last, and no line of the interrupted work came
    // before it (the first line is the shell's).
    const std::string last = interruptedBy("SIGINT");
    EXPECT_TRUE(!row.merged ||
                (out.size() >= last.size() && out.compare(out.size() - last.size(), last.size(), last) == 0 &&
                 out.find(": interrupted\n") == std::string::npos))
        << out;
    EXPECT_EQ(row.file.empty() ? "" : ReadFile(write + "/" + row.file), row.content);
    EXPECT_EQ(row.saved.empty() ? "{" : ReadFile(row.saved).substr(0, 1), "{") << out;
    EXPECT_FALSE(!row.notSaved.empty() && fs::exists(row.notSaved));
    // No temporary files, no scratch folder left, no unpacked folder but that of a material imported;
    // after a signal, no new mesh folder either.
    // A folder of the write path that the row expects to stay is no leftover.
    const std::string kept =
        row.file.rfind("materials/", 0) == 0
            ? " ! -path '" + write + "/" + row.file.substr(0, row.file.find('/', 10)) + "*'"
            : "";
    RunCommand("find " + write + " " + scratch + " -name '*.tmp*' -o -path '" + scratch + "/*'" +
                   (row.status != 0 ? " -o -path '" + write + "/materials/*'" + kept : "") +
                   (row.status < 0 ? " -o -name 'models.*'" : ""),
               &out);
    EXPECT_EQ(out, "");
    EXPECT_TRUE(!fs::exists(planted) || fs::is_empty(planted));  // nothing went through a planted link
    if (row.mounts) ::umount2((work / "ro").c_str(), MNT_DETACH);
  }
  EXPECT_TRUE(fs::is_fifo(work / "fifo") && fs::is_symlink(work / "link"));
  EXPECT_EQ(ReadFile(work / "saved.json").substr(0, 1), "{");
  EXPECT_EQ(ReadFile(work / "victim"), "victim");
  const std::string skipped = (leftOutUser.empty() ? "" : noOtherUser + ": left out " + leftOutUser) +
                              (leftOutUser.empty() || leftOutMount.empty() ? "" : ". ") +
                              (leftOutMount.empty() ? "" : noMount + ": left out " + leftOutMount);
  if (!skipped.empty()) GTEST_SKIP() << skipped;
}

TEST(RunnerFilesTest, ASaveKeepsTheTemporaryOfAStoppedRunnerInAnotherPidNamespace) {
  TempDir work;
  std::string out;
  // An ordinary user makes it as the root of a user namespace of its own (-r).
  const std::string unshare =
      std::string("unshare ") + (::geteuid() == 0 ? "" : "-r ") + "--pid --fork --mount-proc";
  if (RunCommand(unshare + " true", &out) != 0) {
    GTEST_SKIP() << "no PID namespace can be made here (" << unshare << "): " << out;
  }
  const std::string host = CORVANE_HOST_EXE " --plugin-dir " CORVANE_PLUGIN_DIR, write = work / "write";
  const std::string gen = "python3 " CORVANE_SOURCE_DIR "/scripts/gen-document instances 100 50000 ";
  ASSERT_EQ(RunCommand(gen + work / "i.json" + " && mkdir " + write, &out), 0) << out;
  // Inside, the runner gets a PID from the top of the range, one that runs nowhere outside: only the
  // temporary's origin tells that its writer is alive.
  FILE* pipe = ::popen(("echo $$; exec " + unshare +
                        " sh -c 'echo $(($(cat /proc/sys/kernel/pid_max)"
                        " - 100)) >/proc/sys/kernel/ns_last_pid && " +
                        host + " --write-path " + write + " render --renderer-dir " CORVANE_RENDERER_DIR " " +
                        work / "i.json" + " >/dev/null'")
                           .c_str(),
                       "r");
  const auto child = [](const std::string& pid) {  // unshare -> sh -> runner
    return std::to_string(std::atoi(ReadFile("/proc/" + pid + "/task/" + pid + "/children").c_str()));
  };
  char line[64] = {};
  ASSERT_TRUE(std::fgets(line, sizeof line, pipe));
  const pid_t started = std::atoi(line);  // unshare, which ends with the runner
  ASSERT_NE(WaitForFile(write, "quickrender", started), "");
  const std::string temporary = WaitForFile(write + "/quickrender", ".quickrender.ovs.tmp-", started);
  const pid_t runner = std::stoi(child(child(std::to_string(started))));
  ASSERT_EQ(::kill(runner, SIGSTOP), 0);
  ASSERT_TRUE(fs::exists(temporary)) << "the scene was saved before the runner stopped";
  RunCommand(
      host + " --write-path " + work / "outside" + " run 1024454 --save " + write + "/quickrender/saved.json",
      &out);
  EXPECT_TRUE(fs::exists(temporary)) << out;
  ASSERT_EQ(::kill(runner, SIGCONT), 0);
  EXPECT_EQ(::pclose(pipe), 0);  // the runner saved its scene
}

}  // namespace
