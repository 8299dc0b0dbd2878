// Fuzzes the mesh file reader: any bytes must be read or refused without a crash, and a file the
// reader accepts must be written back byte for byte as it was read.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "export/orvanemesh.h"

namespace {

// A folder for the files written back, made once per process.
const std::string& ScratchDir() {
  static const std::string dir = [] {
    std::string tmpl = (access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + std::string("/meshfuzz-XXXXXX");
    char* made = mkdtemp(tmpl.data());
    if (!made) std::abort();
    return std::string(made);
  }();
  return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The input lives in an anonymous in-memory file that the reader opens by its path.
  int fd = memfd_create("mesh", MFD_CLOEXEC);
  if (fd < 0) std::abort();
  size_t done = 0;
  while (done < size) {
    ssize_t n = write(fd, data + done, size - done);
    if (n <= 0) std::abort();
    done += static_cast<size_t>(n);
  }
  std::string path = "/proc/self/fd/" + std::to_string(fd);

  Orvane::OrvaneMesh mesh;
  mesh.materialNames = {"left alone"};
  bool read = Orvane::OrvaneMesh::readFromFile(path, mesh);
  close(fd);
  if (!read) {
    // A refused file leaves the record as it was.
    if (mesh.materialNames.size() != 1 || mesh.materialNames[0] != "left alone") std::abort();
    return 0;
  }

  std::string back = ScratchDir() + "/back.ovmesh";
  if (!Orvane::OrvaneMesh::writeToFile(back, mesh)) std::abort();
  std::ifstream in(back, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.size() != size || (size > 0 && !std::equal(bytes.begin(), bytes.end(), data))) std::abort();
  return 0;
}
