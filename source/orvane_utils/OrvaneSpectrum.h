// OrvaneSpectrum: the abstract spectrum, a quantity over wavelength.
// The five forms are told apart by GetType():
//   0 OrvaneRGBSpectrum, 1 OrvaneUniformSpectrum, 2 OrvaneBlackBodySpectrum,
//   3 OrvanePeakSpectrum, 4 OrvaneRegularSpectrum.
#pragma once

#include <ostream>

#include "utils/refcounted.h"

namespace Orvane {

class OrvaneSpectrum : public RefCounted {
 public:
  // An object held by nobody (count 0).
  OrvaneSpectrum();
  // Deleted by the last handle that lets go.
  ~OrvaneSpectrum() override;

  // The tag of the concrete form.
  virtual int GetType() const = 0;
  // Writes the object as XML, its lines starting with depth tabs.
  virtual void writeXML(std::ostream& os, unsigned int depth) const = 0;
};

}  // namespace Orvane
