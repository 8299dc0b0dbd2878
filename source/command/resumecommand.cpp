#include "command/resumecommand.h"

#include <new>

#include "object/orvanedllwrapper.h"

namespace {
OrvaneDLLWrapper* orvaneClass = nullptr;
}

Bool ResumeCommand::Execute(BaseDocument* /*doc*/) {
  if (!orvaneClass) {
    GePrint("No renderer is attached: nothing to resume.");
    return false;
  }
  // A counted copy: the render thread may let go of the context while it is resumed here.
  OrvaneHandle<OrvaneInterface> renderer = orvaneClass->GetRenderer();
  if (!renderer) return true;
  renderer->Resume();
  orvaneClass->SetPaused(renderer, false);
  return true;
}

LONG ResumeCommand::GetState(BaseDocument* /*doc*/) {
  if (!orvaneClass || !orvaneClass->HasRenderer() || !orvaneClass->IsPaused()) return 0;
  return CMD_ENABLED;
}

Bool RegisterResumeCommand(OrvaneDLLWrapper* connection) {
  orvaneClass = connection;
  return RegisterCommandPlugin(1023696, "Resume Rendering", PLUGINFLAG_HIDEPLUGINMENU,
                               AutoBitmap("resume.tif"), "Orvane Resume Rendering",
                               new (std::nothrow) ResumeCommand);
}
