// The runner's "check-material" command: validates a material file (".ovm")
// with the scene-format library's material readers, as the import reads it.
#pragma once

#include <ostream>
#include <string>

/// Loads the material file at `path` and parses every "material" of its
/// "scenedata" root with the material readers, choosing each one's reader
/// from its type element as the material import does. Prints one line per
/// material to `out` (its name and type, or the reader's message) and a
/// summary. Returns 0 when every material parsed, 1 otherwise, and 2 when the
/// file cannot be read.
int CheckMaterialFile(const std::string& path, std::ostream& out);
