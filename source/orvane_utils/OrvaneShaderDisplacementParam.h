// OrvaneShaderDisplacementParam (GetType 7): the shader form: the shader program text, exactly as read and
// without its surrounding markup.
#pragma once

#include <string>

#include "orvane_utils/OrvaneDisplacementParam.h"

namespace Orvane {

class OrvaneShaderDisplacementParam : public OrvaneDisplacementParam {
 public:
  static constexpr int TYPE = 7;  // the GetType() tag of this form

  // An object held by nobody (count 0), with the given field values.
  explicit OrvaneShaderDisplacementParam(const std::string& shader);
  // Deleted by the last handle that lets go.
  ~OrvaneShaderDisplacementParam() override;

  // TYPE.
  int GetType() const override;
  // "shader" at depth enclosing one line at depth + 1:
  // "<shader><![CDATA[", the shader text, "]]></shader>".
  void writeXML(std::ostream& os, unsigned int depth) const override;

  std::string shader;  // shader program text
};

}  // namespace Orvane
