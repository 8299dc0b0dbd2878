#include "command/tonemappingcommand.h"

#include <new>

namespace {
OrvaneDLLWrapper* orvaneClass = nullptr;
}

Bool RegisterTMCommand(OrvaneDLLWrapper* connection) {
  orvaneClass = connection;
  return RegisterCommandPlugin(1023599, "Orvane Tonemapping", PLUGINFLAG_HIDEPLUGINMENU, AutoBitmap("tonemapping.tif"),
                               "Orvane Interactive Tonemapping Dialog", new (std::nothrow) TMCommand);
}
