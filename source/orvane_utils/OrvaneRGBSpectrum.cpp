#include "orvane_utils/OrvaneRGBSpectrum.h"

#include "orvane_utils/OrvaneXMLWriteUtils.h"

namespace Orvane {

OrvaneRGBSpectrum::OrvaneRGBSpectrum(const Reference<Vec3>& rgb_, double gamma_) : rgb(rgb_), gamma(gamma_) {}

OrvaneRGBSpectrum::~OrvaneRGBSpectrum() = default;

int OrvaneRGBSpectrum::GetType() const { return TYPE; }

void OrvaneRGBSpectrum::writeXML(std::ostream& os, unsigned int depth) const {
  XMLWriteUtils::writeOpenTag(os, depth, "rgb");
  XMLWriteUtils::writeObjectElement(os, depth + 1, "rgb", rgb);
  XMLWriteUtils::writeNumberElement(os, depth + 1, "gamma", gamma);
  XMLWriteUtils::writeCloseTag(os, depth, "rgb");
}

}  // namespace Orvane
