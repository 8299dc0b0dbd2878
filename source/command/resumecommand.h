// The "Resume Rendering" command.
#pragma once

#include "c4d.h"

class OrvaneDLLWrapper;

/// Resumes a paused in-host render.
class ResumeCommand : public CommandData {
 public:
  /// Resumes the running render context, if any; always TRUE.
  Bool Execute(BaseDocument* doc) override;
  /// Enabled while a render context runs and is paused.
  LONG GetState(BaseDocument* doc) override;
};

/// Keeps the connection object for the command and registers it hidden from the plug-in menu.
Bool RegisterResumeCommand(OrvaneDLLWrapper* connection);
