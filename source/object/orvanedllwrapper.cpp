#include "object/orvanedllwrapper.h"

#include <algorithm>
#include <utility>

// Holds the connection's lock for one scope; the lock stopwatch restarts each time it is taken.
class OrvaneDLLWrapper::Locked {
 public:
  explicit Locked(OrvaneDLLWrapper* w) : w_(w) {
    w_->lock_->Lock();
    w_->lockWatch_.start = GeGetTimer();
    w_->lockWatch_.stop = -1;
  }
  ~Locked() { w_->lock_->UnLock(); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;

 private:
  OrvaneDLLWrapper* w_;
};

OrvaneDLLWrapper::OrvaneDLLWrapper() : lock_(Semaphore::Alloc()) {}

OrvaneDLLWrapper::~OrvaneDLLWrapper() {
  renderer_.Clear();
  queue_.clear();
  Semaphore::Free(lock_);
}

void OrvaneDLLWrapper::AttachContextFactory(OrvaneContextFactory* factory) {
  Locked l(this);
  factory_ = factory;
}

OrvaneHandle<OrvaneInterface> OrvaneDLLWrapper::CreateRenderContext(int width, int height) {
  OrvaneContextFactory* factory;
  {
    Locked l(this);
    factory = factory_;
  }
  return factory ? factory->CreateRenderContext(width, height) : OrvaneHandle<OrvaneInterface>();
}

void OrvaneDLLWrapper::SetRenderer(const OrvaneHandle<OrvaneInterface>& renderer) {
  OrvaneHandle<OrvaneInterface> old = renderer;
  {
    Locked l(this);
    std::swap(renderer_, old);
    paused_ = 0;
  }
  // `old` goes out of scope here, outside the lock: destroying a context may take a while.
}

OrvaneHandle<OrvaneInterface> OrvaneDLLWrapper::GetRenderer() {
  Locked l(this);
  return renderer_;
}

Bool OrvaneDLLWrapper::HasRenderer() {
  Locked l(this);
  return static_cast<bool>(renderer_);
}

void OrvaneDLLWrapper::ReleaseRenderer(const OrvaneHandle<OrvaneInterface>& renderer) {
  OrvaneHandle<OrvaneInterface> old;
  {
    Locked l(this);
    if (!renderer || renderer_ != renderer) return;
    std::swap(renderer_, old);
    paused_ = 0;
  }
}

void OrvaneDLLWrapper::RestartRenderStopwatch() {
  Locked l(this);
  renderWatch_.start = GeGetTimer();
  renderWatch_.stop = -1;
}

Real OrvaneDLLWrapper::RenderSeconds() {
  Locked l(this);
  LONG end = renderWatch_.stop == -1 ? GeGetTimer() : renderWatch_.stop;
  return (static_cast<Real>(end) - renderWatch_.start) / 1000.0;
}

Bool OrvaneDLLWrapper::IsPaused() {
  Locked l(this);
  return paused_ != 0;
}

Bool OrvaneDLLWrapper::SetPaused(const OrvaneHandle<OrvaneInterface>& renderer, Bool paused) {
  Locked l(this);
  if (!renderer || renderer_ != renderer) return false;
  paused_ = paused ? 1 : 0;
  return true;
}

Bool OrvaneDLLWrapper::IsResumePending() {
  Locked l(this);
  return resumePending_ != 0;
}

void OrvaneDLLWrapper::SetResumePending(Bool pending) {
  Locked l(this);
  resumePending_ = pending ? 1 : 0;
}

Bool OrvaneDLLWrapper::IsTonemappingChanged() {
  Locked l(this);
  return tonemappingChanged_ != 0;
}

Bool OrvaneDLLWrapper::TakeTonemappingChanged() {
  Locked l(this);
  return std::exchange(tonemappingChanged_, 0) != 0;
}

TonemappingData OrvaneDLLWrapper::GetTonemapping() {
  Locked l(this);
  return tonemapping_;
}

void OrvaneDLLWrapper::StoreTonemapping(const TonemappingData& tonemapping, Bool announce) {
  Locked l(this);
  tonemapping_ = tonemapping;
  if (announce) tonemappingChanged_ = renderer_ ? 1 : 0;
}

void OrvaneDLLWrapper::UpdateTonemapping() {
  OrvaneHandle<OrvaneInterface> renderer;
  TonemappingData tm;
  {
    Locked l(this);
    if (!renderer_) return;
    renderer = renderer_;
    tm = tonemapping_;
  }
  // The texts are sent unlocked: the renderer may take its time over them.
  renderer->UpdateTonemapping(TonemappingText(tm).c_str());
  renderer->UpdateTonemapping(WhitePointText(tm).c_str());
  renderer->UpdateTonemapping(LayerControlsText(tm).c_str());
}

Bool OrvaneDLLWrapper::DrainMessages(const OrvaneHandle<OrvaneInterface>& renderer) {
  Bool finished = false;
  renderer->BeginMessageList();
  while (!renderer->IsMessageListEmpty()) {
    OrvaneHandle<OrvaneMessage> message = renderer->TakeNextMessage();
    if (!message) continue;
    const char* text = message->GetText();
    String line(text ? text : "");
    switch (message->GetKind()) {
      case ORVANE_MESSAGE_ERROR: GePrint(String("ERROR: ") + line); break;
      case ORVANE_MESSAGE_INFO: GePrint(line); break;
      case ORVANE_MESSAGE_TONEMAPPING_FINISHED: finished = true; break;
      default: break;
    }
  }
  renderer->EndMessageList();
  return finished;
}

void OrvaneDLLWrapper::HandleMessages() {
  OrvaneHandle<OrvaneInterface> renderer = GetRenderer();
  if (renderer) DrainMessages(renderer);
}

Bool OrvaneDLLWrapper::HandleMessagesTonemapping() {
  OrvaneHandle<OrvaneInterface> renderer = GetRenderer();
  if (!renderer) return true;
  return DrainMessages(renderer);
}

OrvaneDLLWrapper::QueueEntry* OrvaneDLLWrapper::Enqueue(RenderSettingsNode* node) {
  auto entry = std::make_unique<QueueEntry>(QueueEntry{node});
  QueueEntry* raw = entry.get();
  Locked l(this);
  queue_.push_back(std::move(entry));
  return raw;
}

Bool OrvaneDLLWrapper::IsTurnOf(const QueueEntry* entry) {
  Locked l(this);
  return entry && !queue_.empty() && queue_.front().get() == entry && !renderer_;
}

void OrvaneDLLWrapper::RemoveEntry(const QueueEntry* entry) {
  std::unique_ptr<QueueEntry> removed;
  Locked l(this);
  auto it = std::find_if(queue_.begin(), queue_.end(),
                         [entry](const std::unique_ptr<QueueEntry>& e) { return e.get() == entry; });
  if (it == queue_.end()) return;
  removed = std::move(*it);
  queue_.erase(it);
}

LONG OrvaneDLLWrapper::QueueLength() {
  Locked l(this);
  return static_cast<LONG>(queue_.size());
}
