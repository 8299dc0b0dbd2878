// OrvaneMaterial: the abstract material of the renderer, a named surface
// description of one model. It holds what every material has: its
// name and its texture list, which the texture-form parameters of the concrete
// model index from 0.
//
// The material family has no GetType(): the caller knows the concrete class
// from the parse entry point it called. XMLType() is the element name of the
// model and serves the writer only.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "orvane_utils/OrvaneTexture.h"
#include "orvane_utils/OrvaneWavelengthDependentParam.h"
#include "utils/refcounted.h"
#include "utils/reference.h"

namespace Orvane {

class OrvaneMaterial : public RefCounted {
 public:
  // Count 0, an empty name and no textures.
  OrvaneMaterial();
  // Deleted by the last handle that lets go.
  ~OrvaneMaterial() override;

  // The element name of the material model, as a new string.
  virtual std::string XMLType() const = 0;

  // The material's own fields, as elements at depth + 1.
  virtual void writeXML(std::ostream& os, unsigned int depth) const = 0;

  // The whole material: "material" at depth; "name" inline at depth + 1; the
  // type element at depth + 1 holding the textures (at depth + 2, in list
  // order) and then the material's own writeXML(os, depth + 1); the closing
  // "</material>" followed by two newlines.
  void writeXMLToStream(std::ostream& os, unsigned int depth) const;

  std::string name;                     // the material's name
  std::vector<OrvaneTexture> textures;  // the texture list, in file order

 protected:
  // A new default RGB albedo: a constant spectral parameter holding an RGB
  // spectrum of (0.5, 0.5, 0.5) with gamma 2.2, all of it newly made.
  static Reference<OrvaneWavelengthDependentParam> makeDefaultRGBAlbedo();
};

}  // namespace Orvane
