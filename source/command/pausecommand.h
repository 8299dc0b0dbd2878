// The "Pause Rendering" command.
#pragma once

#include "c4d.h"

class OrvaneDLLWrapper;

/// Pauses the running in-host render.
class PauseCommand : public CommandData {
 public:
  /// Pauses the running render context, if any; always TRUE.
  Bool Execute(BaseDocument* doc) override;
  /// Enabled while a render context runs and is not paused.
  LONG GetState(BaseDocument* doc) override;
};

/// Keeps the connection object for the command and registers it hidden from the plug-in menu.
Bool RegisterPauseCommand(OrvaneDLLWrapper* connection);
