#include "orvane_utils/OrvanePhongMaterial.h"

#include "orvane_utils/OrvaneConstantWavelengthIndependentParam.h"
#include "orvane_utils/OrvaneXMLWriteUtils.h"

namespace Orvane {

OrvanePhongMaterial::OrvanePhongMaterial()
    : exponent(new OrvaneConstantWavelengthIndependentParam(5000.0)),
      layer(0),
      fresnel_scale(1.0),
      ior(1.4) {}

OrvanePhongMaterial::~OrvanePhongMaterial() = default;

std::string OrvanePhongMaterial::XMLType() const { return "phong"; }

void OrvanePhongMaterial::writeXML(std::ostream& os, unsigned int depth) const {
  using namespace XMLWriteUtils;
  writeObjectElement(os, depth + 1, "diffuse_albedo", diffuse_albedo);
  writeObjectElement(os, depth + 1, "specular_reflectivity", specular_reflectivity);
  writeObjectElement(os, depth + 1, "exponent", exponent);
  writeObjectElement(os, depth + 1, "bump", bump);
  writeObjectElement(os, depth + 1, "displacement", displacement);
  writeObjectElement(os, depth + 1, "base_emission", base_emission);
  writeObjectElement(os, depth + 1, "emission", emission);
  writeNumberElement(os, depth + 1, "layer", layer);
  writeNumberElement(os, depth + 1, "fresnel_scale", fresnel_scale);
  writeNumberElement(os, depth + 1, "ior", ior);
  writeTextElement(os, depth + 1, "nk_data", nk_data);
}

}  // namespace Orvane
