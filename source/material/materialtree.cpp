#include "material/materialtree.h"

#include <cstring>

namespace {
BaseCustomGuiLib library;
}

Bool RegisterTreeGUI() {
  library = BaseCustomGuiLib();
  FillBaseCustomGui(library);
  if (!InstallLibrary(1000002, &library, 1000, sizeof(library))) return false;
  return RegisterCustomGuiPlugin("My String GUI", 0, new MaterialTree);
}
