// The render-settings video post: carries the render settings of an export.
#pragma once

#include "c4d.h"
#include "object/inhostrender.h"

class OrvaneDLLWrapper;

/// The video post whose parameters are the renderer's render settings.
class RenderSettingsNode : public VideoPostData {
 public:
  /// A new video post's data for the host.
  static NodeData* Alloc() { return new RenderSettingsNode; }

  // --- In-host render ------------------------------------------------------------------------

  /// Asks the render for the colour buffer the in-host render fills (ID 1, 8 bits).
  Bool AllocateBuffers(BaseVideoPost* node, void* render, BaseDocument* doc) override;
  /// The in-host render's part of each render phase; 0 in every phase without a connection.
  LONG Execute(BaseVideoPost* node, VideoPostStruct* vps) override;
  /// True when a halt limit of the running in-host render is reached.
  Bool CheckHalt(Real spp, Real seconds) const { return render_.CheckHalt(spp, seconds); }
  /// Copies the renderer's current image into the host's buffer; TRUE.
  Bool CopyToC4DBuffer(VideoPostStruct* vps) { return render_.CopyToC4DBuffer(vps); }

 private:
  InHostRender render_;
};

/// Keeps the connection object for the in-host render and registers the video post under the
/// name of string resource 10000; true without registering when that name is empty.
Bool RegisterRenderSettingsVP(OrvaneDLLWrapper* connection);
