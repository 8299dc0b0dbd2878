// Running a render through a document's video posts.
#include "host_render.h"

#include "c4d_basedocument.h"
#include "c4d_nodedata.h"

namespace host {

RenderJob::RenderJob(BaseDocument* doc, LONG width, LONG height, LONG channels)
    : doc_(doc), render_(width, height, channels) {}

RenderJob::~RenderJob() {
  Break();
  thread_.Wait();
}

LONG RenderJob::Run() {
  if (thread_.IsRunning()) return EXECUTIONRESULT_OUTOFMEMORY;
  thread_.Start(FALSE);
  return result_.load();
}

Bool RenderJob::Start() { return thread_.Start(TRUE); }

LONG RenderJob::Wait() {
  thread_.Wait();
  return result_.load();
}

void RenderJob::Break() { broken_.store(true); }

std::vector<PhaseCall> RenderJob::Calls() const {
  std::lock_guard<std::mutex> lock(callsMutex_);
  return calls_;
}

LONG RenderJob::Call(BaseVideoPost* vp, LONG phase, bool open) {
  auto* data = static_cast<VideoPostData*>(vp->GetNodeData());
  VideoPostStruct vps;
  vps.vp = phase;
  vps.open = open;
  vps.doc = doc_;
  vps.render = &render_;
  vps.thread = &thread_;
  LONG result = data->Execute(vp, &vps);
  std::lock_guard<std::mutex> lock(callsMutex_);
  calls_.push_back(PhaseCall{vp->GetType(), phase, open, result});
  return result;
}

LONG RenderJob::RunPhases() {
  std::vector<BaseVideoPost*> posts;
  RenderData* rd = doc_ ? doc_->GetActiveRenderData() : nullptr;
  for (BaseVideoPost* vp = rd ? rd->GetFirstVideoPost() : nullptr; vp; vp = vp->GetNext())
    if (!vp->GetBit(BIT_VPDISABLED) && vp->GetNodeData()) posts.push_back(vp);

  for (BaseVideoPost* vp : posts) {
    auto* data = static_cast<VideoPostData*>(vp->GetNodeData());
    if (!data->AllocateBuffers(vp, &render_, doc_)) return EXECUTIONRESULT_OUTOFMEMORY;
  }

  static const LONG kPhases[] = {VIDEOPOSTCALL_FRAMESEQUENCE, VIDEOPOSTCALL_FRAME, VIDEOPOSTCALL_SUBFRAME,
                                 VIDEOPOSTCALL_RENDER, VIDEOPOSTCALL_INNER};
  LONG result = EXECUTIONRESULT_OK;
  int opened = 0;
  for (LONG phase : kPhases) {
    ++opened;
    for (BaseVideoPost* vp : posts) {
      LONG r = Call(vp, phase, true);
      if (r != EXECUTIONRESULT_OK && result == EXECUTIONRESULT_OK) result = r;
    }
    if (result != EXECUTIONRESULT_OK) break;
  }
  for (int i = opened - 1; i >= 0; --i) {
    for (BaseVideoPost* vp : posts) {
      LONG r = Call(vp, kPhases[i], false);
      if (r != EXECUTIONRESULT_OK && result == EXECUTIONRESULT_OK) result = r;
    }
  }
  return result;
}

}  // namespace host
