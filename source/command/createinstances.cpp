#include "command/createinstances.h"

Bool RegisterCreateInstances() {
  String name = GeLoadString(10011);
  if (!name.Content()) return true;
  return RegisterCommandPlugin(1023984, name, 0, AutoBitmap("instance.tif"), "Creates Instances", new CreateInstances);
}
