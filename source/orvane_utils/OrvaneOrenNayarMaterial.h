// OrvaneOrenNayarMaterial: the Oren-Nayar rough diffuse material;
// XMLType() "oren_nayar".
#pragma once

#include <cstdint>

#include "orvane_utils/OrvaneDisplacementParam.h"
#include "orvane_utils/OrvaneMaterial.h"
#include "orvane_utils/OrvaneWavelengthDependentParam.h"
#include "orvane_utils/OrvaneWavelengthIndependentParam.h"
#include "utils/reference.h"

namespace Orvane {

class OrvaneOrenNayarMaterial : public OrvaneMaterial {
 public:
  // albedo a new default RGB albedo (0.5, 0.5, 0.5, gamma 2.2), sigma a
  // constant scalar parameter of 0, every other parameter null, layer 0.
  OrvaneOrenNayarMaterial();
  // Deleted by the last handle that lets go.
  ~OrvaneOrenNayarMaterial() override;

  // The model's element name.
  std::string XMLType() const override;
  // "albedo", "sigma", "bump", "displacement", "base_emission", "emission"
  // (each only when set), "layer".
  void writeXML(std::ostream& os, unsigned int depth) const override;

  Reference<OrvaneWavelengthDependentParam> albedo;         // albedo; null when absent
  Reference<OrvaneWavelengthIndependentParam> sigma;        // roughness sigma
  Reference<OrvaneDisplacementParam> bump;                  // bump; null when absent
  Reference<OrvaneDisplacementParam> displacement;          // displacement; null when absent
  Reference<OrvaneWavelengthDependentParam> base_emission;  // base emission; null when absent
  Reference<OrvaneWavelengthDependentParam> emission;       // emission; null when absent
  uint32_t layer;                                           // light layer number
};

}  // namespace Orvane
