// OrvanePhongMaterial: the Phong material; XMLType() "phong".
#pragma once

#include <cstdint>
#include <string>

#include "orvane_utils/OrvaneDisplacementParam.h"
#include "orvane_utils/OrvaneMaterial.h"
#include "orvane_utils/OrvaneWavelengthDependentParam.h"
#include "orvane_utils/OrvaneWavelengthIndependentParam.h"
#include "utils/reference.h"

namespace Orvane {

class OrvanePhongMaterial : public OrvaneMaterial {
 public:
  // exponent a constant scalar parameter of 5000, every other parameter null,
  // layer 0, fresnel_scale 1.0, ior 1.4, nk_data empty.
  OrvanePhongMaterial();
  // Deleted by the last handle that lets go.
  ~OrvanePhongMaterial() override;

  // The model's element name.
  std::string XMLType() const override;
  // "diffuse_albedo", "specular_reflectivity", "exponent", "bump",
  // "displacement", "base_emission", "emission" (each only when set), "layer",
  // "fresnel_scale", "ior", "nk_data".
  void writeXML(std::ostream& os, unsigned int depth) const override;

  Reference<OrvaneWavelengthDependentParam> diffuse_albedo;         // diffuse albedo; null when absent
  Reference<OrvaneWavelengthDependentParam> specular_reflectivity;  // specular reflectivity; null when absent
  Reference<OrvaneWavelengthIndependentParam> exponent;             // Phong exponent
  Reference<OrvaneDisplacementParam> bump;                          // bump; null when absent
  Reference<OrvaneDisplacementParam> displacement;                  // displacement; null when absent
  Reference<OrvaneWavelengthDependentParam> base_emission;          // base emission; null when absent
  Reference<OrvaneWavelengthDependentParam> emission;               // emission; null when absent
  uint32_t layer;                                                   // light layer number
  double fresnel_scale;                                             // scale of the Fresnel term
  double ior;                                                       // index of refraction
  std::string nk_data;                                              // n,k data text; empty for none
};

}  // namespace Orvane
