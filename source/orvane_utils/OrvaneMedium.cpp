#include "orvane_utils/OrvaneMedium.h"

#include "orvane_utils/OrvaneXMLWriteUtils.h"

namespace Orvane {

OrvaneMedium::OrvaneMedium(const std::string& name_, int32_t precedence_)
    : name(name_), precedence(precedence_) {}

OrvaneMedium::~OrvaneMedium() = default;

void OrvaneMedium::writeXMLToStream(std::ostream& os, unsigned int depth) const {
  XMLWriteUtils::writeOpenTag(os, depth, "medium");
  XMLWriteUtils::writeTextElement(os, depth + 1, "name", name);
  XMLWriteUtils::writeNumberElement(os, depth + 1, "precedence", precedence);
  writeXML(os, depth + 1);
  XMLWriteUtils::writeCloseTag(os, depth, "medium");
}

}  // namespace Orvane
