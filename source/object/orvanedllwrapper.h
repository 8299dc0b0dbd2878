// The connection to the renderer's library for the in-host render.
#pragma once

#include <deque>
#include <memory>

#include "c4d.h"
#include "object/orvaneinterface.h"
#include "object/tonemappingdata.h"

class RenderSettingsNode;

/// Holds what the in-host render shares between the host's render thread and the interface
/// thread: the render context, the interactive tonemapping settings, the paused and
/// tonemapping-changed flags and the queue of renders waiting for their turn. One lock guards all
/// of it; it is taken only around reads and writes of these fields, never around a call into the
/// renderer or a wait. Start-up creates and releases it again: no renderer library is attached.
class OrvaneDLLWrapper {
 public:
  /// A render waiting in the queue, or rendering at its front.
  struct QueueEntry {
    RenderSettingsNode* node;  ///< The video post that queued the render.
  };

  /// Default tonemapping, no render context, nothing queued.
  OrvaneDLLWrapper();
  /// Lets go of the render context and frees the lock and the queue.
  ~OrvaneDLLWrapper();
  OrvaneDLLWrapper(const OrvaneDLLWrapper&) = delete;
  OrvaneDLLWrapper& operator=(const OrvaneDLLWrapper&) = delete;

  // --- Render context --------------------------------------------------------------------------

  /// Attaches the source of render contexts (not owned; null detaches it).
  void AttachContextFactory(OrvaneContextFactory* factory);
  /// A new render context from the attached source; empty when there is none or it has none.
  OrvaneHandle<OrvaneInterface> CreateRenderContext(int width, int height);
  /// Makes `renderer` the running render context; a new context starts unpaused.
  void SetRenderer(const OrvaneHandle<OrvaneInterface>& renderer);
  /// A counted copy of the running render context (empty when none), safe to use unlocked.
  OrvaneHandle<OrvaneInterface> GetRenderer();
  /// True while a render context runs.
  Bool HasRenderer();
  /// Lets go of the running render context when it is `renderer`, and clears the paused flag.
  void ReleaseRenderer(const OrvaneHandle<OrvaneInterface>& renderer);

  // --- Stopwatch and flags -----------------------------------------------------------------------

  /// Starts the render stopwatch anew.
  void RestartRenderStopwatch();
  /// Seconds on the render stopwatch.
  Real RenderSeconds();
  /// True while the user has the render paused.
  Bool IsPaused();
  /// Sets the paused flag, but only while `renderer` is still the running context; answers
  /// whether it was set.
  Bool SetPaused(const OrvaneHandle<OrvaneInterface>& renderer, Bool paused);
  /// True while a resume waits for its adjustment.
  Bool IsResumePending();
  /// Sets or clears the resume-pending flag (nothing in the plug-in sets it yet).
  void SetResumePending(Bool pending);
  /// True while changed tonemapping settings wait to be sent.
  Bool IsTonemappingChanged();
  /// Answers the tonemapping-changed flag and clears it in one step.
  Bool TakeTonemappingChanged();

  // --- Tonemapping -------------------------------------------------------------------------------

  /// A copy of the tonemapping settings.
  TonemappingData GetTonemapping();
  /// Stores the tonemapping settings. With `announce`, the running render is told to send them
  /// (the changed flag is set when a render context runs and cleared when none does).
  void StoreTonemapping(const TonemappingData& tonemapping, Bool announce);
  /// Sends the tonemapping settings to the running render context as three texts: tonemapping,
  /// white point and layer controls.
  void UpdateTonemapping();

  // --- Messages ----------------------------------------------------------------------------------

  /// Drains the renderer's messages: information goes to the console, errors go to the console
  /// as "ERROR: " and the text (this runs on the render thread, where no dialog may open).
  void HandleMessages();
  /// Drains the messages as `HandleMessages` does; true when one of them said the tonemapped
  /// image is ready, and true at once when no render context runs.
  Bool HandleMessagesTonemapping();

  // --- Queue -------------------------------------------------------------------------------------

  /// Appends a render of `node` to the queue; the entry belongs to the queue.
  QueueEntry* Enqueue(RenderSettingsNode* node);
  /// True when `entry` is at the front of the queue and no render context runs: its turn.
  Bool IsTurnOf(const QueueEntry* entry);
  /// Removes and frees `entry`, wherever it is in the queue.
  void RemoveEntry(const QueueEntry* entry);
  /// Number of renders queued (the running one included).
  LONG QueueLength();

 private:
  class Locked;
  struct Stopwatch {
    LONG start = 0;
    LONG stop = -1;  ///< -1 while running.
  };
  Bool DrainMessages(const OrvaneHandle<OrvaneInterface>& renderer);

  Semaphore* lock_;
  Stopwatch renderWatch_;
  Stopwatch lockWatch_;
  TonemappingData tonemapping_;
  LONG paused_ = 0;
  LONG resumePending_ = 0;
  LONG tonemappingChanged_ = 0;
  std::deque<std::unique_ptr<QueueEntry>> queue_;
  OrvaneHandle<OrvaneInterface> renderer_;
  OrvaneContextFactory* factory_ = nullptr;
};
