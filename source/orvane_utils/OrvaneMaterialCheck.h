// OrvaneMaterialCheck: validates a whole material file (".ovm") the way the
// material import reads it, without a host.
//
// The frame is the import's: the "scenedata" root, its "material" children in
// file order, each material's "name" and its type element, the first present
// of "specular", "glossy_transparent", "diffuse", "diffuse_transmitter",
// "oren_nayar", "phong", "null_material", "blend". The type element goes to
// its entry point of OrvaneSceneParseUtils; "null_material" has none.
//
// Beyond the parse, the check follows the blend materials' partners as the
// import does (it imports a partner before the blend that names it, however
// long the chain) and reports a chain that loops, naming the blend it starts at.
#pragma once

#include <ostream>
#include <string>

#include <tinyxml.h>

#include "orvane_utils/OrvaneMaterial.h"
#include "utils/reference.h"

namespace Orvane {

class OrvaneMaterialCheck {
 public:
  // The type element names in the order the import tries them; null-terminated.
  static const char* const TYPE_NAMES[];

  // The first child of material named in TYPE_NAMES, in that order, or null.
  static const TiXmlElement* findTypeElement(const TiXmlElement& material);

  // Parses a type element with the entry point its name selects. Returns an
  // empty Reference for "null_material" (which has no entry point) and for a
  // name outside TYPE_NAMES. Throws OrvaneSceneParseUtilsExcep.
  static Reference<OrvaneMaterial> parseTypeElement(const TiXmlElement& typeElement);

  // Checks the text of a material file and writes one line per material to
  // out: "<name>: <type>" when it parses, "<name>: error: <message>" when it
  // does not; then a summary line. A text that is not well-formed XML, or has
  // no "scenedata" root, gives one line saying so. Every line starts with
  // prefix and is written by text::WriteLine, escaped. Returns the number of failures (0 when
  // all is well).
  static int checkText(const std::string& bytes, std::ostream& out, const std::string& prefix = "");

 private:
  OrvaneMaterialCheck() = delete;
};

}  // namespace Orvane
