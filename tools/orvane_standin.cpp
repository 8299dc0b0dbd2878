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
//   - "--unpack ARCHIVE DIR" extracts an archive (refusing names that point outside DIR);
//   - "-o IMAGE" writes a small valid PNG there;
//   - with the environment variable ORVANE_STANDIN_WAIT naming a file (a FIFO, say), reads it to
//     its end before exiting, so that a test decides the moment the program ends;
//   - exits 0, or 1 when packing, unpacking or writing the image failed.
// <dir> is the folder that holds Orvane.app; when the program runs from elsewhere the log goes to
// the folder it runs from.
#include <fcntl.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

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

// Appends the line with one write, so that lines of programs running at once do not mix.
void AppendLog(const std::string& folder, int argc, char** argv) {
  std::string line;
  for (int i = 0; i < argc; ++i) {
    if (i) line += '\t';
    line += Escape(argv[i]);
  }
  line += '\n';
  std::string path = folder + "/orvane-standin.log";
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) {
    std::fprintf(stderr, "orvane-standin: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
    return;
  }
  if (::write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
    std::fprintf(stderr, "orvane-standin: cannot write %s\n", path.c_str());
  ::close(fd);
}

bool Pack(const std::string& material, const std::string& archive) {
  int error = 0;
  zip_t* za = zip_open(archive.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!za) {
    std::fprintf(stderr, "orvane-standin: cannot create %s\n", archive.c_str());
    return false;
  }
  zip_source_t* source = zip_source_file(za, material.c_str(), 0, -1);
  if (!source || zip_file_add(za, Basename(material).c_str(), source, ZIP_FL_ENC_UTF_8) < 0) {
    std::fprintf(stderr, "orvane-standin: cannot pack %s: %s\n", material.c_str(), zip_strerror(za));
    if (source) zip_source_free(source);
    zip_discard(za);
    return false;
  }
  // The archive appears under its name only once it is complete.
  if (zip_close(za) != 0) {
    std::fprintf(stderr, "orvane-standin: cannot write %s: %s\n", archive.c_str(), zip_strerror(za));
    zip_discard(za);
    return false;
  }
  std::printf("packed %s into %s\n", material.c_str(), archive.c_str());
  return true;
}

bool SafeName(const std::string& name) {
  if (name.empty() || name[0] == '/' || name.find('\\') != std::string::npos) return false;
  size_t start = 0;
  for (;;) {
    size_t end = name.find('/', start);
    if (name.substr(start, end == std::string::npos ? end : end - start) == "..") return false;
    if (end == std::string::npos) return true;
    start = end + 1;
  }
}

bool MakeFolders(const std::string& path) {
  for (size_t pos = path.find('/', 1);; pos = path.find('/', pos + 1)) {
    std::string part = path.substr(0, pos);
    if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
    if (pos == std::string::npos) return true;
  }
}

bool Unpack(const std::string& archive, const std::string& dir) {
  int error = 0;
  zip_t* za = zip_open(archive.c_str(), ZIP_RDONLY, &error);
  if (!za) {
    std::fprintf(stderr, "orvane-standin: cannot open %s\n", archive.c_str());
    return false;
  }
  zip_int64_t count = zip_get_num_entries(za, 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    const char* name = zip_get_name(za, i, 0);
    if (!name || !SafeName(name)) {
      std::fprintf(stderr, "orvane-standin: refusing the entry %s\n", name ? name : "?");
      zip_discard(za);
      return false;
    }
  }
  bool ok = MakeFolders(dir);
  for (zip_int64_t i = 0; ok && i < count; ++i) {
    std::string name = zip_get_name(za, i, 0);
    std::string target = dir + "/" + name;
    if (EndsWith(name, "/")) {
      ok = MakeFolders(target.substr(0, target.size() - 1));
      continue;
    }
    ok = MakeFolders(Dirname(target));
    zip_file_t* in = ok ? zip_fopen_index(za, i, 0) : nullptr;
    FILE* out = in ? std::fopen(target.c_str(), "wb") : nullptr;
    ok = in && out;
    char buffer[65536];
    zip_int64_t n = 0;
    while (ok && (n = zip_fread(in, buffer, sizeof buffer)) > 0)
      ok = std::fwrite(buffer, 1, static_cast<size_t>(n), out) == static_cast<size_t>(n);
    if (n < 0) ok = false;
    if (out && std::fclose(out) != 0) ok = false;
    if (in) zip_fclose(in);
  }
  zip_discard(za);
  if (!ok) std::fprintf(stderr, "orvane-standin: cannot unpack %s into %s\n", archive.c_str(), dir.c_str());
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
  if (!png_image_write_to_file(&image, path.c_str(), 0, pixels.data(), 0, nullptr)) {
    std::fprintf(stderr, "orvane-standin: cannot write the image %s: %s\n", path.c_str(), image.message);
    return false;
  }
  std::printf("wrote the image %s\n", path.c_str());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string self = argc > 0 ? argv[0] : "orvane-standin";
  std::string role = Basename(self);
  std::printf("orvane-standin: a test double of the Orvane renderer, not the renderer (%s)\n",
              role == "OrvaneConsole" ? "console"
              : role == "Orvane"      ? "window"
                                      : role.c_str());
  std::fflush(stdout);
  AppendLog(LogFolder(self), argc, argv);

  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  bool ok = true;
  if (!args.empty() && args[0] == "--pack") {
    if (args.size() != 3) {
      std::fprintf(stderr, "usage: %s --pack MATERIAL ARCHIVE\n", self.c_str());
      return 2;
    }
    ok = Pack(args[1], args[2]);
  } else if (!args.empty() && args[0] == "--unpack") {
    if (args.size() != 3) {
      std::fprintf(stderr, "usage: %s --unpack ARCHIVE DIR\n", self.c_str());
      return 2;
    }
    ok = Unpack(args[1], args[2]);
  } else {
    if (!args.empty()) std::printf("scene %s\n", args[0].c_str());
    for (size_t i = 0; i + 1 < args.size(); ++i)
      if (args[i] == "-o") ok = WriteImage(args[i + 1]) && ok;
  }
  std::fflush(stdout);
  if (const char* wait = std::getenv("ORVANE_STANDIN_WAIT")) {
    const int fd = ::open(wait, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      std::fprintf(stderr, "orvane-standin: cannot wait on %s: %s\n", wait, std::strerror(errno));
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
