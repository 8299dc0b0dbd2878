// The light-layer drop-down of light tags and emitting materials.
#pragma once

#include "c4d.h"

namespace Helpers {

/// Number of light layers a light tag or material can use.
constexpr int kLightLayerCount = 10;

/// Describes the parameter `paramId` of a node whose description was just loaded as a drop-down
/// of the ten light layers, "Layer 1" to "Layer 10", each followed by ": " and the user's name for
/// it when the document has render settings. A stored value outside the ten layers becomes 0 in
/// `data`. False when the description, the data or the document is null, or the host refuses the
/// new description; true otherwise, also when the description has no such parameter (then
/// nothing changes).
bool AddLightLayerContainer(Description* description, BaseContainer* data, int paramId, BaseDocument* doc);

}  // namespace Helpers
