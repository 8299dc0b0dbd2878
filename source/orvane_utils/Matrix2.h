// Matrix2: four doubles, in the order given to the constructor.
// The matrix of a UV texture-coordinate generator.
#pragma once

#include <ostream>

#include "utils/refcounted.h"

namespace Orvane {

class Matrix2 : public RefCounted {
 public:
  // An object held by nobody (count 0), with the given field values.
  Matrix2(double e0, double e1, double e2, double e3);
  // Deleted by the last handle that lets go.
  ~Matrix2() override;

  // One line at depth: the four entries in stored order, separated by blanks.
  virtual void writeXML(std::ostream& os, unsigned int depth) const;

  double e[4];  // the four entries, in constructor order
};

}  // namespace Orvane
