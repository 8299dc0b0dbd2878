#include "orvane_utils/OrvaneShaderDisplacementParam.h"

#include "orvane_utils/OrvaneXMLWriteUtils.h"

namespace Orvane {

OrvaneShaderDisplacementParam::OrvaneShaderDisplacementParam(const std::string& shader_) : shader(shader_) {}

OrvaneShaderDisplacementParam::~OrvaneShaderDisplacementParam() = default;

int OrvaneShaderDisplacementParam::GetType() const { return TYPE; }

void OrvaneShaderDisplacementParam::writeXML(std::ostream& os, unsigned int depth) const {
  XMLWriteUtils::writeOpenTag(os, depth, "shader");
  os << XMLWriteUtils::indent(depth + 1) << "<shader>" << XMLWriteUtils::cdataSection(shader)
     << "</shader>\n";
  XMLWriteUtils::writeCloseTag(os, depth, "shader");
}

}  // namespace Orvane
