#include "orvane_utils/OrvaneSpecularMaterial.h"

#include "orvane_utils/OrvaneXMLWriteUtils.h"

namespace Orvane {

OrvaneSpecularMaterial::OrvaneSpecularMaterial() : transparent(true), layer(0), arch_glass(false) {}

OrvaneSpecularMaterial::~OrvaneSpecularMaterial() = default;

std::string OrvaneSpecularMaterial::XMLType() const { return "specular"; }

void OrvaneSpecularMaterial::writeXML(std::ostream& os, unsigned int depth) const {
  using namespace XMLWriteUtils;
  writeTextElement(os, depth + 1, "internal_medium_name", internal_medium_name);
  writeBoolElement(os, depth + 1, "transparent", transparent);
  writeObjectElement(os, depth + 1, "absorption_layer_transmittance", absorption_layer_transmittance);
  writeObjectElement(os, depth + 1, "bump", bump);
  writeObjectElement(os, depth + 1, "displacement", displacement);
  writeObjectElement(os, depth + 1, "base_emission", base_emission);
  writeObjectElement(os, depth + 1, "emission", emission);
  writeNumberElement(os, depth + 1, "layer", layer);
  // arch_glass and the three tabulated coefficients are not written.
}

}  // namespace Orvane
