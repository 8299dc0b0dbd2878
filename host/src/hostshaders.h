// The host's own shaders: bitmap, colour and gradient.
#pragma once

#include "c4d_nodedata.h"

namespace host {

/// True for the shader types the host itself implements.
bool IsHostShaderType(LONG type);
/// The sampling data of a host shader type (owned by the caller), or null for another type.
NodeData* NewHostShaderData(LONG type);

}  // namespace host
