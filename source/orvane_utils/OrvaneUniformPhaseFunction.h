// OrvaneUniformPhaseFunction: scattering equally in all directions;
// element "uniform".
#pragma once

#include "orvane_utils/OrvanePhaseFunction.h"

namespace Orvane {

class OrvaneUniformPhaseFunction : public OrvanePhaseFunction {
 public:
  // An object held by nobody (count 0).
  OrvaneUniformPhaseFunction();
  // Deleted by the last handle that lets go.
  ~OrvaneUniformPhaseFunction() override;

  // An empty "uniform" element: opening and closing tags on two lines, both
  // at depth.
  void writeXML(std::ostream& os, unsigned int depth) const override;
};

}  // namespace Orvane
