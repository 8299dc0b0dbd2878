// The render-settings video post: carries the render settings of an export.
#pragma once

#include "c4d.h"

class OrvaneDLLWrapper;

/// The video post whose parameters are the renderer's render settings.
class RenderSettingsNode : public VideoPostData {
 public:
  /// A new video post's data for the host.
  static NodeData* Alloc() { return new RenderSettingsNode; }
};

/// Keeps the connection object for the in-host render and registers the video post under the
/// name of string resource 10000; true without registering when that name is empty.
Bool RegisterRenderSettingsVP(OrvaneDLLWrapper* connection);
