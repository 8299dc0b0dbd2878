// OrvaneRotation: the abstract rotation of a spherical texture-coordinate
// generator: axis and angle, or a 3x3 matrix.
#pragma once

#include <ostream>

#include "utils/refcounted.h"

namespace Orvane {

class OrvaneRotation : public RefCounted {
 public:
  // An object held by nobody (count 0).
  OrvaneRotation();
  // Deleted by the last handle that lets go.
  ~OrvaneRotation() override;

  // Writes the object as XML, its lines starting with depth tabs.
  virtual void writeXML(std::ostream& os, unsigned int depth) const = 0;
};

}  // namespace Orvane
