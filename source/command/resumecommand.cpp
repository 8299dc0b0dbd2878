#include "command/resumecommand.h"

#include <new>

namespace {
OrvaneDLLWrapper* orvaneClass = nullptr;
}

Bool RegisterResumeCommand(OrvaneDLLWrapper* connection) {
  orvaneClass = connection;
  return RegisterCommandPlugin(1023696, "Resume Rendering", PLUGINFLAG_HIDEPLUGINMENU, AutoBitmap("resume.tif"),
                               "Orvane Resume Rendering", new (std::nothrow) ResumeCommand);
}
