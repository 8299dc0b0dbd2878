#include "orvane_utils/OrvaneConstantWavelengthDependentParam.h"

#include "orvane_utils/OrvaneXMLWriteUtils.h"

namespace Orvane {

OrvaneConstantWavelengthDependentParam::OrvaneConstantWavelengthDependentParam(
    const Reference<OrvaneSpectrum>& spectrum_)
    : spectrum(spectrum_) {}

OrvaneConstantWavelengthDependentParam::~OrvaneConstantWavelengthDependentParam() = default;

int OrvaneConstantWavelengthDependentParam::GetType() const { return TYPE; }

void OrvaneConstantWavelengthDependentParam::writeXML(std::ostream& os, unsigned int depth) const {
  XMLWriteUtils::writeOpenTag(os, depth, "constant");
  if (spectrum.getPointer()) spectrum->writeXML(os, depth + 1);
  XMLWriteUtils::writeCloseTag(os, depth, "constant");
}

}  // namespace Orvane
