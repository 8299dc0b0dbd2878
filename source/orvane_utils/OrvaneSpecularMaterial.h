// OrvaneSpecularMaterial: the specular (mirror or clear glass) material;
// XMLType() "specular".
#pragma once

#include <cstdint>
#include <string>

#include "orvane_utils/OrvaneDisplacementParam.h"
#include "orvane_utils/OrvaneMaterial.h"
#include "orvane_utils/OrvaneTabulatedSpectralData.h"
#include "orvane_utils/OrvaneWavelengthDependentParam.h"
#include "utils/reference.h"

namespace Orvane {

class OrvaneSpecularMaterial : public OrvaneMaterial {
 public:
  // internal_medium_name empty, transparent true, every parameter and table
  // null, layer 0, arch_glass false.
  OrvaneSpecularMaterial();
  // Deleted by the last handle that lets go.
  ~OrvaneSpecularMaterial() override;

  // The model's element name.
  std::string XMLType() const override;
  // "internal_medium_name", "transparent", "absorption_layer_transmittance",
  // "bump", "displacement", "base_emission", "emission" (parameters only when
  // set), "layer". arch_glass and the three tables are not written.
  void writeXML(std::ostream& os, unsigned int depth) const override;

  std::string internal_medium_name;  // name of the medium inside the surface
  bool transparent;                  // whether light passes through
  Reference<OrvaneWavelengthDependentParam>
      absorption_layer_transmittance;               // transmittance of the absorbing layer; null when absent
  Reference<OrvaneDisplacementParam> bump;          // bump; null when absent
  Reference<OrvaneDisplacementParam> displacement;  // displacement; null when absent
  Reference<OrvaneWavelengthDependentParam> base_emission;  // base emission; null when absent
  Reference<OrvaneWavelengthDependentParam> emission;       // emission; null when absent
  uint32_t layer;                                           // light layer number
  bool arch_glass;                                          // architectural glass flag
  Reference<OrvaneTabulatedSpectralData> tabulated_external_reflection_coefficient;  // null when absent
  Reference<OrvaneTabulatedSpectralData> tabulated_internal_reflection_coefficient;  // null when absent
  Reference<OrvaneTabulatedSpectralData> tabulated_transmission_coefficient;         // null when absent
};

}  // namespace Orvane
