// A render context that stands in for the renderer's library in tests: it builds, warms up and
// samples on the host's clock, produces a fixed image, posts messages on a schedule, and records
// every call it receives.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "object/orvaneinterface.h"

/// A message the fake posts once its render has run `atMs` milliseconds.
struct FakeScheduledMessage {
  double atMs;
  int kind;
  std::string text;
};

/// Something a test does on the render thread once the render has run `atMs` milliseconds
/// (checked whenever the render asks for the samples per pixel).
struct FakeScheduledAction {
  double atMs;
  std::function<void()> action;
};

/// How a fake render behaves.
struct FakeRenderConfig {
  int margin = 0;                   ///< Pixels the image has beyond the frame on each side.
  double warmupMs = 1000.0;         ///< Sampling time before the first sample (< 0: never).
  double samplesPerSecond = 10.0;   ///< Samples per pixel gained per second of sampling.
  bool tonemappingFinishes = true;  ///< Whether a started tonemapping ever reports back.
  double tonemappingMs = 0.0;       ///< How long a tonemapping takes.
  std::vector<FakeScheduledMessage> messages;
  std::vector<FakeScheduledAction> actions;
  std::function<void()> onPause;  ///< Runs inside every `Pause` call, after it is recorded.
};

/// What one fake context received; it outlives the context.
class FakeRenderRecord {
 public:
  /// Every call by name, in order ("StartBuildingScene", "Pause", ...).
  std::vector<std::string> Calls() const;
  /// How often `name` was called.
  int Count(const std::string& name) const;
  /// The tonemapping texts received, in order.
  std::vector<std::string> TonemappingTexts() const;
  /// The option set, or -1.
  int Option() const;
  /// The (mode, factor) of the last after-resume adjustment.
  std::pair<int, double> Adjustment() const;
  /// Samples per pixel when `Stop` was first called (-1 before).
  double SamplesAtStop() const;
  /// The frame size the context was made for.
  int FrameWidth() const { return frameWidth_; }
  int FrameHeight() const { return frameHeight_; }
  /// True once the context was destroyed through its destroy function.
  bool Destroyed() const { return destroyed_.load(); }
  /// The number of messages taken and not yet released.
  int MessagesHeld() const { return messagesHeld_.load(); }

 private:
  friend class FakeRenderContext;
  friend class FakeMessage;
  void Add(const std::string& call);
  mutable std::mutex mutex_;
  std::vector<std::string> calls_;
  std::vector<std::string> texts_;
  int option_ = -1;
  std::pair<int, double> adjustment_{-1, 0.0};
  double sppAtStop_ = -1.0;
  int frameWidth_ = 0;
  int frameHeight_ = 0;
  std::atomic<bool> destroyed_{false};
  std::atomic<int> messagesHeld_{0};
};

/// Holds a render in `StartRendering` until the test lets it go (at most 10 s of real time).
class FakeGate {
 public:
  /// Closes the gate for the next render that starts.
  void Close();
  /// Opens it.
  void Open();
  /// Waits (at most 10 s) until a render waits at the gate; true when one does.
  bool WaitUntilHeld();
  /// Called by the render: waits while the gate is closed.
  void Pass();

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool closed_ = false;
  bool held_ = false;
};

/// The fake render context.
class FakeRenderContext final : public OrvaneInterface {
 public:
  /// A context for a frame of `width` × `height`; its image is larger by the margin on each side.
  FakeRenderContext(const FakeRenderConfig& config, int width, int height,
                    std::shared_ptr<FakeRenderRecord> record, std::shared_ptr<FakeGate> gate = nullptr);
  ~FakeRenderContext();

  /// A new context in a handle, with its record.
  static OrvaneHandle<OrvaneInterface> Make(const FakeRenderConfig& config, int width, int height,
                                            std::shared_ptr<FakeRenderRecord>* record);
  /// The colour of the image's pixel (x, y): red, green, blue.
  static void PixelAt(int x, int y, unsigned char rgb[3]);

  void IncRefCount() override { ++refs_; }
  long DecRefCount() override { return --refs_; }
  DestroyFunction GetDestroyFunction() override { return &Destroy; }

  void StartBuildingScene() override;
  void SetOption(int option) override;
  void StartRendering() override;
  double GetSamplesPerPixel() override;
  void Pause() override;
  void Resume() override;
  void AdjustAfterResume(int mode, double factor) override;
  void StartTonemapping() override;
  int GetImageWidth() override;
  int GetImageHeight() override;
  void CopyTonemappedImage(unsigned char* buffer, size_t size) override;
  void UpdateTonemapping(const char* xml) override;
  void BeginMessageList() override;
  bool IsMessageListEmpty() override;
  OrvaneHandle<OrvaneMessage> TakeNextMessage() override;
  void EndMessageList() override;
  void Stop() override;

 private:
  struct Pending {
    double dueMs;  // host milliseconds
    int kind;
    std::string text;
  };
  static void Destroy(OrvaneObject* ob);
  void Tick();  // under mutex_: advances the sampling time, posts what is due
  double SamplesLocked() const;

  FakeRenderConfig config_;
  int width_, height_;
  std::shared_ptr<FakeRenderRecord> record_;
  std::shared_ptr<FakeGate> gate_;
  std::atomic<long> refs_{0};
  std::mutex mutex_;
  bool started_ = false, paused_ = false, stopped_ = false;
  double startMs_ = 0.0, lastMs_ = 0.0, samplingMs_ = 0.0;
  std::vector<Pending> scheduled_;
  std::deque<Pending> inbox_;
  std::vector<bool> actionDone_;
};

/// A source of fake contexts to attach to a connection object.
class FakeRenderer : public OrvaneContextFactory {
 public:
  FakeRenderer() : gate_(std::make_shared<FakeGate>()) {}
  /// How the next contexts behave (set before a render starts).
  FakeRenderConfig config;
  /// With `refuse`, no context is made.
  std::atomic<bool> refuse{false};

  OrvaneHandle<OrvaneInterface> CreateRenderContext(int width, int height) override;
  /// The records of every context made, in order.
  std::vector<std::shared_ptr<FakeRenderRecord>> Records() const;
  /// The gate every context passes as it starts rendering.
  FakeGate& Gate() { return *gate_; }

 private:
  mutable std::mutex mutex_;
  std::vector<std::shared_ptr<FakeRenderRecord>> records_;
  std::shared_ptr<FakeGate> gate_;
};
