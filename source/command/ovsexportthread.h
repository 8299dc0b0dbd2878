// The worker thread of the render command: exports the document frame by frame and starts the
// renderer on the result.
#pragma once

#include <atomic>

#include "c4d.h"

/// Takes the write path's render lock (".quickrender.lock"; a lock it cannot take refuses the
/// render, naming the lock file and, for another user's, its owner), prepares the scene path from
/// the render settings, writes one scene per frame and launches the renderer once at the end, only
/// when every frame's scene was saved and names no missing mesh file (otherwise "Not launching
/// Orvane: ..." names the first file that failed).
class OVSExportThread : public C4DThread {
 public:
  /// A thread that will export `doc` (not owned).
  explicit OVSExportThread(BaseDocument* doc) : doc_(doc) {}
  /// Waits for the thread to end: its work uses this object to the last.
  ~OVSExportThread() override;

  /// Never breaks on its own.
  Bool TestDBreak() override { return false; }
  /// The export (see the class comment).
  void Main() override;
  /// "OVS Export Thread".
  const char* GetThreadName() override { return "OVS Export Thread"; }

  /// True once the export has ended with the renderer started: every frame's scene was saved with
  /// all its mesh files. False while it runs and after any failure (a console line says which).
  bool Launched() const { return launched_; }

 private:
  BaseDocument* doc_;
  std::atomic<bool> launched_{false};
};
