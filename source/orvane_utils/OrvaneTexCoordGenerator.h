// OrvaneTexCoordGenerator: the abstract texture-coordinate generator of a
// texture: UV mapping, spherical or environment spherical.
#pragma once

#include <ostream>

#include "utils/refcounted.h"

namespace Orvane {

class OrvaneTexCoordGenerator : public RefCounted {
 public:
  // An object held by nobody (count 0).
  OrvaneTexCoordGenerator();
  // Deleted by the last handle that lets go.
  ~OrvaneTexCoordGenerator() override;

  // Writes the object as XML, its lines starting with depth tabs.
  virtual void writeXML(std::ostream& os, unsigned int depth) const = 0;
};

}  // namespace Orvane
