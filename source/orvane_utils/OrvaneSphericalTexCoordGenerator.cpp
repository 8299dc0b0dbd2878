#include "orvane_utils/OrvaneSphericalTexCoordGenerator.h"

#include "orvane_utils/OrvaneXMLWriteUtils.h"

namespace Orvane {

OrvaneSphericalTexCoordGenerator::OrvaneSphericalTexCoordGenerator(const Reference<OrvaneRotation>& rotation_)
    : rotation(rotation_) {}

OrvaneSphericalTexCoordGenerator::~OrvaneSphericalTexCoordGenerator() = default;

void OrvaneSphericalTexCoordGenerator::writeXML(std::ostream& os, unsigned int depth) const {
  XMLWriteUtils::writeOpenTag(os, depth, "spherical");
  XMLWriteUtils::writeObjectElement(os, depth + 1, "world_to_texture_matrix", rotation);
  XMLWriteUtils::writeCloseTag(os, depth, "spherical");
}

}  // namespace Orvane
