// OrvaneShaderWavelengthDependentParam (GetType 4): the shader form: the shader program text, exactly as read
// and without its surrounding markup.
#pragma once

#include <string>

#include "orvane_utils/OrvaneWavelengthDependentParam.h"

namespace Orvane {

class OrvaneShaderWavelengthDependentParam : public OrvaneWavelengthDependentParam {
 public:
  static constexpr int TYPE = 4;  // the GetType() tag of this form

  // An object held by nobody (count 0), with the given field values.
  explicit OrvaneShaderWavelengthDependentParam(const std::string& shader);
  // Deleted by the last handle that lets go.
  ~OrvaneShaderWavelengthDependentParam() override;

  // TYPE.
  int GetType() const override;
  // "shader" at depth enclosing one line at depth + 1:
  // "<shader><![CDATA[", the shader text, "]]></shader>".
  void writeXML(std::ostream& os, unsigned int depth) const override;

  std::string shader;  // shader program text
};

}  // namespace Orvane
