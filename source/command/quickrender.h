// The render command: writes the document as a scene and starts the renderer on it.
#pragma once

#include "c4d.h"

class InstanceSuppresser;

/// The "Render with Orvane" command.
class QuickRender : public CommandData {};

/// Keeps the shared suppresser for the export and registers the command under the name of
/// string resource 10020; true without registering when that name is empty.
Bool RegisterQuickRender(InstanceSuppresser* suppresser);
