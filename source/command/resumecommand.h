// The "Resume Rendering" command.
#pragma once

#include "c4d.h"

class OrvaneDLLWrapper;

/// Resumes a paused in-host render.
class ResumeCommand : public CommandData {};

/// Keeps the connection object for the command and registers it hidden from the plug-in menu.
Bool RegisterResumeCommand(OrvaneDLLWrapper* connection);
