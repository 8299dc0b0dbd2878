// OrvaneSubsurfaceScattering: the scattering of a basic medium, a scattering
// coefficient over wavelength and a phase function.
#pragma once

#include <ostream>

#include "orvane_utils/OrvanePhaseFunction.h"
#include "orvane_utils/OrvaneSpectrum.h"
#include "utils/refcounted.h"
#include "utils/reference.h"

namespace Orvane {

class OrvaneSubsurfaceScattering : public RefCounted {
 public:
  // An object held by nobody (count 0), with the given field values.
  OrvaneSubsurfaceScattering(const Reference<OrvaneSpectrum>& scattering_coefficient_spectrum,
                             const Reference<OrvanePhaseFunction>& phase_function);
  // Deleted by the last handle that lets go.
  ~OrvaneSubsurfaceScattering() override;

  // No element of its own: at depth + 1 "scattering_coefficient_spectrum"
  // (around the spectrum at depth + 2) and then "phase_function" (around the
  // phase function's writeXML at depth + 2), each only when set.
  virtual void writeXML(std::ostream& os, unsigned int depth) const;

  Reference<OrvaneSpectrum> scattering_coefficient_spectrum;  // scattering over wavelength
  Reference<OrvanePhaseFunction> phase_function;              // the phase function
};

}  // namespace Orvane
