#include "command/convertmats.h"

Bool RegisterConvertMats() {
  String name = GeLoadString(10010);
  if (!name.Content()) return true;
  return RegisterCommandPlugin(1021852, name, 0, AutoBitmap("ConvertMats.tif"), "Convert Materials", new ConvertMats);
}
