#include "orvane_utils/OrvaneConstantWavelengthIndependentParam.h"

#include "orvane_utils/OrvaneXMLWriteUtils.h"

namespace Orvane {

OrvaneConstantWavelengthIndependentParam::OrvaneConstantWavelengthIndependentParam(double value_)
    : value(value_) {}

OrvaneConstantWavelengthIndependentParam::~OrvaneConstantWavelengthIndependentParam() = default;

int OrvaneConstantWavelengthIndependentParam::GetType() const { return TYPE; }

void OrvaneConstantWavelengthIndependentParam::writeXML(std::ostream& os, unsigned int depth) const {
  XMLWriteUtils::writeOpenTag(os, depth, "constant");
  std::ostringstream line = XMLWriteUtils::numberStream(os);
  line << value;
  os << XMLWriteUtils::indent(depth + 1) << line.str() << "\n";
  XMLWriteUtils::writeCloseTag(os, depth, "constant");
}

}  // namespace Orvane
