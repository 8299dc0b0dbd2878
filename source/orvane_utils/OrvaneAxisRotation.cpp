#include "orvane_utils/OrvaneAxisRotation.h"

#include "orvane_utils/OrvaneXMLWriteUtils.h"

namespace Orvane {

OrvaneAxisRotation::OrvaneAxisRotation(const Reference<Vec3>& axis_, double angle_)
    : axis(axis_), angle(angle_) {}

OrvaneAxisRotation::~OrvaneAxisRotation() = default;

void OrvaneAxisRotation::writeXML(std::ostream& os, unsigned int depth) const {
  XMLWriteUtils::writeObjectElement(os, depth + 1, "axis", axis);
  XMLWriteUtils::writeNumberElement(os, depth + 1, "angle", angle);
}

}  // namespace Orvane
