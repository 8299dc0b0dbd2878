// The "About" command.
#pragma once

#include "c4d.h"

/// Shows the About box.
class ShowAbout : public CommandData {};

/// Registers the command under the name of string resource 10005; true without registering
/// when that name is empty.
Bool RegisterMyAbout();
