// The "Convert Materials" command.
#pragma once

#include "c4d.h"

/// Converts the document's host materials into Orvane materials.
class ConvertMats : public CommandData {};

/// Registers the command under the name of string resource 10010; true without registering
/// when that name is empty.
Bool RegisterConvertMats();
