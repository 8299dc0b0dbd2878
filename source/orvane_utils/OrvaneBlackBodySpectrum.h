// OrvaneBlackBodySpectrum (GetType 2): black-body radiation of a temperature,
// scaled by a gain.
#pragma once

#include "orvane_utils/OrvaneSpectrum.h"

namespace Orvane {

class OrvaneBlackBodySpectrum : public OrvaneSpectrum {
 public:
  static constexpr int TYPE = 2;  // the GetType() tag of this form

  // An object held by nobody (count 0), with the given field values.
  OrvaneBlackBodySpectrum(double temperature, double gain);
  // Deleted by the last handle that lets go.
  ~OrvaneBlackBodySpectrum() override;

  // TYPE.
  int GetType() const override;
  // "blackbody" at depth enclosing "temperature" and "gain" inline.
  void writeXML(std::ostream& os, unsigned int depth) const override;

  double temperature;  // temperature in kelvin
  double gain;         // scale of the radiance
};

}  // namespace Orvane
