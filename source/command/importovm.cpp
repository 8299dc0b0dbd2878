#include "command/importovm.h"

Bool RegisterImportOVM() {
  String name = GeLoadString(10014);
  if (!name.Content()) return true;
  return RegisterCommandPlugin(1022469, name, 0, AutoBitmap("Export.tif"), "Import .ovm", new ImportOVM);
}
