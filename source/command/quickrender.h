// The render command: writes the document as a scene and starts the renderer on it.
#pragma once

#include "c4d.h"

class InstanceSuppresser;

/// The "Render with Orvane" command.
class QuickRender : public CommandData {
 public:
  /// Opens the modal export dialog on `doc`; returns once the export has ended and the dialog has
  /// closed. True when the export ended with the renderer started; false when the dialog could not
  /// be opened or the export failed (a console line says why).
  Bool Execute(BaseDocument* doc) override;
};

/// Keeps the shared suppresser for the export and registers the command under the name of
/// string resource 10020; true without registering when that name is empty.
Bool RegisterQuickRender(InstanceSuppresser* suppresser);

/// The suppresser handed to `RegisterQuickRender` (null before).
InstanceSuppresser* QuickRenderSuppresser();
