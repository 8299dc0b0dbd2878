// The in-host render of the render-settings video post: the frame is rendered by a render context
// of the renderer's library inside the host's render, and its image copied into the host's
// buffer.
#pragma once

#include "c4d.h"
#include "c4d_videopost.h"
#include "object/orvanedllwrapper.h"

class RenderSettingsNode;

/// One video post's side of the in-host render, run by the host's render thread through the
/// phases of a render: the inner phase queues the render behind other in-host renders and waits
/// for its turn, the render phase's closing call renders (build, warm-up, polling with status and
/// progress, tonemapping updates, image copies, halt), and the sub-frame's closing call lets go
/// of the render context and leaves the queue. Without a connection object every phase answers 0.
class InHostRender {
 public:
  /// Longest wait for the turn in the queue, in seconds.
  static constexpr Real kQueueTimeout = 3600.0;
  /// Longest wait for the renderer's first samples, in seconds.
  static constexpr Real kWarmupTimeout = 600.0;
  /// Longest wait for a tonemapped image, in seconds.
  static constexpr Real kTonemappingTimeout = 30.0;

  InHostRender() = default;
  /// A video post freed in the middle of a render leaves the queue and lets go of its context.
  ~InHostRender();
  InHostRender(const InHostRender&) = delete;
  InHostRender& operator=(const InHostRender&) = delete;

  /// Runs the in-host render's part of the phase in `vps` for the video post `node` that
  /// `owner` belongs to. Answers 0 (done), 1 (failed; the status bar says why) or 6 (user break).
  LONG Execute(OrvaneDLLWrapper* orvane, RenderSettingsNode* owner, BaseVideoPost* node,
               VideoPostStruct* vps);
  /// True when a halt limit is reached at `spp` samples per pixel after `seconds` of rendering:
  /// the samples limit when it is set (not -1), else the time limit when that is set.
  Bool CheckHalt(Real spp, Real seconds) const;
  /// Has the renderer tonemap its image and copies it into the output buffer; TRUE.
  Bool CopyToC4DBuffer(VideoPostStruct* vps);

 private:
  LONG WaitForTurn(RenderSettingsNode* owner, VideoPostStruct* vps);
  LONG RenderFrame(const BaseContainer& data, VideoPostStruct* vps);
  LONG CleanUp();
  Bool CopyImage(VideoPostStruct* vps, bool honourBreak);
  void CopyRows(const UCHAR* image, LONG width, LONG height);

  OrvaneDLLWrapper* orvane_ = nullptr;                  ///< The connection of the current render.
  LONG aborted_ = 0;                                    ///< Result of a render that left the queue early.
  LONG secondStop_ = 0;                                 ///< Asks the render not to start.
  VPBuffer* outputBuffer_ = nullptr;                    ///< The host's colour buffer.
  LONG firstRow_ = 0, lastRow_ = -1;                    ///< Rows of the buffer to fill.
  LONG firstColumn_ = 0, regionWidth_ = 0;              ///< Columns of the buffer to fill.
  LONG frameWidth_ = 0;                                 ///< Width of the whole frame.
  Real haltSpp_ = -1.0;                                 ///< Samples-per-pixel limit (-1: none).
  Real haltTime_ = -1.0;                                ///< Time limit in seconds (-1: none).
  Real updateInterval_ = 10.0;                          ///< Seconds between image copies.
  LONG fastUpdate_ = 0;                                 ///< Poll fast and copy on tonemapping changes only.
  OrvaneDLLWrapper::QueueEntry* queueEntry_ = nullptr;  ///< This render's place in the queue.
  OrvaneHandle<OrvaneInterface> renderer_;              ///< The render context of this render.
};
