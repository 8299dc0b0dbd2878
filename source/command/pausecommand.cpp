#include "command/pausecommand.h"

#include <new>

namespace {
OrvaneDLLWrapper* orvaneClass = nullptr;
}

Bool RegisterPauseCommand(OrvaneDLLWrapper* connection) {
  orvaneClass = connection;
  return RegisterCommandPlugin(1023695, "Pause Rendering", PLUGINFLAG_HIDEPLUGINMENU, AutoBitmap("pause.tif"),
                               "Orvane Pause Rendering", new (std::nothrow) PauseCommand);
}
