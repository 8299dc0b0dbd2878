// OrvanePhaseFunction: the abstract phase function of subsurface scattering:
// uniform or Henyey-Greenstein.
#pragma once

#include <ostream>

#include "utils/refcounted.h"

namespace Orvane {

class OrvanePhaseFunction : public RefCounted {
 public:
  // An object held by nobody (count 0).
  OrvanePhaseFunction();
  // Deleted by the last handle that lets go.
  ~OrvanePhaseFunction() override;

  // Writes the object as XML, its lines starting with depth tabs.
  virtual void writeXML(std::ostream& os, unsigned int depth) const = 0;
};

}  // namespace Orvane
