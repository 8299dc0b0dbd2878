#include "orvane_utils/OrvaneWavelengthDependentParam.h"

namespace Orvane {

OrvaneWavelengthDependentParam::OrvaneWavelengthDependentParam() = default;

OrvaneWavelengthDependentParam::~OrvaneWavelengthDependentParam() = default;

void OrvaneWavelengthDependentParam::writeXML(std::ostream& /*os*/, unsigned int /*depth*/) const {}

}  // namespace Orvane
