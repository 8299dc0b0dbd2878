// The render-settings video post: carries the render settings of an export.
#pragma once

#include "c4d.h"
#include "object/inhostrender.h"
#include "object/rendersettingsids.h"

class OrvaneDLLWrapper;

/// The video post whose parameters are the renderer's render settings. Every setting lives in the
/// node's container (IDs in rendersettingsids.h), which the host saves, loads and copies.
class RenderSettingsNode : public VideoPostData {
 public:
  /// A new video post's data for the host.
  static NodeData* Alloc() { return new RenderSettingsNode; }

  /// Writes the default render settings into the node's container.
  Bool Init(GeListNode* node) override;
  /// Accepts every message.
  Bool Message(GeListNode* node, LONG type, void* data) override;
  /// Loads the description and hides what the chosen unit, lighting mode and thread choice make
  /// irrelevant.
  Bool GetDDescription(GeListNode* node, Description* description, LONG& flags) override;
  /// Enables the paths, the clay colour and the Metropolis settings only where they apply.
  Bool GetDEnabling(GeListNode* node, const DescID& id, const GeData& value, LONG flags,
                    const BaseContainer* itemdesc) override;
  /// Warns when a background material without emission is linked; the value is stored anyway.
  Bool SetDParameter(GeListNode* node, const DescID& id, const GeData& value, LONG& flags) override;
  /// Needs nothing of the render.
  LONG GetRenderInfo(BaseVideoPost* node) override;

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
