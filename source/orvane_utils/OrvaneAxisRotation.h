// OrvaneAxisRotation: a rotation by angle about axis.
#pragma once

#include "orvane_utils/OrvaneRotation.h"
#include "orvane_utils/Vec3.h"
#include "utils/reference.h"

namespace Orvane {

class OrvaneAxisRotation : public OrvaneRotation {
 public:
  // An object held by nobody (count 0), with the given field values.
  OrvaneAxisRotation(const Reference<Vec3>& axis, double angle);
  // Deleted by the last handle that lets go.
  ~OrvaneAxisRotation() override;

  // No element of its own: at depth + 1 "axis" around the Vec3 line at
  // depth + 2 (only when set), then "angle" inline.
  void writeXML(std::ostream& os, unsigned int depth) const override;

  Reference<Vec3> axis;  // the rotation axis; null when absent
  double angle;          // the rotation angle
};

}  // namespace Orvane
