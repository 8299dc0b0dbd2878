#include "orvane_utils/OrvaneSubsurfaceScattering.h"

#include "orvane_utils/OrvaneXMLWriteUtils.h"

namespace Orvane {

OrvaneSubsurfaceScattering::OrvaneSubsurfaceScattering(
    const Reference<OrvaneSpectrum>& scattering_coefficient_spectrum_,
    const Reference<OrvanePhaseFunction>& phase_function_)
    : scattering_coefficient_spectrum(scattering_coefficient_spectrum_), phase_function(phase_function_) {}

OrvaneSubsurfaceScattering::~OrvaneSubsurfaceScattering() = default;

void OrvaneSubsurfaceScattering::writeXML(std::ostream& os, unsigned int depth) const {
  XMLWriteUtils::writeObjectElement(os, depth + 1, "scattering_coefficient_spectrum",
                                    scattering_coefficient_spectrum);
  XMLWriteUtils::writeObjectElement(os, depth + 1, "phase_function", phase_function);
}

}  // namespace Orvane
