#include "orvane_utils/OrvaneBasicMedium.h"

#include "orvane_utils/OrvaneXMLWriteUtils.h"

namespace Orvane {

OrvaneBasicMedium::OrvaneBasicMedium(const std::string& name_, int32_t precedence_, double ior_,
                                     double cauchy_b_coeff_,
                                     const Reference<OrvaneSpectrum>& absorption_coefficient_spectrum_,
                                     const Reference<OrvaneSubsurfaceScattering>& subsurface_scattering_)
    : OrvaneMedium(name_, precedence_),
      ior(ior_),
      cauchy_b_coeff(cauchy_b_coeff_),
      absorption_coefficient_spectrum(absorption_coefficient_spectrum_),
      subsurface_scattering(subsurface_scattering_) {}

OrvaneBasicMedium::~OrvaneBasicMedium() = default;

void OrvaneBasicMedium::writeXML(std::ostream& os, unsigned int depth) const {
  XMLWriteUtils::writeOpenTag(os, depth, "basic");
  XMLWriteUtils::writeNumberElement(os, depth + 1, "ior", ior);
  XMLWriteUtils::writeNumberElement(os, depth + 1, "cauchy_b_coeff", cauchy_b_coeff);
  XMLWriteUtils::writeObjectElement(os, depth + 1, "absorption_coefficient_spectrum",
                                    absorption_coefficient_spectrum);
  XMLWriteUtils::writeObjectElement(os, depth + 1, "subsurface_scattering", subsurface_scattering);
  XMLWriteUtils::writeCloseTag(os, depth, "basic");
}

}  // namespace Orvane
