#include "orvane_utils/OrvaneDisplacementParam.h"

namespace Orvane {

OrvaneDisplacementParam::OrvaneDisplacementParam() = default;

OrvaneDisplacementParam::~OrvaneDisplacementParam() = default;

void OrvaneDisplacementParam::writeXML(std::ostream& /*os*/, unsigned int /*depth*/) const {}

}  // namespace Orvane
