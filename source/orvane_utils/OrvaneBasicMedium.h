// OrvaneBasicMedium: a general medium with an index of refraction, a Cauchy
// coefficient, an absorption spectrum and optional subsurface scattering;
// element "basic".
#pragma once

#include "orvane_utils/OrvaneMedium.h"
#include "orvane_utils/OrvaneSpectrum.h"
#include "orvane_utils/OrvaneSubsurfaceScattering.h"
#include "utils/reference.h"

namespace Orvane {

class OrvaneBasicMedium : public OrvaneMedium {
 public:
  // An object held by nobody (count 0), with the given field values.
  OrvaneBasicMedium(const std::string& name, int32_t precedence, double ior, double cauchy_b_coeff,
                    const Reference<OrvaneSpectrum>& absorption_coefficient_spectrum,
                    const Reference<OrvaneSubsurfaceScattering>& subsurface_scattering);
  // Deleted by the last handle that lets go.
  ~OrvaneBasicMedium() override;

  // "basic" at depth enclosing "ior" and "cauchy_b_coeff" inline, then
  // "absorption_coefficient_spectrum" (around the spectrum at depth + 2) and
  // "subsurface_scattering" (around the scattering's writeXML at depth + 2),
  // each only when set.
  void writeXML(std::ostream& os, unsigned int depth) const override;

  double ior;                                                   // index of refraction
  double cauchy_b_coeff;                                        // Cauchy dispersion coefficient B
  Reference<OrvaneSpectrum> absorption_coefficient_spectrum;    // absorption over wavelength
  Reference<OrvaneSubsurfaceScattering> subsurface_scattering;  // may be null
};

}  // namespace Orvane
