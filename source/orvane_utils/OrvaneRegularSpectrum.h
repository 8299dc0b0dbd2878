// OrvaneRegularSpectrum (GetType 4): num_values samples at equal steps from
// start_wavelength to end_wavelength.
//
// The wavelengths are held in nanometres, although the material file gives
// metres: the parser multiplies by 1e9, the writer by 1e-9. values holds the
// samples; the model does no validation (the parser guarantees
// values.size() == num_values).
#pragma once

#include <cstdint>
#include <vector>

#include "orvane_utils/OrvaneSpectrum.h"

namespace Orvane {

class OrvaneRegularSpectrum : public OrvaneSpectrum {
 public:
  static constexpr int TYPE = 4;  // the GetType() tag of this form

  // An object held by nobody (count 0), with the given field values.
  OrvaneRegularSpectrum(double start_wavelength, double end_wavelength, int32_t num_values,
                        std::vector<double> values);
  // Deleted by the last handle that lets go.
  ~OrvaneRegularSpectrum() override;

  // TYPE.
  int GetType() const override;
  // "regular_tabulated" at depth enclosing "start_wavelength" and
  // "end_wavelength" in metres, "num_values" inline, then the values line.
  void writeXML(std::ostream& os, unsigned int depth) const override;

  double start_wavelength;     // nm
  double end_wavelength;       // nm
  int32_t num_values;          // number of samples
  std::vector<double> values;  // the samples, in file order
};

}  // namespace Orvane
