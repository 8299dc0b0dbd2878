// The "Pause Rendering" command.
#pragma once

#include "c4d.h"

class OrvaneDLLWrapper;

/// Pauses the in-host render.
class PauseCommand : public CommandData {};

/// Keeps the connection object for the command and registers it hidden from the plug-in menu.
Bool RegisterPauseCommand(OrvaneDLLWrapper* connection);
