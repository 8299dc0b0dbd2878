// The "Bake UVW Tag of Orvane Material" command.
#pragma once

#include "c4d.h"

/// Writes the texture coordinates of an Orvane material's projection into a UVW tag.
class GenerateUVWTag : public CommandData {};

/// Registers the command under the name of string resource 10023; true without registering
/// when that name is empty.
Bool RegisterGenerateUVWTag();
