#include "orvane_utils/OrvaneTextureWavelengthIndependentParam.h"

#include "orvane_utils/OrvaneXMLWriteUtils.h"

namespace Orvane {

OrvaneTextureWavelengthIndependentParam::OrvaneTextureWavelengthIndependentParam(uint32_t texture_index_)
    : texture_index(texture_index_) {}

OrvaneTextureWavelengthIndependentParam::~OrvaneTextureWavelengthIndependentParam() = default;

int OrvaneTextureWavelengthIndependentParam::GetType() const { return TYPE; }

void OrvaneTextureWavelengthIndependentParam::writeXML(std::ostream& os, unsigned int depth) const {
  XMLWriteUtils::writeOpenTag(os, depth, "texture");
  XMLWriteUtils::writeNumberElement(os, depth + 1, "texture_index", texture_index);
  XMLWriteUtils::writeCloseTag(os, depth, "texture");
}

}  // namespace Orvane
