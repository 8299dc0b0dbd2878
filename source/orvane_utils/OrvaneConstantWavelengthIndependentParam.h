// OrvaneConstantWavelengthIndependentParam (GetType 0): the constant form: one number.
#pragma once

#include "orvane_utils/OrvaneWavelengthIndependentParam.h"

namespace Orvane {

class OrvaneConstantWavelengthIndependentParam : public OrvaneWavelengthIndependentParam {
 public:
  static constexpr int TYPE = 0;  // the GetType() tag of this form

  // An object held by nobody (count 0), with the given field values.
  explicit OrvaneConstantWavelengthIndependentParam(double value);
  // Deleted by the last handle that lets go.
  ~OrvaneConstantWavelengthIndependentParam() override;

  // TYPE.
  int GetType() const override;
  // "constant" at depth enclosing one line at depth + 1 that holds only the number.
  void writeXML(std::ostream& os, unsigned int depth) const override;

  double value;  // the constant
};

}  // namespace Orvane
