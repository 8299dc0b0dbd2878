#include "object/orvaneinstance.h"

#include "main/instancesuppresser.h"

namespace {
InstanceSuppresser* instSuppress = nullptr;
}

Bool RegisterOrvaneInstance(InstanceSuppresser* suppresser) {
  String name = GeLoadString(10011);
  if (!name.Content()) return true;
  instSuppress = suppresser;
  return RegisterObjectPlugin(1022273, name, PLUGINFLAG_HIDEPLUGINMENU | OBJECT_GENERATOR,
                              OrvaneInstance::Alloc, "Oorvaneinstance", AutoBitmap("instance.tif"), 0);
}
