#include "orvane_utils/OrvaneDermis.h"

#include "orvane_utils/OrvaneXMLWriteUtils.h"

namespace Orvane {

OrvaneDermis::OrvaneDermis(const std::string& name_, int32_t precedence_, double hemoglobin_fraction_)
    : OrvaneMedium(name_, precedence_), hemoglobin_fraction(hemoglobin_fraction_) {}

OrvaneDermis::~OrvaneDermis() = default;

void OrvaneDermis::writeXML(std::ostream& os, unsigned int depth) const {
  XMLWriteUtils::writeOpenTag(os, depth, "dermis");
  XMLWriteUtils::writeNumberElement(os, depth + 1, "hemoglobin_fraction", hemoglobin_fraction);
  XMLWriteUtils::writeCloseTag(os, depth, "dermis");
}

}  // namespace Orvane
