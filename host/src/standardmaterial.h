// The host's standard material inside the stand-in.
#pragma once

class BaseMaterial;

namespace host {

/// A new standard material holding every default of its parameters.
BaseMaterial* AllocStandardMaterial();

}  // namespace host
