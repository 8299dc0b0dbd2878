// The "Creates Instances" command.
#pragma once

#include "c4d.h"

/// Creates an instance object for each selected object.
class CreateInstances : public CommandData {};

/// Registers the command under the name of string resource 10011; true without registering
/// when that name is empty.
Bool RegisterCreateInstances();
