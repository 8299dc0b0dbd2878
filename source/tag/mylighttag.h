// The MyLightTag tag.
#pragma once

#include "c4d.h"

/// Renderer settings of a light: emission, IES profile, light layer.
class MyLightTag : public TagData {
 public:
  /// A new tag's data for the host.
  static NodeData* Alloc() { return new MyLightTag; }
};

/// Registers the tag under the name of string resource 10002; true without registering when
/// that name is empty.
Bool RegisterMyLightTag();
