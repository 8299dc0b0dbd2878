// OrvanePeakSpectrum (GetType 3): a base value with a rectangular peak.
#pragma once

#include "orvane_utils/OrvaneSpectrum.h"

namespace Orvane {

class OrvanePeakSpectrum : public OrvaneSpectrum {
 public:
  static constexpr int TYPE = 3;  // the GetType() tag of this form

  // An object held by nobody (count 0), with the given field values.
  OrvanePeakSpectrum(double peak_min, double peak_width, double peak_value, double base_value);
  // Deleted by the last handle that lets go.
  ~OrvanePeakSpectrum() override;

  // TYPE.
  int GetType() const override;
  // "peak" at depth enclosing "peak_min", "peak_width", "peak_value" and
  // "base_value" inline.
  void writeXML(std::ostream& os, unsigned int depth) const override;

  double peak_min;    // lower end of the peak
  double peak_width;  // width of the peak
  double peak_value;  // value inside the peak
  double base_value;  // value outside the peak
};

}  // namespace Orvane
