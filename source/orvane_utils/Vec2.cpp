#include "orvane_utils/Vec2.h"

#include "orvane_utils/OrvaneXMLWriteUtils.h"

namespace Orvane {

Vec2::Vec2(double x_, double y_) : x(x_), y(y_) {}

Vec2::~Vec2() = default;

void Vec2::writeXML(std::ostream& os, unsigned int depth) const {
  std::ostringstream line = XMLWriteUtils::numberStream(os);
  line << x << " " << y;
  os << XMLWriteUtils::indent(depth) << line.str() << "\n";
}

}  // namespace Orvane
