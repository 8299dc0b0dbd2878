#include "orvane_utils/Vec3.h"

#include "orvane_utils/OrvaneXMLWriteUtils.h"

namespace Orvane {

Vec3::Vec3(double x_, double y_, double z_) : x(x_), y(y_), z(z_) {}

Vec3::~Vec3() = default;

void Vec3::writeXML(std::ostream& os, unsigned int depth) const {
  std::ostringstream line = XMLWriteUtils::numberStream(os);
  line << x << " " << y << " " << z;
  os << XMLWriteUtils::indent(depth) << line.str() << "\n";
}

}  // namespace Orvane
