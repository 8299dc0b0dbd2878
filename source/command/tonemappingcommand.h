// The "Orvane Tonemapping" command.
#pragma once

#include "c4d.h"
#include "command/tmdialog.h"

class OrvaneDLLWrapper;

/// Opens the interactive tonemapping dialog of the in-host render.
class TMCommand : public CommandData {
 public:
  /// Opens the dialog modally on the connection's settings; without a connection, does nothing.
  Bool Execute(BaseDocument* doc) override;
  /// Always enabled.
  LONG GetState(BaseDocument* doc) override;
  /// Hands the host's layout data on to the dialog.
  Bool RestoreLayout(void* secret) override;

 private:
  TMDialog dialog_;
};

/// Keeps the connection object for the command and registers it hidden from the plug-in menu.
Bool RegisterTMCommand(OrvaneDLLWrapper* connection);
