#include "orvane_utils/OrvaneGlossyTransparent.h"

#include "orvane_utils/OrvaneConstantWavelengthIndependentParam.h"
#include "orvane_utils/OrvaneXMLWriteUtils.h"

namespace Orvane {

OrvaneGlossyTransparent::OrvaneGlossyTransparent()
    : exponent(new OrvaneConstantWavelengthIndependentParam(5000.0)), layer(0) {}

OrvaneGlossyTransparent::~OrvaneGlossyTransparent() = default;

std::string OrvaneGlossyTransparent::XMLType() const { return "glossy_transparent"; }

void OrvaneGlossyTransparent::writeXML(std::ostream& os, unsigned int depth) const {
  using namespace XMLWriteUtils;
  writeObjectElement(os, depth + 1, "exponent", exponent);
  writeTextElement(os, depth + 1, "internal_medium_name", internal_medium_name);
  writeObjectElement(os, depth + 1, "absorption_layer_transmittance", absorption_layer_transmittance);
  writeObjectElement(os, depth + 1, "bump", bump);
  writeObjectElement(os, depth + 1, "displacement", displacement);
  writeObjectElement(os, depth + 1, "base_emission", base_emission);
  writeObjectElement(os, depth + 1, "emission", emission);
  writeNumberElement(os, depth + 1, "layer", layer);
}

}  // namespace Orvane
