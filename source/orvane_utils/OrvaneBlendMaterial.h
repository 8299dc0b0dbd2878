// OrvaneBlendMaterial: a blend of two other materials of the same file, named
// by a_name and b_name, weighted by a displacement parameter;
// XMLType() "blend".
#pragma once

#include <string>

#include "orvane_utils/OrvaneDisplacementParam.h"
#include "orvane_utils/OrvaneMaterial.h"
#include "utils/reference.h"

namespace Orvane {

class OrvaneBlendMaterial : public OrvaneMaterial {
 public:
  // a_name and b_name empty, blend a constant displacement parameter of 0.5,
  // step_blend false.
  OrvaneBlendMaterial();
  // Deleted by the last handle that lets go.
  ~OrvaneBlendMaterial() override;

  // The model's element name.
  std::string XMLType() const override;
  // "a_name", "b_name", "blend" (when set), "step_blend".
  void writeXML(std::ostream& os, unsigned int depth) const override;

  std::string a_name;                        // name of the first material blended
  std::string b_name;                        // name of the second material blended
  Reference<OrvaneDisplacementParam> blend;  // weight between the two materials
  bool step_blend;                           // step blend flag
};

}  // namespace Orvane
