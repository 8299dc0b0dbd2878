#include "orvane_utils/OrvaneOrenNayarMaterial.h"

#include "orvane_utils/OrvaneConstantWavelengthIndependentParam.h"
#include "orvane_utils/OrvaneXMLWriteUtils.h"

namespace Orvane {

OrvaneOrenNayarMaterial::OrvaneOrenNayarMaterial()
    : albedo(makeDefaultRGBAlbedo()), sigma(new OrvaneConstantWavelengthIndependentParam(0.0)), layer(0) {}

OrvaneOrenNayarMaterial::~OrvaneOrenNayarMaterial() = default;

std::string OrvaneOrenNayarMaterial::XMLType() const { return "oren_nayar"; }

void OrvaneOrenNayarMaterial::writeXML(std::ostream& os, unsigned int depth) const {
  using namespace XMLWriteUtils;
  writeObjectElement(os, depth + 1, "albedo", albedo);
  writeObjectElement(os, depth + 1, "sigma", sigma);
  writeObjectElement(os, depth + 1, "bump", bump);
  writeObjectElement(os, depth + 1, "displacement", displacement);
  writeObjectElement(os, depth + 1, "base_emission", base_emission);
  writeObjectElement(os, depth + 1, "emission", emission);
  writeNumberElement(os, depth + 1, "layer", layer);
}

}  // namespace Orvane
