// OrvaneMatrixRotation: a rotation given as a 3x3 matrix, its nine entries in
// the order in which the file lists them.
#pragma once

#include <array>

#include "orvane_utils/OrvaneRotation.h"

namespace Orvane {

class OrvaneMatrixRotation : public OrvaneRotation {
 public:
  // An object held by nobody (count 0), with the given field values.
  explicit OrvaneMatrixRotation(const std::array<double, 9>& matrix);
  // An object held by nobody (count 0), with the given field values.
  explicit OrvaneMatrixRotation(const double (&matrix)[9]);
  // Deleted by the last handle that lets go.
  ~OrvaneMatrixRotation() override;

  // depth tabs, then the nine values, each followed by one blank, and no
  // newline: the enclosing closing tag follows on the same line.
  void writeXML(std::ostream& os, unsigned int depth) const override;

  std::array<double, 9> matrix;  // the 3x3 matrix, in file order
};

}  // namespace Orvane
