#include "orvane_utils/OrvaneSphericalEnvTexCoordGenerator.h"

#include "orvane_utils/OrvaneXMLWriteUtils.h"

namespace Orvane {

OrvaneSphericalEnvTexCoordGenerator::OrvaneSphericalEnvTexCoordGenerator(
    const Reference<OrvaneRotation>& rotation_)
    : rotation(rotation_) {}

OrvaneSphericalEnvTexCoordGenerator::~OrvaneSphericalEnvTexCoordGenerator() = default;

void OrvaneSphericalEnvTexCoordGenerator::writeXML(std::ostream& os, unsigned int depth) const {
  XMLWriteUtils::writeOpenTag(os, depth, "spherical_environment");
  XMLWriteUtils::writeObjectElement(os, depth + 1, "world_to_texture_matrix", rotation);
  XMLWriteUtils::writeCloseTag(os, depth, "spherical_environment");
}

}  // namespace Orvane
