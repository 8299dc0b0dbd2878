#include "support/fake_render_context.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "c4d_general.h"

// --- Record -------------------------------------------------------------------------------------

void FakeRenderRecord::Add(const std::string& call) {
  std::lock_guard<std::mutex> lock(mutex_);
  calls_.push_back(call);
}

std::vector<std::string> FakeRenderRecord::Calls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return calls_;
}

int FakeRenderRecord::Count(const std::string& name) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int>(std::count(calls_.begin(), calls_.end(), name));
}

std::vector<std::string> FakeRenderRecord::TonemappingTexts() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return texts_;
}

int FakeRenderRecord::Option() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return option_;
}

std::pair<int, double> FakeRenderRecord::Adjustment() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return adjustment_;
}

double FakeRenderRecord::SamplesAtStop() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return sppAtStop_;
}

// --- Gate ---------------------------------------------------------------------------------------

void FakeGate::Close() {
  std::lock_guard<std::mutex> lock(mutex_);
  closed_ = true;
}

void FakeGate::Open() {
  std::lock_guard<std::mutex> lock(mutex_);
  closed_ = false;
  cv_.notify_all();
}

bool FakeGate::WaitUntilHeld() {
  std::unique_lock<std::mutex> lock(mutex_);
  return cv_.wait_for(lock, std::chrono::seconds(10), [this] { return held_; });
}

void FakeGate::Pass() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!closed_) return;
  held_ = true;
  cv_.notify_all();
  cv_.wait_for(lock, std::chrono::seconds(10), [this] { return !closed_; });
  held_ = false;
}

// --- Messages -----------------------------------------------------------------------------------

class FakeMessage final : public OrvaneMessage {
 public:
  FakeMessage(int kind, std::string text, std::shared_ptr<FakeRenderRecord> record)
      : kind_(kind), text_(std::move(text)), record_(std::move(record)) {
    ++record_->messagesHeld_;
  }
  ~FakeMessage() { --record_->messagesHeld_; }
  void IncRefCount() override { ++refs_; }
  long DecRefCount() override { return --refs_; }
  DestroyFunction GetDestroyFunction() override {
    return [](OrvaneObject* ob) { delete static_cast<FakeMessage*>(ob); };
  }
  int GetKind() override { return kind_; }
  const char* GetText() override { return text_.c_str(); }

 private:
  int kind_;
  std::string text_;
  std::shared_ptr<FakeRenderRecord> record_;
  std::atomic<long> refs_{0};
};

// --- Context ------------------------------------------------------------------------------------

FakeRenderContext::FakeRenderContext(const FakeRenderConfig& config, int width, int height,
                                     std::shared_ptr<FakeRenderRecord> record, std::shared_ptr<FakeGate> gate)
    : config_(config),
      width_(width + 2 * config.margin),
      height_(height + 2 * config.margin),
      record_(std::move(record)),
      gate_(std::move(gate)),
      actionDone_(config.actions.size(), false) {
  record_->frameWidth_ = width;
  record_->frameHeight_ = height;
}

FakeRenderContext::~FakeRenderContext() { record_->destroyed_.store(true); }

void FakeRenderContext::Destroy(OrvaneObject* ob) { delete static_cast<FakeRenderContext*>(ob); }

OrvaneHandle<OrvaneInterface> FakeRenderContext::Make(const FakeRenderConfig& config, int width, int height,
                                                      std::shared_ptr<FakeRenderRecord>* record) {
  auto rec = std::make_shared<FakeRenderRecord>();
  if (record) *record = rec;
  return OrvaneHandle<OrvaneInterface>(new FakeRenderContext(config, width, height, rec));
}

void FakeRenderContext::PixelAt(int x, int y, unsigned char rgb[3]) {
  rgb[0] = static_cast<unsigned char>(x * 11 + y * 3);
  rgb[1] = static_cast<unsigned char>(x * 5 + y * 13 + 7);
  rgb[2] = static_cast<unsigned char>((x ^ y) + 100);
}

void FakeRenderContext::Tick() {
  double now = GeGetMilliSeconds();
  if (started_ && !paused_ && !stopped_) samplingMs_ += now - lastMs_;
  lastMs_ = now;
  for (auto it = scheduled_.begin(); it != scheduled_.end();) {
    if (it->dueMs <= now) {
      inbox_.push_back(*it);
      it = scheduled_.erase(it);
    } else {
      ++it;
    }
  }
}

double FakeRenderContext::SamplesLocked() const {
  if (config_.warmupMs < 0 || samplingMs_ <= config_.warmupMs) return 0.0;
  return (samplingMs_ - config_.warmupMs) * config_.samplesPerSecond / 1000.0;
}

void FakeRenderContext::StartBuildingScene() { record_->Add("StartBuildingScene"); }

void FakeRenderContext::SetOption(int option) {
  record_->Add("SetOption");
  std::lock_guard<std::mutex> lock(record_->mutex_);
  record_->option_ = option;
}

void FakeRenderContext::StartRendering() {
  record_->Add("StartRendering");
  if (gate_) gate_->Pass();
  std::lock_guard<std::mutex> lock(mutex_);
  started_ = true;
  startMs_ = lastMs_ = GeGetMilliSeconds();
  for (const FakeScheduledMessage& m : config_.messages)
    scheduled_.push_back({startMs_ + m.atMs, m.kind, m.text});
}

double FakeRenderContext::GetSamplesPerPixel() {
  std::vector<std::function<void()>> due;
  double spp;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    Tick();
    spp = SamplesLocked();
    for (size_t i = 0; i < config_.actions.size(); ++i) {
      if (!actionDone_[i] && started_ && lastMs_ - startMs_ >= config_.actions[i].atMs) {
        actionDone_[i] = true;
        due.push_back(config_.actions[i].action);
      }
    }
  }
  for (auto& action : due) action();
  return spp;
}

void FakeRenderContext::Pause() {
  record_->Add("Pause");
  {
    std::lock_guard<std::mutex> lock(mutex_);
    Tick();
    paused_ = true;
  }
  if (config_.onPause) config_.onPause();
}

void FakeRenderContext::Resume() {
  record_->Add("Resume");
  std::lock_guard<std::mutex> lock(mutex_);
  Tick();
  paused_ = false;
}

void FakeRenderContext::AdjustAfterResume(int mode, double factor) {
  record_->Add("AdjustAfterResume");
  std::lock_guard<std::mutex> lock(record_->mutex_);
  record_->adjustment_ = {mode, factor};
}

void FakeRenderContext::StartTonemapping() {
  record_->Add("StartTonemapping");
  std::lock_guard<std::mutex> lock(mutex_);
  Tick();
  if (config_.tonemappingFinishes)
    scheduled_.push_back(
        {lastMs_ + config_.tonemappingMs, ORVANE_MESSAGE_TONEMAPPING_FINISHED, "tonemapped"});
}

int FakeRenderContext::GetImageWidth() { return width_; }
int FakeRenderContext::GetImageHeight() { return height_; }

void FakeRenderContext::CopyTonemappedImage(unsigned char* buffer, size_t size) {
  record_->Add("CopyTonemappedImage");
  size_t pixels = std::min(size / 3, static_cast<size_t>(width_) * height_);
  for (size_t i = 0; i < pixels; ++i)
    PixelAt(static_cast<int>(i % width_), static_cast<int>(i / width_), buffer + 3 * i);
}

void FakeRenderContext::UpdateTonemapping(const char* xml) {
  record_->Add("UpdateTonemapping");
  std::lock_guard<std::mutex> lock(record_->mutex_);
  record_->texts_.push_back(xml ? xml : "");
}

void FakeRenderContext::BeginMessageList() {
  std::lock_guard<std::mutex> lock(mutex_);
  Tick();
}

bool FakeRenderContext::IsMessageListEmpty() {
  std::lock_guard<std::mutex> lock(mutex_);
  return inbox_.empty();
}

OrvaneHandle<OrvaneMessage> FakeRenderContext::TakeNextMessage() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (inbox_.empty()) return OrvaneHandle<OrvaneMessage>();
  Pending p = inbox_.front();
  inbox_.pop_front();
  return OrvaneHandle<OrvaneMessage>(new FakeMessage(p.kind, p.text, record_));
}

void FakeRenderContext::EndMessageList() {}

void FakeRenderContext::Stop() {
  record_->Add("Stop");
  double spp;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    Tick();
    stopped_ = true;
    spp = SamplesLocked();
  }
  std::lock_guard<std::mutex> lock(record_->mutex_);
  if (record_->sppAtStop_ < 0) record_->sppAtStop_ = spp;
}

// --- Renderer -----------------------------------------------------------------------------------

OrvaneHandle<OrvaneInterface> FakeRenderer::CreateRenderContext(int width, int height) {
  if (refuse.load()) return OrvaneHandle<OrvaneInterface>();
  auto record = std::make_shared<FakeRenderRecord>();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    records_.push_back(record);
  }
  return OrvaneHandle<OrvaneInterface>(new FakeRenderContext(config, width, height, record, gate_));
}

std::vector<std::shared_ptr<FakeRenderRecord>> FakeRenderer::Records() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return records_;
}
