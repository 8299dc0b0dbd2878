// Vec3: three doubles, in order. The colour of an RGB spectrum
// and the axis of an axis rotation.
#pragma once

#include <ostream>

#include "utils/refcounted.h"

namespace Orvane {

class Vec3 : public RefCounted {
 public:
  // An object held by nobody (count 0), with the given field values.
  Vec3(double x, double y, double z);
  // Deleted by the last handle that lets go.
  ~Vec3() override;

  // One line at depth: the three components separated by blanks.
  virtual void writeXML(std::ostream& os, unsigned int depth) const;

  double x;  // first component
  double y;  // second component
  double z;  // third component
};

}  // namespace Orvane
