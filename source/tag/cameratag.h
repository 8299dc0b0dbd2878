// The CameraTag tag.
#pragma once

#include "c4d.h"

class OrvaneDLLWrapper;

/// The renderer's camera settings: lens, aperture, white balance and tonemapping.
class CameraTag : public TagData {
 public:
  /// A new tag's data for the host.
  static NodeData* Alloc() { return new CameraTag; }
};

/// Registers the tag under the name of string resource 10009; true without registering when
/// that name is empty.
Bool RegisterCameraTag(OrvaneDLLWrapper* connection);
