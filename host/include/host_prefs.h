// The host's preferences, set by the host's side (the runner, a test).
// Nothing here is part of the plug-in interface.
#pragma once

#include "c4d_gedata.h"

namespace host {

/// Replaces the world preferences that `GetWorldContainer` answers.
void SetWorldContainer(const BaseContainer& bc);
/// Puts the world preferences back to the host's defaults (units: centimetres).
void ResetWorldContainer();

}  // namespace host
