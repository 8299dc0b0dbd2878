// The connection to the renderer's library for the in-host render.
#pragma once

class Semaphore;

/// Holds what the in-host render shares between the render thread and the interface thread,
/// guarded by one lock. Start-up creates and releases it again; no renderer library is attached.
class OrvaneDLLWrapper {
 public:
  OrvaneDLLWrapper();
  ~OrvaneDLLWrapper();
  OrvaneDLLWrapper(const OrvaneDLLWrapper&) = delete;
  OrvaneDLLWrapper& operator=(const OrvaneDLLWrapper&) = delete;

 private:
  Semaphore* lock_;
};
