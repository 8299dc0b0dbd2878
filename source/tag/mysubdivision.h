// The MySubdivision tag.
#pragma once

#include "c4d.h"

/// The renderer's subdivision settings of a mesh.
class MySubdivision : public TagData {
 public:
  /// A new tag's data for the host.
  static NodeData* Alloc() { return new MySubdivision; }
};

/// Registers the tag under the name of string resource 10016; true without registering when
/// that name is empty.
Bool RegisterMySubdivision();
