#include "orvane_utils/OrvanePeakSpectrum.h"

#include "orvane_utils/OrvaneXMLWriteUtils.h"

namespace Orvane {

OrvanePeakSpectrum::OrvanePeakSpectrum(double peak_min_, double peak_width_, double peak_value_,
                                       double base_value_)
    : peak_min(peak_min_), peak_width(peak_width_), peak_value(peak_value_), base_value(base_value_) {}

OrvanePeakSpectrum::~OrvanePeakSpectrum() = default;

int OrvanePeakSpectrum::GetType() const { return TYPE; }

void OrvanePeakSpectrum::writeXML(std::ostream& os, unsigned int depth) const {
  XMLWriteUtils::writeOpenTag(os, depth, "peak");
  XMLWriteUtils::writeNumberElement(os, depth + 1, "peak_min", peak_min);
  XMLWriteUtils::writeNumberElement(os, depth + 1, "peak_width", peak_width);
  XMLWriteUtils::writeNumberElement(os, depth + 1, "peak_value", peak_value);
  XMLWriteUtils::writeNumberElement(os, depth + 1, "base_value", base_value);
  XMLWriteUtils::writeCloseTag(os, depth, "peak");
}

}  // namespace Orvane
