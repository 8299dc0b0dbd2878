// OrvaneMedium: the abstract medium, the matter inside a closed surface.
// Media are named; a transparent material names the medium inside
// it by its internal_medium_name.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "utils/refcounted.h"

namespace Orvane {

class OrvaneMedium : public RefCounted {
 public:
  // An object held by nobody (count 0), with the given field values.
  OrvaneMedium(const std::string& name, int32_t precedence);
  // Deleted by the last handle that lets go.
  ~OrvaneMedium() override;

  // Writes the object as XML, its lines starting with depth tabs.
  virtual void writeXML(std::ostream& os, unsigned int depth) const = 0;

  // The whole medium: "medium" at depth; "name" and then "precedence" inline
  // at depth + 1; the medium's own writeXML at depth + 1; the closing tag at
  // depth.
  void writeXMLToStream(std::ostream& os, unsigned int depth) const;

  std::string name;    // the name materials refer to the medium by
  int32_t precedence;  // precedence among overlapping media
};

}  // namespace Orvane
