// The "Bake Material on Object" command.
#pragma once

#include "c4d.h"

/// Bakes the channels of a material on the selected object to image files.
class BakeMaterialOnObject : public CommandData {};

/// Registers the command under the name of string resource 10022; true without registering
/// when that name is empty.
Bool RegisterBakeMaterialOnObject();
