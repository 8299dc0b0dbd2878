#include "orvane_utils/OrvanePhaseFunction.h"

namespace Orvane {

OrvanePhaseFunction::OrvanePhaseFunction() = default;

OrvanePhaseFunction::~OrvanePhaseFunction() = default;

}  // namespace Orvane
