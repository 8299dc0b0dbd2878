#include "orvane_utils/OrvaneDiffuseTransmitter.h"

#include "orvane_utils/OrvaneXMLWriteUtils.h"

namespace Orvane {

OrvaneDiffuseTransmitter::OrvaneDiffuseTransmitter() : albedo(makeDefaultRGBAlbedo()), layer(0) {}

OrvaneDiffuseTransmitter::~OrvaneDiffuseTransmitter() = default;

std::string OrvaneDiffuseTransmitter::XMLType() const { return "diffuse_transmitter"; }

void OrvaneDiffuseTransmitter::writeXML(std::ostream& os, unsigned int depth) const {
  using namespace XMLWriteUtils;
  writeObjectElement(os, depth + 1, "albedo", albedo);
  writeObjectElement(os, depth + 1, "bump", bump);
  writeObjectElement(os, depth + 1, "displacement", displacement);
  writeObjectElement(os, depth + 1, "base_emission", base_emission);
  writeObjectElement(os, depth + 1, "emission", emission);
  writeNumberElement(os, depth + 1, "layer", layer);
}

}  // namespace Orvane
