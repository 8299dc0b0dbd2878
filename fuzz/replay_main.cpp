// Runs a fuzz target's entry point on files, without libFuzzer: the regression inputs (every
// input a fuzzer ever found a fault with) and the seed corpus replayed as an ordinary test in the
// sanitizer build.
//   replay_<target> PATH...   (a folder stands for the files in it, in name order)
// Exits 0 when every input ran; a fault shows as a crash or a sanitizer report. Exits 2 when a
// path cannot be read or no input was found at all.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
// A target's set-up, when it has one (libFuzzer calls it once before the first input).
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

// The files at `path`: the path itself, or the regular files of a folder in name order.
bool Collect(const std::string& path, std::vector<std::string>& files) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return false;
  if (!S_ISDIR(st.st_mode)) {
    files.push_back(path);
    return true;
  }
  DIR* dir = opendir(path.c_str());
  if (!dir) return false;
  std::vector<std::string> found;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.empty() || name[0] == '.') continue;
    const std::string full = path + "/" + name;
    if (stat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode)) found.push_back(full);
  }
  closedir(dir);
  std::sort(found.begin(), found.end());
  files.insert(files.end(), found.begin(), found.end());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    if (!Collect(argv[i], files)) {
      std::fprintf(stderr, "cannot read %s\n", argv[i]);
      return 2;
    }
  }
  if (files.empty()) {
    std::fprintf(stderr, "no input to replay\n");
    return 2;
  }
  if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
  for (const std::string& file : files) {
    std::ifstream in(file, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
      std::fprintf(stderr, "cannot read %s\n", file.c_str());
      return 2;
    }
    std::printf("Running: %s (%zu bytes)\n", file.c_str(), bytes.size());
    std::fflush(stdout);
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  }
  std::printf("Replayed %zu inputs.\n", files.size());
  return 0;
}
