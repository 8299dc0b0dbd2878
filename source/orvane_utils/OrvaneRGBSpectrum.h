// OrvaneRGBSpectrum (GetType 0): a colour given as three components and a gamma.
// The Vec3 is held through a handle and may be shared.
#pragma once

#include "orvane_utils/OrvaneSpectrum.h"
#include "orvane_utils/Vec3.h"
#include "utils/reference.h"

namespace Orvane {

class OrvaneRGBSpectrum : public OrvaneSpectrum {
 public:
  static constexpr int TYPE = 0;  // the GetType() tag of this form

  // An object held by nobody (count 0), with the given field values.
  OrvaneRGBSpectrum(const Reference<Vec3>& rgb, double gamma);
  // Deleted by the last handle that lets go.
  ~OrvaneRGBSpectrum() override;

  // TYPE.
  int GetType() const override;
  // "rgb" at depth enclosing, at depth + 1, an inner "rgb" around the Vec3
  // line (only when set), then "gamma" inline.
  void writeXML(std::ostream& os, unsigned int depth) const override;

  Reference<Vec3> rgb;  // the colour components, in file order
  double gamma;         // gamma of the components
};

}  // namespace Orvane
