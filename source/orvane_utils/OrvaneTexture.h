// OrvaneTexture: one image texture of a material.
//
// A plain value, not reference-counted: it is stored by value in its material's
// texture list and copied with it; copying shares the generator (its count goes
// up by one). Polymorphic only for writing: writeXML is its one virtual
// operation, and it has no virtual destructor (nothing derives from it).
//
// Default construction gives empty strings and a null generator; whoever builds
// a texture sets every field (the parser gives a 0, b 1, c 0, exponent 1 and an
// identity UV generator when the file leaves them out). The numbers
// start at 0 here so that a default texture is never read uninitialised.
#pragma once

#include <ostream>
#include <string>

#include "orvane_utils/OrvaneTexCoordGenerator.h"
#include "utils/reference.h"

namespace Orvane {

class OrvaneTexture final {
 public:
  // Empty strings, numbers 0 and a null generator.
  OrvaneTexture();

  // "texture" at depth enclosing, at depth + 1, "path", "a", "b", "c",
  // "uv_set", "exponent" inline, then, when the generator is set,
  // "tex_coord_generation" around the generator's writeXML at depth + 2.
  virtual void writeXML(std::ostream& os, unsigned int depth) const;

  std::string path;                                         // image file path as written in the material file
  double a;                                                 // colour mapping a
  double b;                                                 // colour mapping b
  double c;                                                 // colour mapping c
  std::string uv_set;                                       // name of the mesh's UV set
  double exponent;                                          // exponent of the colour mapping
  Reference<OrvaneTexCoordGenerator> tex_coord_generation;  // may be null
};

}  // namespace Orvane
