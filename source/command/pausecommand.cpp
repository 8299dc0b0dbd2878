#include "command/pausecommand.h"

#include <new>

#include "object/orvanedllwrapper.h"

namespace {
OrvaneDLLWrapper* orvaneClass = nullptr;
}

Bool PauseCommand::Execute(BaseDocument* /*doc*/) {
  if (!orvaneClass) {
    GePrint("No renderer is attached: nothing to pause.");
    return false;
  }
  // A counted copy: the render thread may let go of the context while it is paused here.
  OrvaneHandle<OrvaneInterface> renderer = orvaneClass->GetRenderer();
  if (!renderer) return true;
  renderer->Pause();
  orvaneClass->SetPaused(renderer, true);
  return true;
}

LONG PauseCommand::GetState(BaseDocument* /*doc*/) {
  if (!orvaneClass || !orvaneClass->HasRenderer() || orvaneClass->IsPaused()) return 0;
  return CMD_ENABLED;
}

Bool RegisterPauseCommand(OrvaneDLLWrapper* connection) {
  orvaneClass = connection;
  return RegisterCommandPlugin(1023695, "Pause Rendering", PLUGINFLAG_HIDEPLUGINMENU, AutoBitmap("pause.tif"),
                               "Orvane Pause Rendering", new (std::nothrow) PauseCommand);
}
