// The host's side of a render: running one through the video posts of a document (what the
// status bar showed meanwhile is in the record of host_record.h). Nothing here is part of the plug-in
// interface; the plug-in never includes this header.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "c4d_thread.h"
#include "c4d_videopost.h"

class BaseDocument;
class BaseVideoPost;

namespace host {

// --- Renders -----------------------------------------------------------------

/// One call of a video post's `Execute`.
struct PhaseCall {
  LONG videoPost;  ///< The video post's type.
  LONG phase;      ///< `VIDEOPOSTCALL_*`.
  bool open;       ///< Opening or closing call.
  LONG result;     ///< What it answered.
};

/// One render of a document's first frame through the enabled video posts of its active render
/// data, as the host's renderer runs it: the video posts allocate their buffers, then every phase
/// is opened from the outside in and closed from the inside out. A phase whose opening call fails
/// opens nothing further; every phase that was opened is closed again.
class RenderJob {
 public:
  /// A render of `doc` (not owned; must outlive the job) at `width` × `height` pixels whose colour
  /// buffer has `channels` channels.
  RenderJob(BaseDocument* doc, LONG width, LONG height, LONG channels = 4);
  /// Asks a running render to break and waits for it.
  ~RenderJob();
  RenderJob(const RenderJob&) = delete;
  RenderJob& operator=(const RenderJob&) = delete;

  /// Runs the render on the calling thread; answers the first failure (0 when none).
  LONG Run();
  /// Runs the render on a thread of its own (the render thread); false when one runs already.
  Bool Start();
  /// Waits for a started render; answers its result.
  LONG Wait();
  /// The user's break: the render thread's break test answers true from now on.
  void Break();
  /// True while a started render runs.
  Bool IsRunning() const { return thread_.IsRunning(); }
  /// The render with its buffers.
  Render* GetRender() { return &render_; }
  /// Every `Execute` call so far, in order.
  std::vector<PhaseCall> Calls() const;

 private:
  class Thread : public C4DThread {
   public:
    explicit Thread(RenderJob* job) : job_(job) {}
    void Main() override { job_->result_ = job_->RunPhases(); }
    Bool TestDBreak() override { return job_->broken_.load(); }
    const char* GetThreadName() override { return "render"; }

   private:
    RenderJob* job_;
  };

  LONG RunPhases();
  LONG Call(BaseVideoPost* vp, LONG phase, bool open);

  BaseDocument* doc_;
  Render render_;
  Thread thread_{this};
  std::atomic<bool> broken_{false};
  std::atomic<LONG> result_{0};
  mutable std::mutex callsMutex_;
  std::vector<PhaseCall> calls_;
};

}  // namespace host
