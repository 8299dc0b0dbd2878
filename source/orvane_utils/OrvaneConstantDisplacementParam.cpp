#include "orvane_utils/OrvaneConstantDisplacementParam.h"

#include "orvane_utils/OrvaneXMLWriteUtils.h"

namespace Orvane {

OrvaneConstantDisplacementParam::OrvaneConstantDisplacementParam(double value_) : value(value_) {}

OrvaneConstantDisplacementParam::~OrvaneConstantDisplacementParam() = default;

int OrvaneConstantDisplacementParam::GetType() const { return TYPE; }

void OrvaneConstantDisplacementParam::writeXML(std::ostream& os, unsigned int depth) const {
  XMLWriteUtils::writeOpenTag(os, depth, "constant");
  std::ostringstream line = XMLWriteUtils::numberStream(os);
  line << value;
  os << XMLWriteUtils::indent(depth + 1) << line.str() << "\n";
  XMLWriteUtils::writeCloseTag(os, depth, "constant");
}

}  // namespace Orvane
