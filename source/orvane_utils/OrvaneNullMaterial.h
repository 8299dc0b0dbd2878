// OrvaneNullMaterial: the null material, which has no fields of its own;
// XMLType() "null_material".
#pragma once

#include "orvane_utils/OrvaneMaterial.h"

namespace Orvane {

class OrvaneNullMaterial : public OrvaneMaterial {
 public:
  // An object held by nobody (count 0).
  OrvaneNullMaterial();
  // Deleted by the last handle that lets go.
  ~OrvaneNullMaterial() override;

  // The model's element name.
  std::string XMLType() const override;
  // Writes nothing.
  void writeXML(std::ostream& os, unsigned int depth) const override;
};

}  // namespace Orvane
