// Materials of a document given by a relative path: textures by full path; a new material's defaults;
// a texture that is missing or cannot be read is named.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
// GCC 12 warns of maybe-uninitialized std::function members inside <regex>'s automaton.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <regex>
#pragma GCC diagnostic pop
#include <string>
#include <utility>
#include <vector>

#include "support/host_fixture.h"
#include "support/image_files.h"

namespace fs = std::filesystem;

namespace {

const char kDocument[] = R"json({"name": "paths.c4d",
  "objects": [{"type": 5100, "name": "Lamp", "points": [[0, 0, 0], [1, 0, 0], [1, 1, 0], [0, 1, 0]],
    "polygons": [[0, 1, 2, 3]], "tags": [{"type": 5616, "parameters": {"1010": {"material": "Glow"}}}]}],
  "materials": [
    {"type": 1024337, "name": "Checker", "parameters": {"6003": true, "6005": true,
      "6118": {"shader": {"type": 5833, "parameters": {"1000": {"filename": "checker.png"}}}},
      "6069": {"shader": {"type": 5833, "parameters": {"1000": {"filename": "gone.png"}}}},
      "6006": true,
      "6074": {"shader": {"type": 5833, "parameters": {"1000": {"filename": "relief.png"}}}}}},
    {"type": 1024337, "name": "Glow", "parameters": {"6007": true, "6080": true,
      "6118": {"shader": {"type": 1011100, "name": "Ramp"}}}}]
})json";

TEST(MaterialOutputTest, TexturesKeepFullPathsAndANewMaterialItsDefaults) {
  TempDir home, write, renderer;
  fs::create_directories(home / "scene");
  std::ofstream(home / "scene/paths.json") << kDocument;
  ASSERT_TRUE(WritePngFile(home / "scene/checker.png", 2, 1, {255, 0, 0, 0, 0, 255}));
  fs::create_directories(home / "scene/tex");
  ASSERT_TRUE(WritePngFile(home / "scene/tex/relief.png", 1, 1, {128, 128, 128}));  // in its "tex" folder
  fs::copy(CORVANE_RENDERER_DIR, renderer.path(), fs::copy_options::recursive);
  std::string output, command = "cd '" + home.path() + "' && " + CORVANE_HOST_EXE + " render --plugin-dir " +
                                CORVANE_PLUGIN_DIR + " --write-path " + write.path() + " --renderer-dir " +
                                renderer.path() + " scene/paths.json";
  ASSERT_EQ(RunCommand(command, &output), 0) << output;
  // The scene without its indentation.
  const std::string scene =
      std::regex_replace(ReadFile(write / "quickrender/quickrender.ovs"), std::regex(">\\s+<"), "><");
  const std::string folder = home / "scene";
  for (const char* file : {"/checker.png</path>", "/gone.png</path>", "/tex/relief.png</path>"})
    EXPECT_NE(scene.find("<path>" + folder + file), std::string::npos) << scene;
  const std::string text = std::regex_replace(output, std::regex("time: [0-9]+\\.[0-9]{3} s"), "time: T s");
  EXPECT_NE(text.find("\nExporting materials...\nCould not find the texture " + folder +
                      "/gone.png of material Checker_mid0; it is written under the name it has\n"
                      "Material export time: T s\n"),
            std::string::npos)
      << output;

  // The new material's defaults: one emission scale (on the quad's model), its albedo baked at 1024.
  const std::string scale =
      "<emission_scale><material_name>Glow_mid1</material_name><measure>luminous_flux"
      "</measure><value>100.000000</value></emission_scale>";
  EXPECT_TRUE(scene.find(scale) != std::string::npos && scene.find(scale) == scene.rfind("<emission_scale>"))
      << scene;
  DecodedImage image;
  ASSERT_TRUE(ReadJpegFile(write / "quickrender/textures.quickrender/Glow_mid1_0_albedo.jpg", &image));
  EXPECT_EQ(std::vector<int>({image.width, image.height, image.components}),
            std::vector<int>({1024, 1024, 3}));
}

// A document of one material for each texture in `files`, named as its file without ".png".
std::string TexturedMaterials(const std::vector<std::string>& files) {
  std::string materials;
  for (const std::string& file : files)
    materials += std::string(materials.empty() ? "" : ", ") + R"({"type": 1024337, "name": ")" +
                 file.substr(0, file.find('.')) + R"(", "parameters": {"6003": true,
      "6118": {"shader": {"type": 5833, "parameters": {"1000": {"filename": ")" +
                 file + "\"}}}}}}";
  return R"({"objects": [{"type": 5100, "name": "Quad", "points": [[0, 0, 0], [1, 0, 0], [1, 1, 0], [0, 1, 0]],
    "polygons": [[0, 1, 2, 3]]}], "materials": [)" +
         materials + "]}";
}

// Runs `command` in a shell: as user nobody (65534, no other group) where this is root, else as
// this user. Its status and what it wrote on standard output and error; `*cannot` says why it did
// not run where root could not become nobody.
std::pair<int, std::string> RunAsAnotherUser(const std::string& command, std::string* cannot) {
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return {-1, std::string("pipe: ") + std::strerror(errno)};
  const bool root = ::geteuid() == 0;
  const pid_t child = ::fork();
  if (child < 0) return {-1, std::string("fork: ") + std::strerror(errno)};
  if (child == 0) {
    ::dup2(out[1], 1);
    ::dup2(out[1], 2);
    if (root && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) {
      const std::string why = std::string("cannot become user nobody: ") + std::strerror(errno);
      (void)!::write(2, why.data(), why.size());
      ::_exit(125);
    }
    ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    ::_exit(126);
  }
  ::close(out[1]);
  std::string said;
  char buffer[4096];
  for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) != 0;) {
    if (n > 0)
      said.append(buffer, static_cast<size_t>(n));
    else if (errno != EINTR)
      break;
  }
  ::close(out[0]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {}
  if (WIFEXITED(status) && WEXITSTATUS(status) == 125) *cannot = said;
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, said};
}

// A texture that is there but cannot be read is named as a missing one is: the renderer reads it
// as the user who renders. Root reads any file, so as root the render runs as user nobody.
TEST(MaterialOutputTest, ATextureThatCannotBeReadIsNamedAsAMissingOneIs) {
  TempDir home;
  const std::string folder = home / "scene", write = home / "write", renderer = home / "renderer";
  fs::create_directories(folder);
  fs::copy(CORVANE_RENDERER_DIR, renderer, fs::copy_options::recursive);
  const auto reported = [&](const std::string& file, const std::string& why) {
    return (why.empty() ? "Could not find the texture " + folder + "/" + file
                        : "Could not read the texture " + folder + "/" + file) +
           " of material " + file.substr(0, file.find('.')) + "_mid" + (why.empty() ? "" : ": " + why) +
           "; it is written under the name it has\n";
  };
  const struct {
    std::string file;
    std::function<void(const std::string&)> make;  // makes the texture at the path
    std::string said;                              // the console's line about it, or none
  } rows[] = {
      {"plain.png",
       [](const std::string& p) {
         ASSERT_TRUE(WritePngFile(p, 1, 1, {128, 128, 128}));
       },
       ""},
      {"gone.png", [](const std::string&) {}, reported("gone.png", "")},
      {"locked.png",
       [](const std::string& p) {
         ASSERT_TRUE(WritePngFile(p, 1, 1, {128, 128, 128}));
         ASSERT_EQ(::chmod(p.c_str(), 0), 0);
       },
       reported("locked.png", "Permission denied")},
      {"pipe.png", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0644), 0); },
       reported("pipe.png", "not a regular file")},
  };
  std::vector<std::string> files;
  for (const auto& row : rows) {
    row.make(folder + "/" + row.file);
    files.push_back(row.file);
  }
  std::ofstream(folder + "/doc.json") << TexturedMaterials(files);
  // Everything of the run is the other user's, so that only the locked texture is refused.
  if (::geteuid() == 0) {
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(home.path()))
      ASSERT_EQ(::lchown(e.path().c_str(), 65534, 65534), 0) << e.path();
    ASSERT_EQ(::chown(home.path().c_str(), 65534, 65534), 0);
  }
  std::string cannot;
  const auto [status, output] = RunAsAnotherUser(
      "cd '" + folder + "' && HOME='" + home.path() + "' " + CORVANE_HOST_EXE + " render --plugin-dir " +
          CORVANE_PLUGIN_DIR + " --write-path " + write + " --renderer-dir " + renderer + " doc.json",
      &cannot);
  if (!cannot.empty()) GTEST_SKIP() << cannot;
  ASSERT_EQ(status, 0) << output;
  const std::string text = std::regex_replace(output, std::regex("_mid[0-9]+"), "_mid");
  for (const auto& row : rows) {
    if (row.said.empty())
      EXPECT_EQ(text.find("texture " + folder + "/" + row.file), std::string::npos) << output;
    else
      EXPECT_NE(text.find(row.said), std::string::npos) << row.file << "\n" << output;
  }
}

}  // namespace
