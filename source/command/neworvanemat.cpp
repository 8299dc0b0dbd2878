#include "command/neworvanemat.h"

Bool RegisterNewOrvaneMat() {
  String name = GeLoadString(10024);
  if (!name.Content()) return true;
  return RegisterCommandPlugin(1024454, name, 0x10000000, AutoBitmap("materialhelper.tif"), "New Orvane Material", new NewOrvaneMat);
}
