// Loads one document file and reports the load's wall time and the process's peak memory, one
// line, for scripts/bench (which runs it once per file in a fresh process, beside Python's
// json.load of the same file). Without a file it has nothing to measure.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "c4d_basedocument.h"
#include "host_document_file.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::printf("bench_document_load FILE: loads FILE once (scripts/bench gives it its documents)\n");
    return 0;
  }
  const auto start = std::chrono::steady_clock::now();
  std::string error;
  BaseDocument* doc = host::LoadDocumentFile(argv[1], &error);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  struct rusage usage = {};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("load %s: %.3f s, peak memory %.1f MB%s%s\n", argv[1], seconds, usage.ru_maxrss / 1024.0,
              doc ? "" : ", refused: ", doc ? "" : error.c_str());
  BaseDocument::Free(doc);
  return 0;
}
