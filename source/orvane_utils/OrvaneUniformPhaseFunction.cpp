#include "orvane_utils/OrvaneUniformPhaseFunction.h"

#include "orvane_utils/OrvaneXMLWriteUtils.h"

namespace Orvane {

OrvaneUniformPhaseFunction::OrvaneUniformPhaseFunction() = default;

OrvaneUniformPhaseFunction::~OrvaneUniformPhaseFunction() = default;

void OrvaneUniformPhaseFunction::writeXML(std::ostream& os, unsigned int depth) const {
  XMLWriteUtils::writeOpenTag(os, depth, "uniform");
  XMLWriteUtils::writeCloseTag(os, depth, "uniform");
}

}  // namespace Orvane
