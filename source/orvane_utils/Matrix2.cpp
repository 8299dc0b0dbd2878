#include "orvane_utils/Matrix2.h"

#include "orvane_utils/OrvaneXMLWriteUtils.h"

namespace Orvane {

Matrix2::Matrix2(double e0, double e1, double e2, double e3) : e{e0, e1, e2, e3} {}

Matrix2::~Matrix2() = default;

void Matrix2::writeXML(std::ostream& os, unsigned int depth) const {
  std::ostringstream line = XMLWriteUtils::numberStream(os);
  line << e[0] << " " << e[1] << " " << e[2] << " " << e[3];
  os << XMLWriteUtils::indent(depth) << line.str() << "\n";
}

}  // namespace Orvane
