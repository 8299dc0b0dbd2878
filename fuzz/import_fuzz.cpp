// Fuzz target of the material import: arbitrary bytes are read as a material file (as the import reads one)
// and imported into an empty document of the host stand-in, with the plug-in material and the code shader
// registered, as the import command does once a file is chosen. Dialogs are answered by nobody and the
// console is emptied after every input.
#include <tinyxml.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "c4d.h"
#include "command/importovm.h"
#include "host_control.h"
#include "host_user.h"
#include "material/customorvanematerial.h"
#include "orvane_utils/OrvaneXMLLoader.h"
#include "shader/ovlshader.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  host::ResetAll();
  host::SetStartupWritePath("/tmp");
  host::OverrideString(10025, "Orvane Material");
  host::OverrideString(10019, "OVL");
  if (!RegisterCustomOrvaneMaterial() || !RegisterOVL()) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  // Read as the import reads its files: the bytes prepared and measured before TinyXML sees them.
  TiXmlDocument xml;
  std::string error;
  Orvane::OrvaneXMLLoader::parse(text, xml, error);
  BaseDocument* doc = BaseDocument::Alloc();
  {
    ImportOVM import;
    import.ImportXml(doc, xml, Filename("/nonexistent/fuzz.ovm"));
    import.ShowWarnings();
  }
  BaseDocument::Free(doc);
  host::user::Reset();
  host::ClearConsole();
  return 0;
}
