// A render in progress, as video posts see it: `VideoPostData::AllocateBuffers` receives one as
// its untyped render argument. Not part of c4d.h, whose users may have their own `Render`.
#pragma once

#include <vector>

#include "c4d_types.h"

/// A render of a document. Video posts ask it for extra image buffers before it starts.
class Render {
 public:
  /// One buffer a video post asked for.
  struct BufferRequest {
    LONG id;
    LONG subid;
    LONG bitdepth;
    Bool visible;
  };

  Render() = default;
  /// Reserves an extra buffer `id`/`subid` of `bitdepth` bits per channel (8, 16 or 32), shown in
  /// the picture viewer when `visible`; false for another depth.
  Bool AllocateBuffer(LONG id, LONG subid, LONG bitdepth, Bool visible) {
    if (bitdepth != 8 && bitdepth != 16 && bitdepth != 32) return false;
    requests_.push_back(BufferRequest{id, subid, bitdepth, visible});
    return true;
  }
  /// The buffers reserved so far, in order.
  const std::vector<BufferRequest>& GetBufferRequests() const { return requests_; }

 private:
  std::vector<BufferRequest> requests_;
};
