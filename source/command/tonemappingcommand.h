// The "Orvane Tonemapping" command.
#pragma once

#include "c4d.h"

class OrvaneDLLWrapper;

/// Opens the interactive tonemapping dialog of the in-host render.
class TMCommand : public CommandData {};

/// Keeps the connection object for the command and registers it hidden from the plug-in menu.
Bool RegisterTMCommand(OrvaneDLLWrapper* connection);
