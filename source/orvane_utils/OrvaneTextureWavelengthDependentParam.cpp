#include "orvane_utils/OrvaneTextureWavelengthDependentParam.h"

#include "orvane_utils/OrvaneXMLWriteUtils.h"

namespace Orvane {

OrvaneTextureWavelengthDependentParam::OrvaneTextureWavelengthDependentParam(uint32_t texture_index_)
    : texture_index(texture_index_) {}

OrvaneTextureWavelengthDependentParam::~OrvaneTextureWavelengthDependentParam() = default;

int OrvaneTextureWavelengthDependentParam::GetType() const { return TYPE; }

void OrvaneTextureWavelengthDependentParam::writeXML(std::ostream& os, unsigned int depth) const {
  XMLWriteUtils::writeOpenTag(os, depth, "texture");
  XMLWriteUtils::writeNumberElement(os, depth + 1, "texture_index", texture_index);
  XMLWriteUtils::writeCloseTag(os, depth, "texture");
}

}  // namespace Orvane
