// Fuzzes the mesh file reader: any bytes must be read or refused without a crash, and a file the
// reader accepts must be written back byte for byte as it was read. The input is a file of the
// scratch folder, read as every input file is (by its path, through its open folder); it and the
// file written back live only while they are used.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "export/orvanemesh.h"

namespace {

// A folder for the file written back, made once per process in the temporary folder (never in
// /dev/shm) and removed when the process ends. The file itself is removed after every input, so
// even a run that ends in a crash leaves at most an empty folder.
std::string scratch_dir;

void RemoveScratch() {
  if (scratch_dir.empty()) return;
  unlink((scratch_dir + "/in.ovmesh").c_str());
  unlink((scratch_dir + "/back.ovmesh").c_str());
  rmdir(scratch_dir.c_str());
  scratch_dir.clear();
}

const std::string& ScratchDir() {
  if (scratch_dir.empty()) {
    const char* tmp = std::getenv("TMPDIR");
    std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/meshfuzz-XXXXXX";
    if (!mkdtemp(tmpl.data())) std::abort();
    scratch_dir = tmpl;
    std::atexit(RemoveScratch);
  }
  return scratch_dir;
}

// A broken promise of the reader or the writer: clean up, then fail loudly.
[[noreturn]] void Fail() {
  RemoveScratch();
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = ScratchDir() + "/in.ovmesh";
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) Fail();
  size_t done = 0;
  while (done < size) {
    ssize_t n = write(fd, data + done, size - done);
    if (n <= 0) Fail();
    done += static_cast<size_t>(n);
  }
  close(fd);

  Orvane::OrvaneMesh mesh;
  mesh.materialNames = {"left alone"};
  bool read = Orvane::OrvaneMesh::readFromFile(path, mesh);
  unlink(path.c_str());
  if (!read) {
    // A refused file leaves the record as it was.
    if (mesh.materialNames.size() != 1 || mesh.materialNames[0] != "left alone") Fail();
    return 0;
  }

  std::string back = ScratchDir() + "/back.ovmesh";
  if (!Orvane::OrvaneMesh::writeToFile(back, mesh)) Fail();
  std::vector<uint8_t> bytes;
  {
    std::ifstream in(back, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  unlink(back.c_str());
  if (bytes.size() != size || (size > 0 && !std::equal(bytes.begin(), bytes.end(), data))) Fail();
  return 0;
}
