#include "orvane_utils/OrvaneDiffuse.h"

#include "orvane_utils/OrvaneXMLWriteUtils.h"

namespace Orvane {

OrvaneDiffuse::OrvaneDiffuse() : random_triangle_colours(false), layer(0) {}

OrvaneDiffuse::~OrvaneDiffuse() = default;

std::string OrvaneDiffuse::XMLType() const { return "diffuse"; }

void OrvaneDiffuse::writeXML(std::ostream& os, unsigned int depth) const {
  using namespace XMLWriteUtils;
  writeObjectElement(os, depth + 1, "albedo", albedo);
  writeObjectElement(os, depth + 1, "bump", bump);
  writeObjectElement(os, depth + 1, "displacement", displacement);
  writeObjectElement(os, depth + 1, "base_emission", base_emission);
  writeObjectElement(os, depth + 1, "emission", emission);
  writeBoolElement(os, depth + 1, "random_triangle_colours", random_triangle_colours);
  writeNumberElement(os, depth + 1, "layer", layer);
}

}  // namespace Orvane
