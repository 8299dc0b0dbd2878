// OrvaneTextureWavelengthIndependentParam (GetType 2): the texture form: the 0-based index of a texture in
// the texture list of the material that holds the parameter (stored without any check).
#pragma once

#include <cstdint>

#include "orvane_utils/OrvaneWavelengthIndependentParam.h"

namespace Orvane {

class OrvaneTextureWavelengthIndependentParam : public OrvaneWavelengthIndependentParam {
 public:
  static constexpr int TYPE = 2;  // the GetType() tag of this form

  // An object held by nobody (count 0), with the given field values.
  explicit OrvaneTextureWavelengthIndependentParam(uint32_t texture_index);
  // Deleted by the last handle that lets go.
  ~OrvaneTextureWavelengthIndependentParam() override;

  // TYPE.
  int GetType() const override;
  // "texture" at depth enclosing "texture_index" inline at depth + 1.
  void writeXML(std::ostream& os, unsigned int depth) const override;

  uint32_t texture_index;  // 0-based index into the material's texture list
};

}  // namespace Orvane
