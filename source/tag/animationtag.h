// The AnimationTag tag.
#pragma once

#include "c4d.h"

/// Two integer settings; the plug-in does not register it.
class AnimationTag : public TagData {
 public:
  /// A new tag's data for the host.
  static NodeData* Alloc() { return new AnimationTag; }
};

/// Registers the tag under the name of string resource 10015; true without registering when
/// that name is empty.
Bool RegisterAnimationTag();
