#include "orvane_utils/OrvaneTexture.h"

#include "orvane_utils/OrvaneXMLWriteUtils.h"

namespace Orvane {

OrvaneTexture::OrvaneTexture() : a(0.0), b(0.0), c(0.0), exponent(0.0) {}

void OrvaneTexture::writeXML(std::ostream& os, unsigned int depth) const {
  XMLWriteUtils::writeOpenTag(os, depth, "texture");
  XMLWriteUtils::writeTextElement(os, depth + 1, "path", path);
  XMLWriteUtils::writeNumberElement(os, depth + 1, "a", a);
  XMLWriteUtils::writeNumberElement(os, depth + 1, "b", b);
  XMLWriteUtils::writeNumberElement(os, depth + 1, "c", c);
  XMLWriteUtils::writeTextElement(os, depth + 1, "uv_set", uv_set);
  XMLWriteUtils::writeNumberElement(os, depth + 1, "exponent", exponent);
  XMLWriteUtils::writeObjectElement(os, depth + 1, "tex_coord_generation", tex_coord_generation);
  XMLWriteUtils::writeCloseTag(os, depth, "texture");
}

}  // namespace Orvane
