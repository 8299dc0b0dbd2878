// OrvaneConstantWavelengthDependentParam (GetType 3): the constant form: a spectrum, held through a handle so
// that one spectrum may serve several parameters.
#pragma once

#include "orvane_utils/OrvaneSpectrum.h"
#include "orvane_utils/OrvaneWavelengthDependentParam.h"
#include "utils/reference.h"

namespace Orvane {

class OrvaneConstantWavelengthDependentParam : public OrvaneWavelengthDependentParam {
 public:
  static constexpr int TYPE = 3;  // the GetType() tag of this form

  // An object held by nobody (count 0), with the given field values.
  explicit OrvaneConstantWavelengthDependentParam(const Reference<OrvaneSpectrum>& spectrum);
  // Deleted by the last handle that lets go.
  ~OrvaneConstantWavelengthDependentParam() override;

  // TYPE.
  int GetType() const override;
  // "constant" at depth enclosing the spectrum at depth + 1 (only when set).
  void writeXML(std::ostream& os, unsigned int depth) const override;

  Reference<OrvaneSpectrum> spectrum;  // the spectrum; may be shared
};

}  // namespace Orvane
