#include "orvane_utils/OrvaneUVTexCoordGenerator.h"

#include "orvane_utils/OrvaneXMLWriteUtils.h"

namespace Orvane {

OrvaneUVTexCoordGenerator::OrvaneUVTexCoordGenerator(const Reference<Matrix2>& matrix_,
                                                     const Reference<Vec2>& translation_)
    : matrix(matrix_), translation(translation_) {}

OrvaneUVTexCoordGenerator::~OrvaneUVTexCoordGenerator() = default;

void OrvaneUVTexCoordGenerator::writeXML(std::ostream& os, unsigned int depth) const {
  XMLWriteUtils::writeOpenTag(os, depth, "uv");
  XMLWriteUtils::writeObjectElement(os, depth + 1, "matrix", matrix);
  XMLWriteUtils::writeObjectElement(os, depth + 1, "translation", translation);
  XMLWriteUtils::writeCloseTag(os, depth, "uv");
}

}  // namespace Orvane
