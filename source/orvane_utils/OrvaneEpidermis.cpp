#include "orvane_utils/OrvaneEpidermis.h"

#include "orvane_utils/OrvaneXMLWriteUtils.h"

namespace Orvane {

OrvaneEpidermis::OrvaneEpidermis(const std::string& name_, int32_t precedence_, double melanin_fraction_,
                                 double melanin_type_blend_)
    : OrvaneMedium(name_, precedence_),
      melanin_fraction(melanin_fraction_),
      melanin_type_blend(melanin_type_blend_) {}

OrvaneEpidermis::~OrvaneEpidermis() = default;

void OrvaneEpidermis::writeXML(std::ostream& os, unsigned int depth) const {
  XMLWriteUtils::writeOpenTag(os, depth, "epidermis");
  XMLWriteUtils::writeNumberElement(os, depth + 1, "melanin_fraction", melanin_fraction);
  XMLWriteUtils::writeNumberElement(os, depth + 1, "melanin_type_blend", melanin_type_blend);
  XMLWriteUtils::writeCloseTag(os, depth, "epidermis");
}

}  // namespace Orvane
