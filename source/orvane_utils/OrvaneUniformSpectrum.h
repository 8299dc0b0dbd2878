// OrvaneUniformSpectrum (GetType 1): the same value at every wavelength.
#pragma once

#include "orvane_utils/OrvaneSpectrum.h"

namespace Orvane {

class OrvaneUniformSpectrum : public OrvaneSpectrum {
 public:
  static constexpr int TYPE = 1;  // the GetType() tag of this form

  // An object held by nobody (count 0), with the given field values.
  explicit OrvaneUniformSpectrum(double value);
  // Deleted by the last handle that lets go.
  ~OrvaneUniformSpectrum() override;

  // TYPE.
  int GetType() const override;
  // "uniform" at depth enclosing "value" inline.
  void writeXML(std::ostream& os, unsigned int depth) const override;

  double value;  // value at every wavelength
};

}  // namespace Orvane
