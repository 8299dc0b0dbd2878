#include "gui/corvanepreview.h"

#include <cstring>

namespace {
BaseCustomGuiLib library;
}

Bool RegisterPreviewGUI() {
  library = BaseCustomGuiLib();
  FillBaseCustomGui(library);
  if (!InstallLibrary(1024403, &library, 1000, sizeof(library))) return false;
  return RegisterCustomGuiPlugin("My String GUI", 0x20000001, new CorvanePreview);
}
