#include "orvane_utils/OrvaneRotation.h"

namespace Orvane {

OrvaneRotation::OrvaneRotation() = default;

OrvaneRotation::~OrvaneRotation() = default;

}  // namespace Orvane
