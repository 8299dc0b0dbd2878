// OrvaneEpidermis: the epidermis skin layer, given by its melanin fraction and
// the blend between the two melanin types; element "epidermis".
#pragma once

#include "orvane_utils/OrvaneMedium.h"

namespace Orvane {

class OrvaneEpidermis : public OrvaneMedium {
 public:
  // An object held by nobody (count 0), with the given field values.
  OrvaneEpidermis(const std::string& name, int32_t precedence, double melanin_fraction,
                  double melanin_type_blend);
  // Deleted by the last handle that lets go.
  ~OrvaneEpidermis() override;

  // "epidermis" at depth enclosing "melanin_fraction", "melanin_type_blend"
  // inline.
  void writeXML(std::ostream& os, unsigned int depth) const override;

  double melanin_fraction;    // fraction of melanin
  double melanin_type_blend;  // blend between the two melanin types
};

}  // namespace Orvane
