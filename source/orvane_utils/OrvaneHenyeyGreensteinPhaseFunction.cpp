#include "orvane_utils/OrvaneHenyeyGreensteinPhaseFunction.h"

#include "orvane_utils/OrvaneXMLWriteUtils.h"

namespace Orvane {

OrvaneHenyeyGreensteinPhaseFunction::OrvaneHenyeyGreensteinPhaseFunction(
    const Reference<OrvaneSpectrum>& g_spectrum_)
    : g_spectrum(g_spectrum_) {}

OrvaneHenyeyGreensteinPhaseFunction::~OrvaneHenyeyGreensteinPhaseFunction() = default;

void OrvaneHenyeyGreensteinPhaseFunction::writeXML(std::ostream& os, unsigned int depth) const {
  XMLWriteUtils::writeOpenTag(os, depth, "henyey_greenstein");
  XMLWriteUtils::writeObjectElement(os, depth + 1, "g_spectrum", g_spectrum);
  XMLWriteUtils::writeCloseTag(os, depth, "henyey_greenstein");
}

}  // namespace Orvane
