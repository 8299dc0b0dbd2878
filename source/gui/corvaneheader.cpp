#include "gui/corvaneheader.h"

#include <cstring>

namespace {
BaseCustomGuiLib library;
}

Bool RegisterHeaderGUI() {
  library = BaseCustomGuiLib();
  FillBaseCustomGui(library);
  if (!InstallLibrary(1024271, &library, 1000, sizeof(library))) return false;
  return RegisterCustomGuiPlugin("My String GUI", 0, new CorvaneHeader);
}
