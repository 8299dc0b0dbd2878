#include "orvane_utils/OrvaneNullMaterial.h"

namespace Orvane {

OrvaneNullMaterial::OrvaneNullMaterial() = default;

OrvaneNullMaterial::~OrvaneNullMaterial() = default;

std::string OrvaneNullMaterial::XMLType() const { return "null_material"; }

void OrvaneNullMaterial::writeXML(std::ostream& /*os*/, unsigned int /*depth*/) const {}

}  // namespace Orvane
