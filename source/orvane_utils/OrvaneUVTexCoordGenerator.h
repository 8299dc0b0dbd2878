// OrvaneUVTexCoordGenerator: UV mapping with a 2x2 matrix and a translation;
// element "uv".
#pragma once

#include "orvane_utils/Matrix2.h"
#include "orvane_utils/OrvaneTexCoordGenerator.h"
#include "orvane_utils/Vec2.h"
#include "utils/reference.h"

namespace Orvane {

class OrvaneUVTexCoordGenerator : public OrvaneTexCoordGenerator {
 public:
  // An object held by nobody (count 0), with the given field values.
  OrvaneUVTexCoordGenerator(const Reference<Matrix2>& matrix, const Reference<Vec2>& translation);
  // Deleted by the last handle that lets go.
  ~OrvaneUVTexCoordGenerator() override;

  // "uv" at depth enclosing "matrix" (around the Matrix2 line at depth + 2)
  // and then "translation" (around the Vec2 line), each only when set.
  void writeXML(std::ostream& os, unsigned int depth) const override;

  Reference<Matrix2> matrix;    // 2x2 matrix; null when absent
  Reference<Vec2> translation;  // translation; null when absent
};

}  // namespace Orvane
