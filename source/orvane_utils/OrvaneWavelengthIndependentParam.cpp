#include "orvane_utils/OrvaneWavelengthIndependentParam.h"

namespace Orvane {

OrvaneWavelengthIndependentParam::OrvaneWavelengthIndependentParam() = default;

OrvaneWavelengthIndependentParam::~OrvaneWavelengthIndependentParam() = default;

void OrvaneWavelengthIndependentParam::writeXML(std::ostream& /*os*/, unsigned int /*depth*/) const {}

}  // namespace Orvane
