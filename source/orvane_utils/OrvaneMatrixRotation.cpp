#include "orvane_utils/OrvaneMatrixRotation.h"

#include "orvane_utils/OrvaneXMLWriteUtils.h"

namespace Orvane {

OrvaneMatrixRotation::OrvaneMatrixRotation(const std::array<double, 9>& matrix_) : matrix(matrix_) {}

OrvaneMatrixRotation::OrvaneMatrixRotation(const double (&matrix_)[9]) {
  for (size_t i = 0; i < 9; ++i) matrix[i] = matrix_[i];
}

OrvaneMatrixRotation::~OrvaneMatrixRotation() = default;

void OrvaneMatrixRotation::writeXML(std::ostream& os, unsigned int depth) const {
  std::ostringstream line = XMLWriteUtils::numberStream(os);
  for (const double v : matrix) line << v << " ";
  os << XMLWriteUtils::indent(depth) << line.str();
}

}  // namespace Orvane
