#include "orvane_utils/OrvaneUniformSpectrum.h"

#include "orvane_utils/OrvaneXMLWriteUtils.h"

namespace Orvane {

OrvaneUniformSpectrum::OrvaneUniformSpectrum(double value_) : value(value_) {}

OrvaneUniformSpectrum::~OrvaneUniformSpectrum() = default;

int OrvaneUniformSpectrum::GetType() const { return TYPE; }

void OrvaneUniformSpectrum::writeXML(std::ostream& os, unsigned int depth) const {
  XMLWriteUtils::writeOpenTag(os, depth, "uniform");
  XMLWriteUtils::writeNumberElement(os, depth + 1, "value", value);
  XMLWriteUtils::writeCloseTag(os, depth, "uniform");
}

}  // namespace Orvane
