// OrvaneDisplacementParam: the abstract displacement parameter: bump, displacement and the blend weight of
// the blend material.
// Its concrete forms are told apart by GetType(); the tags are one numbering over
// the three parameter families: scalar 0 to 2, spectral 3 to 5, displacement 6
// to 8, each family in the order constant, shader, texture.
#pragma once

#include <ostream>

#include "utils/refcounted.h"

namespace Orvane {

class OrvaneDisplacementParam : public RefCounted {
 public:
  // An object held by nobody (count 0).
  OrvaneDisplacementParam();
  // Deleted by the last handle that lets go.
  ~OrvaneDisplacementParam() override;

  // The tag of the concrete form.
  virtual int GetType() const = 0;
  // Writes nothing; each form writes its own element.
  virtual void writeXML(std::ostream& os, unsigned int depth) const;
};

}  // namespace Orvane
