// The MyExitPortal tag.
#pragma once

#include "c4d.h"

/// Marks a polygon object as an exit portal of the scene.
class MyExitPortal : public TagData {
 public:
  /// A new tag's data for the host.
  static NodeData* Alloc() { return new MyExitPortal; }
};

/// Registers the tag under the name of string resource 10006; true without registering when
/// that name is empty.
Bool RegisterMyExitPortal();
