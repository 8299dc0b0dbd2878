// Fuzz target of the host's document files: arbitrary bytes are loaded as a document file text.
// A document that loads is saved, the saved text loaded again and saved again: both saved texts
// must be the same, byte for byte, and the saved text must load. A difference aborts with both
// texts on standard error.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "c4d.h"
#include "host_control.h"
#include "host_document_file.h"

namespace {

// The document's saved text, or aborts when `doc` was not loaded from `what`.
std::string Saved(BaseDocument* doc, const char* what, const std::string& error) {
  if (!doc) {
    std::fprintf(stderr, "the %s does not load: %s\n", what, error.c_str());
    std::abort();
  }
  std::string saveError;
  std::string text = host::SaveDocumentText(doc, &saveError);
  BaseDocument::Free(doc);
  if (text.empty() && saveError.empty()) {
    std::fprintf(stderr, "the %s saves as nothing, and no error says why\n", what);
    std::abort();
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  host::ResetAll();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::string error;
  BaseDocument* doc = host::LoadDocumentText(input, "fuzz.json", &error);
  if (doc) {
    const std::string first = Saved(doc, "input", "");
    if (!first.empty()) {
      const std::string second =
          Saved(host::LoadDocumentText(first, "saved.json", &error), "saved text", error);
      if (second != first) {
        std::fprintf(stderr, "the saved text changes when loaded and saved again:\n%s\n---\n%s\n",
                     first.c_str(), second.c_str());
        std::abort();
      }
    }
  } else if (error.empty() || error.find('\n') != std::string::npos) {
    std::fprintf(stderr, "a refused document needs one line of error, not \"%s\"\n", error.c_str());
    std::abort();
  }
  host::ClearConsole();
  return 0;
}
