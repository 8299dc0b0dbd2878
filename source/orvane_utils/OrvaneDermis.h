// OrvaneDermis: the dermis skin layer, given by its haemoglobin fraction;
// element "dermis".
#pragma once

#include "orvane_utils/OrvaneMedium.h"

namespace Orvane {

class OrvaneDermis : public OrvaneMedium {
 public:
  // An object held by nobody (count 0), with the given field values.
  OrvaneDermis(const std::string& name, int32_t precedence, double hemoglobin_fraction);
  // Deleted by the last handle that lets go.
  ~OrvaneDermis() override;

  // "dermis" at depth enclosing "hemoglobin_fraction" inline.
  void writeXML(std::ostream& os, unsigned int depth) const override;

  double hemoglobin_fraction;  // fraction of haemoglobin
};

}  // namespace Orvane
