// OrvaneDiffuse: the Lambertian diffuse material; XMLType()
// "diffuse".
#pragma once

#include <cstdint>

#include "orvane_utils/OrvaneDisplacementParam.h"
#include "orvane_utils/OrvaneMaterial.h"
#include "orvane_utils/OrvaneWavelengthDependentParam.h"
#include "utils/reference.h"

namespace Orvane {

class OrvaneDiffuse : public OrvaneMaterial {
 public:
  // albedo null, random_triangle_colours false, every other parameter null,
  // layer 0.
  OrvaneDiffuse();
  // Deleted by the last handle that lets go.
  ~OrvaneDiffuse() override;

  // The model's element name.
  std::string XMLType() const override;
  // "albedo", "bump", "displacement", "base_emission", "emission" (each only
  // when set), "random_triangle_colours", "layer".
  void writeXML(std::ostream& os, unsigned int depth) const override;

  Reference<OrvaneWavelengthDependentParam> albedo;         // albedo; null when absent
  bool random_triangle_colours;                             // random triangle colours flag
  Reference<OrvaneDisplacementParam> bump;                  // bump; null when absent
  Reference<OrvaneDisplacementParam> displacement;          // displacement; null when absent
  Reference<OrvaneWavelengthDependentParam> base_emission;  // base emission; null when absent
  Reference<OrvaneWavelengthDependentParam> emission;       // emission; null when absent
  uint32_t layer;                                           // light layer number
};

}  // namespace Orvane
