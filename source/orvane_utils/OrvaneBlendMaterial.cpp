#include "orvane_utils/OrvaneBlendMaterial.h"

#include "orvane_utils/OrvaneConstantDisplacementParam.h"
#include "orvane_utils/OrvaneXMLWriteUtils.h"

namespace Orvane {

OrvaneBlendMaterial::OrvaneBlendMaterial()
    : blend(new OrvaneConstantDisplacementParam(0.5)), step_blend(false) {}

OrvaneBlendMaterial::~OrvaneBlendMaterial() = default;

std::string OrvaneBlendMaterial::XMLType() const { return "blend"; }

void OrvaneBlendMaterial::writeXML(std::ostream& os, unsigned int depth) const {
  using namespace XMLWriteUtils;
  writeTextElement(os, depth + 1, "a_name", a_name);
  writeTextElement(os, depth + 1, "b_name", b_name);
  writeObjectElement(os, depth + 1, "blend", blend);
  writeBoolElement(os, depth + 1, "step_blend", step_blend);
}

}  // namespace Orvane
