// The runner's "check-material" command: validates a material file (".ovm",
// or the ".ovm" inside a ".povm" archive) with the scene-format library's
// material readers, as the import reads it.
#pragma once

#include <ostream>
#include <string>

/// Loads the material file at `path` and parses every "material" of its
/// "scenedata" root with the material readers, choosing each one's reader
/// from its type element as the material import does. Prints one line per
/// material to `out` (its name and type, or the reader's message) and a
/// summary, every line with its control characters escaped. A ".povm" archive is unpacked as the import
/// unpacks it, into a scratch folder that is removed again, and its first ".ovm" is checked. Returns 0 when
/// every material parsed, 1 otherwise (an archive without
/// ".ovm" too), and 2 when the file cannot be read or the archive unpacked.
int CheckMaterialFile(const std::string& path, std::ostream& out);
