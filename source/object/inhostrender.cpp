#include "object/inhostrender.h"
#include "object/rendersettingsids.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>
#include <vector>

namespace {

constexpr LONG kPollMs = 100;
constexpr LONG kFastPollMs = 10;
// Pixels the renderer's image has beyond the frame on each side when the sizes differ.
constexpr LONG kMargin = 2;

Bool Broken(VideoPostStruct* vps) { return vps->thread && vps->thread->TestBreak(); }

Real SecondsSince(LONG startMs) { return (static_cast<Real>(GeGetTimer()) - startMs) / 1000.0; }

LONG Percent(Real fraction) {
  if (!(fraction > 0.0)) return 0;
  return fraction >= 1.0 ? 100 : static_cast<LONG>(std::lround(fraction * 100.0));
}

String SamplesText(const char* prefix, Real spp) {
  return String(prefix) + String::RealToString(spp, -1, 1) + " samples per pixel";
}

}  // namespace

InHostRender::~InHostRender() {
  if (orvane_ && (queueEntry_ || renderer_)) CleanUp();
}

LONG InHostRender::Execute(OrvaneDLLWrapper* orvane, RenderSettingsNode* owner, BaseVideoPost* node,
                           VideoPostStruct* vps) {
  if (!orvane || !node || !vps) return EXECUTIONRESULT_OK;
  const BaseContainer data = node->GetData();
  orvane_ = orvane;
  switch (vps->vp) {
    case VIDEOPOSTCALL_INNER: return vps->open ? WaitForTurn(owner, vps) : EXECUTIONRESULT_OK;
    case VIDEOPOSTCALL_RENDER: return vps->open ? EXECUTIONRESULT_OK : RenderFrame(data, vps);
    case VIDEOPOSTCALL_SUBFRAME: return vps->open ? EXECUTIONRESULT_OK : CleanUp();
    default: return EXECUTIONRESULT_OK;
  }
}

Bool InHostRender::CheckHalt(Real spp, Real seconds) const {
  if (haltSpp_ != -1.0) return haltSpp_ < spp;
  return haltTime_ != -1.0 && haltTime_ < seconds;
}

LONG InHostRender::WaitForTurn(RenderSettingsNode* owner, VideoPostStruct* vps) {
  aborted_ = 0;
  secondStop_ = 0;
  if (queueEntry_) orvane_->RemoveEntry(queueEntry_);  // left over from a render never cleaned up
  queueEntry_ = orvane_->Enqueue(owner);

  const LONG start = GeGetTimer();
  while (!orvane_->IsTurnOf(queueEntry_)) {
    LONG gaveUp = EXECUTIONRESULT_OK;
    if (Broken(vps)) {
      gaveUp = EXECUTIONRESULT_USERBREAK;
    } else if (SecondsSince(start) > kQueueTimeout) {
      StatusSetText("Gave up waiting for another Orvane render");
      gaveUp = EXECUTIONRESULT_OUTOFMEMORY;
    }
    if (gaveUp != EXECUTIONRESULT_OK) {
      // Leave the queue at once, so that nobody waits behind this render.
      orvane_->RemoveEntry(queueEntry_);
      queueEntry_ = nullptr;
      aborted_ = gaveUp;
      return gaveUp;
    }
    StatusSetText("Queued...");
    GeSleep(kPollMs);
  }
  return EXECUTIONRESULT_OK;
}

LONG InHostRender::RenderFrame(const BaseContainer& data, VideoPostStruct* vps) {
  if (aborted_) return aborted_;
  if (!queueEntry_) return EXECUTIONRESULT_OK;  // this video post did not queue a render
  if (Broken(vps) || secondStop_) return EXECUTIONRESULT_USERBREAK;

  StatusSetText("");
  StatusSetText("Building scene...");

  outputBuffer_ = vps->render ? vps->render->GetBuffer(VPBUFFER_RGBA, 0) : nullptr;
  if (!outputBuffer_) return EXECUTIONRESULT_OUTOFMEMORY;
  frameWidth_ = static_cast<LONG>(outputBuffer_->GetInfo(VPGETINFO_XRESOLUTION));
  const LONG frameHeight = static_cast<LONG>(outputBuffer_->GetInfo(VPGETINFO_YRESOLUTION));
  firstRow_ = 0;
  lastRow_ = frameHeight - 1;
  firstColumn_ = 0;
  regionWidth_ = frameWidth_;

  renderer_ = orvane_->CreateRenderContext(frameWidth_, frameHeight);
  if (!renderer_) {
    // Without a renderer nothing will ever render: fail now rather than wait for a break.
    StatusSetText("Orvane renderer not available");
    return EXECUTIONRESULT_OUTOFMEMORY;
  }
  orvane_->SetRenderer(renderer_);
  renderer_->StartBuildingScene();
  renderer_->SetOption(1);
  renderer_->StartRendering();
  orvane_->RestartRenderStopwatch();
  orvane_->HandleMessages();

  const LONG warmupStart = GeGetTimer();
  while (renderer_->GetSamplesPerPixel() == 0.0) {
    if (Broken(vps)) return EXECUTIONRESULT_USERBREAK;
    if (SecondsSince(warmupStart) > kWarmupTimeout) {
      StatusSetText("Orvane did not finish warming up");
      return EXECUTIONRESULT_OUTOFMEMORY;
    }
    StatusSetText("Building scene/Doing warmup");
    orvane_->HandleMessages();
    GeSleep(kPollMs);
  }

  Real lastCopy = orvane_->RenderSeconds();
  updateInterval_ = 10.0;
  haltSpp_ = data.GetReal(RS_HALT_SPP, -1.0);
  haltTime_ = data.GetReal(RS_HALT_TIME, -1.0);

  bool broken = false;
  for (;;) {
    if (Broken(vps)) {
      broken = true;
      break;
    }
    const Real elapsed = orvane_->RenderSeconds();
    if (orvane_->IsResumePending()) {
      updateInterval_ = 0.5;
      if (elapsed > 5.0) {
        renderer_->AdjustAfterResume(0, 1.0);
        orvane_->SetResumePending(false);
        lastCopy = elapsed;
        StatusSetText("");
        updateInterval_ = 10.0;
      }
    }

    const Bool changed = orvane_->TakeTonemappingChanged();
    if (changed || (!fastUpdate_ && elapsed - lastCopy > updateInterval_)) {
      StatusSetBar(100);
      StatusSetText("Tonemapping...");
      if (changed) orvane_->UpdateTonemapping();
      CopyImage(vps, true);
      lastCopy = elapsed;
      StatusSetText("");
    }

    const Real spp = renderer_->GetSamplesPerPixel();
    if (orvane_->IsPaused()) {
      StatusSetText(SamplesText("Paused: ", spp));
    } else {
      StatusSetBar(Percent((elapsed - lastCopy) / updateInterval_));
      StatusSetText(SamplesText("Rendering: ", spp));
    }
    orvane_->HandleMessages();
    if (CheckHalt(spp, elapsed)) break;
    GeSleep(fastUpdate_ ? kFastPollMs : kPollMs);
  }

  renderer_->Stop();
  orvane_->SetPaused(renderer_, false);

  if (!(fastUpdate_ && broken)) {
    StatusSetBar(100);
    StatusSetText("Final tonemapping...");
    // The last image is wanted also when the user broke the render off: only the time limit
    // ends this wait.
    CopyImage(vps, !broken);
  }
  StatusSetText("Closing render threads...");
  return EXECUTIONRESULT_OK;
}

LONG InHostRender::CleanUp() {
  if (aborted_) return aborted_;
  if (renderer_) {
    renderer_->Stop();
    orvane_->ReleaseRenderer(renderer_);
    renderer_.Clear();
  }
  if (queueEntry_) {
    orvane_->RemoveEntry(queueEntry_);
    queueEntry_ = nullptr;
  }
  outputBuffer_ = nullptr;
  return EXECUTIONRESULT_OK;
}

Bool InHostRender::CopyToC4DBuffer(VideoPostStruct* vps) { return CopyImage(vps, true); }

Bool InHostRender::CopyImage(VideoPostStruct* vps, bool honourBreak) {
  OrvaneHandle<OrvaneInterface> renderer = renderer_;
  if (renderer) {
    renderer->Pause();
    renderer->StartTonemapping();
  }

  bool ready = true;
  const LONG start = GeGetTimer();
  while (orvane_ && !orvane_->HandleMessagesTonemapping()) {
    if ((honourBreak && Broken(vps)) || SecondsSince(start) > kTonemappingTimeout) {
      if (!Broken(vps)) StatusSetText("Tonemapping did not finish");
      ready = false;
      break;
    }
    GeSleep(kPollMs);
  }

  if (ready && renderer) {
    const LONG width = renderer->GetImageWidth();
    const LONG height = renderer->GetImageHeight();
    if (width > 0 && height > 0) {
      const size_t size = static_cast<size_t>(width) * static_cast<size_t>(height) * 3;
      std::unique_ptr<UCHAR[]> image(new (std::nothrow) UCHAR[size]());
      if (image) {
        renderer->CopyTonemappedImage(image.get(), size);
        CopyRows(image.get(), width, height);
      }
    }
  }

  // A pause the user asked for outlasts the copy.
  if (renderer && !orvane_->IsPaused()) renderer->Resume();
  return true;
}

void InHostRender::CopyRows(const UCHAR* image, LONG width, LONG height) {
  VPBuffer* buffer = outputBuffer_;
  if (!buffer || buffer->GetInfo(VPGETINFO_BITDEPTH) != 8) return;
  const LONG channels = static_cast<LONG>(buffer->GetInfo(VPGETINFO_CPP));
  const LONG bufferWidth = static_cast<LONG>(buffer->GetInfo(VPGETINFO_XRESOLUTION));
  const LONG bufferHeight = static_cast<LONG>(buffer->GetInfo(VPGETINFO_YRESOLUTION));
  // The region must lie inside the buffer, and each pixel needs room for red, green and blue.
  if (channels < 3 || regionWidth_ <= 0 || firstColumn_ < 0 || firstRow_ < 0) return;
  if (firstColumn_ + regionWidth_ > bufferWidth || lastRow_ >= bufferHeight) return;

  std::unique_ptr<UCHAR[]> row(new (std::nothrow) UCHAR[static_cast<size_t>(channels) * regionWidth_]());
  if (!row) return;
  const LONG margin = width != frameWidth_ ? kMargin : 0;
  for (LONG y = firstRow_; y <= lastRow_; ++y) {
    const LONG sy = y + margin;
    for (LONG i = 0; i < regionWidth_; ++i) {
      const LONG sx = firstColumn_ + i + margin;
      UCHAR* out = row.get() + static_cast<size_t>(i) * channels;
      if (sx < width && sy < height) {
        const UCHAR* in = image + (static_cast<size_t>(sy) * width + sx) * 3;
        out[0] = in[0];
        out[1] = in[1];
        out[2] = in[2];
      } else {
        out[0] = out[1] = out[2] = 0;  // beyond the renderer's image
      }
    }
    buffer->SetLine(firstColumn_, y, regionWidth_, row.get(), 8, false);
  }
}
