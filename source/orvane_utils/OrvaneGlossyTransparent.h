// OrvaneGlossyTransparent: the glossy transparent material;
// XMLType() "glossy_transparent".
#pragma once

#include <cstdint>
#include <string>

#include "orvane_utils/OrvaneDisplacementParam.h"
#include "orvane_utils/OrvaneMaterial.h"
#include "orvane_utils/OrvaneWavelengthDependentParam.h"
#include "orvane_utils/OrvaneWavelengthIndependentParam.h"
#include "utils/reference.h"

namespace Orvane {

class OrvaneGlossyTransparent : public OrvaneMaterial {
 public:
  // exponent a constant scalar parameter of 5000, internal_medium_name empty,
  // every other parameter null, layer 0.
  OrvaneGlossyTransparent();
  // Deleted by the last handle that lets go.
  ~OrvaneGlossyTransparent() override;

  // The model's element name.
  std::string XMLType() const override;
  // "exponent" (when set), "internal_medium_name",
  // "absorption_layer_transmittance", "bump", "displacement", "base_emission",
  // "emission" (each only when set), "layer".
  void writeXML(std::ostream& os, unsigned int depth) const override;

  Reference<OrvaneWavelengthIndependentParam> exponent;  // Phong exponent
  std::string internal_medium_name;                      // name of the medium inside the surface
  Reference<OrvaneWavelengthDependentParam>
      absorption_layer_transmittance;               // transmittance of the absorbing layer; null when absent
  Reference<OrvaneDisplacementParam> bump;          // bump; null when absent
  Reference<OrvaneDisplacementParam> displacement;  // displacement; null when absent
  Reference<OrvaneWavelengthDependentParam> base_emission;  // base emission; null when absent
  Reference<OrvaneWavelengthDependentParam> emission;       // emission; null when absent
  uint32_t layer;                                           // light layer number
};

}  // namespace Orvane
