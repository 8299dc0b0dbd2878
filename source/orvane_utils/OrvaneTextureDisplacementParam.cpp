#include "orvane_utils/OrvaneTextureDisplacementParam.h"

#include "orvane_utils/OrvaneXMLWriteUtils.h"

namespace Orvane {

OrvaneTextureDisplacementParam::OrvaneTextureDisplacementParam(uint32_t texture_index_)
    : texture_index(texture_index_) {}

OrvaneTextureDisplacementParam::~OrvaneTextureDisplacementParam() = default;

int OrvaneTextureDisplacementParam::GetType() const { return TYPE; }

void OrvaneTextureDisplacementParam::writeXML(std::ostream& os, unsigned int depth) const {
  XMLWriteUtils::writeOpenTag(os, depth, "texture");
  XMLWriteUtils::writeNumberElement(os, depth + 1, "texture_index", texture_index);
  XMLWriteUtils::writeCloseTag(os, depth, "texture");
}

}  // namespace Orvane
