#include "orvane_utils/OrvaneShaderWavelengthIndependentParam.h"

#include "orvane_utils/OrvaneXMLWriteUtils.h"

namespace Orvane {

OrvaneShaderWavelengthIndependentParam::OrvaneShaderWavelengthIndependentParam(const std::string& shader_)
    : shader(shader_) {}

OrvaneShaderWavelengthIndependentParam::~OrvaneShaderWavelengthIndependentParam() = default;

int OrvaneShaderWavelengthIndependentParam::GetType() const { return TYPE; }

void OrvaneShaderWavelengthIndependentParam::writeXML(std::ostream& os, unsigned int depth) const {
  XMLWriteUtils::writeOpenTag(os, depth, "shader");
  os << XMLWriteUtils::indent(depth + 1) << "<shader>" << XMLWriteUtils::cdataSection(shader)
     << "</shader>\n";
  XMLWriteUtils::writeCloseTag(os, depth, "shader");
}

}  // namespace Orvane
