#include "orvane_utils/OrvaneMaterial.h"

#include "orvane_utils/OrvaneConstantWavelengthDependentParam.h"
#include "orvane_utils/OrvaneRGBSpectrum.h"
#include "orvane_utils/OrvaneXMLWriteUtils.h"
#include "orvane_utils/Vec3.h"

namespace Orvane {

OrvaneMaterial::OrvaneMaterial() = default;

OrvaneMaterial::~OrvaneMaterial() = default;

void OrvaneMaterial::writeXMLToStream(std::ostream& os, unsigned int depth) const {
  XMLWriteUtils::writeOpenTag(os, depth, "material");
  XMLWriteUtils::writeTextElement(os, depth + 1, "name", name);

  XMLWriteUtils::writeOpenTag(os, depth + 1, XMLType().c_str());
  for (const OrvaneTexture& texture : textures) texture.writeXML(os, depth + 2);
  writeXML(os, depth + 1);
  XMLWriteUtils::writeCloseTag(os, depth + 1, XMLType().c_str());

  os << XMLWriteUtils::indent(depth) << "</material>\n\n";
}

Reference<OrvaneWavelengthDependentParam> OrvaneMaterial::makeDefaultRGBAlbedo() {
  return Reference<OrvaneWavelengthDependentParam>(
      new OrvaneConstantWavelengthDependentParam(new OrvaneRGBSpectrum(new Vec3(0.5, 0.5, 0.5), 2.2)));
}

}  // namespace Orvane
