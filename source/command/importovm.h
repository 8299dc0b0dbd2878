// The "Import .ovm" command.
#pragma once

#include "c4d.h"

/// Imports the materials of a material file.
class ImportOVM : public CommandData {};

/// Registers the command under the name of string resource 10014; true without registering
/// when that name is empty.
Bool RegisterImportOVM();
