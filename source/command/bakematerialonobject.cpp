#include "command/bakematerialonobject.h"

Bool RegisterBakeMaterialOnObject() {
  String name = GeLoadString(10022);
  if (!name.Content()) return true;
  return RegisterCommandPlugin(1024338, name, 0, AutoBitmap("About.tif"), "Bake Material on Object", new BakeMaterialOnObject);
}
