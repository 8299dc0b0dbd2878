// The small modal dialog that runs the export thread and closes when it has ended.
#pragma once

#include "c4d.h"

class OVSExportThread;

/// Shows "Exporting...", starts the export thread once the renderer's location is known, and polls
/// it every 250 ms; refuses to close while it runs.
class ExportDialog : public GeDialog {
 public:
  /// A dialog that will export `doc` (not owned).
  explicit ExportDialog(BaseDocument* doc);
  /// Waits for and frees a thread still held (the dialog is normally closed only after it ended).
  ~ExportDialog() override;

  /// Title and the one text. Always true.
  Bool CreateLayout() override;
  /// Makes sure the renderer's location is known, then starts the export thread and the timer;
  /// false (and nothing started) without a document or a renderer.
  Bool InitValues() override;
  /// Polls the thread: once it has ended, frees it, stops the timer and closes the dialog.
  void Timer(const BaseContainer& msg) override;
  /// True (keep open) while the export thread runs.
  Bool AskClose() override;
  /// Typing "x" or "q" closes the dialog when it may close.
  LONG Message(const BaseContainer& msg, BaseContainer& result) override;

  /// The running export thread, or null.
  OVSExportThread* Thread() const { return thread_; }
  /// True once a finished export thread has started the renderer (see `OVSExportThread::Launched`).
  bool Launched() const { return launched_; }

 private:
  OVSExportThread* thread_ = nullptr;
  bool launched_ = false;
  BaseDocument* doc_;
};
