// orvane-standin: a test double of the Orvane renderer's two executables, written for this
// project. It renders nothing. It is installed as <dir>/Orvane.app/Contents/MacOS/Orvane and
// .../OrvaneConsole (see install-renderer-standin) and tells which one it is from argv[0].
//
// What it does:
//   - prints that it is a stand-in on its first output line;
//   - appends its whole command line, argv[0] included, as one line to <dir>/orvane-standin.log
//     (arguments separated by tabs; a tab, line break or backslash inside an argument is written
//     as \t, \n, \r or \\);
//   - "--pack MATERIAL ARCHIVE" writes a ZIP archive holding the material file under its own name;
//   - "--unpack ARCHIVE DIR" extracts an archive through the host's extraction (ZipFile), with its
//     limits, saying why it refused one, and naming on stderr each link it left out;
//   - "-o IMAGE" writes a small valid PNG there; the scene's other options (-seed, -n, -p, -haltspp)
//     are taken with their values and not used; "--help" gives the usage, and an unknown option is
//     refused with it (exit 2);
//   - with the environment variable ORVANE_STANDIN_WAIT naming a file (a FIFO, say), reads it to
//     its end before exiting, so that a test decides the moment the program ends;
//   - exits 0, or 1 when packing, unpacking or writing the image failed;
//   - on SIGINT, SIGTERM, SIGHUP or SIGPIPE removes the temporary files and new folders it made
//     and ends by that signal, as the runner does (process/interrupt.h).
// <dir> is the folder that holds Orvane.app; when the program runs from elsewhere the log goes to
// the folder it runs from.
//
// Every file it writes (its log, an archive, what it unpacks, the image) goes through the
// project's file module, as every other writer's: a temporary beside the file and a rename,
// folders walked once through open folders, under the rules for shared folders. So does every file
// it reads (its log, a material, an archive): only a regular file, never waited on.
#include <fcntl.h>
#include <png.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "archive/unpackfailure.h"
#include "c4d_file.h"
#include "files/folder.h"
#include "files/lock.h"
#include "files/temporary.h"
#include "host_control.h"
#include "process/interrupt.h"
#include "text/printable.h"

namespace {

// The signals a thread of their own waits for.
sigset_t g_watched;

// Flushes standard output. SIGPIPE, waited for, makes a write to a pipe whose reader is gone fail
// with EPIPE instead of ending the process: the failure is handed to the waiting thread as a
// SIGPIPE of the process, which then ends as it would have.
void Flush() {
  if (std::fflush(stdout) == 0 || errno != EPIPE || ::sigismember(&g_watched, SIGPIPE) != 1) return;
  ::kill(::getpid(), SIGPIPE);
  for (;;) ::pause();  // the waiting thread ends the process
}

std::string Basename(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Dirname(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// The installation folder: the one that holds Orvane.app, when the program lies in its place.
std::string LogFolder(const std::string& argv0) {
  std::string dir = Dirname(argv0);
  const std::string inBundle = "/Orvane.app/Contents/MacOS";
  if (EndsWith(dir, inBundle)) {
    std::string install = dir.substr(0, dir.size() - inBundle.size());
    return install.empty() ? "/" : install;
  }
  if (dir == "Orvane.app/Contents/MacOS") return ".";
  return dir;
}

// Writes `line` to `to` (standard output or error) as one line, its control characters escaped
// (`text::Printable`), a line feed among them: every line the stand-in says goes through here, so
// that a name from a user's file cannot clear the terminal, set its title or start a line of its
// own. The log's lines are written as they are.
void Say(FILE* to, const std::string& line) {
  const std::string shown = text::Printable(line) + "\n";
  std::fputs(shown.c_str(), to);
}

std::string Escape(const std::string& arg) {
  std::string out;
  for (char c : arg) {
    switch (c) {
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\\': out += "\\\\"; break;
      default: out += c;
    }
  }
  return out;
}

// Appends the line to the log: the log is read and written again with the line through a temporary
// and a rename, one program at a time (a lock file of its user's), so that lines of programs running at
// once neither mix nor get lost, and a reader sees the log whole.
void AppendLog(const std::string& folder, int argc, char** argv) {
  std::string line;
  for (int i = 0; i < argc; ++i) {
    if (i) line += '\t';
    line += Escape(argv[i]);
  }
  line += '\n';
  const std::string name = "orvane-standin.log", path = folder + "/" + name;
  files::Folder dir;
  files::FileLock lock;
  std::string log;
  files::Result r = files::Folder::Open(folder, &dir);
  if (r.ok()) r = lock.Take(dir, ".orvane-standin.lock");
  if (!r.ok()) {
    Say(stderr, "orvane-standin: cannot write " + path + ": " + r.Text());
    return;
  }
  r = dir.ReadFile(name, &log);
  if (!r.ok() && r.error() != ENOENT) {
    Say(stderr, "orvane-standin: cannot read " + path + ": " + r.Text());
    return;
  }
  log += line;
  r = dir.WriteFile(name, log.data(), log.size());
  if (!r.ok()) Say(stderr, "orvane-standin: cannot write " + path + ": " + r.Text());
}

// The archive is made in memory and written as a whole file.
bool Pack(const std::string& material, const std::string& archive) {
  // The material is read through its folder, as every input is.
  std::string text;
  const files::Result read = files::ReadFile(material, &text);
  if (!read.ok()) {
    Say(stderr, "orvane-standin: cannot pack " + material + ": " + read.Text());
    return false;
  }
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
  zip_t* za = buffer ? zip_open_from_source(buffer, ZIP_TRUNCATE, &error) : nullptr;
  if (!za) {
    Say(stderr, "orvane-standin: cannot create " + archive + ": " + zip_error_strerror(&error));
    if (buffer) zip_source_free(buffer);
    zip_error_fini(&error);
    return false;
  }
  zip_error_fini(&error);
  zip_source_keep(buffer);  // read back after the archive is closed
  zip_source_t* source = zip_source_buffer(za, text.data(), text.size(), 0);
  if (!source || zip_file_add(za, Basename(material).c_str(), source, ZIP_FL_ENC_UTF_8) < 0) {
    Say(stderr, "orvane-standin: cannot pack " + material + ": " + zip_strerror(za));
    if (source) zip_source_free(source);
    zip_discard(za);
    zip_source_free(buffer);
    return false;
  }
  if (zip_close(za) != 0) {
    Say(stderr, "orvane-standin: cannot pack " + material + ": " + zip_strerror(za));
    zip_discard(za);
    zip_source_free(buffer);
    return false;
  }
  std::string bytes;
  bool ok = zip_source_open(buffer) == 0;
  if (ok) {
    char chunk[65536];
    zip_int64_t n = 0;
    while ((n = zip_source_read(buffer, chunk, sizeof chunk)) > 0)
      bytes.append(chunk, static_cast<size_t>(n));
    ok = n == 0;
    zip_source_close(buffer);
  }
  zip_source_free(buffer);
  // The archive appears under its name only once it is complete.
  const files::Result written = ok ? files::WriteFile(archive, bytes.data(), bytes.size()) : files::Result();
  if (!ok || !written.ok()) {
    Say(stderr, "orvane-standin: cannot write " + archive + ": " +
                    (ok ? written.Text() : std::string("cannot read the archive back")));
    return false;
  }
  Say(stdout, "packed " + material + " into " + archive);
  return true;
}

// Unpacks through the host's extraction, with its limits: an archive with an unsafe name, more
// entries, bytes or names in a path than it takes, or more bytes than the disk has free, is
// refused before anything is written, and a refused archive leaves the folder as it was. A link
// left out is named in a line of its own. What a killed unpacking left in a folder written into is
// swept, as by every write.
bool Unpack(const std::string& archive, const std::string& dir) {
  ZipFile* zip = ZipFile::Alloc();
  const bool ok = zip->ExtractToDirectory(Filename(String(archive)), Filename(String(dir)));
  const std::string why = Helpers::UnpackFailureText(*zip);
  const std::vector<ZipFile::LeftOut> leftOut = zip->GetLeftOut();
  ZipFile::Free(zip);
  if (!ok) Say(stderr, "orvane-standin: cannot unpack " + archive + " into " + dir + ": " + why);
  for (const ZipFile::LeftOut& link : leftOut) Say(stderr, "orvane-standin: " + Helpers::LeftOutText(link));
  return ok;
}

// An 8 x 8 colour ramp.
bool WriteImage(const std::string& path) {
  const int size = 8;
  std::vector<png_byte> pixels(size * size * 3);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      png_byte* p = &pixels[(y * size + x) * 3];
      p[0] = static_cast<png_byte>(x * 32);
      p[1] = static_cast<png_byte>(y * 32);
      p[2] = 128;
    }
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = size;
  image.height = size;
  image.format = PNG_FORMAT_RGB;
  // Made in memory, then written as a whole file.
  png_alloc_size_t bytes = 0;
  std::vector<unsigned char> png;
  bool ok = png_image_write_to_memory(&image, nullptr, &bytes, 0, pixels.data(), 0, nullptr);
  if (ok) {
    png.resize(bytes);
    ok = png_image_write_to_memory(&image, png.data(), &bytes, 0, pixels.data(), 0, nullptr);
  }
  const files::Result written = ok ? files::WriteFile(path, png.data(), bytes) : files::Result();
  if (!ok || !written.ok()) {
    Say(stderr, "orvane-standin: cannot write the image " + path + ": " +
                    (ok ? written.Text() : std::string(image.message)));
    return false;
  }
  Say(stdout, "wrote the image " + path);
  return true;
}

// Says the command lines the stand-in takes on `to`.
void SayUsage(FILE* to, const std::string& self) {
  Say(to, "usage: " + self + " [SCENE] [-o IMAGE] [-seed N] [-n MODE -p PORT] [-haltspp N]");
  Say(to, "       " + self + " --pack MATERIAL ARCHIVE");
  Say(to, "       " + self + " --unpack ARCHIVE DIR");
}

}  // namespace

int main(int argc, char** argv) {
  g_watched = process::WatchInterrupts();
  std::string self = argc > 0 ? argv[0] : "orvane-standin";
  std::string role = Basename(self);
  // These first words are those its install writes into the marker file by which the runner tells
  // the stand-in from a renderer (tools/install-renderer-standin, app/main.cpp).
  Say(stdout, "orvane-standin: a test double of the Orvane renderer, not the renderer (" +
                  (role == "OrvaneConsole" ? "console"
                   : role == "Orvane"      ? "window"
                                           : role) +
                  ")");
  Flush();
  AppendLog(LogFolder(self), argc, argv);

  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  bool ok = true;
  if (!args.empty() && args[0] == "--pack") {
    if (args.size() != 3) {
      Say(stderr, "usage: " + self + " --pack MATERIAL ARCHIVE");
      return 2;
    }
    ok = Pack(args[1], args[2]);
  } else if (!args.empty() && args[0] == "--unpack") {
    if (args.size() != 3) {
      Say(stderr, "usage: " + self + " --unpack ARCHIVE DIR");
      return 2;
    }
    ok = Unpack(args[1], args[2]);
  } else {
    // The renderer's command line as the plug-in gives it: the scene, then options with a value each.
    std::string scene;
    std::vector<std::string> images;
    for (size_t i = 0; i < args.size(); ++i) {
      const std::string& a = args[i];
      if (a == "-h" || a == "--help") {
        SayUsage(stdout, self);
        return 0;
      }
      const bool known = a == "-o" || a == "-seed" || a == "-n" || a == "-p" || a == "-haltspp";
      if (a.size() > 1 && a[0] == '-' && (!known || i + 1 >= args.size())) {
        Say(stderr,
            std::string("orvane-standin: ") + (known ? "option needs a value: " : "unknown option ") + a);
        SayUsage(stderr, self);
        return 2;
      }
      if (known) {
        if (a == "-o") images.push_back(args[i + 1]);
        ++i;
      } else if (scene.empty()) {
        scene = a;
      } else {
        Say(stderr, "orvane-standin: one scene only, not also " + a);
        SayUsage(stderr, self);
        return 2;
      }
    }
    if (!scene.empty()) Say(stdout, "scene " + scene);
    for (const std::string& image : images) ok = WriteImage(image) && ok;
  }
  Flush();
  if (const char* wait = std::getenv("ORVANE_STANDIN_WAIT")) {
    const int fd = ::open(wait, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      const int error = errno;
      Say(stderr, std::string("orvane-standin: cannot wait on ") + wait + ": " + std::strerror(error));
      return 1;
    }
    char buffer[256];
    for (;;) {
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n == 0 || (n < 0 && errno != EINTR)) break;
    }
    ::close(fd);
  }
  return ok ? 0 : 1;
}
