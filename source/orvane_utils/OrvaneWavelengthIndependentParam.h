// OrvaneWavelengthIndependentParam: the abstract wavelength-independent (scalar) parameter: the Phong and
// glossy exponent, the Oren-Nayar sigma. Its concrete forms are told apart by GetType(); the tags are one
// numbering over the three parameter families: scalar 0 to 2, spectral 3 to 5, displacement 6 to 8, each
// family in the order constant, shader, texture.
#pragma once

#include <ostream>

#include "utils/refcounted.h"

namespace Orvane {

class OrvaneWavelengthIndependentParam : public RefCounted {
 public:
  // An object held by nobody (count 0).
  OrvaneWavelengthIndependentParam();
  // Deleted by the last handle that lets go.
  ~OrvaneWavelengthIndependentParam() override;

  // The tag of the concrete form.
  virtual int GetType() const = 0;
  // Writes nothing; each form writes its own element.
  virtual void writeXML(std::ostream& os, unsigned int depth) const;
};

}  // namespace Orvane
