#include "orvane_utils/OrvaneShaderWavelengthDependentParam.h"

#include "orvane_utils/OrvaneXMLWriteUtils.h"

namespace Orvane {

OrvaneShaderWavelengthDependentParam::OrvaneShaderWavelengthDependentParam(const std::string& shader_)
    : shader(shader_) {}

OrvaneShaderWavelengthDependentParam::~OrvaneShaderWavelengthDependentParam() = default;

int OrvaneShaderWavelengthDependentParam::GetType() const { return TYPE; }

void OrvaneShaderWavelengthDependentParam::writeXML(std::ostream& os, unsigned int depth) const {
  XMLWriteUtils::writeOpenTag(os, depth, "shader");
  os << XMLWriteUtils::indent(depth + 1) << "<shader>" << XMLWriteUtils::cdataSection(shader)
     << "</shader>\n";
  XMLWriteUtils::writeCloseTag(os, depth, "shader");
}

}  // namespace Orvane
