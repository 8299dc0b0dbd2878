// OrvaneHenyeyGreensteinPhaseFunction: the Henyey-Greenstein phase function with
// its asymmetry parameter over wavelength; element
// "henyey_greenstein".
#pragma once

#include "orvane_utils/OrvanePhaseFunction.h"
#include "orvane_utils/OrvaneSpectrum.h"
#include "utils/reference.h"

namespace Orvane {

class OrvaneHenyeyGreensteinPhaseFunction : public OrvanePhaseFunction {
 public:
  // An object held by nobody (count 0), with the given field values.
  explicit OrvaneHenyeyGreensteinPhaseFunction(const Reference<OrvaneSpectrum>& g_spectrum);
  // Deleted by the last handle that lets go.
  ~OrvaneHenyeyGreensteinPhaseFunction() override;

  // "henyey_greenstein" at depth enclosing "g_spectrum" (around the spectrum at
  // depth + 2), only when set.
  void writeXML(std::ostream& os, unsigned int depth) const override;

  Reference<OrvaneSpectrum> g_spectrum;  // asymmetry parameter over wavelength
};

}  // namespace Orvane
