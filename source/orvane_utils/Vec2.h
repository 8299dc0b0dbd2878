// Vec2: two doubles, in order. The translation of a UV
// texture-coordinate generator.
#pragma once

#include <ostream>

#include "utils/refcounted.h"

namespace Orvane {

class Vec2 : public RefCounted {
 public:
  // An object held by nobody (count 0), with the given field values.
  Vec2(double x, double y);
  // Deleted by the last handle that lets go.
  ~Vec2() override;

  // One line at depth: the two components separated by a blank.
  virtual void writeXML(std::ostream& os, unsigned int depth) const;

  double x;  // first component
  double y;  // second component
};

}  // namespace Orvane
