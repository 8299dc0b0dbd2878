// OrvaneSphericalTexCoordGenerator: spherical mapping with a rotation; element
// "spherical".
#pragma once

#include "orvane_utils/OrvaneRotation.h"
#include "orvane_utils/OrvaneTexCoordGenerator.h"
#include "utils/reference.h"

namespace Orvane {

class OrvaneSphericalTexCoordGenerator : public OrvaneTexCoordGenerator {
 public:
  // An object held by nobody (count 0), with the given field values.
  explicit OrvaneSphericalTexCoordGenerator(const Reference<OrvaneRotation>& rotation);
  // Deleted by the last handle that lets go.
  ~OrvaneSphericalTexCoordGenerator() override;

  // "spherical" at depth enclosing "world_to_texture_matrix" (around the
  // rotation's writeXML at depth + 2), only when the rotation is set.
  void writeXML(std::ostream& os, unsigned int depth) const override;

  Reference<OrvaneRotation> rotation;  // the rotation; null when absent
};

}  // namespace Orvane
