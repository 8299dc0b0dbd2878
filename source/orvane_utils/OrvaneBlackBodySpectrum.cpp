#include "orvane_utils/OrvaneBlackBodySpectrum.h"

#include "orvane_utils/OrvaneXMLWriteUtils.h"

namespace Orvane {

OrvaneBlackBodySpectrum::OrvaneBlackBodySpectrum(double temperature_, double gain_)
    : temperature(temperature_), gain(gain_) {}

OrvaneBlackBodySpectrum::~OrvaneBlackBodySpectrum() = default;

int OrvaneBlackBodySpectrum::GetType() const { return TYPE; }

void OrvaneBlackBodySpectrum::writeXML(std::ostream& os, unsigned int depth) const {
  XMLWriteUtils::writeOpenTag(os, depth, "blackbody");
  XMLWriteUtils::writeNumberElement(os, depth + 1, "temperature", temperature);
  XMLWriteUtils::writeNumberElement(os, depth + 1, "gain", gain);
  XMLWriteUtils::writeCloseTag(os, depth, "blackbody");
}

}  // namespace Orvane
