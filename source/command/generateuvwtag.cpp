#include "command/generateuvwtag.h"

Bool RegisterGenerateUVWTag() {
  String name = GeLoadString(10023);
  if (!name.Content()) return true;
  return RegisterCommandPlugin(1024339, name, 0, AutoBitmap("About.tif"), "Bake UVW Tag of Orvane Material", new GenerateUVWTag);
}
